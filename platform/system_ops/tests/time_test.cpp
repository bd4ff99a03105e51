#include "system_ops/time.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <fstream>
#include <set>
#include <sstream>

#include "sim_device/state.h"
#include "system_ops/time_testing.h"

namespace system_ops::time {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  fs::path path = fs::temp_directory_path() / ("kalu-zones-" + std::to_string(::getpid()));
  TempDir() { fs::create_directories(path); }
  ~TempDir() { fs::remove_all(path); }
};

TEST(TimeZones, MatchTheMachinesZone1970Table) {
  sim_device::ScopedDeviceState scoped;
  std::ifstream table("/usr/share/zoneinfo/zone1970.tab");
  if (!table) GTEST_SKIP() << "no zone1970.tab on this machine";
  std::set<std::string> expected;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string codes, coordinates, zone;
    std::getline(fields, codes, '\t');
    std::getline(fields, coordinates, '\t');
    std::getline(fields, zone, '\t');
    expected.insert(zone);
  }
  auto zones = list_timezones();
  ASSERT_TRUE(zones) << zones.error();
  EXPECT_EQ(std::set<std::string>(zones->begin(), zones->end()), expected);
  EXPECT_TRUE(std::is_sorted(zones->begin(), zones->end()));
}

TEST(TimeZones, FallBackToZoneTabThenFail) {
  sim_device::ScopedDeviceState scoped;
  TempDir dir;
  ScopedZoneInfoDir zoneinfo(dir.path);
  EXPECT_FALSE(list_timezones());
  std::ofstream(dir.path / "zone.tab")
      << "# comment\nNL\t+5222+00454\tEurope/Amsterdam\nJP\t+353916+1394441\tAsia/Tokyo\n"
         "DE\t+5230+01322\tEurope/Berlin\tmost of Germany\n";
  auto zones = list_timezones();
  ASSERT_TRUE(zones);
  EXPECT_EQ(*zones, (std::vector<std::string>{"Asia/Tokyo", "Europe/Amsterdam", "Europe/Berlin"}));
  ASSERT_TRUE(set_timezone("Asia/Tokyo"));
  EXPECT_EQ(get_time_sync_status()->timezone, "Asia/Tokyo");
  EXPECT_FALSE(set_timezone("Europe/Paris"));
  EXPECT_EQ(get_time_sync_status()->timezone, "Asia/Tokyo");
}

TEST(Time, NtpAndClockTexts) {
  sim_device::ScopedDeviceState scoped;
  ASSERT_TRUE(set_ntp(false));
  EXPECT_FALSE(*get_ntp());
  EXPECT_FALSE(*get_time_sync_status()->synchronized);
  EXPECT_THAT(*now_clock(true), ::testing::MatchesRegex("[0-9][0-9]:[0-9][0-9]"));
  EXPECT_THAT(*now_clock(false), ::testing::MatchesRegex("[0-9]+:[0-9][0-9] [AP]M"));
  EXPECT_FALSE(now_date()->empty());
}

// Seconds since the epoch of a UTC wall clock time.
std::int64_t utc(int year, int month, int day, int hour, int minute = 0, int second = 0) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return ::timegm(&tm);
}

std::string zone(std::string_view footer) { return testing::compiled_zone({}, {0}, footer); }

TEST(ZoneRules, OffsetsFollowTheTableAndThenTheFootersRule) {
  const std::string berlin = zone("CET-1CEST,M3.5.0,M10.5.0/3");
  const std::string sydney = zone("AEST-10AEDT,M10.1.0,M4.1.0/3");
  const std::string new_york = zone("EST5EDT,M3.2.0,M11.1.0");
  // Standard time in summer, daylight time in winter.
  const std::string dublin = zone("IST-1GMT0,M10.5.0,M3.5.0/1");
  // Daylight time all year round.
  const std::string all_year = zone("EST5EDT,0/0,J365/25");
  const std::string table =
      testing::compiled_zone({{1000, 1}, {5000, 0}}, {-3600, 7200}, "<+0530>-5:30");
  const std::string table_only = testing::compiled_zone({{1000, 1}}, {-3600, 7200}, "");
  const struct {
    const char* what;
    const std::string& tzif;
    std::int64_t at;
    std::int32_t offset;
  } cases[] = {
      {"a fixed offset with minutes", zone("<+0530>-5:30"), utc(2026, 5, 1, 12), 19800},
      {"a zone west of UTC", zone("<-03>3"), utc(2026, 5, 1, 12), -10800},
      {"Berlin in winter", berlin, utc(2026, 1, 15, 12), 3600},
      {"Berlin just before summer time", berlin, utc(2026, 3, 29, 0, 59, 59), 3600},
      {"Berlin as summer time starts", berlin, utc(2026, 3, 29, 1), 7200},
      {"Berlin just before it ends", berlin, utc(2026, 10, 25, 0, 59, 59), 7200},
      {"Berlin as it ends", berlin, utc(2026, 10, 25, 1), 3600},
      {"Sydney in January", sydney, utc(2026, 1, 15, 12), 39600},
      {"Sydney in July", sydney, utc(2026, 7, 1, 12), 36000},
      {"New York as daylight time starts", new_york, utc(2026, 3, 8, 7), -14400},
      {"New York before", new_york, utc(2026, 3, 8, 6, 59, 59), -18000},
      {"New York in a leap year's November", new_york, utc(2028, 11, 5, 6), -18000},
      {"Dublin in winter", dublin, utc(2026, 1, 15, 12), 0},
      {"Dublin in summer", dublin, utc(2026, 7, 1, 12), 3600},
      {"daylight all year, in January", all_year, utc(2026, 1, 1, 12), -14400},
      {"daylight all year, on New Year's Eve", all_year, utc(2026, 12, 31, 23), -14400},
      {"before the first transition", table, 999, -3600},
      {"at a transition", table, 1000, 7200},
      {"past the last transition, the rule", table, 5000, 19800},
      {"past the table without a rule, the last type", table_only, 1 << 30, 7200},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto offset = tzif_utc_offset(c.tzif, c.at);
    ASSERT_TRUE(offset) << offset.error();
    EXPECT_EQ(*offset, c.offset);
  }
}

TEST(ZoneRules, WhatIsNotAZoneFileIsRefused) {
  const std::string good = zone("JST-9");
  const struct {
    const char* what;
    std::string tzif;
    std::string error;
  } cases[] = {
      {"text", "Europe/Berlin\n", "not a compiled time zone file"},
      {"cut short", good.substr(0, good.size() - 20), "not a compiled time zone file"},
      {"a type that does not exist", testing::compiled_zone({{0, 3}}, {0}, ""),
       "not a compiled time zone file"},
      {"no types", testing::compiled_zone({}, {}, ""), "not a compiled time zone file"},
      {"a rule without an offset", zone("CET"), "the time zone rule \"CET\" cannot be read"},
      {"a rule with a bad date", zone("CET-1CEST,M13.5.0,M10.5.0"),
       "the time zone rule \"CET-1CEST,M13.5.0,M10.5.0\" cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto offset = tzif_utc_offset(c.tzif, 0);
    ASSERT_FALSE(offset);
    EXPECT_EQ(offset.error(), c.error);
  }
}

// The machine's own compiled files, as zic wrote them (fat or slim).
TEST(ZoneRules, ReadTheMachinesZoneFiles) {
  std::ifstream in("/usr/share/zoneinfo/Europe/Berlin", std::ios::binary);
  if (!in) GTEST_SKIP() << "no Europe/Berlin on this machine";
  std::stringstream bytes;
  bytes << in.rdbuf();
  EXPECT_EQ(tzif_utc_offset(bytes.str(), utc(2026, 1, 15, 12)), 3600);
  EXPECT_EQ(tzif_utc_offset(bytes.str(), utc(2026, 7, 1, 12)), 7200);
  EXPECT_EQ(tzif_utc_offset(bytes.str(), utc(2090, 7, 1, 12)), 7200);
}

// The clock texts read the device's zone: a zone five and a half hours east
// of UTC shows UTC's time moved on by that much.
TEST(Time, TheClockShowsTheDevicesZone) {
  sim_device::ScopedDeviceState scoped;
  TempDir dir;
  ScopedZoneInfoDir zoneinfo(dir.path);
  std::ofstream(dir.path / "zone.tab") << "XX\t+0000+00000\tTest/East\n"
                                          "XX\t+0000+00000\tTest/Gone\n";
  fs::create_directories(dir.path / "Test");
  std::ofstream(dir.path / "Test" / "East", std::ios::binary) << zone("<+0530>-5:30");
  ASSERT_TRUE(set_timezone("Test/East"));

  const auto expected = [](const char* format) {
    const std::time_t shifted = std::time(nullptr) + 19800;
    std::tm tm{};
    ::gmtime_r(&shifted, &tm);
    char text[64];
    std::strftime(text, sizeof text, format, &tm);
    return std::string(text);
  };
  // A minute may turn between the readings.
  const std::string before = expected("%H:%M");
  const auto clock = now_clock(true);
  const std::string after = expected("%H:%M");
  ASSERT_TRUE(clock) << clock.error();
  EXPECT_THAT(*clock, ::testing::AnyOf(before, after));
  const std::string date_before = expected("%A, %-d %B %Y");
  const auto date = now_date();
  ASSERT_TRUE(date) << date.error();
  EXPECT_THAT(*date, ::testing::AnyOf(date_before, expected("%A, %-d %B %Y")));

  // A zone whose file is missing says so rather than showing another zone's time.
  ASSERT_TRUE(set_timezone("Test/Gone"));
  auto gone = now_clock(true);
  ASSERT_FALSE(gone);
  EXPECT_EQ(gone.error(), "the time zone Test/Gone cannot be read in " + dir.path.string());
}

}  // namespace
}  // namespace system_ops::time
