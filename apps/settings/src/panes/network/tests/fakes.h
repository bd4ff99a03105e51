#pragma once

// A scripted device for the Network pane's tests: every reader answers what
// the test set (an error when told to fail), jobs answer a set status, and
// calls are counted. The dispatcher and the continuity broker record what
// they were asked; threads either run the job at once on the calling thread
// or refuse to start.

#include <fmt/format.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/secret.h"
#include "panes/network/network_pane.h"

namespace settings::panes::network::testing {

namespace broker = collaboration::broker;
using kalu_ui::Result;
using kalu_ui::Status;

class FakeBackend : public NetworkBackend {
 public:
  // A laptop with two networks in range, a wired link, one VPN and a modem.
  FakeBackend() {
    wifi = std::vector<net::WifiNetwork>{{"Lindenhof", true, 1, 3}, {"Cafe Guest", false, 0, 1}};
    wired = std::optional<net::WiredState>(
        net::WiredState{"enp3s0", "Wired connection 1", "192.168.1.42/24", true});
    radios = net::RadioState{false, true, false, false};
    profiles = std::vector<net::NetworkProfile>{
        {"wifi-1111-aaaa", "Lindenhof", "802-11-wireless", true},
        {"wired-2222-bbbb", "Wired connection 1", "802-3-ethernet", true}};
    net::ProfileSettings wifi_settings;
    wifi_settings.metered = 0;
    wifi_settings.mac_policy = 2;
    settings["wifi-1111-aaaa"] = wifi_settings;
    net::ProfileSettings wired_settings;
    wired_settings.metered = 2;
    wired_settings.ipv4 =
        net::Ipv4Settings{false, {"192.168.1.42/24"}, "192.168.1.1", {"192.168.1.1", "9.9.9.9"}};
    settings["wired-2222-bbbb"] = wired_settings;
    vpns = std::vector<net::VpnConnection>{{"Office VPN", "uuid-1", "wireguard", false}};
    sims = std::vector<system_ops::modem::MobileSim>{{"/sim/0", "SIM 1"}};
    clients = std::vector<net::HotspotClient>{};
  }

  Result<std::vector<net::WifiNetwork>> wifi;
  Result<bool> wifi_on = true;
  Result<std::optional<net::WiredState>> wired;
  Result<net::RadioState> radios;
  Result<std::uint8_t> connectivity = std::uint8_t{4};
  Result<std::vector<net::NetworkProfile>> profiles;
  // Profiles missing here fail to read.
  std::map<std::string, net::ProfileSettings> settings;
  Result<std::vector<net::VpnConnection>> vpns;
  Result<std::vector<system_ops::modem::MobileSim>> sims;
  Result<std::vector<net::HotspotClient>> clients;
  Status job_status;
  Result<std::optional<std::filesystem::path>> chosen = std::optional<std::filesystem::path>();

  Result<net::ConnectionDiagnostics> diagnostics = kalu_ui::fail("not scripted");
  Result<std::string> portal_uri = kalu_ui::fail("not scripted");
  // What the changers answer (job_status answers the jobs).
  Status change_status;

  mutable std::atomic<int> reads{0};
  mutable std::atomic<int> changes{0};
  mutable std::string hotspot_ssid;
  mutable std::optional<net::Ipv4Settings> last_ipv4;
  mutable std::optional<net::ConnectionPolicyPatch> last_patch;
  // What the SIM unlock and the enterprise join were given, so a test can
  // see the secrets arrived.
  mutable std::string last_pin;
  mutable std::string last_enterprise_password;
  mutable std::atomic<int> sim_unlocks{0};
  mutable std::atomic<int> choosers{0};
  mutable std::mutex mutex;
  mutable std::string last_chooser_title;

  Result<std::vector<net::WifiNetwork>> list_wifi_networks() const override { return read(wifi); }
  Result<bool> get_wifi() const override { return read(wifi_on); }
  Result<std::optional<net::WiredState>> get_wired() const override { return read(wired); }
  Result<net::RadioState> get_radio_state() const override { return read(radios); }
  Result<std::uint8_t> get_connectivity() const override { return read(connectivity); }
  Result<std::vector<net::NetworkProfile>> list_saved_network_profiles() const override {
    return read(profiles);
  }
  Result<net::ProfileSettings> connection_profile_settings(const std::string& id) const override {
    ++reads;
    auto found = settings.find(id);
    if (found == settings.end()) return kalu_ui::fail("settings unreadable");
    return found->second;
  }
  Result<std::vector<net::VpnConnection>> list_vpn_connections() const override {
    return read(vpns);
  }
  Result<std::vector<system_ops::modem::MobileSim>> list_mobile_sims() const override {
    return read(sims);
  }
  Result<std::vector<net::HotspotClient>> list_hotspot_clients() const override {
    return read(clients);
  }
  Result<net::ConnectionDiagnostics> connection_diagnostics() const override {
    return read(diagnostics);
  }
  Result<std::string> captive_portal_uri() const override { return read(portal_uri); }
  Status set_network_autoconnect(const std::string&, bool) const override { return change(); }
  Status forget_network_profile(const std::string&) const override { return change(); }
  Status configure_hotspot(const net::HotspotConfiguration& config) const override {
    std::lock_guard lock(mutex);
    hotspot_ssid = config.ssid;
    return change();
  }
  Status configure_ipv4(const std::string&, const net::Ipv4Settings& s) const override {
    std::lock_guard lock(mutex);
    last_ipv4 = s;
    return change();
  }
  Status configure_connection_policy_patch(const std::string&,
                                           const net::ConnectionPolicyPatch& patch) const override {
    std::lock_guard lock(mutex);
    last_patch = patch;
    return change();
  }
  Status create_mobile_profile(const std::string&, const std::string&) const override {
    return job_status;
  }
  Status unlock_mobile_sim_on(const std::string&, const std::string& pin) const override {
    ++sim_unlocks;
    std::lock_guard lock(mutex);
    last_pin = pin;
    return job_status;
  }
  Status connect_enterprise_wifi(const net::EnterpriseWifiConfig& config) const override {
    std::lock_guard lock(mutex);
    last_enterprise_password = config.password;
    return job_status;
  }
  Result<std::optional<std::filesystem::path>> choose_file(
      const std::string& title) const override {
    ++choosers;
    std::lock_guard lock(mutex);
    last_chooser_title = title;
    return chosen;
  }
  Status open_uri(const std::string&) const override { return job_status; }
  Status open_vpn_tool(const std::optional<std::string>&) const override { return job_status; }

 private:
  template <typename T>
  T read(const T& value) const {
    ++reads;
    return value;
  }
  Status change() const {
    ++changes;
    return change_status;
  }
};

// Records every call as "name(argument)"; a change fails with the text
// given under its name in `faults`, and otherwise lands on `device` (when
// set), so the backend then reads the new state.
class FakeDispatcher : public system_ops::Dispatcher {
 public:
  struct Connect {
    std::string ssid;
    std::optional<std::string> password;
  };
  Status result;
  std::map<std::string, std::string, std::less<>> faults;
  std::shared_ptr<FakeBackend> device;
  mutable std::mutex mutex;
  std::vector<Connect> connects;
  std::vector<std::string> calls;

  Status set_brightness(float) override { return {}; }
  Status set_volume(float) override { return {}; }
  Status set_wifi(bool on) override {
    return record("set_wifi", on, [&] { device->wifi_on = on; });
  }
  Status set_bluetooth(bool) override { return {}; }
  Status connect_bluetooth(const std::string&) override { return {}; }
  Status disconnect_bluetooth(const std::string&) override { return {}; }
  Status set_wired(bool on) override {
    return record("set_wired", on, [&] {
      if (device->wired && *device->wired) (*device->wired)->enabled = on;
    });
  }
  Status set_airplane_mode(bool on) override {
    return record("set_airplane_mode", on, [&] {
      if (!device->radios) return;
      device->radios->airplane_mode = on;
      if (!on) return;
      device->wifi_on = false;
      device->radios->hotspot_enabled = false;
      device->radios->mobile_broadband_enabled = false;
    });
  }
  Status set_hotspot(bool on) override {
    return record("set_hotspot", on, [&] {
      if (device->radios) device->radios->hotspot_enabled = on;
    });
  }
  Status set_mobile_broadband(bool on) override {
    return record("set_mobile_broadband", on, [&] {
      if (device->radios) device->radios->mobile_broadband_enabled = on;
    });
  }
  Status set_vpn_connection(const std::string& name, bool on) override {
    return record(fmt::format("set_vpn_connection({})", name), on, [] {});
  }
  Status connect_wifi(const std::string& ssid,
                      const std::optional<std::string>& password) override {
    std::lock_guard lock(mutex);
    connects.push_back({ssid, password});
    return result;
  }
  Status set_power_profile(system_ops::PowerProfile) override { return {}; }
  Status toggle_mute() override { return {}; }

  std::size_t call_count() const {
    std::lock_guard lock(mutex);
    return calls.size() + connects.size();
  }

 private:
  template <typename Land>
  Status record(const std::string& name, bool on, Land land) {
    std::lock_guard lock(mutex);
    calls.push_back(fmt::format("{}({})", name, on));
    if (auto fault = faults.find(name); fault != faults.end()) return kalu_ui::fail(fault->second);
    if (device) land();
    return {};
  }
};

// Answers each request kind with a scripted reply and records the requests
// (with the passphrase of a seal, so a test can check what was shared).
class FakeContinuity : public WifiContinuityBackend {
 public:
  enum class Reply { Failed, Found, NotFound, Sealed, Unavailable };
  struct Seen {
    std::string kind;  // "lookup", "seal", "profile"
    std::string subject;
    std::uint8_t mode = 0;
    std::string passphrase;
  };
  Reply lookup = Reply::NotFound;
  Reply seal = Reply::Sealed;
  Reply profile = Reply::Sealed;
  std::string text = "broker says no";
  std::string found_passphrase = "sealed-secret-1";
  mutable std::mutex mutex;
  mutable std::vector<Seen> seen;

  broker::WifiContinuityReply command(const broker::WifiContinuityRequest& request) const override {
    std::lock_guard lock(mutex);
    if (const auto* r = std::get_if<broker::LookupWifiPassword>(&request)) {
      seen.push_back({"lookup", r->ssid, r->mode, {}});
      return reply(lookup, r->ssid);
    }
    if (const auto* r = std::get_if<broker::SealWifiPassword>(&request)) {
      seen.push_back({"seal", r->ssid, r->mode, std::string(r->passphrase.view())});
      return reply(seal, r->ssid);
    }
    const auto& r = std::get<broker::SealWifiProfile>(request);
    seen.push_back({"profile", r.profile_id, 0, {}});
    return reply(profile, "Lindenhof");
  }

 private:
  broker::WifiContinuityReply reply(Reply kind, const std::string& network) const {
    switch (kind) {
      case Reply::Failed:
        return broker::Failed{text};
      case Reply::Found:
        return broker::Found{kalu_ui::secret::SecretText::copy_of(found_passphrase)};
      case Reply::NotFound:
        return broker::NotFound{};
      case Reply::Sealed:
        return broker::Sealed{network};
      case Reply::Unavailable:
        break;
    }
    return broker::Unavailable{text};
  }
};

// Runs each job at once on the calling thread.
inline ThreadStarter inline_threads() {
  return [](std::move_only_function<void()> work) -> Status {
    work();
    return {};
  };
}

// Refuses every thread, as a process out of threads does.
inline ThreadStarter no_threads() {
  return [](std::move_only_function<void()>) -> Status {
    return kalu_ui::fail("Resource temporarily unavailable");
  };
}

inline std::shared_ptr<FakeDispatcher> linked_dispatcher(std::shared_ptr<FakeBackend> device) {
  auto dispatcher = std::make_shared<FakeDispatcher>();
  dispatcher->device = std::move(device);
  return dispatcher;
}

struct Fakes {
  std::shared_ptr<FakeBackend> backend = std::make_shared<FakeBackend>();
  std::shared_ptr<FakeDispatcher> dispatcher = linked_dispatcher(backend);
  std::shared_ptr<FakeContinuity> continuity = std::make_shared<FakeContinuity>();
  ThreadStarter threads = inline_threads();

  NetworkPane::Services services() const {
    return NetworkPane::Services{backend, dispatcher, continuity, threads, {}};
  }
  NetworkPane pane() const { return NetworkPane(services()); }
};

}  // namespace settings::panes::network::testing
