// The Network pane's handlers that sync runs: the certificate chooser's
// answer, the workers' outcomes, the first frame's seeding of the document,
// the Wi-Fi rows and the hotspot's QR code.

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "lib/text_object.h"
#include "panes/network/doc_writes.h"
#include "panes/network/network_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using doc::kRoot;

using doc_writes::kModule;
using doc_writes::kTarget;
using doc_writes::put_bool;

void put_str(doc::Document& document, std::string_view key, std::string value) {
  (void)document.put(kRoot, key, doc::Scalar(std::move(value)));
}

// A text object under `key` holding exactly `text`.
void put_text(doc::Document& document, std::string_view key, std::string_view text) {
  auto obj = lib::seed_text_object(document, kRoot, key);
  if (!obj) return;
  auto length = document.text_length(*obj);
  if (document.text(*obj).value_or(std::string()) == text) return;
  (void)document.splice_text(*obj, 0, length.value_or(0), text);
}

std::string joined(const std::vector<std::string>& items) {
  return fmt::format("{}", fmt::join(items, ", "));
}

// The editable texts of the mobile and enterprise forms.
constexpr std::string_view kFormTexts[] = {
    "network.mobile.profile",        "network.mobile.apn",
    "network.enterprise.profile",    "network.enterprise.ssid",
    "network.enterprise.identity",   "network.enterprise.anonymous",
    "network.enterprise.ca",         "network.enterprise.client_cert",
    "network.enterprise.private_key"};

// Buttons that start unpressed.
constexpr std::string_view kButtons[] = {
    "network.mobile.create",        "network.mobile.unlock",
    "network.enterprise.connect",   "network.enterprise.editor",
    "network.enterprise.ca.choose", "network.captive_portal.open",
    "network.diagnostics.run",      "network.advanced",
    "network.vpn.morlit.open",      "network.hotspot.apply",
    "network.hotspot.qr",           "network.refresh"};

// The card a worker's answer stands in: the control that started it.
StatusPlace place_of(const NetworkJob& job) {
  if (job.ssid() != nullptr) return StatusPlace::kWifi;
  switch (std::get<FixedJob>(job.subject)) {
    case FixedJob::SavedWifiProfile:
      return StatusPlace::kProfiles;
    case FixedJob::MobileProfile:
      return StatusPlace::kMobileProfile;
    case FixedJob::Sim:
      return StatusPlace::kSim;
    case FixedJob::EnterpriseWifi:
      return StatusPlace::kEnterprise;
    case FixedJob::SignInPage:
      break;
  }
  return StatusPlace::kInternet;
}

}  // namespace

void NetworkPane::poll_chooser(doc::Document& document) {
  if (!chooser_) return;
  auto answer = chooser_->try_recv();
  if (answer.is_empty()) return;
  if (answer.is_ready()) {
    if (const auto* chosen = std::get_if<chooser::Chosen>(&answer.value())) {
      put_text(document, "network.enterprise.ca", chosen->path);
      say(StatusPlace::kEnterprise, "CA certificate selected.");
    } else if (const auto* error = std::get_if<chooser::Error>(&answer.value())) {
      say(StatusPlace::kEnterprise, fmt::format("Could not choose certificate: {}", error->text));
    }
  }
  // A chooser whose worker ended without answering counts as cancelled.
  chooser_.reset();
  request_rebuild();
}

void NetworkPane::take_outcomes(doc::Document& document) {
  for (auto got = outcomes_.try_recv(); got.is_ready(); got = outcomes_.try_recv()) {
    apply_outcome(document, std::move(got).value());
  }
}

void NetworkPane::apply_outcome(doc::Document& document, NetworkJobOutcome outcome) {
  const std::string name = outcome.job.name();
  const std::string* ssid = outcome.job.ssid();
  const StatusPlace place = place_of(outcome.job);
  if (ssid) view_.connects_in_flight.erase(*ssid);
  request_rebuild();
  std::visit(
      [&](auto& result) {
        using R = std::decay_t<decltype(result)>;
        if constexpr (std::is_same_v<R, job::Done>) {
          say(place, std::move(result.text));
        } else if constexpr (std::is_same_v<R, job::Failed>) {
          say(place, fmt::format("Could not configure {}: {}", name, result.error));
          kalu_ui::log::warn(kTarget, kModule, "network pane operation failed",
                             {{"op", "network_job"}, {"error", result.error}});
        } else if constexpr (std::is_same_v<R, job::Connected>) {
          say(place, result.note ? fmt::format("Connected to {}. {}", name, *result.note)
                                 : fmt::format("Connected to {}.", name));
          reread_after_connect();
          if (view_.expanded == name) set_expanded(document, std::nullopt);
        } else if constexpr (std::is_same_v<R, job::PasswordNeeded>) {
          set_expanded(document, name);
          say(place, result.reason
                         ? fmt::format("Enter the password for {}. Shared password unavailable: {}",
                                       name, *result.reason)
                         : fmt::format("Enter the password for {}.", name));
        } else {
          say(place,
              fmt::format(
                  "{} is sealed for your certified devices. Device-specific profile settings were "
                  "not shared.",
                  result.network));
        }
      },
      outcome.result);
}

void NetworkPane::say(StatusPlace place, std::string text) {
  view_.status = std::move(text);
  view_.status_place = place;
}

void NetworkPane::reread_after_connect() {
  if (auto listed = services_.backend->list_wifi_networks()) {
    snapshot_.wifi_networks = std::move(*listed);
  }
  reread_profiles(snapshot_, *services_.backend);
}

void NetworkPane::seed_document(doc::Document& document) {
  // Every value the device just told is written, whatever the document held:
  // a value left there by an earlier page may be stale.
  applied_wifi_ = snapshot_.wifi_enabled;
  put_bool(document, "network.wifi_enabled", snapshot_.wifi_enabled);
  put_bool(document, "network.wired_enabled", snapshot_.wired.enabled);
  put_bool(document, "network.airplane_mode", snapshot_.radios.airplane_mode);
  put_bool(document, "network.hotspot", snapshot_.radios.hotspot_enabled);
  put_bool(document, "network.mobile_broadband", snapshot_.radios.mobile_broadband_enabled);
  for (const auto& vpn : snapshot_.vpns) {
    put_bool(document, fmt::format("network.vpn.{}", vpn.name), vpn.active);
    put_bool(document, fmt::format("network.vpn.morlit.{}", vpn.name), false);
  }
  for (std::string_view button : kButtons) put_bool(document, button, false);
  put_text(document, "network.hotspot.ssid", view_.hotspot.ssid);
  put_str(document, "network.hotspot.band", view_.hotspot.band);
  if (snapshot_.policy_profile) {
    if (const auto* profile = snapshot_.profile(*snapshot_.policy_profile)) {
      put_str(document, "network.advanced.profile", profile_label(*profile));
    }
  }
  if (snapshot_.ipv4_profile) {
    if (const auto* profile = snapshot_.profile(*snapshot_.ipv4_profile)) {
      put_str(document, "network.ipv4.profile", profile_label(*profile));
    }
  }
  for (std::string_view key : kFormTexts) (void)lib::seed_text_object(document, kRoot, key);
  put_str(document, "network.enterprise.method", "PEAP");
  put_str(document, "network.enterprise.phase2", "MSCHAPv2");
  if (!snapshot_.sims.empty())
    put_str(document, "network.mobile.sim", snapshot_.sims.front().label);
  seed_profiles(document);
  put_str(document, "network.expanded", view_.expanded.value_or(std::string()));
}

void NetworkPane::seed_profiles(doc::Document& document) {
  for (const auto& profile : snapshot_.profiles) {
    const std::string& id = profile.id;
    put_bool(document, fmt::format("network.profile.autoconnect.{}", id), profile.autoconnect);
    put_bool(document, fmt::format("network.profile.forget.{}", id), false);
    put_bool(document, fmt::format("network.profile.share.{}", id), false);
    if (const net::ProfileSettings* settings = snapshot_.settings_of(id)) {
      put_profile_settings(document, id, *settings);
    }
  }
}

void NetworkPane::put_profile_settings(doc::Document& document, const std::string& id,
                                       const net::ProfileSettings& settings) {
  if (auto label = metered_label(settings.metered)) {
    put_str(document, fmt::format("network.profile.metered.{}", id), std::string(*label));
  }
  if (auto label = mac_policy_label(settings.mac_policy)) {
    put_str(document, fmt::format("network.profile.mac.{}", id), std::string(*label));
  }
  if (settings.proxy_url) {
    put_text(document, fmt::format("network.profile.proxy.{}", id),
             settings.proxy_url->value_or(std::string()));
  }
  if (const auto& ipv4 = settings.ipv4) {
    put_bool(document, fmt::format("network.ipv4.{}.automatic", id), ipv4->automatic);
    put_text(document, fmt::format("network.ipv4.{}.address", id), joined(ipv4->addresses));
    put_text(document, fmt::format("network.ipv4.{}.gateway", id),
             ipv4->gateway.value_or(std::string()));
    put_text(document, fmt::format("network.ipv4.{}.dns", id), joined(ipv4->dns));
  }
}

kalu_ui::Result<net::HotspotConfiguration> NetworkPane::hotspot_configuration(
    std::string_view ssid, std::string_view band) {
  auto access = secrets_.hotspot_password()->try_lock();
  if (!access) return kalu_ui::fail("hotspot password buffer is unavailable");
  net::HotspotConfiguration config;
  config.ssid = std::string(ssid);
  config.band = hotspot_band(band);
  config.password.reserve(access->size());
  config.password.append(access->view());
  if (auto valid = config.validate(); !valid) {
    kalu_ui::secret::wipe(config.password);
    return kalu_ui::fail(valid.error());
  }
  return config;
}

void NetworkPane::read_hotspot_draft(const doc::Document& document) {
  auto ssid = actions::read_doc_text(document, kRoot, "network.hotspot.ssid");
  auto band = actions::read_doc_text(document, kRoot, "network.hotspot.band");
  view_.hotspot.ssid = ssid && !ssid->empty() ? *ssid : std::string(kDefaultHotspotName);
  view_.hotspot.band = band && !band->empty() ? *band : std::string(kDefaultHotspotBand);
}

void NetworkPane::apply_qr_press(doc::Document& document) {
  if (!take_doc_flag(document, "network.hotspot.qr")) return;
  read_hotspot_draft(document);
  auto config = hotspot_configuration(view_.hotspot.ssid, view_.hotspot.band);
  if (config) {
    view_.qr_shown = !view_.qr_shown;
    kalu_ui::secret::wipe(config->password);
  } else {
    say(StatusPlace::kHotspot, config.error());
  }
  request_rebuild();
}

void NetworkPane::set_expanded(doc::Document& document, std::optional<std::string> ssid) {
  if (ssid == view_.expanded) return;
  put_str(document, "network.expanded", ssid.value_or(std::string()));
  if (ssid) secrets_.network_password(*ssid);
  if (view_.expanded) {
    if (auto closing = secrets_.find_network_password(*view_.expanded)) closing->clear();
  }
  view_.expanded = std::move(ssid);
  request_rebuild();
}

void NetworkPane::start_wifi_connect(const std::string& ssid, std::uint8_t mode_byte,
                                     std::optional<SecretText> password, bool lookup) {
  if (view_.connects_in_flight.contains(ssid)) return;
  view_.connects_in_flight.insert(ssid);
  say(StatusPlace::kWifi, fmt::format("Connecting to {}…", ssid));
  request_rebuild();
  WifiConnectJob job{ssid,   std::move(password),  mode_byte,
                     lookup, services_.dispatcher, services_.continuity};
  start_wifi_connect_worker(services_.threads, std::move(job), outcome_sender_);
}

void NetworkPane::open_certificate_chooser() {
  if (chooser_) return;
  auto [answer, receiver] = kalu_ui::channel::oneshot<ChooserAnswer>();
  chooser_.emplace(std::move(receiver));
  start_certificate_chooser(services_.threads, services_.backend, std::move(answer));
}

void NetworkPane::apply_wifi_rows(doc::Document& document) {
  if (auto expanded = actions::read_doc_text(document, kRoot, "network.expanded")) {
    std::optional<std::string> wanted;
    if (!expanded->empty()) wanted = std::move(*expanded);
    if (wanted != view_.expanded) set_expanded(document, std::move(wanted));
  }
  // A copy: a connect may reread the list while the rows are handled.
  const std::vector<net::WifiNetwork> networks = snapshot_.wifi_networks;
  for (const auto& network : networks) {
    const std::string& ssid = network.ssid;
    if (take_doc_flag(document, fmt::format("network.connect.{}", ssid))) {
      if (!network.secured) {
        start_wifi_connect(ssid, network.state, std::nullopt, false);
        set_expanded(document, std::nullopt);
      } else if (view_.expanded == ssid) {
        set_expanded(document, std::nullopt);  // the button reads "Cancel"
      } else {
        // A password sealed by the person's certified devices is tried first.
        start_wifi_connect(ssid, network.state, std::nullopt, true);
      }
    }
    if (take_doc_flag(document, fmt::format("network.join.{}", ssid))) {
      std::optional<SecretText> password;
      if (auto buffer = secrets_.find_network_password(ssid)) {
        SecretText typed = buffer->take();
        if (!typed.empty()) password = std::move(typed);
      }
      start_wifi_connect(ssid, network.state, std::move(password), false);
      set_expanded(document, std::nullopt);
    }
  }
}

}  // namespace settings::panes::network
