#include "stored/continuity.h"

#include <nlohmann/json.hpp>
#include <string>

#include "codec/codec.h"
#include "codec/tree.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::stored {

constexpr auto describe(codec::Tag<ContinuityCapability>) {
  return codec::names<ContinuityCapability>(
      "ContinuityCapability", "clipboard", "notifications", "wifi_settings", "media",
      "display_input", "file_transfer", "realtime_sessions", "typed_gamepad", "app_continuations");
}

constexpr auto describe(codec::Tag<AuditEntry>) {
  using T = AuditEntry;
  return codec::record("AuditEntry", codec::field("recorded_at_secs", &T::recorded_at_secs),
                       codec::field("capability", &T::capability),
                       codec::field("enabled", &T::enabled))
      .deny_unknown_fields();
}

constexpr auto describe(codec::Tag<ContinuityPrivacy>) {
  using T = ContinuityPrivacy;
  return codec::record("ContinuityPrivacy", codec::field_or_default("enabled", &T::enabled),
                       codec::field_or_default("clipboard", &T::clipboard),
                       codec::field_or_default("notifications", &T::notifications),
                       codec::field_or_default("wifi_settings", &T::wifi_settings),
                       codec::field_or_default("media", &T::media),
                       codec::field_or_default("display_input", &T::display_input),
                       codec::field_or_default("file_transfer", &T::file_transfer),
                       codec::field_or_default("realtime_sessions", &T::realtime_sessions),
                       codec::field_or_default("typed_gamepad", &T::typed_gamepad),
                       codec::field_or_default("app_continuations", &T::app_continuations),
                       codec::field_or_default("audit", &T::audit))
      .deny_unknown_fields();
}

namespace {
using Json = nlohmann::ordered_json;
}  // namespace

std::string_view capability_name(ContinuityCapability capability) {
  return describe(codec::Tag<ContinuityCapability>{}).names[static_cast<std::size_t>(capability)];
}

bool& ContinuityPrivacy::capability(ContinuityCapability which) {
  switch (which) {
    case ContinuityCapability::Clipboard:
      return clipboard;
    case ContinuityCapability::Notifications:
      return notifications;
    case ContinuityCapability::WifiSettings:
      return wifi_settings;
    case ContinuityCapability::Media:
      return media;
    case ContinuityCapability::DisplayInput:
      return display_input;
    case ContinuityCapability::FileTransfer:
      return file_transfer;
    case ContinuityCapability::RealtimeSessions:
      return realtime_sessions;
    case ContinuityCapability::TypedGamepad:
      return typed_gamepad;
    case ContinuityCapability::AppContinuations:
      break;
  }
  return app_continuations;
}

void ContinuityPrivacy::record_change(std::optional<ContinuityCapability> capability, bool enabled,
                                      std::uint64_t now_secs) {
  audit.push_back(AuditEntry{now_secs, capability, enabled});
  trim_audit();
}

void ContinuityPrivacy::trim_audit() {
  if (audit.size() > kMaxAuditEntries) {
    audit.erase(audit.begin(), audit.end() - static_cast<std::ptrdiff_t>(kMaxAuditEntries));
  }
}

kalu_ui::Result<ContinuityPrivacy> ContinuityPrivacy::from_json(std::string_view text) {
  return codec::from_json<ContinuityPrivacy>(text);
}

Json ContinuityPrivacy::to_json() const { return codec::to_tree(*this); }

ContinuityPrivacy ContinuityPrivacy::from_document(std::string_view text) {
  ContinuityPrivacy policy;
  if (auto member = member_text(text, kSection)) {
    if (auto read = from_json(*member)) policy = std::move(*read);
  }
  policy.trim_audit();
  return policy;
}

ContinuityPrivacy ContinuityPrivacy::load(std::optional<std::filesystem::path> settings_path) {
  auto text = read_settings_text(std::move(settings_path));
  return text ? from_document(*text) : ContinuityPrivacy{};
}

kalu_ui::Status ContinuityPrivacy::save(std::optional<std::filesystem::path> settings_path) const {
  Json value = to_json();
  if (!value.is_object()) return kalu_ui::fail("continuity policy is not an object");
  // Replaced whole, not merged: a stray key kept inside the member would make
  // every later read fail.
  return settings_path ? prefs_store::replace_section_at(*settings_path, kSection, value)
                       : prefs_store::replace_section(kSection, value);
}

}  // namespace settings::stored
