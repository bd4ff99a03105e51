#include "system_ops/time.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "sim_device/state.h"

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

}  // namespace
}  // namespace system_ops::time
