#include "stored/continuity.h"

#include <set>
#include <string>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "stored/record_json.h"

namespace settings::stored {
namespace record {

template <>
struct EnumNames<ContinuityCapability> {
  static constexpr std::string_view names[] = {
      "clipboard",        "notifications", "wifi_settings",     "media",
      "display_input",    "file_transfer", "realtime_sessions", "typed_gamepad",
      "app_continuations"};
};

template <>
struct RecordCodec<AuditEntry> {
  static constexpr std::string_view fields[] = {"recorded_at_secs", "capability", "enabled"};
  static Status read(const Json& value, AuditEntry& out) {
    AuditEntry entry;
    FieldReader reader(value, fields, UnknownKeys::kReject);
    reader.required("recorded_at_secs", entry.recorded_at_secs)
        .optional("capability", entry.capability)
        .required("enabled", entry.enabled);
    if (!reader.status()) return reader.status();
    out = entry;
    return {};
  }
  static Json write(const AuditEntry& entry) {
    Json out = Json::object();
    out["recorded_at_secs"] = entry.recorded_at_secs;
    out["capability"] = encode(entry.capability);
    out["enabled"] = entry.enabled;
    return out;
  }
};

}  // namespace record

namespace {

using Json = nlohmann::ordered_json;

// The switches in stored order; "audit" follows them.
template <typename R, typename F>
void visit_switches(R& v, F&& f) {
  f("enabled", v.enabled);
  f("clipboard", v.clipboard);
  f("notifications", v.notifications);
  f("wifi_settings", v.wifi_settings);
  f("media", v.media);
  f("display_input", v.display_input);
  f("file_transfer", v.file_transfer);
  f("realtime_sessions", v.realtime_sessions);
  f("typed_gamepad", v.typed_gamepad);
  f("app_continuations", v.app_continuations);
}

constexpr std::string_view kFields[] = {
    "enabled",       "clipboard",         "notifications", "wifi_settings",
    "media",         "display_input",     "file_transfer", "realtime_sessions",
    "typed_gamepad", "app_continuations", "audit"};

// The parsed document keeps one value per key, so a key repeated inside the
// member is found on the text itself.
bool member_repeats_a_key(std::string_view text, std::string_view member) {
  std::vector<std::set<std::string>> open_objects;
  std::string top_key;
  bool repeated = false;
  auto watch = [&](int, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
        open_objects.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        if (!open_objects.empty()) open_objects.pop_back();
        break;
      case Json::parse_event_t::key: {
        const auto& key = parsed.get_ref<const std::string&>();
        if (open_objects.size() == 1) {
          top_key = key;
        } else if (top_key == member && !open_objects.back().insert(key).second) {
          repeated = true;
        }
        break;
      }
      default:
        break;
    }
    return true;
  };
  try {
    Json ignored = Json::parse(text, watch);
  } catch (const Json::exception&) {
  }
  return repeated;
}

}  // namespace

std::string_view capability_name(ContinuityCapability capability) {
  return record::EnumNames<ContinuityCapability>::names[static_cast<std::size_t>(capability)];
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

kalu_ui::Result<ContinuityPrivacy> ContinuityPrivacy::from_json(const Json& value) {
  ContinuityPrivacy policy;
  record::FieldReader reader(value, kFields, record::UnknownKeys::kReject);
  visit_switches(policy,
                 [&](std::string_view name, bool& member) { reader.optional(name, member); });
  reader.optional("audit", policy.audit);
  if (!reader.status()) return kalu_ui::fail(reader.status().error());
  return policy;
}

Json ContinuityPrivacy::to_json() const {
  Json out = Json::object();
  visit_switches(*this,
                 [&](std::string_view name, bool member) { out[std::string(name)] = member; });
  out["audit"] = record::encode(audit);
  return out;
}

ContinuityPrivacy ContinuityPrivacy::from_document(std::string_view text) {
  ContinuityPrivacy policy;
  auto document = prefs_store::parse(text);
  if (document && document->is_object() && document->contains(kSection) &&
      !member_repeats_a_key(text, kSection)) {
    if (auto read = from_json((*document)[std::string(kSection)])) policy = std::move(*read);
  }
  policy.trim_audit();
  return policy;
}

ContinuityPrivacy ContinuityPrivacy::load(std::optional<std::filesystem::path> settings_path) {
  if (!settings_path) settings_path = prefs_store::settings_path();
  if (!settings_path) return ContinuityPrivacy{};
  auto text = prefs_store::read_text(*settings_path);
  if (!text || !*text) return ContinuityPrivacy{};
  return from_document(**text);
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
