#include "system_ops/time.h"

#include <fmt/format.h>

#include <algorithm>
#include <ctime>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "access.h"

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

std::optional<std::tm> local_now() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  if (::localtime_r(&now, &tm) == nullptr) return std::nullopt;
  return tm;
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
                        t["ntp"].get<bool>(), t["ntp"].get<bool>() && t["synchronized"].get<bool>()};
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
  return fail(fmt::format("no time zone table could be read in {}", dir.string()));
}

Status set_timezone(const std::string& zone) {
  auto zones = list_timezones();
  if (!zones) return fail(zones.error());
  if (!std::binary_search(zones->begin(), zones->end(), zone)) {
    return fail(fmt::format("{} is not a time zone of this device", zone));
  }
  return device::update("time.set_timezone", [&](Json& state) -> Status {
    state["time"]["timezone"] = zone;
    return {};
  });
}

Result<std::string> now_clock(bool h24) {
  if (auto state = device::read_for("time.now_clock"); !state) return fail(state.error());
  auto tm = local_now();
  if (!tm) return fail("the clock cannot be read");
  if (h24) return fmt::format("{:02}:{:02}", tm->tm_hour, tm->tm_min);
  int hour = tm->tm_hour % 12 == 0 ? 12 : tm->tm_hour % 12;
  return fmt::format("{}:{:02} {}", hour, tm->tm_min, tm->tm_hour < 12 ? "AM" : "PM");
}

Result<std::string> now_date() {
  if (auto state = device::read_for("time.now_date"); !state) return fail(state.error());
  auto tm = local_now();
  if (!tm) return fail("the clock cannot be read");
  static constexpr const char* kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                          "Thursday", "Friday", "Saturday"};
  static constexpr const char* kMonths[] = {"January", "February", "March",     "April",
                                            "May",     "June",     "July",      "August",
                                            "September", "October", "November", "December"};
  return fmt::format("{}, {} {} {}", kDays[tm->tm_wday], tm->tm_mday, kMonths[tm->tm_mon],
                     tm->tm_year + 1900);
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
