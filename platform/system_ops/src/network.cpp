// The network service's readers and its on/off changers.
#include "system_ops/network.h"

#include <fmt/format.h>

#include "access.h"

namespace system_ops::network {

namespace {

using detail::find_item;
using detail::Json;
using detail::opt_text;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr const char* kWifiInterface = "wlp2s0";

Result<Json> network_section(std::string_view op) { return device::section(op, "network"); }

bool wifi_connected(const Json& net) {
  if (!net["wifi_enabled"].get<bool>() || net["airplane_mode"].get<bool>()) return false;
  for (const auto& n : net["wifi_networks"]) {
    if (n["state"].get<int>() != 0) return true;
  }
  return false;
}

const Json* connected_wifi(const Json& net) {
  for (const auto& n : net["wifi_networks"]) {
    if (n["state"].get<int>() == 1) return &n;
  }
  return nullptr;
}

bool wired_up(const Json& net) {
  return net["wired"]["present"].get<bool>() && net["wired"]["enabled"].get<bool>();
}

std::uint8_t connectivity_of(const Json& state) {
  const Json& net = state["network"];
  const Json& modem = state["modem"];
  bool mobile_up = modem["present"].get<bool>() && modem["enabled"].get<bool>() &&
                   !net["airplane_mode"].get<bool>() && !modem["profiles"].empty();
  if (!wifi_connected(net) && !wired_up(net) && !mobile_up) return 1;
  return net["connectivity"].get<std::uint8_t>();
}

void disconnect_wifi(Json& net) {
  for (auto& n : net["wifi_networks"]) n["state"] = 0;
}

// Joins the first network in range that has a saved Wi-Fi profile that
// connects automatically, as the device does when Wi-Fi comes back.
void autoconnect_wifi(Json& net) {
  for (auto& n : net["wifi_networks"]) {
    for (const auto& p : net["profiles"]) {
      if (p["type"] == "802-11-wireless" && p["name"] == n["ssid"] && p["autoconnect"] == true) {
        n["state"] = 1;
        return;
      }
    }
  }
}

}  // namespace

Result<std::vector<WifiNetwork>> list_wifi_networks() {
  auto net = network_section("network.list_wifi_networks");
  if (!net) return fail(net.error());
  std::vector<WifiNetwork> out;
  if (!(*net)["wifi_enabled"].get<bool>() || (*net)["airplane_mode"].get<bool>()) return out;
  for (const auto& n : (*net)["wifi_networks"]) {
    out.push_back({n["ssid"].get<std::string>(), n["secured"].get<bool>(),
                   n["state"].get<std::uint8_t>(), n["signal"].get<std::uint8_t>()});
  }
  return out;
}

Result<bool> get_wifi() {
  auto net = network_section("network.get_wifi");
  if (!net) return fail(net.error());
  return (*net)["wifi_enabled"].get<bool>();
}

Result<std::optional<WiredState>> get_wired() {
  auto net = network_section("network.get_wired");
  if (!net) return fail(net.error());
  const Json& wired = (*net)["wired"];
  if (!wired["present"].get<bool>()) return std::optional<WiredState>();
  WiredState out;
  out.interface = opt_text(wired["interface"]);
  out.enabled = wired["enabled"].get<bool>();
  if (out.enabled) {
    out.connection = opt_text(wired["connection"]);
    out.ipv4 = opt_text(wired["ipv4"]);
  }
  return std::optional<WiredState>(out);
}

Result<RadioState> get_radio_state() {
  auto state = device::read_for("network.get_radio_state");
  if (!state) return fail(state.error());
  const Json& net = (**state)["network"];
  const Json& modem = (**state)["modem"];
  return RadioState{net["airplane_mode"].get<bool>(), modem["present"].get<bool>(),
                    modem["present"].get<bool>() && modem["enabled"].get<bool>(),
                    net["hotspot"]["active"].get<bool>()};
}

Result<std::uint8_t> get_connectivity() {
  auto state = device::read_for("network.get_connectivity");
  if (!state) return fail(state.error());
  return connectivity_of(**state);
}

Result<std::vector<NetworkProfile>> list_saved_network_profiles() {
  auto net = network_section("network.list_saved_network_profiles");
  if (!net) return fail(net.error());
  std::vector<NetworkProfile> out;
  for (const auto& p : (*net)["profiles"]) {
    out.push_back({p["id"].get<std::string>(), p["name"].get<std::string>(),
                   p["type"].get<std::string>(), p["autoconnect"].get<bool>()});
  }
  return out;
}

Result<ProfileSettings> connection_profile_settings(const std::string& profile_id) {
  auto net = network_section("network.connection_profile_settings");
  if (!net) return fail(net.error());
  const Json* p = find_item((*net)["profiles"], "id", profile_id);
  if (p == nullptr) return fail("no saved network profile has the id {}", profile_id);
  ProfileSettings out;
  out.metered = (*p)["metered"].get<std::uint8_t>();
  out.mac_policy = (*p)["mac_policy"].get<std::uint8_t>();
  out.proxy_url = opt_text((*p)["proxy_url"]);
  const Json& ipv4 = (*p)["ipv4"];
  std::string method = ipv4["method"].get<std::string>();
  if (method == "auto" || method == "manual") {
    Ipv4Settings settings;
    settings.automatic = method == "auto";
    settings.addresses = ipv4["addresses"].get<std::vector<std::string>>();
    settings.gateway = opt_text(ipv4["gateway"]);
    settings.dns = ipv4["dns"].get<std::vector<std::string>>();
    out.ipv4 = std::move(settings);
  }
  return out;
}

Result<std::vector<VpnConnection>> list_vpn_connections() {
  auto net = network_section("network.list_vpn_connections");
  if (!net) return fail(net.error());
  std::vector<VpnConnection> out;
  for (const auto& v : (*net)["vpn"]) {
    out.push_back({v["name"].get<std::string>(), v["uuid"].get<std::string>(),
                   v["type"].get<std::string>(), v["active"].get<bool>()});
  }
  return out;
}

Result<std::vector<HotspotClient>> list_hotspot_clients() {
  auto net = network_section("network.list_hotspot_clients");
  if (!net) return fail(net.error());
  std::vector<HotspotClient> out;
  const Json& hotspot = (*net)["hotspot"];
  if (!hotspot["active"].get<bool>()) return out;
  for (const auto& c : hotspot["clients"]) {
    out.push_back({c["name"].get<std::string>(), detail::opt_value<int>(c["signal_dbm"])});
  }
  return out;
}

Result<ConnectionDiagnostics> connection_diagnostics() {
  auto state = device::read_for("network.connection_diagnostics");
  if (!state) return fail(state.error());
  const Json& net = (**state)["network"];
  ConnectionDiagnostics out;
  out.connectivity = connectivity_of(**state);
  out.manager_state = out.connectivity == 4   ? "connected (global)"
                      : out.connectivity == 1 ? "disconnected"
                                              : "connected (site only)";
  if (wired_up(net)) {
    out.device = opt_text(net["wired"]["interface"]);
    out.address = opt_text(net["wired"]["ipv4"]);
    for (const auto& p : net["profiles"]) {
      if (p["type"] == "802-3-ethernet" && p["name"] == net["wired"]["connection"]) {
        out.gateway = opt_text(p["ipv4"]["gateway"]);
        out.dns = p["ipv4"]["dns"].get<std::vector<std::string>>();
      }
    }
  } else if (const Json* wifi = wifi_connected(net) ? connected_wifi(net) : nullptr) {
    out.device = kWifiInterface;
    out.address = "192.168.1.57/24";
    out.gateway = "192.168.1.1";
    out.dns = {"192.168.1.1"};
    out.notes.push_back(
        fmt::format("Wi-Fi is connected to {}.", (*wifi)["ssid"].get<std::string>()));
  }
  if (net["airplane_mode"].get<bool>()) out.notes.emplace_back("Airplane mode is on.");
  if (!net["wifi_enabled"].get<bool>()) out.notes.emplace_back("Wi-Fi is off.");
  if (out.connectivity == 2) out.notes.emplace_back("This network asks for a browser sign-in.");
  if (out.connectivity == 3)
    out.notes.emplace_back("The gateway answers but the internet does not.");
  if (out.device && out.dns.empty()) out.notes.emplace_back("No DNS servers were provided.");
  for (const auto& v : net["vpn"]) {
    if (v["active"] == true) {
      out.notes.push_back(fmt::format("VPN {} is active.", v["name"].get<std::string>()));
    }
  }
  return out;
}

Result<std::string> captive_portal_uri() {
  auto state = device::read_for("network.captive_portal_uri");
  if (!state) return fail(state.error());
  auto uri = opt_text((**state)["network"]["captive_portal_uri"]);
  if (connectivity_of(**state) != 2 || !uri) {
    return fail("this network does not ask for a browser sign-in");
  }
  return *uri;
}

Status set_wifi(bool enabled) {
  return device::update("network.set_wifi", [&](Json& state) -> Status {
    Json& net = state["network"];
    if (net["wifi_enabled"] == enabled) return {};
    if (enabled && net["airplane_mode"] == true) {
      return fail("Airplane mode is on; turn it off to use Wi-Fi");
    }
    net["wifi_enabled"] = enabled;
    if (enabled) {
      autoconnect_wifi(net);
    } else {
      disconnect_wifi(net);
      net["hotspot"]["active"] = false;
    }
    return {};
  });
}

Status set_wired(bool enabled) {
  return device::update("network.set_wired", [&](Json& state) -> Status {
    Json& wired = state["network"]["wired"];
    if (wired["present"] != true) return fail("this device has no wired network interface");
    wired["enabled"] = enabled;
    return {};
  });
}

Status set_airplane_mode(bool enabled) {
  return device::update("network.set_airplane_mode", [&](Json& state) -> Status {
    Json& net = state["network"];
    if (net["airplane_mode"] == enabled) return {};
    net["airplane_mode"] = enabled;
    if (enabled) {
      net["wifi_enabled"] = false;
      disconnect_wifi(net);
      net["hotspot"]["active"] = false;
      state["modem"]["enabled"] = false;
    } else {
      net["wifi_enabled"] = true;
      autoconnect_wifi(net);
    }
    return {};
  });
}

Status set_hotspot(bool enabled) {
  return device::update("network.set_hotspot", [&](Json& state) -> Status {
    Json& net = state["network"];
    Json& hotspot = net["hotspot"];
    if (hotspot["active"] == enabled) return {};
    if (enabled) {
      if (net["airplane_mode"] == true) return fail("Airplane mode is on");
      if (net["wifi_enabled"] != true) return fail("Wi-Fi is off; turn it on to share a hotspot");
      HotspotConfiguration stored{hotspot["ssid"].get<std::string>(),
                                  hotspot["password"].get<std::string>(), HotspotBand::Automatic};
      if (auto ok = stored.validate(); !ok) {
        return fail("the hotspot is not set up yet: {}", ok.error());
      }
      disconnect_wifi(net);  // the radio serves the hotspot now
    }
    hotspot["active"] = enabled;
    return {};
  });
}

Status set_mobile_broadband(bool enabled) {
  return device::update("network.set_mobile_broadband", [&](Json& state) -> Status {
    Json& modem = state["modem"];
    if (modem["present"] != true) return fail("this device has no mobile broadband modem");
    if (enabled && state["network"]["airplane_mode"] == true) return fail("Airplane mode is on");
    modem["enabled"] = enabled;
    return {};
  });
}

Status set_vpn_connection(const std::string& name, bool active) {
  return device::update("network.set_vpn_connection", [&](Json& state) -> Status {
    Json* vpn = find_item(state["network"]["vpn"], "name", name);
    if (vpn == nullptr) return fail("no VPN connection is named {}", name);
    if ((*vpn)["active"] == active) return {};
    if (active && connectivity_of(state) == 1) {
      return fail("{} needs a network connection", name);
    }
    (*vpn)["active"] = active;
    return {};
  });
}

Status set_network_autoconnect(const std::string& profile_id, bool autoconnect) {
  return device::update("network.set_network_autoconnect", [&](Json& state) -> Status {
    Json* profile = find_item(state["network"]["profiles"], "id", profile_id);
    if (profile == nullptr) {
      return fail("no saved network profile has the id {}", profile_id);
    }
    (*profile)["autoconnect"] = autoconnect;
    return {};
  });
}

Status forget_network_profile(const std::string& profile_id) {
  return device::update("network.forget_network_profile", [&](Json& state) -> Status {
    Json& net = state["network"];
    Json& profiles = net["profiles"];
    for (auto it = profiles.begin(); it != profiles.end(); ++it) {
      if ((*it)["id"] != profile_id) continue;
      if ((*it)["type"] == "802-11-wireless") {
        if (Json* n = find_item(net["wifi_networks"], "ssid", (*it)["name"])) (*n)["state"] = 0;
      }
      profiles.erase(it);
      return {};
    }
    return fail("no saved network profile has the id {}", profile_id);
  });
}

}  // namespace system_ops::network
