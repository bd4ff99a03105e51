#pragma once

// The Updates pane's plain data about the system image, and the pure functions
// that read it out of what the system tools print and the files they keep:
// the image status document of `bootc status --format json`, the update
// policy file, "/etc/os-release" and the update service's journal. None of
// them runs anything or touches a file, so each is tested from text alone;
// backend.h runs the commands and hands their output here.
//
// Everything here copes with any input: a document that does not parse, a
// member of an unexpected type, invalid UTF-8 or a control character gives
// the documented fallback, never an error or a crash.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The three download schedules (kScheduleSystem, kScheduleDaily, kScheduleWeekly).
#include "vocabulary/update_schedules.h"

namespace settings::panes::updates {

// Whether the automatic-update timer is on, as the system reports it.
enum class AutomaticUpdates { Enabled, Disabled, Unknown };

// Whether downloads on metered connections are allowed by the update policy.
enum class MeteredDownloads { Allowed, NotAllowed, Unknown };

// The update policy file: key to value, both trimmed; the last line of a
// key wins.
using UpdatePolicy = std::map<std::string, std::string, std::less<>>;

struct OsImageInfo {
  std::string os_name;
  // The staged update's version or image, when one is staged.
  std::optional<std::string> staged_update;

  bool operator==(const OsImageInfo&) const = default;
};

struct DeploymentStatus {
  // The update service's recent journal lines, sanitised, oldest first.
  std::vector<std::string> journal_lines;
  // An https address where the image documents its release notes.
  std::optional<std::string> release_notes_url;
  // One of the four texts of rollback_protection_text.
  std::string rollback_protection;

  bool operator==(const DeploymentStatus&) const = default;
};

// The operating-system name when "/etc/os-release" names none.
inline constexpr std::string_view kDefaultOsName = "Kalu (Fedora bootc)";

// A command's output as an error message: invalid UTF-8 replaced, control
// characters other than tab and line feed dropped, at most 512 characters
// kept, white space trimmed at both ends. It may be empty.
std::string decode_command_output(std::string_view bytes);

// A journal line as shown: every control character dropped (tab and line
// feed too), at most 220 characters kept; not trimmed.
std::string sanitize_journal_line(std::string_view line);

// The lines worth showing of a journal listing: each sanitised, blank ones
// and the journal's "-- No entries --" note left out.
std::vector<std::string> journal_lines(std::string_view listing);

// The pairs of an update policy text: one "key = value" a line, lines
// without "=" skipped. Text that is not UTF-8 is no policy at all.
UpdatePolicy parse_update_policy(std::string_view text);

// "Daily" or "Weekly" when the policy's "schedule" is exactly "daily" or
// "weekly"; "System schedule" for anything else, a missing key included.
std::string schedule_label(const UpdatePolicy& policy);

// Allowed only when the policy's "metered" is exactly "allow".
MeteredDownloads metered_downloads(const UpdatePolicy& policy);

// The policy unit's action for a schedule label; none for a label outside
// the three.
std::optional<std::string_view> schedule_action(std::string_view label);

// Whether `action` is one the policy unit may be started with:
// "schedule-system", "schedule-daily", "schedule-weekly", "metered-allow" or
// "metered-avoid".
bool is_policy_action(std::string_view action);

// A timer by what `systemctl is-enabled` printed: "enabled" and
// "enabled-runtime" are on, "disabled" is off; any other state
// a unit can be in (masked, static, ...), and no output, is unknown.
AutomaticUpdates timer_state(std::string_view is_enabled_output);

// The PRETTY_NAME of an os-release text, its quotes stripped; the default
// name when none is given.
std::string os_name_from_release(std::string_view os_release);

// From the text of a bootc status document: the staged update (its version,
// else its image reference, else "Update staged for next boot"), none when
// nothing is staged or the text does not parse.
std::optional<std::string> staged_update_from_status(std::string_view document);

// From the same document: the rollback image (its image reference, else its
// version, else "the previous image"), none when there is none.
std::optional<std::string> rollback_image_from_status(std::string_view document);

// The first https address of release notes anywhere in the document, depth
// first; none when the text does not parse or names none.
std::optional<std::string> release_notes_url(std::string_view document);

// How the machine is protected against an image that does not boot, from
// whether the boot-confirmation timer is on and the rollback image.
std::string rollback_protection_text(bool confirmation_active,
                                     const std::optional<std::string>& rollback_image);

}  // namespace settings::panes::updates
