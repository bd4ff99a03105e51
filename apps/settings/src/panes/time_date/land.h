#pragma once

// The land under the time-zone map, made from the catalogue itself rather
// than shipped: zones are where people live, so the cells of a 2-degree grid
// near any zone are land, and so are the cells between neighbouring zones of
// one continent (whose inland has few zones and whose coasts many). The mask
// is smoothed and traced (marching squares) into closed outlines in degrees.
// It is coarse on purpose: it shows where the continents lie so that the
// dots read as places; it is no geographic reference. A catalogue and its
// outline are made once and then shared, read-only, by every map built from
// them; drawing never computes either.

#include <cstddef>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "panes/time_date/model.h"

namespace settings::panes::time_date {

// A point in degrees: longitude (east positive), latitude (north positive).
struct GeoPoint {
  double longitude = 0.0;
  double latitude = 0.0;

  friend bool operator==(const GeoPoint&, const GeoPoint&) = default;
};

// Land cover on a grid of 2-degree cells from 180 W to 180 E and from 90 N
// to 90 S (column 0 starts at 180 W, row 0 at 90 N). A cell's cover is 0 to
// 1 after smoothing; a cell is land from one half up.
class LandMask {
 public:
  static constexpr int kCellDegrees = 2;
  static constexpr int kColumns = 360 / kCellDegrees;
  static constexpr int kRows = 180 / kCellDegrees;
  // How near a zone a cell's centre must lie to be land, in degrees of
  // latitude (longitude counts shrunk towards the poles, as on a globe).
  static constexpr double kReachDegrees = 5.0;

  // All sea.
  LandMask();
  // The cells near any of `zones` and between the neighbouring zones of each
  // continent, smoothed.
  static LandMask around(std::span<const TimeZoneEntry> zones);

  // The cover of a cell; 0 outside the grid.
  float cover(int column, int row) const;
  // Whether the cell holding the point is land; points beyond the poles or
  // the date line belong to the nearest edge cell.
  bool is_land(double latitude, double longitude) const;
  std::size_t land_cells() const;

 private:
  std::vector<float> cover_;  // kRows rows of kColumns cells
};

// Closed outlines of the land in degrees; a ring inside another is a hole
// (fill with the even-odd rule). No ring touches the edge of the grid twice
// in a row: rings that reach the date line or a pole are cut along it.
struct LandOutline {
  std::vector<std::vector<GeoPoint>> rings;

  bool empty() const { return rings.empty(); }
  std::size_t point_count() const;
};

// The outlines of the land cells of `mask` (the half-cover line, with the
// crossings placed between cell centres by linear interpolation).
LandOutline trace_outline(const LandMask& mask);

// The map's catalogue with the land drawn under it. Made once per catalogue
// (by the pane when it reads the tables) and shared by every map of it.
struct ZoneCatalogue {
  std::vector<TimeZoneEntry> zones;
  LandOutline land;

  // The catalogue with its outline; an empty catalogue has no land.
  static std::shared_ptr<const ZoneCatalogue> make(std::vector<TimeZoneEntry> zones);
  // The catalogue of `zones` from the tables of `folder`
  // (load_zone_catalogue), with its land. Making both takes longer than a
  // frame and they change only with the installed tables, so the last one
  // made is kept and shared, and made again only for other zones, another
  // folder or a table whose time or size changed.
  static std::shared_ptr<const ZoneCatalogue> shared(const std::vector<std::string>& zones,
                                                     const std::filesystem::path& folder);
};

}  // namespace settings::panes::time_date
