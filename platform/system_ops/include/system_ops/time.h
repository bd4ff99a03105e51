#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The time service of the device: the time zone and automatic time on the
// simulated device (section "time"); the list of zones is the machine's real
// tzdata table. A fault injected as "time.<function>" answers its text.
namespace system_ops::time {

struct TimeSyncStatus {
  std::optional<std::string> timezone;
  std::optional<std::string> ntp_server;
  std::optional<bool> ntp;
  std::optional<bool> synchronized;
};

kalu_ui::Result<TimeSyncStatus> get_time_sync_status();
kalu_ui::Result<bool> get_ntp();
kalu_ui::Status set_ntp(bool enabled);
// The zone identifiers of "<zoneinfo>/zone1970.tab", else "zone.tab", sorted
// and without repeats; an error when neither table can be read.
kalu_ui::Result<std::vector<std::string>> list_timezones();
// Accepts only a zone `list_timezones` lists.
kalu_ui::Status set_timezone(const std::string& zone);
// The current time as "14:05" (24-hour) or "2:05 PM", and the date as
// "Tuesday, 3 March 2026", in the device's time zone (read from its compiled
// file below zoneinfo_dir(); an error when that cannot be read).
kalu_ui::Result<std::string> now_clock(bool h24);
kalu_ui::Result<std::string> now_date();

// The offset from UTC in seconds, east positive, that a compiled time zone
// file (TZif, RFC 8536) gives at `unix_seconds`: its transition table, and
// past the table's last transition the POSIX TZ rule of its footer. Fails on
// bytes that are not such a file or a rule it cannot read.
kalu_ui::Result<std::int32_t> tzif_utc_offset(std::string_view tzif, std::int64_t unix_seconds);

// The folder the zone tables are read from: /usr/share/zoneinfo, or the
// folder a ScopedZoneInfoDir set.
std::filesystem::path zoneinfo_dir();

// Points the zone tables at `dir` (in place of /usr/share/zoneinfo) for the
// guard's lifetime. Process-wide.
class ScopedZoneInfoDir {
 public:
  explicit ScopedZoneInfoDir(std::filesystem::path dir);
  ~ScopedZoneInfoDir();
  ScopedZoneInfoDir(const ScopedZoneInfoDir&) = delete;
  ScopedZoneInfoDir& operator=(const ScopedZoneInfoDir&) = delete;

 private:
  std::optional<std::filesystem::path> previous_;
};

}  // namespace system_ops::time
