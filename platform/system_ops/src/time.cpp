#include "system_ops/time.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "access.h"
#include "zone_rules.h"

namespace system_ops::time {

namespace {

namespace fs = std::filesystem;
using detail::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::mutex zoneinfo_mutex;
std::optional<fs::path> zoneinfo_override;

std::optional<std::string> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::stringstream text;
  text << in.rdbuf();
  if (in.bad()) return std::nullopt;
  return text.str();
}

std::vector<std::string> zone_names(const std::string& table) {
  std::set<std::string> names;
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    if (line.empty() || line.front() == '#') continue;
    std::istringstream fields(line);
    std::string codes, coordinates, zone;
    if (std::getline(fields, codes, '\t') && std::getline(fields, coordinates, '\t') &&
        std::getline(fields, zone, '\t')) {
      while (!zone.empty() && (zone.back() == '\r' || zone.back() == ' ')) zone.pop_back();
      if (!zone.empty()) names.insert(zone);
    }
  }
  return {names.begin(), names.end()};
}

struct LocalNow {
  CivilDate date;
  unsigned hour = 0;
  unsigned minute = 0;
};

// A zone name the tables could list: a relative path that stays below the
// zone folder.
bool is_zone_name(const std::string& zone) {
  const fs::path path(zone);
  if (zone.empty() || path.is_absolute()) return false;
  return std::ranges::none_of(path, [](const fs::path& part) { return part == ".."; });
}

// Now on the wall clock of the device's time zone.
Result<LocalNow> device_now(std::string_view op) {
  auto time = device::section(op, "time");
  if (!time) return fail(time.error());
  const std::string zone = (*time)["timezone"].get<std::string>();
  if (!is_zone_name(zone)) return fail("{} is not a time zone name", zone);
  const fs::path file = zoneinfo_dir() / zone;
  auto tzif = read_file(file);
  if (!tzif) return fail("the time zone {} cannot be read in {}", zone, zoneinfo_dir().string());
  const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                               std::chrono::system_clock::now().time_since_epoch())
                               .count();
  auto offset = tzif_utc_offset(*tzif, now);
  if (!offset) return fail("the time zone {}: {}", zone, offset.error());
  const std::int64_t local = now + *offset;
  const std::int64_t days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
  const std::int64_t second_of_day = local - days * 86400;
  return LocalNow{civil_date(days), static_cast<unsigned>(second_of_day / 3600),
                  static_cast<unsigned>(second_of_day % 3600 / 60)};
}

}  // namespace

fs::path zoneinfo_dir() {
  std::lock_guard lock(zoneinfo_mutex);
  return zoneinfo_override ? *zoneinfo_override : fs::path("/usr/share/zoneinfo");
}

Result<TimeSyncStatus> get_time_sync_status() {
  auto time = device::section("time.get_time_sync_status", "time");
  if (!time) return fail(time.error());
  const Json& t = *time;
  return TimeSyncStatus{t["timezone"].get<std::string>(), detail::opt_text(t["ntp_server"]),
                        t["ntp"].get<bool>(),
                        t["ntp"].get<bool>() && t["synchronized"].get<bool>()};
}

Result<bool> get_ntp() {
  auto time = device::section("time.get_ntp", "time");
  if (!time) return fail(time.error());
  return (*time)["ntp"].get<bool>();
}

Status set_ntp(bool enabled) {
  return device::update("time.set_ntp", [&](Json& state) -> Status {
    state["time"]["ntp"] = enabled;
    return {};
  });
}

Result<std::vector<std::string>> list_timezones() {
  if (auto state = device::read_for("time.list_timezones"); !state) return fail(state.error());
  fs::path dir = zoneinfo_dir();
  for (const char* name : {"zone1970.tab", "zone.tab"}) {
    if (auto table = read_file(dir / name)) return zone_names(*table);
  }
  return fail("no time zone table could be read in {}", dir.string());
}

Status set_timezone(const std::string& zone) {
  auto zones = list_timezones();
  if (!zones) return fail(zones.error());
  if (!std::binary_search(zones->begin(), zones->end(), zone)) {
    return fail("{} is not a time zone of this device", zone);
  }
  return device::update("time.set_timezone", [&](Json& state) -> Status {
    state["time"]["timezone"] = zone;
    return {};
  });
}

Result<std::string> now_clock(bool h24) {
  auto now = device_now("time.now_clock");
  if (!now) return fail(now.error());
  if (h24) return fmt::format("{:02}:{:02}", now->hour, now->minute);
  const unsigned hour = now->hour % 12 == 0 ? 12 : now->hour % 12;
  return fmt::format("{}:{:02} {}", hour, now->minute, now->hour < 12 ? "AM" : "PM");
}

Result<std::string> now_date() {
  auto now = device_now("time.now_date");
  if (!now) return fail(now.error());
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                            "May",       "June",     "July",     "August",
                                            "September", "October",  "November", "December"};
  const CivilDate& date = now->date;
  return fmt::format("{}, {} {} {}", kDays[date.weekday], date.day, kMonths[date.month - 1],
                     date.year);
}

ScopedZoneInfoDir::ScopedZoneInfoDir(fs::path dir) {
  std::lock_guard lock(zoneinfo_mutex);
  previous_ = std::exchange(zoneinfo_override, std::move(dir));
}

ScopedZoneInfoDir::~ScopedZoneInfoDir() {
  std::lock_guard lock(zoneinfo_mutex);
  zoneinfo_override = std::move(previous_);
}

}  // namespace system_ops::time
