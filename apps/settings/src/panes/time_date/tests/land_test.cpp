#include "panes/time_date/land.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "panes/time_date/model.h"
#include "zone_fixture.h"

namespace settings::panes::time_date {
namespace {

TimeZoneEntry zone(std::string name, double latitude, double longitude) {
  TimeZoneEntry entry;
  entry.name = std::move(name);
  entry.latitude = static_cast<std::int32_t>(std::lround(latitude * 1e6));
  entry.longitude = static_cast<std::int32_t>(std::lround(longitude * 1e6));
  return entry;
}

const std::vector<TimeZoneEntry> kFew = {
    zone("Asia/Tokyo", 35.654444, 139.744722),
    zone("Europe/Berlin", 52.5, 13.366667),
    zone("America/Sao_Paulo", -23.533333, -46.616667),
    zone("Pacific/Fiji", -18.133333, 178.416667),
};

TEST(LandMaskTest, CellsNearZonesAreLandAndFarOnesSea) {
  const LandMask mask = LandMask::around(kFew);
  EXPECT_TRUE(mask.is_land(35.654444, 139.744722));  // Tokyo's own cell
  EXPECT_TRUE(mask.is_land(37.0, 141.0));            // a few degrees off
  EXPECT_FALSE(mask.is_land(-50.0, -140.0));         // the far South Pacific
  EXPECT_FALSE(mask.is_land(35.654444, 160.0));      // beyond the reach
  // Land across the date line from Fiji: the columns wrap.
  EXPECT_TRUE(mask.is_land(-18.0, -179.5));
  EXPECT_GT(mask.land_cells(), 0u);
  EXPECT_EQ(LandMask::around({}).land_cells(), 0u);
}

TEST(LandMaskTest, LandLiesBetweenNeighbouringZonesOfOneContinentOnly) {
  // Three zones 24 degrees apart: the middle of their triangle is further
  // than the reach from each, so only the bridge makes it land.
  const auto triangle = [](const std::string& region, double size) {
    return std::vector<TimeZoneEntry>{zone(region + "/A", 0.0, 0.0), zone(region + "/B", 0.0, size),
                                      zone(region + "/C", size, size / 2.0)};
  };
  const double middle_latitude = 8.0;
  const double middle_longitude = 12.0;
  EXPECT_TRUE(
      LandMask::around(triangle("Africa", 24.0)).is_land(middle_latitude, middle_longitude));
  // The islands of an ocean are not bridged, nor are zones too far apart.
  EXPECT_FALSE(
      LandMask::around(triangle("Pacific", 24.0)).is_land(middle_latitude, middle_longitude));
  EXPECT_FALSE(LandMask::around(triangle("Africa", 40.0)).is_land(13.3, 20.0));
  // Zones of two continents are not bridged either.
  std::vector<TimeZoneEntry> mixed = triangle("Africa", 24.0);
  mixed[2].name = "Europe/C";
  EXPECT_FALSE(LandMask::around(mixed).is_land(middle_latitude, middle_longitude));
}

TEST(LandOutlineTest, OneZoneGivesOneClosedRingAroundIt) {
  const std::vector<TimeZoneEntry> one = {zone("Europe/Berlin", 52.5, 13.366667)};
  const LandOutline outline = trace_outline(LandMask::around(one));
  ASSERT_EQ(outline.rings.size(), 1u);
  const auto& ring = outline.rings[0];
  ASSERT_GE(ring.size(), 8u);
  // Every point lies near the zone, and the ring goes round it: the angle
  // it sweeps about the zone adds up to a full turn.
  double turn = 0.0;
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const GeoPoint a = ring[i];
    const GeoPoint b = ring[(i + 1) % ring.size()];
    EXPECT_LT(std::hypot(a.longitude - 13.366667, a.latitude - 52.5), 20.0);
    const double angle_a = std::atan2(a.latitude - 52.5, a.longitude - 13.366667);
    const double angle_b = std::atan2(b.latitude - 52.5, b.longitude - 13.366667);
    turn += std::remainder(angle_b - angle_a, 2.0 * M_PI);
  }
  EXPECT_NEAR(std::abs(turn), 2.0 * M_PI, 1e-6);
}

TEST(LandOutlineTest, RingsStayOnTheMapAtTheDateLineAndThePoles) {
  const std::vector<TimeZoneEntry> edges = {zone("Pacific/Fiji", -18.133333, 178.416667),
                                            zone("Antarctica/Vostok", -78.4, 106.9),
                                            zone("Arctic/Longyearbyen", 78.0, 16.0)};
  const LandOutline outline = trace_outline(LandMask::around(edges));
  // Fiji is cut in two by the date line; each pole station is one ring.
  EXPECT_EQ(outline.rings.size(), 4u);
  for (const auto& ring : outline.rings) {
    for (const GeoPoint& p : ring) {
      EXPECT_GE(p.longitude, -180.0);
      EXPECT_LE(p.longitude, 180.0);
      EXPECT_GE(p.latitude, -90.0);
      EXPECT_LE(p.latitude, 90.0);
    }
  }
}

TEST(ZoneCatalogueTest, MadeOnceWithItsLandAndEmptyWithoutZones) {
  const auto catalogue = ZoneCatalogue::make(kFew);
  EXPECT_EQ(catalogue->zones, kFew);
  EXPECT_FALSE(catalogue->land.empty());
  EXPECT_GT(catalogue->land.point_count(), 0u);
  EXPECT_TRUE(ZoneCatalogue::make({})->land.empty());
}

TEST(ZoneCatalogueTest, SharedUntilItsZonesOrTablesChange) {
  testing::TempDir zoneinfo;
  zoneinfo.write("zone1970.tab", "JP\t+3539+13944\tAsia/Tokyo\n");
  const std::vector<std::string> zones{"Asia/Tokyo", "Europe/Amsterdam"};
  const auto first = ZoneCatalogue::shared(zones, zoneinfo.path());
  ASSERT_EQ(first->zones.size(), 1u);
  EXPECT_FALSE(first->land.empty());
  // Another opening: the very same catalogue, nothing made again.
  EXPECT_EQ(ZoneCatalogue::shared(zones, zoneinfo.path()), first);
  // A table that changed is read again.
  zoneinfo.write("zone1970.tab",
                 "JP\t+3539+13944\tAsia/Tokyo\nNL\t+5222+00454\tEurope/Amsterdam\n");
  const auto second = ZoneCatalogue::shared(zones, zoneinfo.path());
  EXPECT_NE(second, first);
  EXPECT_EQ(second->zones.size(), 2u);
  // So are other zones.
  const auto third = ZoneCatalogue::shared({"Asia/Tokyo"}, zoneinfo.path());
  EXPECT_EQ(third->zones.size(), 1u);
}

// The installed tables, where there are any: the outline traces recognisable
// land masses and leaves the open oceans empty.
TEST(LandMaskTest, InstalledTablesMarkContinentsAndLeaveOceans) {
  // Every identifier the table names, as the time service lists them.
  std::ifstream in(std::filesystem::path(kZoneInfoDir) / "zone1970.tab");
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::vector<std::string> all = testing::listed_zones(table);
  const auto zones = load_zone_catalogue(all);
  if (zones.size() < 100) GTEST_SKIP() << "no installed zone tables";
  const LandMask mask = LandMask::around(zones);
  struct Place {
    const char* name;
    double latitude;
    double longitude;
    bool land;
  };
  const Place places[] = {
      {"Paris", 48.9, 2.3, true},           {"New York", 40.7, -74.0, true},
      {"Sydney", -33.9, 151.2, true},       {"Nairobi", -1.3, 36.8, true},
      {"Moscow", 55.8, 37.6, true},         {"Lima", -12.0, -77.0, true},
      {"mid-Atlantic", 20.0, -45.0, false}, {"South Pacific", -45.0, -125.0, false},
      {"Indian Ocean", -30.0, 85.0, false}, {"North Pacific", 35.0, -160.0, false},
  };
  for (const Place& p : places) {
    EXPECT_EQ(mask.is_land(p.latitude, p.longitude), p.land) << p.name;
  }
}

}  // namespace
}  // namespace settings::panes::time_date
