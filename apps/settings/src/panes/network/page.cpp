#include "panes/network/page.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <utility>
#include <vector>

#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/qr.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/flag_button.h"

namespace settings::panes::network {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::caption;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;
using w::boxed;

constexpr float kButtonGap = 8.0f;

// Icon-font code points, as UTF-8.
constexpr std::string_view kSignalGlyphs[] = {"\U000F092B", "\U000F091F", "\U000F0922",
                                              "\U000F0925"};
constexpr std::string_view kSignalUnknownGlyph = "\U000F0928";
constexpr std::string_view kSecuredGlyph = "\U000F033E";
constexpr std::string_view kOpenGlyph = "\U000F033F";

WidgetBox label(std::string_view text) {
  return boxed(w::Text(std::string(text)).with_size(ui_rows::kLabelSize).with_wrap());
}

WidgetBox button(std::string id, std::string text, std::string flag) {
  return boxed(lib::FlagButton(std::move(text), std::move(id), std::move(flag)));
}

WidgetBox toggle(std::string element_id, std::string control_id, std::string name) {
  return boxed(w::Toggle(std::move(name), std::move(control_id)).with_id(std::move(element_id)));
}

WidgetBox dropdown(std::string control_id, std::vector<std::string> choices,
                   std::string placeholder, std::string name) {
  w::Dropdown control(control_id, std::move(choices), std::move(placeholder));
  control.with_id(std::move(control_id)).with_label(std::move(name));
  return boxed(std::move(control));
}

WidgetBox text_input(std::string id, std::string path, std::string placeholder) {
  return boxed(w::TextInput(std::move(path))
                   .with_id(std::move(id))
                   .with_placeholder(std::move(placeholder)));
}

// A line of widgets, centred on one another.
WidgetBox line(WidgetList widgets) {
  w::Row row;
  row.with_alignment(w::Alignment::Center);
  for (auto& widget : widgets) row.push(std::move(widget));
  return boxed(std::move(row));
}

WidgetBox flexible() { return boxed(w::Spacer()); }

// The last result, when it stands in `place`.
void result_line(WidgetList& rows, const NetworkView& view, StatusPlace place) {
  if (view.status && view.status_place == place) rows.push_back(caption(*view.status));
}

template <typename... W>
WidgetList list(W&&... widgets) {
  WidgetList out;
  (out.push_back(std::forward<W>(widgets)), ...);
  return out;
}

// The edited profile of `type`: the selected one when it is of that type,
// else the first of that type.
const net::NetworkProfile* edited_profile(const std::vector<const net::NetworkProfile*>& of_type,
                                          const std::optional<std::string>& selected) {
  if (of_type.empty()) return nullptr;
  for (const auto* profile : of_type) {
    if (selected && profile->id == *selected) return profile;
  }
  return of_type.front();
}

std::vector<std::string> labels_of(const std::vector<const net::NetworkProfile*>& profiles) {
  std::vector<std::string> out;
  for (const auto* profile : profiles) out.push_back(profile_label(*profile));
  return out;
}

WidgetBox internet_card(const NetworkSnapshot& s, const NetworkView& view) {
  const bool sign_in = s.connectivity == kConnectivitySignIn;
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Connectivity", connectivity_label(s.connectivity)));
  rows.push_back(caption(
      sign_in ? "This network requires browser sign-in. NetworkManager will keep it below a fully "
                "connected route until sign-in succeeds."
              : "Connectivity comes from NetworkManager's captive-portal check, not merely from "
                "having an IP address."));
  if (sign_in) {
    rows.push_back(line(list(button("settings.network.captive-portal", "Open sign-in page",
                                    "network.captive_portal.open"),
                             flexible())));
  }
  result_line(rows, view, StatusPlace::kInternet);
  return ui_rows::section_card("Internet access", ui_rows::rows_column(std::move(rows)));
}

void wifi_network_rows(WidgetList& rows, PageInput& in) {
  for (const auto& network : in.snapshot.wifi_networks) {
    const std::string& ssid = network.ssid;
    rows.push_back(line(list(label(wifi_row_text(network)), flexible(),
                             button(fmt::format("settings.network.connect.{}", ssid),
                                    std::string(connect_label(network, in.view.expanded)),
                                    fmt::format("network.connect.{}", ssid)))));
    if (in.view.expanded != ssid) continue;
    auto password = w::TextInput::from_secret(in.secrets.network_password(ssid))
                        .with_id(fmt::format("settings.network.password.{}", ssid))
                        .with_placeholder("Password");
    rows.push_back(line(list(boxed(std::move(password)), flexible(),
                             button(fmt::format("settings.network.join.{}", ssid), "Join",
                                    fmt::format("network.join.{}", ssid)))));
  }
}

WidgetBox wifi_card(PageInput& in) {
  w::Toggle power("Wi-Fi", "network.wifi_enabled");
  power.with_id("settings.network.wifi");
  power.on_action(std::move(in.wifi_binding));
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Status", wifi_status_line(in.snapshot)));
  if (in.snapshot.wifi_enabled) wifi_network_rows(rows, in);
  result_line(rows, in.view, StatusPlace::kWifi);
  rows.push_back(
      line(list(flexible(), button("settings.network.refresh", "Refresh", "network.refresh"))));
  rows.push_back(
      caption("Wi-Fi scanning and connection are best-effort via nmcli; secure networks prompt for "
              "a password before joining."));
  return ui_rows::section_card_with_control("Wi-Fi", boxed(std::move(power)),
                                            ui_rows::rows_column(std::move(rows)));
}

void enterprise_editor(WidgetList& rows, SecretFields& secrets) {
  rows.push_back(ui_rows::setting_row(
      "Method", dropdown("network.enterprise.method", {"PEAP", "TTLS", "TLS"}, "PEAP", "Method")));
  rows.push_back(ui_rows::setting_row(
      "Inner authentication", dropdown("network.enterprise.phase2", {"MSCHAPv2", "PAP", "CHAP"},
                                       "MSCHAPv2", "Inner authentication")));
  const std::pair<std::string_view, std::string_view> fields[] = {
      {"network.enterprise.profile", "Profile name"},
      {"network.enterprise.client_cert", "Client certificate path (TLS)"},
      {"network.enterprise.private_key", "Private key path (TLS)"},
      {"network.enterprise.ssid", "Network name (SSID)"},
      {"network.enterprise.identity", "Username / identity"},
      {"network.enterprise.anonymous", "Anonymous identity (optional)"},
      {"network.enterprise.ca", "Absolute path to CA certificate"}};
  for (const auto& [id, placeholder] : fields) {
    rows.push_back(text_input(std::string(id), std::string(id), std::string(placeholder)));
  }
  rows.push_back(line(list(button("settings.network.enterprise.ca.choose", "Choose CA certificate…",
                                  "network.enterprise.ca.choose"))));
  rows.push_back(
      secret_field(secrets, kEnterprisePasswordSecret, "network.enterprise.password", "Password"));
  rows.push_back(line(list(button("settings.network.enterprise.connect", "Save and connect",
                                  "network.enterprise.connect"))));
}

WidgetBox enterprise_card(PageInput& in) {
  WidgetList rows;
  rows.push_back(
      caption("Use an enterprise network for PEAP, TTLS, or EAP-TLS sign-in. Server certificate "
              "validation is mandatory."));
  if (in.view.enterprise_open) enterprise_editor(rows, in.secrets);
  rows.push_back(
      line(list(button("settings.network.enterprise.editor",
                       in.view.enterprise_open ? "Close enterprise setup" : "Set up enterprise",
                       "network.enterprise.editor"))));
  result_line(rows, in.view, StatusPlace::kEnterprise);
  return ui_rows::section_card("Enterprise Wi-Fi", ui_rows::rows_column(std::move(rows)));
}

void ipv4_editor(WidgetList& rows, const NetworkSnapshot& s, const NetworkView& view) {
  const auto wired = s.profiles_of(kWiredProfileType);
  const net::NetworkProfile* profile = edited_profile(wired, s.ipv4_profile);
  if (profile == nullptr) return;
  if (wired.size() > 1) {
    rows.push_back(
        ui_rows::setting_row("Edit profile", dropdown("network.ipv4.profile", labels_of(wired),
                                                      profile_label(*profile), "Edit profile")));
  }
  const net::ProfileSettings* settings = s.settings_of(profile->id);
  if (settings == nullptr || !settings->ipv4) {
    rows.push_back(
        caption("This profile's IPv4 method is unsupported or could not be read; Settings will "
                "leave it unchanged."));
    return;
  }
  const std::string& id = profile->id;
  rows.push_back(ui_rows::label_row(
      "Automatic IPv4", toggle("settings.network.ipv4.automatic",
                               fmt::format("network.ipv4.{}.automatic", id), "Automatic IPv4")));
  rows.push_back(text_input("network.ipv4.address", fmt::format("network.ipv4.{}.address", id),
                            "Address/prefix · e.g. 192.0.2.10/24"));
  rows.push_back(
      text_input("network.ipv4.gateway", fmt::format("network.ipv4.{}.gateway", id), "Gateway"));
  rows.push_back(text_input("network.ipv4.dns", fmt::format("network.ipv4.{}.dns", id),
                            "DNS servers · comma-separated"));
  rows.push_back(line(list(button("settings.network.ipv4.apply", "Apply IP settings",
                                  fmt::format("network.ipv4.{}.apply", id)))));
  result_line(rows, view, StatusPlace::kIpv4);
  rows.push_back(
      caption("NetworkManager validates and applies this profile. Custom DNS disables "
              "DHCP-provided DNS for this connection only."));
}

WidgetBox wired_section(const NetworkSnapshot& s, const NetworkView& view) {
  WidgetList rows;
  const net::WiredState& wired = s.wired;
  if (!wired.enabled) {
    rows.push_back(ui_rows::info_row("Ethernet", "Not connected"));
    rows.push_back(caption("Plug in an Ethernet cable to use a wired connection."));
    return ui_rows::rows_column(std::move(rows));
  }
  rows.push_back(ui_rows::info_row(
      "Ethernet",
      wired.connection ? fmt::format("Connected · {}", *wired.connection) : "Connected"));
  if (wired.interface) rows.push_back(ui_rows::info_row("Interface", *wired.interface));
  rows.push_back(ui_rows::info_row("IPv4", wired.ipv4.value_or("—")));
  ipv4_editor(rows, s, view);
  return ui_rows::rows_column(std::move(rows));
}

WidgetBox wired_card(PageInput& in) {
  const NetworkSnapshot& s = in.snapshot;
  if (!s.has_wired_device()) return ui_rows::section_card("Wired", wired_section(s, in.view));
  w::Toggle power("Wired", "network.wired_enabled");
  power.with_id("settings.network.wired");
  power.on_action(std::move(in.wired_binding));
  return ui_rows::section_card_with_control("Wired", boxed(std::move(power)),
                                            wired_section(s, in.view));
}

void policy_editor(WidgetList& rows, const NetworkSnapshot& s,
                   const std::vector<const net::NetworkProfile*>& wifi) {
  const net::NetworkProfile* profile = edited_profile(wifi, s.policy_profile);
  if (profile == nullptr) return;
  if (wifi.size() > 1) {
    rows.push_back(
        ui_rows::setting_row("Edit profile", dropdown("network.advanced.profile", labels_of(wifi),
                                                      profile_label(*profile), "Edit profile")));
  }
  rows.push_back(caption(fmt::format(
      "Connection policy for {}. NetworkManager remains the source of truth.", profile->name)));
  if (s.settings_of(profile->id) == nullptr) {
    rows.push_back(
        caption("Policy values could not be read from NetworkManager, so Settings will not offer "
                "a destructive default editor."));
    return;
  }
  const std::string& id = profile->id;
  rows.push_back(
      ui_rows::setting_row("Metered", dropdown(fmt::format("network.profile.metered.{}", id),
                                               metered_choices(), "Automatic", "Metered")));
  rows.push_back(ui_rows::setting_row(
      "Wi-Fi address", dropdown(fmt::format("network.profile.mac.{}", id), mac_policy_choices(),
                                "Stable per network", "Wi-Fi address")));
  const std::string proxy = fmt::format("network.profile.proxy.{}", id);
  rows.push_back(ui_rows::label_row("Automatic proxy URL",
                                    text_input(proxy, proxy, "http://wpad.example/wpad.dat")));
  rows.push_back(line(list(button(fmt::format("settings.network.profile.policy.{}", id),
                                  "Apply policy", fmt::format("network.profile.policy.{}", id)))));
}

WidgetBox profiles_card(PageInput& in) {
  const NetworkSnapshot& s = in.snapshot;
  const auto wifi = s.profiles_of(kWifiProfileType);
  WidgetList rows;
  for (const auto* profile : wifi) {
    const std::string& id = profile->id;
    rows.push_back(
        line(list(label(profile->name), flexible(),
                  button(fmt::format("settings.network.profile.share.{}", id),
                         "Share with my devices", fmt::format("network.profile.share.{}", id)),
                  ui_rows::gap(kButtonGap),
                  button(fmt::format("settings.network.profile.forget.{}", id), "Forget",
                         fmt::format("network.profile.forget.{}", id)),
                  ui_rows::gap(kButtonGap),
                  toggle(fmt::format("settings.network.profile.autoconnect.{}", id),
                         fmt::format("network.profile.autoconnect.{}", id),
                         fmt::format("Connect to {} automatically", profile->name)))));
  }
  if (wifi.empty()) rows.push_back(caption("No saved Wi-Fi networks."));
  result_line(rows, in.view, StatusPlace::kProfiles);
  rows.push_back(
      caption("Sharing is opt-in and seals only the network name, security mode, and passphrase "
              "for your certified devices. Interface, MAC, IP, DNS, proxy, and auto-connect "
              "settings stay on this device."));
  if (in.view.policy_shown) policy_editor(rows, s, wifi);
  return ui_rows::section_card_with_control(
      "Connection profiles",
      button("settings.network.advanced",
             in.view.policy_shown ? "Hide connection policy" : "Connection policy",
             "network.advanced"),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox diagnostics_card(const NetworkSnapshot& s, const NetworkView& view) {
  WidgetList rows;
  rows.push_back(line(
      list(button("settings.network.diagnostics", "Run diagnostics", "network.diagnostics.run"))));
  result_line(rows, view, StatusPlace::kDiagnostics);
  if (!s.diagnostics) {
    rows.push_back(
        caption("Checks NetworkManager state, address, gateway and DNS without sending traffic to "
                "a Kalu service."));
  } else {
    const net::ConnectionDiagnostics& d = *s.diagnostics;
    rows.push_back(ui_rows::info_row("NetworkManager", d.manager_state));
    rows.push_back(ui_rows::info_row("Internet", connectivity_label(d.connectivity)));
    if (d.device) rows.push_back(ui_rows::info_row("Device", *d.device));
    if (d.address) rows.push_back(ui_rows::info_row("Address", *d.address));
    if (d.gateway) rows.push_back(ui_rows::info_row("Gateway", *d.gateway));
    rows.push_back(ui_rows::info_row("DNS", d.dns.empty()
                                                ? std::string("Not provided")
                                                : fmt::format("{}", fmt::join(d.dns, ", "))));
    for (const auto& note : d.notes) rows.push_back(label(note));
  }
  return ui_rows::section_card("Connection diagnostics", ui_rows::rows_column(std::move(rows)));
}

WidgetBox vpn_card(const NetworkSnapshot& s) {
  WidgetList rows;
  for (const auto& vpn : s.vpns) {
    rows.push_back(
        line(list(label(vpn.name), flexible(),
                  button(fmt::format("settings.network.vpn.morlit.{}", vpn.name), "Open VPN Morlit",
                         fmt::format("network.vpn.morlit.{}", vpn.name)),
                  ui_rows::gap(kButtonGap),
                  toggle(fmt::format("settings.network.vpn.{}", vpn.name),
                         fmt::format("network.vpn.{}", vpn.name), vpn.name))));
  }
  if (!s.vpns.empty()) {
    rows.push_back(caption(
        "Connect here day to day. Use VPN Morlit only for imports, DNS, routing, and kill-switch "
        "rules."));
  } else {
    rows.push_back(caption(
        "No VPN profiles yet. VPN Morlit can import WireGuard and OpenVPN configurations."));
    rows.push_back(line(list(flexible(), button("settings.network.vpn.morlit.open",
                                                "Open VPN Morlit", "network.vpn.morlit.open"))));
  }
  return ui_rows::section_card("VPN", ui_rows::rows_column(std::move(rows)));
}

WidgetBox airplane_card() {
  return ui_rows::section_card_with_control(
      "Airplane mode",
      toggle("settings.network.airplane", "network.airplane_mode", "Airplane mode"),
      caption("Disables Wi-Fi and mobile broadband together."));
}

void hotspot_clients(WidgetList& rows, const NetworkSnapshot& s) {
  rows.push_back(ui_rows::info_row("Connected devices", std::to_string(s.hotspot_clients.size())));
  for (const auto& client : s.hotspot_clients) {
    rows.push_back(ui_rows::info_row(client.name, client.signal_dbm
                                                      ? fmt::format("{} dBm", *client.signal_dbm)
                                                      : std::string("signal unknown")));
  }
  rows.push_back(
      caption("Client names are not guessed from traffic. Turn the hotspot off to disconnect "
              "every client immediately."));
}

WidgetBox hotspot_card(PageInput& in) {
  const NetworkSnapshot& s = in.snapshot;
  const bool active = s.radios.hotspot_enabled;
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Status", active ? "Active" : "Off"));
  rows.push_back(text_input("network.hotspot.ssid", "network.hotspot.ssid", "Hotspot name"));
  rows.push_back(boxed(w::TextInput::from_secret(in.secrets.hotspot_password())
                           .with_id("network.hotspot.password")
                           .with_label("Hotspot password")
                           .with_placeholder("Password · at least 8 characters")));
  rows.push_back(ui_rows::setting_row(
      "Band",
      dropdown("network.hotspot.band", {"Automatic", "2.4 GHz", "5 GHz"}, "Automatic", "Band")));
  rows.push_back(line(
      list(button("settings.network.hotspot.apply", "Apply and start", "network.hotspot.apply"),
           ui_rows::gap(kButtonGap),
           button("settings.network.hotspot.qr", in.view.qr_shown ? "Hide QR" : "Share QR",
                  "network.hotspot.qr"))));
  result_line(rows, in.view, StatusPlace::kHotspot);
  if (in.qr_payload) {
    rows.push_back(boxed(w::QrWidget(std::move(*in.qr_payload))));
    rows.push_back(caption("Scan to join. The QR code contains the hotspot password."));
  }
  if (active) hotspot_clients(rows, s);
  return ui_rows::section_card_with_control(
      "Wi-Fi hotspot", toggle("settings.network.hotspot", "network.hotspot", "Hotspot"),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox mobile_card(PageInput& in) {
  WidgetList rows;
  rows.push_back(caption(
      "Create the carrier profile through NetworkManager. The APN is supplied by your carrier."));
  rows.push_back(text_input("network.mobile.profile", "network.mobile.profile", "Profile name"));
  rows.push_back(text_input("network.mobile.apn", "network.mobile.apn", "Access point name (APN)"));
  rows.push_back(line(
      list(button("settings.network.mobile.create", "Create profile", "network.mobile.create"))));
  result_line(rows, in.view, StatusPlace::kMobileProfile);
  rows.push_back(
      caption("If the SIM is locked, enter its PIN. It is sent directly to ModemManager over the "
              "system bus and is never saved."));
  std::vector<std::string> sims;
  for (const auto& sim : in.snapshot.sims) sims.push_back(sim.label);
  std::string first = sims.empty() ? std::string() : sims.front();
  rows.push_back(
      ui_rows::setting_row("SIM", dropdown("network.mobile.sim", std::move(sims), first, "SIM")));
  rows.push_back(secret_field(in.secrets, kMobilePinSecret, "network.mobile.pin", "SIM PIN"));
  rows.push_back(
      line(list(button("settings.network.mobile.unlock", "Unlock SIM", "network.mobile.unlock"))));
  result_line(rows, in.view, StatusPlace::kSim);
  return ui_rows::section_card_with_control(
      "Mobile broadband",
      toggle("settings.network.mobile", "network.mobile_broadband", "Mobile broadband"),
      ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string wifi_row_text(const net::WifiNetwork& network) {
  const std::string_view signal = network.signal < std::size(kSignalGlyphs)
                                      ? kSignalGlyphs[network.signal]
                                      : kSignalUnknownGlyph;
  return fmt::format("{}  {}  {}", signal, network.secured ? kSecuredGlyph : kOpenGlyph,
                     network.ssid);
}

WidgetBox secret_field(SecretFields& secrets, std::string_view secret_id,
                       std::string_view control_id, std::string_view placeholder) {
  return boxed(w::TextInput::from_secret(secrets.field(secret_id))
                   .with_id(std::string(control_id))
                   .with_placeholder(std::string(placeholder)));
}

WidgetBox network_page(PageInput& in) {
  WidgetList cards;
  cards.push_back(internet_card(in.snapshot, in.view));
  cards.push_back(wifi_card(in));
  cards.push_back(enterprise_card(in));
  cards.push_back(wired_card(in));
  cards.push_back(profiles_card(in));
  cards.push_back(diagnostics_card(in.snapshot, in.view));
  cards.push_back(vpn_card(in.snapshot));
  cards.push_back(airplane_card());
  cards.push_back(hotspot_card(in));
  if (in.snapshot.radios.mobile_broadband_present) cards.push_back(mobile_card(in));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::network
