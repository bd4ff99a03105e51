#include "panes/time_date/land.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <mutex>
#include <numbers>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace settings::panes::time_date {
namespace {

constexpr int kColumns = LandMask::kColumns;
constexpr int kRows = LandMask::kRows;
constexpr double kCell = LandMask::kCellDegrees;
// How many times the 3x3 box blur runs over the marked cells: twice rounds
// the blobs and closes one-cell gaps without swallowing narrow land.
constexpr int kSmoothingPasses = 2;
// Longitude is shrunk by the cosine of the latitude, but never below this,
// so that the few polar stations do not smear across the whole map.
constexpr double kMinLongitudeScale = 0.3;
constexpr float kLandLevel = 0.5f;
// The IANA names file each zone under its continent or ocean. Between
// neighbouring zones of one continent lies land (the interior of a continent
// has few zones, its coasts many); islands of the oceans are land only
// around themselves, so no ocean is bridged.
constexpr std::string_view kContinents[] = {"Africa", "America",   "Antarctica",
                                            "Asia",   "Australia", "Europe"};
// Neighbouring zones further apart than this are not bridged: across it lie
// seas and gulfs rather than land.
constexpr double kBridgeDegrees = 36.0;

double cell_longitude(int column) { return -180.0 + kCell * column + kCell / 2.0; }
double cell_latitude(int row) { return 90.0 - kCell * row - kCell / 2.0; }

// Degrees east from `from` to `to`, the short way round (-180 to 180).
double longitude_delta(double from, double to) {
  double delta = std::fmod(to - from, 360.0);
  if (delta > 180.0) delta -= 360.0;
  if (delta < -180.0) delta += 360.0;
  return delta;
}

int wrap_column(int column) { return ((column % kColumns) + kColumns) % kColumns; }

// Marks every cell whose centre lies within reach of the zone.
void mark_zone(std::vector<float>& cells, const TimeZoneEntry& zone) {
  const double latitude = zone.latitude / 1'000'000.0;
  const double longitude = zone.longitude / 1'000'000.0;
  const double reach = LandMask::kReachDegrees;
  const double scale = std::max(std::cos(latitude * std::numbers::pi / 180.0), kMinLongitudeScale);
  const int row0 = std::max(0, static_cast<int>(std::floor((90.0 - latitude - reach) / kCell)));
  const int row1 =
      std::min(kRows - 1, static_cast<int>(std::floor((90.0 - latitude + reach) / kCell)));
  const double span = reach / scale + kCell;
  const int column0 = static_cast<int>(std::floor((longitude + 180.0 - span) / kCell));
  const int column1 = static_cast<int>(std::floor((longitude + 180.0 + span) / kCell));
  for (int row = row0; row <= row1; ++row) {
    const double dy = cell_latitude(row) - latitude;
    for (int column = column0; column <= column1; ++column) {
      const int cell = wrap_column(column);
      const double dx = longitude_delta(longitude, cell_longitude(cell)) * scale;
      if (dx * dx + dy * dy <= reach * reach) cells[row * kColumns + cell] = 1.0f;
    }
  }
}

struct PlanePoint {
  double x = 0.0;  // longitude
  double y = 0.0;  // latitude
};
using Triangle = std::array<std::size_t, 3>;

// A triangle of the triangulation with its circumscribed circle.
struct Circumscribed {
  Triangle corners;
  double cx = 0.0;
  double cy = 0.0;
  double radius2 = 0.0;
};

Circumscribed circumscribe(const std::vector<PlanePoint>& points, Triangle corners) {
  const PlanePoint& a = points[corners[0]];
  const PlanePoint& b = points[corners[1]];
  const PlanePoint& c = points[corners[2]];
  const double d = 2.0 * (a.x * (b.y - c.y) + b.x * (c.y - a.y) + c.x * (a.y - b.y));
  Circumscribed out{corners};
  if (std::abs(d) < 1e-12) {
    // Collinear corners: a circle through them all is infinite, so every
    // later point breaks the triangle up.
    out.radius2 = std::numeric_limits<double>::infinity();
    return out;
  }
  const double a2 = a.x * a.x + a.y * a.y;
  const double b2 = b.x * b.x + b.y * b.y;
  const double c2 = c.x * c.x + c.y * c.y;
  out.cx = (a2 * (b.y - c.y) + b2 * (c.y - a.y) + c2 * (a.y - b.y)) / d;
  out.cy = (a2 * (c.x - b.x) + b2 * (a.x - c.x) + c2 * (b.x - a.x)) / d;
  out.radius2 = (a.x - out.cx) * (a.x - out.cx) + (a.y - out.cy) * (a.y - out.cy);
  return out;
}

// The Delaunay triangles of distinct points (Bowyer-Watson: each point
// replaces the triangles whose circle holds it by a fan to the hole's rim).
std::vector<Triangle> delaunay(std::vector<PlanePoint> points) {
  const std::size_t count = points.size();
  if (count < 3) return {};
  // A triangle holding every point, far outside the map.
  points.push_back({-1e5, -1e5});
  points.push_back({1e5, -1e5});
  points.push_back({0.0, 1e5});
  std::vector<Circumscribed> triangles = {circumscribe(points, {count, count + 1, count + 2})};
  std::vector<std::pair<std::size_t, std::size_t>> rim;
  for (std::size_t p = 0; p < count; ++p) {
    const PlanePoint& point = points[p];
    rim.clear();
    std::vector<Circumscribed> kept;
    kept.reserve(triangles.size() + 2);
    for (const Circumscribed& t : triangles) {
      const double dx = point.x - t.cx;
      const double dy = point.y - t.cy;
      if (dx * dx + dy * dy < t.radius2) {
        for (int e = 0; e < 3; ++e) {
          const std::size_t u = t.corners[e];
          const std::size_t v = t.corners[(e + 1) % 3];
          rim.emplace_back(std::min(u, v), std::max(u, v));
        }
      } else {
        kept.push_back(t);
      }
    }
    // The hole's rim: the edges of exactly one broken triangle.
    std::sort(rim.begin(), rim.end());
    for (std::size_t i = 0; i < rim.size(); ++i) {
      const bool shared =
          (i + 1 < rim.size() && rim[i + 1] == rim[i]) || (i > 0 && rim[i - 1] == rim[i]);
      if (!shared) kept.push_back(circumscribe(points, {rim[i].first, rim[i].second, p}));
    }
    triangles = std::move(kept);
  }
  std::vector<Triangle> out;
  for (const Circumscribed& t : triangles) {
    if (t.corners[0] < count && t.corners[1] < count && t.corners[2] < count) {
      out.push_back(t.corners);
    }
  }
  return out;
}

// Marks the cells whose centre lies inside the triangle.
void mark_triangle(std::vector<float>& cells, const PlanePoint& a, const PlanePoint& b,
                   const PlanePoint& c) {
  const auto side = [](const PlanePoint& p, const PlanePoint& q, double x, double y) {
    return (q.x - p.x) * (y - p.y) - (q.y - p.y) * (x - p.x);
  };
  const double x0 = std::min({a.x, b.x, c.x});
  const double x1 = std::max({a.x, b.x, c.x});
  const double y0 = std::min({a.y, b.y, c.y});
  const double y1 = std::max({a.y, b.y, c.y});
  const int column0 = std::max(0, static_cast<int>(std::floor((x0 + 180.0) / kCell)));
  const int column1 = std::min(kColumns - 1, static_cast<int>(std::floor((x1 + 180.0) / kCell)));
  const int row0 = std::max(0, static_cast<int>(std::floor((90.0 - y1) / kCell)));
  const int row1 = std::min(kRows - 1, static_cast<int>(std::floor((90.0 - y0) / kCell)));
  for (int row = row0; row <= row1; ++row) {
    const double y = cell_latitude(row);
    for (int column = column0; column <= column1; ++column) {
      const double x = cell_longitude(column);
      const double s0 = side(a, b, x, y);
      const double s1 = side(b, c, x, y);
      const double s2 = side(c, a, x, y);
      const bool inside = (s0 >= 0 && s1 >= 0 && s2 >= 0) || (s0 <= 0 && s1 <= 0 && s2 <= 0);
      if (inside) cells[row * kColumns + column] = 1.0f;
    }
  }
}

// Degrees between two points as on a globe near them: longitude shrinks by
// the cosine of their mean latitude (a pole station 60 degrees of longitude
// from the next is not far from it).
double distance(const PlanePoint& a, const PlanePoint& b) {
  const double scale = std::cos((a.y + b.y) / 2.0 * std::numbers::pi / 180.0);
  return std::hypot((a.x - b.x) * scale, a.y - b.y);
}

// Marks the land between the neighbouring zones of each continent: the
// Delaunay triangles of its zones whose sides are all short enough.
void mark_continents(std::vector<float>& cells, std::span<const TimeZoneEntry> zones) {
  for (std::string_view continent : kContinents) {
    std::vector<PlanePoint> points;
    for (const TimeZoneEntry& zone : zones) {
      const std::string_view name = zone.name;
      if (name.substr(0, name.find('/')) != continent) continue;
      const PlanePoint point{zone.longitude / 1'000'000.0, zone.latitude / 1'000'000.0};
      // Zones at one place add nothing and would make flat triangles.
      const bool repeated = std::any_of(points.begin(), points.end(), [&](const PlanePoint& q) {
        return q.x == point.x && q.y == point.y;
      });
      if (!repeated) points.push_back(point);
    }
    for (const Triangle& t : delaunay(points)) {
      const PlanePoint& a = points[t[0]];
      const PlanePoint& b = points[t[1]];
      const PlanePoint& c = points[t[2]];
      if (std::max({distance(a, b), distance(b, c), distance(c, a)}) > kBridgeDegrees) continue;
      mark_triangle(cells, a, b, c);
    }
  }
}

// One 3x3 box blur; columns wrap at the date line, rows end at the poles.
std::vector<float> blurred(const std::vector<float>& cells) {
  std::vector<float> out(cells.size(), 0.0f);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < kColumns; ++column) {
      float sum = 0.0f;
      for (int dr = -1; dr <= 1; ++dr) {
        const int r = row + dr;
        if (r < 0 || r >= kRows) continue;
        for (int dc = -1; dc <= 1; ++dc) sum += cells[r * kColumns + wrap_column(column + dc)];
      }
      out[row * kColumns + column] = sum / 9.0f;
    }
  }
  return out;
}

// The traced field: the mask's cells with a ring of sea around them, so that
// every outline closes inside it. Point (i, j) is cell (i - 1, j - 1).
class PaddedField {
 public:
  static constexpr int kWidth = kColumns + 2;
  static constexpr int kHeight = kRows + 2;

  explicit PaddedField(const LandMask& mask) : mask_(mask) {}

  float value(int i, int j) const { return mask_.cover(i - 1, j - 1); }
  bool inside(int i, int j) const { return value(i, j) >= kLandLevel; }
  static GeoPoint at(int i, int j) { return {cell_longitude(i - 1), cell_latitude(j - 1)}; }

  // Edge ids: the horizontal edge from (i, j) to (i + 1, j) and the vertical
  // one from (i, j) to (i, j + 1).
  static int horizontal(int i, int j) { return 2 * (j * kWidth + i); }
  static int vertical(int i, int j) { return 2 * (j * kWidth + i) + 1; }
  static constexpr int kEdgeCount = 2 * kWidth * kHeight;

  // Where the half-cover line crosses an edge, between its two ends.
  GeoPoint crossing(int edge) const {
    const int cell = edge / 2;
    const int i = cell % kWidth;
    const int j = cell / kWidth;
    const int i1 = edge % 2 == 0 ? i + 1 : i;
    const int j1 = edge % 2 == 0 ? j : j + 1;
    const double v0 = value(i, j);
    const double v1 = value(i1, j1);
    const double t = v1 == v0 ? 0.5 : std::clamp((kLandLevel - v0) / (v1 - v0), 0.0, 1.0);
    const GeoPoint p0 = at(i, j);
    const GeoPoint p1 = at(i1, j1);
    return {p0.longitude + (p1.longitude - p0.longitude) * t,
            p0.latitude + (p1.latitude - p0.latitude) * t};
  }

 private:
  const LandMask& mask_;
};

using Segment = std::pair<int, int>;

// The segments of the square whose top-left point is (i, j): each joins two
// of its edges where the line crosses them. Saddles are settled by the
// square's mean, so diagonal land cells join when the middle is land.
int square_segments(const PaddedField& field, int i, int j, std::array<Segment, 2>& out) {
  const int top = PaddedField::horizontal(i, j);
  const int bottom = PaddedField::horizontal(i, j + 1);
  const int left = PaddedField::vertical(i, j);
  const int right = PaddedField::vertical(i + 1, j);
  const int code = (field.inside(i, j) ? 8 : 0) | (field.inside(i + 1, j) ? 4 : 0) |
                   (field.inside(i + 1, j + 1) ? 2 : 0) | (field.inside(i, j + 1) ? 1 : 0);
  const auto middle_inside = [&] {
    const float mean = (field.value(i, j) + field.value(i + 1, j) + field.value(i + 1, j + 1) +
                        field.value(i, j + 1)) /
                       4.0f;
    return mean >= kLandLevel;
  };
  switch (code) {
    case 1:
    case 14:
      out[0] = {left, bottom};
      return 1;
    case 2:
    case 13:
      out[0] = {bottom, right};
      return 1;
    case 3:
    case 12:
      out[0] = {left, right};
      return 1;
    case 4:
    case 11:
      out[0] = {top, right};
      return 1;
    case 6:
    case 9:
      out[0] = {top, bottom};
      return 1;
    case 7:
    case 8:
      out[0] = {left, top};
      return 1;
    case 5:  // top-right and bottom-left are land
      if (middle_inside()) {
        out[0] = {left, top};
        out[1] = {bottom, right};
      } else {
        out[0] = {top, right};
        out[1] = {left, bottom};
      }
      return 2;
    case 10:  // top-left and bottom-right are land
      if (middle_inside()) {
        out[0] = {top, right};
        out[1] = {left, bottom};
      } else {
        out[0] = {left, top};
        out[1] = {bottom, right};
      }
      return 2;
    default:
      return 0;
  }
}

GeoPoint clamped(GeoPoint p) {
  return {std::clamp(p.longitude, -180.0, 180.0), std::clamp(p.latitude, -90.0, 90.0)};
}

}  // namespace

LandMask::LandMask() : cover_(static_cast<std::size_t>(kRows * kColumns), 0.0f) {}

LandMask LandMask::around(std::span<const TimeZoneEntry> zones) {
  LandMask mask;
  if (zones.empty()) return mask;
  for (const TimeZoneEntry& zone : zones) mark_zone(mask.cover_, zone);
  mark_continents(mask.cover_, zones);
  for (int pass = 0; pass < kSmoothingPasses; ++pass) mask.cover_ = blurred(mask.cover_);
  return mask;
}

float LandMask::cover(int column, int row) const {
  if (column < 0 || column >= kColumns || row < 0 || row >= kRows) return 0.0f;
  return cover_[row * kColumns + column];
}

bool LandMask::is_land(double latitude, double longitude) const {
  const int column =
      std::clamp(static_cast<int>(std::floor((longitude + 180.0) / kCell)), 0, kColumns - 1);
  const int row = std::clamp(static_cast<int>(std::floor((90.0 - latitude) / kCell)), 0, kRows - 1);
  return cover(column, row) >= kLandLevel;
}

std::size_t LandMask::land_cells() const {
  return static_cast<std::size_t>(
      std::count_if(cover_.begin(), cover_.end(), [](float v) { return v >= kLandLevel; }));
}

std::size_t LandOutline::point_count() const {
  std::size_t count = 0;
  for (const auto& ring : rings) count += ring.size();
  return count;
}

LandOutline trace_outline(const LandMask& mask) {
  const PaddedField field(mask);
  // Every crossed edge is shared by exactly two squares, so it ends exactly
  // two segments: its two neighbours along the line.
  std::vector<std::array<int, 2>> next(PaddedField::kEdgeCount, {-1, -1});
  const auto link = [&](int from, int to) {
    auto& slots = next[from];
    (slots[0] < 0 ? slots[0] : slots[1]) = to;
  };
  std::array<Segment, 2> segments;
  for (int j = 0; j + 1 < PaddedField::kHeight; ++j) {
    for (int i = 0; i + 1 < PaddedField::kWidth; ++i) {
      const int count = square_segments(field, i, j, segments);
      for (int s = 0; s < count; ++s) {
        link(segments[s].first, segments[s].second);
        link(segments[s].second, segments[s].first);
      }
    }
  }

  LandOutline outline;
  std::vector<bool> visited(PaddedField::kEdgeCount, false);
  for (int start = 0; start < PaddedField::kEdgeCount; ++start) {
    if (visited[start] || next[start][0] < 0) continue;
    std::vector<GeoPoint> ring;
    int previous = -1;
    int current = start;
    while (current >= 0 && !visited[current]) {
      visited[current] = true;
      ring.push_back(clamped(field.crossing(current)));
      const auto& [a, b] = next[current];
      const int ahead = a != previous ? a : b;
      previous = current;
      current = ahead;
    }
    if (ring.size() >= 3) outline.rings.push_back(std::move(ring));
  }
  return outline;
}

std::shared_ptr<const ZoneCatalogue> ZoneCatalogue::make(std::vector<TimeZoneEntry> zones) {
  auto catalogue = std::make_shared<ZoneCatalogue>();
  catalogue->land = trace_outline(LandMask::around(zones));
  catalogue->zones = std::move(zones);
  return catalogue;
}

namespace {

// What the catalogue and its land were made from: the zones, the folder and
// the time and size of each table (absent ones as -1).
struct CatalogueSource {
  std::vector<std::string> zones;
  std::filesystem::path folder;
  std::vector<std::pair<std::filesystem::file_time_type, std::uintmax_t>> tables;
  friend bool operator==(const CatalogueSource&, const CatalogueSource&) = default;
};

CatalogueSource catalogue_source(const std::vector<std::string>& zones,
                                 const std::filesystem::path& folder) {
  CatalogueSource source{zones, folder, {}};
  for (std::string_view table : kZoneTables) {
    std::error_code error;
    const std::filesystem::path file = folder / table;
    const auto time = std::filesystem::last_write_time(file, error);
    const auto size = error ? std::uintmax_t(-1) : std::filesystem::file_size(file, error);
    source.tables.emplace_back(error ? std::filesystem::file_time_type::min() : time,
                               error ? std::uintmax_t(-1) : size);
  }
  return source;
}

}  // namespace

std::shared_ptr<const ZoneCatalogue> ZoneCatalogue::shared(const std::vector<std::string>& zones,
                                                           const std::filesystem::path& folder) {
  static std::mutex mutex;
  static std::optional<CatalogueSource> made_from;
  static std::shared_ptr<const ZoneCatalogue> made;
  CatalogueSource source = catalogue_source(zones, folder);
  std::lock_guard lock(mutex);
  if (made && made_from == source) return made;
  made = ZoneCatalogue::make(load_zone_catalogue(zones, folder));
  made_from = std::move(source);
  return made;
}

}  // namespace settings::panes::time_date
