#pragma once

// This device's local continuity policy: a master switch, one switch per
// capability that the user's other devices may pick up, and an audit list of
// recent policy changes. Stored as the "continuity" section of the settings
// document; it never leaves this machine.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

namespace settings::stored {

enum class ContinuityCapability : std::uint8_t {
  Clipboard,
  Notifications,
  WifiSettings,
  Media,
  DisplayInput,
  FileTransfer,
  RealtimeSessions,
  TypedGamepad,
  AppContinuations,
};

// "clipboard", "wifi_settings" ...: the capability's stored name, which is
// also the key of its switch.
std::string_view capability_name(ContinuityCapability capability);

struct AuditEntry {
  std::uint64_t recorded_at_secs = 0;
  std::optional<ContinuityCapability> capability;  // none: the master switch
  bool enabled = false;

  bool operator==(const AuditEntry&) const = default;
};

// `ContinuityPrivacy{}` is the default: everything off, no audit entries.
struct ContinuityPrivacy {
  static constexpr std::string_view kSection = "continuity";
  static constexpr std::size_t kMaxAuditEntries = 24;

  bool enabled = false;
  bool clipboard = false;
  bool notifications = false;
  bool wifi_settings = false;
  bool media = false;
  bool display_input = false;
  bool file_transfer = false;
  bool realtime_sessions = false;
  bool typed_gamepad = false;
  bool app_continuations = false;
  std::vector<AuditEntry> audit;  // oldest first

  bool operator==(const ContinuityPrivacy&) const = default;

  // The switch of one capability.
  bool& capability(ContinuityCapability which);
  bool capability(ContinuityCapability which) const {
    return const_cast<ContinuityPrivacy&>(*this).capability(which);
  }

  // Appends an audit entry for a switch the caller has already set, then
  // keeps the last kMaxAuditEntries entries.
  void record_change(std::optional<ContinuityCapability> capability, bool enabled,
                     std::uint64_t now_secs);
  void trim_audit();

  // Reads the record from its stored text: an object (keys in any order) or
  // an array of the eleven values in stored order, possibly cut short. A key
  // it does not define, a wrong type, an audit entry without
  // "recorded_at_secs" or "enabled", a key repeated in one object or an
  // unknown capability name fails the whole record.
  static kalu_ui::Result<ContinuityPrivacy> from_json(std::string_view text);
  // The stored object: all eleven keys in order.
  nlohmann::ordered_json to_json() const;

  // The record in settings document text, as the Devices & Sync pane reads
  // it: the default when the member is missing or fails to read; the audit
  // trimmed.
  static ContinuityPrivacy from_document(std::string_view text);
  // `from_document` of the file at `settings_path` (the settings store's
  // path when none is given); the default when there is none or it cannot
  // be read.
  static ContinuityPrivacy load(std::optional<std::filesystem::path> settings_path = {});
  // Stores the record as the "continuity" section of the document at
  // `settings_path` (the settings store's path when none is given), keeping
  // every other key.
  kalu_ui::Status save(std::optional<std::filesystem::path> settings_path = {}) const;
};

}  // namespace settings::stored
