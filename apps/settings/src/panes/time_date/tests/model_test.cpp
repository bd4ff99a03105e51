#include "panes/time_date/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "zone_fixture.h"

namespace settings::panes::time_date {
namespace {

using testing::TempDir;

TEST(ParseCoordinateTest, AcceptsIso6709FormsWithinTheLimits) {
  struct Case {
    const char* text;
    bool latitude;
    std::optional<double> degrees;
  };
  const Case cases[] = {
      {"+3539", true, 35.0 + 39.0 / 60.0},
      {"-0730", true, -7.5},
      {"+353916", true, 35.0 + 39.0 / 60.0 + 16.0 / 3600.0},
      {"+1394441", false, 139.0 + 44.0 / 60.0 + 41.0 / 3600.0},
      {"+9000", true, 90.0},  // exactly at the limits
      {"+18000", false, 180.0},
      {"-18000", false, -180.0},
      {"+5960", true, std::nullopt},    // 60 minutes
      {"+9100", true, std::nullopt},    // 91 degrees
      {"+9001", true, std::nullopt},    // beyond the pole by a minute
      {"+18001", false, std::nullopt},  // beyond the date line
      {"+353960", true, std::nullopt},  // 60 seconds
      {"+03540", true, std::nullopt},   // five latitude digits
      {"+3540", false, std::nullopt},   // four longitude digits
      {"3540", true, std::nullopt},     // no sign
      {"", true, std::nullopt},
      {"+", true, std::nullopt},
      {"+35a0", true, std::nullopt},
      {"++350", true, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const auto parsed = parse_coordinate(c.text, c.latitude);
    ASSERT_EQ(parsed.has_value(), c.degrees.has_value());
    if (parsed) {
      EXPECT_DOUBLE_EQ(*parsed, *c.degrees);
    }
  }
}

TEST(ParseZoneLineTest, TokyoAndBuenosAires) {
  const ZoneSet known = {"Asia/Tokyo", "America/Argentina/Buenos_Aires"};
  ZoneSet seen;
  const auto tokyo = parse_zone_line(known, seen, "JP\t+353916+1394441\tAsia/Tokyo");
  ASSERT_TRUE(tokyo.has_value());
  EXPECT_EQ(*tokyo, (TimeZoneEntry{"Asia/Tokyo", "Asia", "Tokyo", 35654444, 139744722}));

  const auto buenos_aires = parse_zone_line(
      known, seen, "AR\t-3436-05827\tAmerica/Argentina/Buenos_Aires\tBuenos Aires (BA, CF)");
  ASSERT_TRUE(buenos_aires.has_value());
  EXPECT_EQ(buenos_aires->region, "America");
  EXPECT_EQ(buenos_aires->place, "Argentina \u00b7 Buenos Aires");
  EXPECT_EQ(buenos_aires->latitude, -34600000);
  EXPECT_EQ(buenos_aires->longitude, -58450000);
  EXPECT_THAT(seen, ::testing::ElementsAre("America/Argentina/Buenos_Aires", "Asia/Tokyo"));
}

TEST(ParseZoneLineTest, SkipsUnknownRepeatedAndMalformedLines) {
  const ZoneSet known = {"Europe/Oslo", "Europe/Rome", "Etc/Limits", "UTC", "Asia/Dili"};
  ZoneSet seen;
  // Unknown to the time service: skipped and not remembered.
  EXPECT_FALSE(parse_zone_line(known, seen, "FR\t+4852+00220\tEurope/Paris"));
  EXPECT_FALSE(seen.contains("Europe/Paris"));
  // The first line's coordinates fail (60 minutes), yet the zone counts as
  // seen, so a later valid line for it is skipped too.
  EXPECT_FALSE(parse_zone_line(known, seen, "NO\t+5960+01000\tEurope/Oslo"));
  EXPECT_TRUE(seen.contains("Europe/Oslo"));
  EXPECT_FALSE(parse_zone_line(known, seen, "NO\t+5955+01045\tEurope/Oslo"));
  // A repeated identifier: the first line wins.
  EXPECT_TRUE(parse_zone_line(known, seen, "IT\t+4154+01229\tEurope/Rome"));
  EXPECT_FALSE(parse_zone_line(known, seen, "VA\t+4154+01227\tEurope/Rome"));
  // Too few fields, no second sign, an identifier without '/', 91 degrees.
  EXPECT_FALSE(parse_zone_line(known, seen, "TL\t-0833+12535"));
  EXPECT_FALSE(parse_zone_line(known, seen, "TL\t-0833\tAsia/Dili"));
  EXPECT_FALSE(parse_zone_line(known, seen, "XX\t+0000+00000\tUTC"));
  EXPECT_TRUE(seen.contains("UTC"));
  // The extreme corner is accepted exactly at the limits.
  const auto corner = parse_zone_line(known, seen, "XX\t+9000+18000\tEtc/Limits");
  ASSERT_TRUE(corner.has_value());
  EXPECT_EQ(corner->latitude, 90'000'000);
  EXPECT_EQ(corner->longitude, 180'000'000);
}

// A table with comments, blank lines, a CRLF line, an unlisted zone, a zone
// listed twice and a five-digit latitude.
const std::string kTable =
    "# tzdb timezone descriptions\n"
    "#\n"
    "JP\t+353916+1394441\tAsia/Tokyo\n"
    "\n"
    "   \t \n"
    "DE,DK,NO,SE,SJ\t+5230+01322\tEurope/Berlin\tmost of Germany\r\n"
    "NO\t+5955+01045\tEurope/Oslo\n"
    "AR\t-3436-05827\tAmerica/Argentina/Buenos_Aires\tBuenos Aires (BA, CF)\n"
    "GH\t+03540-07900\tAfrica/Nowhere\n"
    "IT,SM,VA\t+4154+01229\tEurope/Rome\n"
    "DE\t+4742+00841\tEurope/Busingen\n"
    "NO\t+5955+01045\tEurope/Oslo\n"
    "AQ\t-6617+11031\tAntarctica/Casey\n";

TEST(LoadZoneCatalogueTest, ReadsThePreferredTableInMapOrder) {
  TempDir zoneinfo;
  zoneinfo.write("zone1970.tab", kTable);
  zoneinfo.write("zone.tab", "NL\t+5222+00454\tEurope/Amsterdam\n");
  const std::vector<std::string> zones = {"Asia/Tokyo",       "Europe/Berlin",
                                          "Europe/Oslo",      "Europe/Rome",
                                          "Africa/Nowhere",   "America/Argentina/Buenos_Aires",
                                          "Antarctica/Casey", "Europe/Amsterdam"};
  const auto catalogue = load_zone_catalogue(zones, zoneinfo.path());
  std::vector<std::string> names;
  for (const auto& entry : catalogue) names.push_back(entry.name);
  // West to east; the five-digit latitude, the unlisted Busingen and the
  // older table's zone are left out, and Oslo is placed once.
  EXPECT_THAT(names,
              ::testing::ElementsAre("America/Argentina/Buenos_Aires", "Europe/Oslo", "Europe/Rome",
                                     "Europe/Berlin", "Antarctica/Casey", "Asia/Tokyo"));
  EXPECT_EQ(catalogue[3].place, "Berlin");  // the CRLF ending is not part of the name
}

TEST(LoadZoneCatalogueTest, SameMeridianRunsNorthToSouthThenByName) {
  TempDir zoneinfo;
  zoneinfo.write("zone.tab",
                 "XX\t-1000+01000\tTest/South\n"
                 "XX\t+1000+01000\tTest/North\n"
                 "XX\t+0000+01000\tTest/Middle_B\n"
                 "XX\t+0000+01000\tTest/Middle_A\n");
  const std::vector<std::string> zones = {"Test/South", "Test/North", "Test/Middle_B",
                                          "Test/Middle_A"};
  // Without zone1970.tab the older table is read.
  const auto catalogue = load_zone_catalogue(zones, zoneinfo.path());
  ASSERT_EQ(catalogue.size(), 4u);
  EXPECT_EQ(catalogue[0].name, "Test/North");
  EXPECT_EQ(catalogue[1].name, "Test/Middle_A");
  EXPECT_EQ(catalogue[2].name, "Test/Middle_B");
  EXPECT_EQ(catalogue[3].name, "Test/South");
  EXPECT_EQ(catalogue[1].place, "Middle A");
}

TEST(LoadZoneCatalogueTest, UnreadableTablesGiveAnEmptyCatalogue) {
  TempDir zoneinfo;
  const std::vector<std::string> zones = {"Asia/Tokyo"};
  EXPECT_TRUE(load_zone_catalogue(zones, zoneinfo.path()).empty());
  EXPECT_TRUE(load_zone_catalogue(zones, zoneinfo.path() / "missing").empty());
  // A table that is not text counts as unreadable; the next one is tried.
  zoneinfo.write("zone1970.tab", "JP\t+3539+13944\tAsia/Tokyo\xff\n");
  zoneinfo.write("zone.tab", "JP\t+3539+13944\tAsia/Tokyo\n");
  ASSERT_EQ(load_zone_catalogue(zones, zoneinfo.path()).size(), 1u);
  // An empty list of zones places nothing.
  EXPECT_TRUE(load_zone_catalogue({}, zoneinfo.path()).empty());
}

TEST(ResolveCurrentZoneTest, FallsBackThroughTheSystemFiles) {
  struct Case {
    const char* what;
    std::optional<std::string> reported;
    std::optional<std::string> timezone_file;
    std::optional<std::string> localtime_link;
    std::string expected;
  };
  const Case cases[] = {
      {"the service's answer wins", "Asia/Tokyo", "Europe/Paris\n",
       "../usr/share/zoneinfo/Europe/Berlin", "Asia/Tokyo"},
      {"timezone file, trimmed", std::nullopt, "  Europe/Paris\n", std::nullopt, "Europe/Paris"},
      {"white-space file, relative link", std::nullopt, " \n\t",
       "../usr/share/zoneinfo/Europe/Berlin", "Europe/Berlin"},
      {"absolute link", std::nullopt, std::nullopt, "/usr/share/zoneinfo/America/New_York",
       "America/New_York"},
      {"link without zoneinfo/", std::nullopt, std::nullopt, "/etc/zones/Europe/Berlin",
       "Europe/Amsterdam"},
      {"link to the folder itself", std::nullopt, std::nullopt, "/usr/share/zoneinfo/",
       "Europe/Amsterdam"},
      {"nothing at all", std::nullopt, std::nullopt, std::nullopt, "Europe/Amsterdam"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir root;
    std::filesystem::create_directories(root.path() / "etc");
    if (c.timezone_file) root.write("etc/timezone", *c.timezone_file);
    if (c.localtime_link) {
      std::filesystem::create_symlink(*c.localtime_link, root.path() / "etc/localtime");
    }
    EXPECT_EQ(resolve_current_zone(c.reported, root.path()), c.expected);
  }
}

TEST(ZoneChoicesTest, AddsTheCurrentZoneOnlyWhenMissing) {
  EXPECT_THAT(zone_choices({"Europe/Berlin", "Asia/Tokyo"}, "Asia/Tokyo"),
              ::testing::ElementsAre("Europe/Berlin", "Asia/Tokyo"));
  EXPECT_THAT(zone_choices({"Europe/Berlin", "Asia/Tokyo"}, "America/New_York"),
              ::testing::ElementsAre("America/New_York", "Asia/Tokyo", "Europe/Berlin"));
  // A failed list still offers the zone the device is set to.
  EXPECT_THAT(zone_choices({}, "Europe/Amsterdam"), ::testing::ElementsAre("Europe/Amsterdam"));
}

TEST(StatusTextTest, SynchronizationAndSource) {
  EXPECT_EQ(synchronization_text(true, false), "Synchronized");
  EXPECT_EQ(synchronization_text(false, true), "Waiting for synchronization");
  EXPECT_EQ(synchronization_text(false, false), "Automatic time is disabled");
  EXPECT_EQ(synchronization_text(std::nullopt, true), "Not reported by the time service");
  EXPECT_EQ(source_text("time.example.org"), "time.example.org");
  EXPECT_EQ(source_text(std::nullopt), "Not reported by the active NTP provider");
}

}  // namespace
}  // namespace settings::panes::time_date
