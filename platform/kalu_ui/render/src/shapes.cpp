#include "kalu_ui/shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kalu_ui {

BezPath& BezPath::move_to(Point p) {
  els_.push_back({PathEl::Kind::MoveTo, p, {}, {}});
  return *this;
}
BezPath& BezPath::line_to(Point p) {
  els_.push_back({PathEl::Kind::LineTo, p, {}, {}});
  return *this;
}
BezPath& BezPath::quad_to(Point control, Point end) {
  els_.push_back({PathEl::Kind::QuadTo, control, end, {}});
  return *this;
}
BezPath& BezPath::curve_to(Point c1, Point c2, Point end) {
  els_.push_back({PathEl::Kind::CurveTo, c1, c2, end});
  return *this;
}
BezPath& BezPath::close_path() {
  els_.push_back({PathEl::Kind::ClosePath, {}, {}, {}});
  return *this;
}

BezPath& BezPath::arc(Point c, double r, double start, double sweep) {
  if (!std::isfinite(r) || !std::isfinite(start) || !std::isfinite(sweep)) return *this;
  const Point first{c.x + r * std::cos(start), c.y + r * std::sin(start)};
  if (els_.empty()) {
    move_to(first);
  } else {
    line_to(first);
  }
  const int pieces =
      std::max(1, static_cast<int>(std::ceil(std::abs(sweep) / (std::numbers::pi / 2) - 1e-9)));
  const double step = sweep / pieces;
  const double k = 4.0 / 3.0 * std::tan(step / 4.0);
  double a0 = start;
  for (int i = 0; i < pieces; ++i) {
    const double a1 = a0 + step;
    const double c0 = std::cos(a0), s0 = std::sin(a0), c1 = std::cos(a1), s1 = std::sin(a1);
    curve_to({c.x + r * (c0 - k * s0), c.y + r * (s0 + k * c0)},
             {c.x + r * (c1 + k * s1), c.y + r * (s1 - k * c1)}, {c.x + r * c1, c.y + r * s1});
    a0 = a1;
  }
  return *this;
}

BezPath& BezPath::append(const BezPath& other) {
  els_.insert(els_.end(), other.els_.begin(), other.els_.end());
  return *this;
}

Rect BezPath::control_box() const {
  bool any = false;
  Rect box;
  auto add = [&](Point p) {
    if (!any) {
      box = {p.x, p.y, p.x, p.y};
      any = true;
    } else {
      box = box.union_with({p.x, p.y, p.x, p.y});
    }
  };
  for (const auto& el : els_) {
    switch (el.kind) {
      case PathEl::Kind::MoveTo:
      case PathEl::Kind::LineTo:
        add(el.p0);
        break;
      case PathEl::Kind::QuadTo:
        add(el.p0);
        add(el.p1);
        break;
      case PathEl::Kind::CurveTo:
        add(el.p0);
        add(el.p1);
        add(el.p2);
        break;
      case PathEl::Kind::ClosePath:
        break;
    }
  }
  return box;
}

BezPath BezPath::transformed(const Affine& t) const {
  BezPath out;
  out.els_.reserve(els_.size());
  for (auto el : els_) {
    el.p0 = t * el.p0;
    el.p1 = t * el.p1;
    el.p2 = t * el.p2;
    out.els_.push_back(el);
  }
  return out;
}

double RoundedRect::effective_radius() const {
  const double half = 0.5 * std::min(std::abs(rect.width()), std::abs(rect.height()));
  if (!std::isfinite(radius) || radius <= 0.0) return 0.0;
  return std::min(radius, half);
}

BezPath RoundedRect::to_path() const {
  const double r = effective_radius();
  const double x0 = rect.x0, y0 = rect.y0, x1 = rect.x1, y1 = rect.y1;
  BezPath p;
  if (r <= 0.0) {
    return p.move_to({x0, y0}).line_to({x1, y0}).line_to({x1, y1}).line_to({x0, y1}).close_path();
  }
  constexpr double kHalfPi = std::numbers::pi / 2;
  p.move_to({x0 + r, y0});
  p.arc({x1 - r, y0 + r}, r, -kHalfPi, kHalfPi);
  p.arc({x1 - r, y1 - r}, r, 0.0, kHalfPi);
  p.arc({x0 + r, y1 - r}, r, kHalfPi, kHalfPi);
  p.arc({x0 + r, y0 + r}, r, std::numbers::pi, kHalfPi);
  return p.close_path();
}

BezPath Circle::to_path() const {
  return BezPath().arc(center, radius, 0.0, 2 * std::numbers::pi).close_path();
}

BezPath Ellipse::to_path() const {
  const Affine t = Affine::translate(center.to_vec2()) * Affine::rotate(rotation) *
                   Affine::scale_non_uniform(radii.x, radii.y);
  return BezPath().arc({}, 1.0, 0.0, 2 * std::numbers::pi).close_path().transformed(t);
}

BezPath shape_to_path(const Shape& shape) {
  return std::visit(
      [](const auto& s) -> BezPath {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, BezPath>) {
          return s;
        } else if constexpr (std::is_same_v<T, Rect>) {
          return RoundedRect{s, 0.0}.to_path();
        } else {
          return s.to_path();
        }
      },
      shape);
}

Rect shape_bounds(const Shape& shape) {
  return std::visit(
      [](const auto& s) -> Rect {
        using T = std::decay_t<decltype(s)>;
        if constexpr (std::is_same_v<T, Rect>) {
          return s;
        } else if constexpr (std::is_same_v<T, RoundedRect>) {
          return s.rect;
        } else if constexpr (std::is_same_v<T, Circle>) {
          return s.bounding_box();
        } else if constexpr (std::is_same_v<T, Line>) {
          return Rect{s.p0.x, s.p0.y, s.p0.x, s.p0.y}.union_with({s.p1.x, s.p1.y, s.p1.x, s.p1.y});
        } else if constexpr (std::is_same_v<T, Ellipse>) {
          return s.to_path().control_box();
        } else {
          return s.control_box();
        }
      },
      shape);
}

}  // namespace kalu_ui
