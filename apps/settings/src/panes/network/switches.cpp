// The Network pane's switches and the operations that reach them: the
// device-local request, Wi-Fi and wired power (behind the pending-operation
// gate), airplane mode, hotspot and mobile broadband, the refresh of the
// whole state and the connection diagnostics. Each handler completes the
// pending operation it carries out; one that finds its value already in
// place is completed when the request is taken, so none stays pending.

#include <fmt/format.h>

#include <array>
#include <string>
#include <utility>

#include "kalu_ui/log.h"
#include "panes/network/doc_writes.h"
#include "panes/network/network_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using doc::kRoot;
using Op = NetworkOperation;

using doc_writes::put_bool;
using doc_writes::warn;
// The request tag of the Network pane's operations.
constexpr std::string_view kWifiKey = "network.wifi_enabled";
constexpr std::string_view kWiredKey = "network.wired_enabled";
constexpr std::string_view kRefreshKey = "network.refresh";
constexpr std::string_view kDiagnosticsKey = "network.diagnostics.run";
constexpr std::string_view kNoWiredDevice = "wired networking is unavailable on this device";

// One of the radios apply_radios switches, in its order.
struct Radio {
  std::string_view key;
  std::string_view word;   // in the failure texts
  std::string_view title;  // of the success and "already" texts
  std::string_view op;     // of the warning
  bool net::RadioState::*state;
  kalu_ui::Status (system_ops::Dispatcher::*set)(bool);
  Op (*operation)(bool);
};

constexpr std::array<Radio, 3> kRadios = {{
    {"network.airplane_mode", "airplane", "Airplane mode", "set_airplane_mode",
     &net::RadioState::airplane_mode, &system_ops::Dispatcher::set_airplane_mode,
     [](bool on) { return Op{Op::SetAirplaneMode{on}}; }},
    {"network.hotspot", "hotspot", "Hotspot", "set_hotspot", &net::RadioState::hotspot_enabled,
     &system_ops::Dispatcher::set_hotspot, [](bool on) { return Op{Op::SetHotspot{on}}; }},
    {"network.mobile_broadband", "mobile", "Mobile broadband", "set_mobile_broadband",
     &net::RadioState::mobile_broadband_enabled, &system_ops::Dispatcher::set_mobile_broadband,
     [](bool on) { return Op{Op::SetMobileBroadband{on}}; }},
}};

std::string_view on_off(bool on) { return on ? "enabled" : "disabled"; }

bool same_settings(const net::ProfileSettings& a, const net::ProfileSettings& b) {
  const auto same_ipv4 = [](const net::Ipv4Settings& x, const net::Ipv4Settings& y) {
    return x.automatic == y.automatic && x.addresses == y.addresses && x.gateway == y.gateway &&
           x.dns == y.dns;
  };
  const bool same_proxy = a.proxy_url.has_value() == b.proxy_url.has_value() &&
                          (!a.proxy_url || *a.proxy_url == *b.proxy_url);
  return a.metered == b.metered && a.mac_policy == b.mac_policy && same_proxy &&
         a.ipv4.has_value() == b.ipv4.has_value() && (!a.ipv4 || same_ipv4(*a.ipv4, *b.ipv4));
}

kalu_ui::Result<std::string> already(std::string_view title, bool on) {
  return fmt::format("{} is already {}.", title, on_off(on));
}

}  // namespace

// ---- The request ----

void NetworkPane::take_request(doc::Document& document) {
  // Another pane's request stays where it is.
  const std::optional<NetworkOperation> taken = link_.take();
  if (!taken) return;
  const NetworkOperation& operation = *taken;
  if (answer_in_place(document, operation)) return;
  // The request writes what the control would have, so one handler serves both.
  std::visit(
      [&](const auto& op) {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, Op::Refresh>) {
          put_bool(document, kRefreshKey, true);
        } else if constexpr (std::is_same_v<T, Op::RunDiagnostics>) {
          put_bool(document, kDiagnosticsKey, true);
        } else if constexpr (std::is_same_v<T, Op::SetWifiEnabled>) {
          put_bool(document, kWifiKey, op.enabled);
        } else if constexpr (std::is_same_v<T, Op::SetWiredEnabled>) {
          put_bool(document, kWiredKey, op.enabled);
        } else if constexpr (std::is_same_v<T, Op::SetAirplaneMode>) {
          put_bool(document, kRadios[0].key, op.enabled);
        } else if constexpr (std::is_same_v<T, Op::SetHotspot>) {
          put_bool(document, kRadios[1].key, op.enabled);
        } else {
          static_assert(std::is_same_v<T, Op::SetMobileBroadband>);
          put_bool(document, kRadios[2].key, op.enabled);
        }
      },
      operation);
  apply_wifi_wired(document);
  apply_radios(document);
  refresh(document);
  run_diagnostics(document);
}

bool NetworkPane::answer_in_place(doc::Document& document, const NetworkOperation& operation) {
  if (std::holds_alternative<Op::Refresh>(operation) ||
      std::holds_alternative<Op::RunDiagnostics>(operation)) {
    return false;
  }
  // The device may have been switched elsewhere since the pane last looked.
  read_switches(document);
  if (const auto* wifi = std::get_if<Op::SetWifiEnabled>(&operation)) {
    if (wifi->enabled != applied_wifi_) return false;
    link_.complete(operation, already("Wi-Fi", wifi->enabled));
    return true;
  }
  if (const auto* wired = std::get_if<Op::SetWiredEnabled>(&operation)) {
    // The executor saw a wired device; it may have gone since.
    if (!snapshot_.has_wired_device()) {
      link_.complete(operation, kalu_ui::fail(std::string(kNoWiredDevice)));
      return true;
    }
    if (wired->enabled != snapshot_.wired.enabled) return false;
    link_.complete(operation, already("Wired networking", wired->enabled));
    return true;
  }
  for (const Radio& radio : kRadios) {
    for (bool on : {false, true}) {
      if (operation != radio.operation(on)) continue;
      if (snapshot_.radios.*radio.state != on) return false;
      link_.complete(operation, already(radio.title, on));
      return true;
    }
  }
  return false;
}

void NetworkPane::read_switches(doc::Document& document) {
  const bool wifi_before = applied_wifi_;
  const net::WiredState wired_before = snapshot_.wired;
  const net::RadioState radios_before = snapshot_.radios;
  if (auto wifi = services_.backend->get_wifi()) applied_wifi_ = snapshot_.wifi_enabled = *wifi;
  if (auto wired = services_.backend->get_wired()) {
    snapshot_.wired = wired->value_or(net::WiredState{});
  }
  if (auto radios = services_.backend->get_radio_state()) snapshot_.radios = *radios;
  put_bool(document, kWifiKey, applied_wifi_);
  put_bool(document, kWiredKey, snapshot_.wired.enabled);
  for (const Radio& radio : kRadios) put_bool(document, radio.key, snapshot_.radios.*radio.state);
  if (wifi_before != applied_wifi_) {
    // Switched off, Wi-Fi lists no networks; switched on, it lists them again.
    if (auto listed = services_.backend->list_wifi_networks()) {
      snapshot_.wifi_networks = std::move(*listed);
    }
  }
  // The page shows the switches, and the Wired toggle's action follows its state.
  const auto same_radios = [](const net::RadioState& a, const net::RadioState& b) {
    return a.airplane_mode == b.airplane_mode && a.hotspot_enabled == b.hotspot_enabled &&
           a.mobile_broadband_enabled == b.mobile_broadband_enabled &&
           a.mobile_broadband_present == b.mobile_broadband_present;
  };
  if (wifi_before != applied_wifi_ || wired_before.enabled != snapshot_.wired.enabled ||
      wired_before.interface != snapshot_.wired.interface ||
      wired_before.connection != snapshot_.wired.connection ||
      wired_before.ipv4 != snapshot_.wired.ipv4 || !same_radios(radios_before, snapshot_.radios)) {
    request_rebuild();
  }
}

// ---- Wi-Fi and wired power ----

void NetworkPane::apply_wifi_wired(doc::Document& document) {
  if (auto wanted = document.read_bool(kRoot, kWifiKey); wanted && *wanted != applied_wifi_) {
    const NetworkOperation operation = Op::SetWifiEnabled{*wanted};
    if (!link_.may_apply(operation)) {
      // An edit that is not the pending operation is undone without a call.
      put_bool(document, kWifiKey, applied_wifi_);
    } else if (auto done = services_.dispatcher->set_wifi(*wanted); !done) {
      put_bool(document, kWifiKey, applied_wifi_);
      warn("network pane dispatch failed", "set_wifi", done.error());
      link_.complete(operation, kalu_ui::fail("Could not change Wi-Fi power: {}", done.error()));
    } else {
      applied_wifi_ = snapshot_.wifi_enabled = *wanted;
      // Switched off, Wi-Fi lists no networks; switched on, it lists them again.
      if (auto listed = services_.backend->list_wifi_networks()) {
        snapshot_.wifi_networks = std::move(*listed);
      }
      request_rebuild();
      link_.complete(operation, fmt::format("Wi-Fi {}.", on_off(*wanted)));
    }
  }
  if (!snapshot_.has_wired_device()) return;
  const bool current = snapshot_.wired.enabled;
  auto wanted = document.read_bool(kRoot, kWiredKey);
  if (!wanted || *wanted == current) return;
  const NetworkOperation operation = Op::SetWiredEnabled{*wanted};
  if (!link_.may_apply(operation)) {
    put_bool(document, kWiredKey, current);
  } else if (auto done = services_.dispatcher->set_wired(*wanted); !done) {
    put_bool(document, kWiredKey, current);
    warn("network pane dispatch failed", "set_wired", done.error());
    link_.complete(operation, kalu_ui::fail("Could not change wired networking: {}", done.error()));
  } else {
    snapshot_.wired.enabled = *wanted;
    // The link's connection and address follow the switch.
    if (auto wired = services_.backend->get_wired(); wired && *wired) snapshot_.wired = **wired;
    snapshot_.wired.enabled = *wanted;
    // The page shows the link, and the toggle's action turns around.
    request_rebuild();
    link_.complete(operation, fmt::format("Wired networking {}.", on_off(*wanted)));
  }
}

// ---- Radios ----

void NetworkPane::apply_radios(doc::Document& document) {
  for (std::size_t i = 0; i < kRadios.size(); ++i) {
    if (apply_radio(document, i)) {
      // Airplane mode switches the other radios and Wi-Fi with it; the
      // document follows what the device now says.
      read_switches(document);
    }
  }
}

bool NetworkPane::apply_radio(doc::Document& document, std::size_t index) {
  const Radio& radio = kRadios[index];
  bool& current = snapshot_.radios.*radio.state;
  auto wanted = document.read_bool(kRoot, radio.key);
  if (!wanted || *wanted == current) return false;
  const NetworkOperation operation = radio.operation(*wanted);
  auto done = (services_.dispatcher.get()->*radio.set)(*wanted);
  if (!done) {
    warn("radio action failed", radio.op, done.error());
    put_bool(document, radio.key, current);
    link_.complete(operation,
                   kalu_ui::fail("Could not change {} state: {}", radio.word, done.error()));
    return false;
  }
  current = *wanted;
  if (radio.state == &net::RadioState::hotspot_enabled) {
    if (auto clients = services_.backend->list_hotspot_clients()) {
      snapshot_.hotspot_clients = std::move(*clients);
    }
  }
  request_rebuild();
  // Reads as the Wi-Fi and wired reports do ("Wi-Fi disabled.").
  link_.complete(operation, fmt::format("{} {}.", radio.title, on_off(*wanted)));
  return true;
}

// ---- Refresh and diagnostics ----

void NetworkPane::refresh(doc::Document& document) {
  if (!take_doc_flag(document, kRefreshKey)) return;
  kalu_ui::Result<std::string> report = std::string("Network list refreshed.");
  if (auto listed = reread_device(document); !listed) {
    warn("rescan failed", "list_wifi_networks", listed.error());
    report = kalu_ui::fail("Could not refresh network list: {}", listed.error());
  }
  link_.complete(Op::Refresh{}, report);
}

void NetworkPane::follow_device(doc::Document& document) {
  // After this frame's edits were carried out, so a change the person just
  // made is read back from the device, not undone.
  if (!services_.device_changed || !services_.device_changed()) return;
  (void)reread_device(document);
}

kalu_ui::Status NetworkPane::reread_device(doc::Document& document) {
  kalu_ui::Status listed_ok;
  if (auto listed = services_.backend->list_wifi_networks()) {
    snapshot_.wifi_networks = std::move(*listed);
  } else {
    listed_ok = kalu_ui::fail(listed.error());
  }
  // Every switch is written from the device, so the next frame does not
  // switch back what changed outside the application.
  read_switches(document);
  if (auto clients = services_.backend->list_hotspot_clients()) {
    snapshot_.hotspot_clients = std::move(*clients);
  }
  if (auto connectivity = services_.backend->get_connectivity()) {
    snapshot_.connectivity = *connectivity;
  }
  const std::map<std::string, net::ProfileSettings> before = snapshot_.profile_settings;
  reread_profiles(snapshot_, *services_.backend);
  if (auto vpns = services_.backend->list_vpn_connections()) {
    snapshot_.vpns = vpn_connection_pairs(vpns);
  }
  if (auto sims = services_.backend->list_mobile_sims()) snapshot_.sims = std::move(*sims);
  write_profile_flags(document);
  // A profile's fields take the device's values only where the device
  // changed them, so text being typed into another profile's fields stays.
  for (const auto& [id, settings] : snapshot_.profile_settings) {
    const auto was = before.find(id);
    if (was == before.end() || !same_settings(was->second, settings)) {
      put_profile_settings(document, id, settings);
    }
  }
  request_rebuild();
  return listed_ok;
}

void NetworkPane::write_profile_flags(doc::Document& document) {
  for (const auto& vpn : snapshot_.vpns) {
    put_bool(document, fmt::format("network.vpn.{}", vpn.name), vpn.active);
    const std::string tool = fmt::format("network.vpn.morlit.{}", vpn.name);
    if (!document.read_bool(kRoot, tool)) put_bool(document, tool, false);
  }
  for (const auto& profile : snapshot_.profiles) {
    put_bool(document, fmt::format("network.profile.autoconnect.{}", profile.id),
             profile.autoconnect);
    for (std::string_view button : {"forget", "share", "policy"}) {
      const std::string key = fmt::format("network.profile.{}.{}", button, profile.id);
      if (!document.read_bool(kRoot, key)) put_bool(document, key, false);
    }
  }
}

void NetworkPane::run_diagnostics(doc::Document& document) {
  if (!take_doc_flag(document, kDiagnosticsKey)) return;
  request_rebuild();
  auto result = services_.backend->connection_diagnostics();
  if (!result) {
    std::string text = fmt::format("Diagnostics unavailable: {}", result.error());
    say(StatusPlace::kDiagnostics, text);
    link_.complete(Op::RunDiagnostics{}, kalu_ui::fail(std::move(text)));
    return;
  }
  snapshot_.diagnostics = std::move(*result);
  link_.complete(Op::RunDiagnostics{}, std::string("Network diagnostics completed."));
}

}  // namespace settings::panes::network
