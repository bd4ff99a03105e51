// The Network pane's form handlers that sync runs after the switches: VPN
// toggles, saved profiles (auto-connect, forget, share), the hotspot's
// "Apply and start", the profile pickers, IPv4, the editors, connection
// policy, SIM unlock, enterprise Wi-Fi, the CA chooser, the sign-in page and
// the VPN tool. A press is taken (written false) before it acts, so it is
// handled once; a failed change writes the previous value back.

#include <fmt/format.h>

#include <string>
#include <utility>
#include <vector>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "lib/text_object.h"
#include "limited_exec/text.h"
#include "panes/network/doc_writes.h"
#include "panes/network/network_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using doc::kRoot;

using doc_writes::put_bool;

// A text control's text; absent counts as empty.
std::string text_of(const doc::Document& document, std::string_view key) {
  return actions::read_doc_text(document, kRoot, key).value_or(std::string());
}

// A text control's text without the white space around it; none when blank.
std::optional<std::string> optional_text(const doc::Document& document, std::string_view key) {
  const std::string text = text_of(document, key);
  const std::string_view kept = limited_exec::trim_white_space(text);
  if (kept.empty()) return std::nullopt;
  return std::string(kept);
}

net::EapMethod eap_method(std::string_view label) {
  if (label == "TTLS") return net::EapMethod::Ttls;
  if (label == "TLS") return net::EapMethod::Tls;
  return net::EapMethod::Peap;
}

net::Phase2Auth phase2_auth(std::string_view label) {
  if (label == "PAP") return net::Phase2Auth::Pap;
  if (label == "CHAP") return net::Phase2Auth::Chap;
  return net::Phase2Auth::Mschapv2;
}

}  // namespace

// ---- VPN toggles and saved profiles ----

void NetworkPane::apply_vpn_toggles(doc::Document& document) {
  for (auto& vpn : snapshot_.vpns) {
    const std::string key = fmt::format("network.vpn.{}", vpn.name);
    auto wanted = document.read_bool(kRoot, key);
    if (!wanted || *wanted == vpn.active) continue;
    if (auto done = services_.dispatcher->set_vpn_connection(vpn.name, *wanted); !done) {
      doc_writes::warn("VPN action failed", "set_vpn_connection", done.error());
      put_bool(document, key, vpn.active);
      continue;
    }
    vpn.active = *wanted;
  }
}

void NetworkPane::apply_saved_profiles(doc::Document& document) {
  for (std::size_t i = 0; i < snapshot_.profiles.size();) {
    net::NetworkProfile& profile = snapshot_.profiles[i];
    const std::string id = profile.id;
    const std::string name = profile.name;
    const std::string autoconnect = fmt::format("network.profile.autoconnect.{}", id);
    if (auto wanted = document.read_bool(kRoot, autoconnect);
        wanted && *wanted != profile.autoconnect) {
      if (auto done = services_.backend->set_network_autoconnect(id, *wanted); !done) {
        put_bool(document, autoconnect, profile.autoconnect);
        say(StatusPlace::kProfiles, fmt::format("Could not update {}: {}", name, done.error()));
        request_rebuild();
      } else {
        profile.autoconnect = *wanted;
      }
    }
    if (take_doc_flag(document, fmt::format("network.profile.forget.{}", id))) {
      request_rebuild();
      if (auto done = services_.backend->forget_network_profile(id); !done) {
        say(StatusPlace::kProfiles, fmt::format("Could not forget {}: {}", name, done.error()));
      } else {
        drop_profile(snapshot_, id);
        say(StatusPlace::kProfiles, fmt::format("Forgot {}.", name));
        continue;  // the next profile now stands at i
      }
    }
    if (take_doc_flag(document, fmt::format("network.profile.share.{}", id)) &&
        profile.connection_type == kWifiProfileType) {
      say(StatusPlace::kProfiles, fmt::format("Sealing {} for your devices…", name));
      request_rebuild();
      start_profile_share_worker(services_.threads, id, services_.continuity, outcome_sender_);
    }
    ++i;
  }
}

// ---- Hotspot ----

void NetworkPane::apply_hotspot(doc::Document& document) {
  if (!take_doc_flag(document, "network.hotspot.apply")) return;
  request_rebuild();
  read_hotspot_draft(document);
  auto config = hotspot_configuration(view_.hotspot.ssid, view_.hotspot.band);
  if (!config) {
    say(StatusPlace::kHotspot, config.error());
    return;
  }
  auto done = services_.backend->configure_hotspot(*config);
  kalu_ui::secret::wipe(config->password);
  if (!done) {
    say(StatusPlace::kHotspot, fmt::format("Hotspot failed: {}", done.error()));
    return;
  }
  snapshot_.radios.hotspot_enabled = true;
  if (auto clients = services_.backend->list_hotspot_clients()) {
    snapshot_.hotspot_clients = std::move(*clients);
  }
  put_bool(document, "network.hotspot", true);
  say(StatusPlace::kHotspot, "Hotspot is active.");
}

// ---- Profile pickers and IPv4 ----

void NetworkPane::apply_profile_pickers(doc::Document& document) {
  auto pick = [&](std::string_view key, std::string_view type,
                  std::optional<std::string>& selected) {
    auto label = actions::read_doc_text(document, kRoot, key);
    if (!label) return;
    for (const auto* profile : snapshot_.profiles_of(type)) {
      if (profile->id == selected || profile_label(*profile) != *label) continue;
      selected = profile->id;
      request_rebuild();
      return;
    }
  };
  pick("network.advanced.profile", kWifiProfileType, snapshot_.policy_profile);
  pick("network.ipv4.profile", kWiredProfileType, snapshot_.ipv4_profile);
}

void NetworkPane::apply_ipv4(doc::Document& document) {
  for (const auto* profile : snapshot_.profiles_of(kWiredProfileType)) {
    const std::string& id = profile->id;
    if (!take_doc_flag(document, fmt::format("network.ipv4.{}.apply", id))) continue;
    request_rebuild();
    auto found = snapshot_.profile_settings.find(id);
    if (found == snapshot_.profile_settings.end() || !found->second.ipv4) {
      say(StatusPlace::kIpv4,
          "IP settings were not applied because the profile could not be read safely.");
      continue;
    }
    net::Ipv4Settings settings;
    settings.automatic =
        document.read_bool(kRoot, fmt::format("network.ipv4.{}.automatic", id)).value_or(false);
    settings.addresses = split_list(text_of(document, fmt::format("network.ipv4.{}.address", id)));
    settings.gateway = optional_text(document, fmt::format("network.ipv4.{}.gateway", id));
    settings.dns = split_list(text_of(document, fmt::format("network.ipv4.{}.dns", id)));
    if (auto done = services_.backend->configure_ipv4(id, settings); !done) {
      say(StatusPlace::kIpv4, fmt::format("IP settings were not applied: {}", done.error()));
      continue;
    }
    // What the device now holds, not what was sent: the profile's settings
    // and the wired link's address, which follows its active profile.
    if (auto stored = services_.backend->connection_profile_settings(id)) {
      found->second = std::move(*stored);
      put_profile_settings(document, id, found->second);
    } else {
      found->second.ipv4 = std::move(settings);
    }
    if (auto wired = services_.backend->get_wired()) {
      snapshot_.wired = wired->value_or(net::WiredState{});
    }
    say(StatusPlace::kIpv4, fmt::format("Applied IP settings to {}.", profile->name));
  }
}

// ---- Mobile profile and the editors ----

void NetworkPane::apply_editors(doc::Document& document) {
  if (take_doc_flag(document, "network.mobile.create")) {
    say(StatusPlace::kMobileProfile, "Creating mobile profile…");
    request_rebuild();
    start_mobile_profile_worker(services_.threads, text_of(document, "network.mobile.profile"),
                                text_of(document, "network.mobile.apn"), services_.backend,
                                outcome_sender_);
  }
  if (take_doc_flag(document, "network.advanced")) {
    view_.policy_shown = !view_.policy_shown;
    if (view_.policy_shown) {
      for (const auto* profile : snapshot_.profiles_of(kWifiProfileType)) {
        (void)lib::seed_text_object(document, kRoot,
                                    fmt::format("network.profile.proxy.{}", profile->id));
      }
    }
    request_rebuild();
  }
  if (take_doc_flag(document, "network.enterprise.editor")) {
    view_.enterprise_open = !view_.enterprise_open;
    request_rebuild();
  }
  run_diagnostics(document);
}

// ---- Connection policy ----

void NetworkPane::apply_policy(doc::Document& document) {
  for (const auto& profile : snapshot_.profiles) {
    const std::string& id = profile.id;
    if (!take_doc_flag(document, fmt::format("network.profile.policy.{}", id))) continue;
    request_rebuild();
    auto found = snapshot_.profile_settings.find(id);
    if (found == snapshot_.profile_settings.end()) {
      say(StatusPlace::kProfiles,
          "Policy was not applied because NetworkManager's current values could not be read.");
      continue;
    }
    net::ProfileSettings& current = found->second;
    // Only what differs from the profile's current values is sent; an
    // absent or unknown choice keeps its value.
    net::ConnectionPolicyPatch patch;
    const auto metered =
        metered_value(text_of(document, fmt::format("network.profile.metered.{}", id)));
    if (metered && *metered != current.metered) patch.metered = metered;
    const auto mac = mac_policy_value(text_of(document, fmt::format("network.profile.mac.{}", id)));
    if (mac && *mac != current.mac_policy) patch.mac_policy = mac;
    auto proxy = optional_text(document, fmt::format("network.profile.proxy.{}", id));
    // A proxy that could not be read is not cleared on a guess.
    if (current.proxy_url ? *current.proxy_url != proxy : proxy.has_value()) {
      patch.proxy_url = std::move(proxy);
    }
    if (auto done = services_.backend->configure_connection_policy_patch(id, patch); !done) {
      say(StatusPlace::kProfiles, fmt::format("Policy was not applied: {}", done.error()));
      continue;
    }
    if (patch.metered) current.metered = *patch.metered;
    if (patch.mac_policy) current.mac_policy = *patch.mac_policy;
    if (patch.proxy_url) current.proxy_url = *patch.proxy_url;
    say(StatusPlace::kProfiles, fmt::format("Applied advanced policy to {}.", profile.name));
  }
}

// ---- SIM, enterprise, certificate, sign-in page, VPN tool ----

void NetworkPane::apply_sim_unlock(doc::Document& document) {
  if (!take_doc_flag(document, "network.mobile.unlock")) return;
  SecretText pin = secrets_.take_field(kMobilePinSecret);
  std::optional<std::string> sim;
  const std::string label = text_of(document, "network.mobile.sim");
  for (const auto& candidate : snapshot_.sims) {
    if (candidate.label == label) {
      sim = candidate.path;
      break;
    }
  }
  if (!sim && !snapshot_.sims.empty()) sim = snapshot_.sims.front().path;
  say(StatusPlace::kSim, "Unlocking SIM…");
  request_rebuild();
  start_sim_unlock_worker(services_.threads, std::move(sim), std::move(pin), services_.backend,
                          outcome_sender_);
}

void NetworkPane::apply_enterprise(doc::Document& document) {
  if (!take_doc_flag(document, "network.enterprise.connect")) return;
  EnterpriseJob job;
  net::EnterpriseWifiConfig& config = job.config;
  config.profile_name = text_of(document, "network.enterprise.profile");
  config.ssid = text_of(document, "network.enterprise.ssid");
  config.identity = text_of(document, "network.enterprise.identity");
  config.anonymous_identity = optional_text(document, "network.enterprise.anonymous");
  config.ca_certificate = optional_text(document, "network.enterprise.ca");
  config.method = eap_method(text_of(document, "network.enterprise.method"));
  config.phase2 = phase2_auth(text_of(document, "network.enterprise.phase2"));
  config.client_certificate = optional_text(document, "network.enterprise.client_cert");
  config.private_key = optional_text(document, "network.enterprise.private_key");
  job.password = secrets_.take_field(kEnterprisePasswordSecret);
  say(StatusPlace::kEnterprise, "Connecting to enterprise Wi-Fi…");
  request_rebuild();
  start_enterprise_worker(services_.threads, std::move(job), services_.backend, outcome_sender_);
}

void NetworkPane::apply_portal_and_tools(doc::Document& document) {
  if (take_doc_flag(document, "network.enterprise.ca.choose")) open_certificate_chooser();
  if (take_doc_flag(document, "network.captive_portal.open")) {
    if (auto uri = services_.backend->captive_portal_uri(); !uri) {
      say(StatusPlace::kInternet, fmt::format("Could not open network sign-in: {}", uri.error()));
      request_rebuild();
    } else {
      start_sign_in_opener(services_.threads, std::move(*uri), services_.backend, outcome_sender_);
    }
  }
  auto open_tool = [&](const std::optional<std::string>& connection) {
    if (auto done = services_.backend->open_vpn_tool(connection); !done) {
      doc_writes::warn("could not open VPN Morlit", "open_tool", done.error());
    }
  };
  for (const auto& vpn : snapshot_.vpns) {
    if (take_doc_flag(document, fmt::format("network.vpn.morlit.{}", vpn.name)))
      open_tool(vpn.name);
  }
  if (take_doc_flag(document, "network.vpn.morlit.open")) open_tool(std::nullopt);
}

}  // namespace settings::panes::network
