#pragma once

#include <array>
#include <cmath>
#include <compare>

// Plane geometry in logical pixels, 64-bit floats throughout.
namespace kalu_ui {

struct Vec2 {
  double x = 0.0;
  double y = 0.0;

  friend bool operator==(const Vec2&, const Vec2&) = default;
  Vec2 operator+(Vec2 o) const { return {x + o.x, y + o.y}; }
  Vec2 operator-(Vec2 o) const { return {x - o.x, y - o.y}; }
  Vec2 operator*(double s) const { return {x * s, y * s}; }
  double length() const { return std::hypot(x, y); }
};

struct Point {
  double x = 0.0;
  double y = 0.0;

  friend bool operator==(const Point&, const Point&) = default;
  Point operator+(Vec2 v) const { return {x + v.x, y + v.y}; }
  Point operator-(Vec2 v) const { return {x - v.x, y - v.y}; }
  Vec2 operator-(Point o) const { return {x - o.x, y - o.y}; }
  Vec2 to_vec2() const { return {x, y}; }
};

struct Size {
  double width = 0.0;
  double height = 0.0;

  friend bool operator==(const Size&, const Size&) = default;
};

// An axis-aligned rectangle: left, top, right, bottom. Containment is
// half-open (right and bottom edges are outside) and a NaN coordinate is
// never inside.
struct Rect {
  double x0 = 0.0;
  double y0 = 0.0;
  double x1 = 0.0;
  double y1 = 0.0;

  constexpr Rect() = default;
  constexpr Rect(double x0_, double y0_, double x1_, double y1_)
      : x0(x0_), y0(y0_), x1(x1_), y1(y1_) {}
  static constexpr Rect from_origin_size(Point origin, Size size) {
    return {origin.x, origin.y, origin.x + size.width, origin.y + size.height};
  }
  static constexpr Rect zero() { return {}; }

  friend bool operator==(const Rect&, const Rect&) = default;

  double width() const { return x1 - x0; }
  double height() const { return y1 - y0; }
  Size size() const { return {width(), height()}; }
  Point origin() const { return {x0, y0}; }
  Point center() const { return {0.5 * (x0 + x1), 0.5 * (y0 + y1)}; }
  double area() const { return width() * height(); }
  // True when the rectangle has no area (zero or negative extent); a NaN
  // extent is not empty.
  bool is_zero_area() const { return area() == 0.0; }

  bool contains(Point p) const { return p.x >= x0 && p.x < x1 && p.y >= y0 && p.y < y1; }

  // Intersection in which each max and min ignores a NaN operand (the other
  // is taken), and a disjoint pair yields a zero-area rectangle.
  Rect intersect(const Rect& o) const {
    const double nx0 = std::fmax(x0, o.x0);
    const double ny0 = std::fmax(y0, o.y0);
    const double nx1 = std::fmin(x1, o.x1);
    const double ny1 = std::fmin(y1, o.y1);
    return {nx0, ny0, std::fmax(nx1, nx0), std::fmax(ny1, ny0)};
  }

  // The smallest rectangle holding both.
  Rect union_with(const Rect& o) const {
    return {std::fmin(x0, o.x0), std::fmin(y0, o.y0), std::fmax(x1, o.x1), std::fmax(y1, o.y1)};
  }

  Rect inset(double d) const { return {x0 + d, y0 + d, x1 - d, y1 - d}; }
  Rect inflate(double dx, double dy) const { return {x0 - dx, y0 - dy, x1 + dx, y1 + dy}; }
  Rect translate(Vec2 v) const { return {x0 + v.x, y0 + v.y, x1 + v.x, y1 + v.y}; }
};

// A 2D affine transform [a b c d e f] mapping (x, y) to
// (a*x + c*y + e, b*x + d*y + f), as in the usual graphics convention.
struct Affine {
  std::array<double, 6> m{1.0, 0.0, 0.0, 1.0, 0.0, 0.0};

  static constexpr Affine identity() { return {}; }
  static Affine translate(Vec2 v) { return Affine{{1.0, 0.0, 0.0, 1.0, v.x, v.y}}; }
  static Affine scale(double s) { return Affine{{s, 0.0, 0.0, s, 0.0, 0.0}}; }
  static Affine scale_non_uniform(double sx, double sy) {
    return Affine{{sx, 0.0, 0.0, sy, 0.0, 0.0}};
  }
  static Affine rotate(double radians) {
    const double c = std::cos(radians);
    const double s = std::sin(radians);
    return Affine{{c, s, -s, c, 0.0, 0.0}};
  }
  // Scales by s about the point p: translate(p) * scale(s) * translate(-p).
  static Affine scale_about(double s, Point p) {
    return translate(p.to_vec2()) * scale(s) * translate(Vec2{-p.x, -p.y});
  }

  friend bool operator==(const Affine&, const Affine&) = default;

  // Composition: (this * o) applies o first, then this.
  Affine operator*(const Affine& o) const {
    const auto& a = m;
    const auto& b = o.m;
    return Affine{{a[0] * b[0] + a[2] * b[1], a[1] * b[0] + a[3] * b[1], a[0] * b[2] + a[2] * b[3],
                   a[1] * b[2] + a[3] * b[3], a[0] * b[4] + a[2] * b[5] + a[4],
                   a[1] * b[4] + a[3] * b[5] + a[5]}};
  }
  Point operator*(Point p) const {
    return {m[0] * p.x + m[2] * p.y + m[4], m[1] * p.x + m[3] * p.y + m[5]};
  }
  // Applies translate(v) after this transform.
  Affine then_translate(Vec2 v) const { return translate(v) * *this; }
  Affine pre_translate(Vec2 v) const { return *this * translate(v); }
  Vec2 translation() const { return {m[4], m[5]}; }
  double determinant() const { return m[0] * m[3] - m[1] * m[2]; }
  Affine inverse() const {
    const double inv = 1.0 / determinant();
    return Affine{{m[3] * inv, -m[1] * inv, -m[2] * inv, m[0] * inv,
                   (m[2] * m[5] - m[3] * m[4]) * inv, (m[1] * m[4] - m[0] * m[5]) * inv}};
  }
  // The bounding box of the transformed rectangle.
  Rect transform_rect_bbox(const Rect& r) const;
};

}  // namespace kalu_ui
