#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "kalu_ui/geometry.h"

// Shapes that widgets fill and stroke. Coordinates are logical pixels in the
// widget's own space; the Scene applies transforms, not the shapes.
namespace kalu_ui {

// One element of a path. Curves carry their control points and end point;
// the start is the end of the previous element.
struct PathEl {
  enum class Kind : std::uint8_t { MoveTo, LineTo, QuadTo, CurveTo, ClosePath };
  Kind kind = Kind::MoveTo;
  Point p0{};  // MoveTo/LineTo: the point; QuadTo/CurveTo: first control point
  Point p1{};  // QuadTo: end; CurveTo: second control point
  Point p2{};  // CurveTo: end

  friend bool operator==(const PathEl&, const PathEl&) = default;
};

// A path of lines and quadratic and cubic Béziers, possibly with several
// subpaths. Builder calls return *this so that paths read as one expression:
//   BezPath().move_to({0, 0}).line_to({10, 0}).line_to({5, 8}).close_path()
// A drawing element before any move_to starts its subpath at (0, 0).
class BezPath {
 public:
  BezPath& move_to(Point p);
  BezPath& line_to(Point p);
  BezPath& quad_to(Point control, Point end);
  BezPath& curve_to(Point control1, Point control2, Point end);
  BezPath& close_path();
  // Appends an arc of the circle (center, radius) from angle `start` sweeping
  // `sweep` radians (positive is clockwise on screen, y pointing down), as
  // cubic pieces. Starts with a line_to from the current point, or a move_to
  // when the path is empty.
  BezPath& arc(Point center, double radius, double start, double sweep);
  // Appends every element of `other`.
  BezPath& append(const BezPath& other);

  const std::vector<PathEl>& elements() const { return els_; }
  bool empty() const { return els_.empty(); }
  // The box holding every point and control point (a slight overestimate
  // for curves; exact for polygons). Zero for an empty path.
  Rect control_box() const;
  BezPath transformed(const Affine& t) const;

  friend bool operator==(const BezPath&, const BezPath&) = default;

 private:
  std::vector<PathEl> els_;
};

// A rectangle with the same corner radius on every corner. The radius is
// clamped to half the shorter side (and to 0) when drawn.
struct RoundedRect {
  Rect rect;
  double radius = 0.0;

  static RoundedRect from_rect(const Rect& r, double radius) { return {r, radius}; }
  // The radius actually drawn.
  double effective_radius() const;
  BezPath to_path() const;
  friend bool operator==(const RoundedRect&, const RoundedRect&) = default;
};

struct Circle {
  Point center;
  double radius = 0.0;

  BezPath to_path() const;
  Rect bounding_box() const {
    return {center.x - radius, center.y - radius, center.x + radius, center.y + radius};
  }
  friend bool operator==(const Circle&, const Circle&) = default;
};

// An axis-aligned ellipse (radii along x and y), rotated by `rotation`
// radians about its centre.
struct Ellipse {
  Point center;
  Vec2 radii;
  double rotation = 0.0;

  BezPath to_path() const;
  friend bool operator==(const Ellipse&, const Ellipse&) = default;
};

// A straight segment; only stroking draws it.
struct Line {
  Point p0;
  Point p1;

  BezPath to_path() const { return BezPath().move_to(p0).line_to(p1); }
  friend bool operator==(const Line&, const Line&) = default;
};

// Any shape the Scene takes. Keeping the kind (rather than flattening every
// shape to a path) lets tests ask "was a rounded rect drawn here".
using Shape = std::variant<Rect, RoundedRect, Circle, Ellipse, Line, BezPath>;

BezPath shape_to_path(const Shape& shape);
// The shape's bounding box in its own coordinates (control box for paths).
Rect shape_bounds(const Shape& shape);

}  // namespace kalu_ui
