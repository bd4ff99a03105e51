#include "kalu_ui/widget/sparkline.h"

#include <algorithm>
#include <cmath>

#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

namespace {

constexpr double kLineWidth = 1.5;

double finite_or_zero(double value) { return std::isfinite(value) ? value : 0.0; }

float usable_length(float length, float fallback) {
  return std::isfinite(length) && length >= 0.0f ? length : fallback;
}

}  // namespace

Sparkline::Sparkline(std::vector<double> values) : values_(std::move(values)) {}

Sparkline& Sparkline::with_max(double max) & {
  if (std::isfinite(max) && max > 0.0) {
    max_ = max;
  } else {
    max_.reset();
  }
  return *this;
}

Sparkline& Sparkline::with_size(float width, float height) & {
  width_ = usable_length(width, kDefaultWidth);
  height_ = usable_length(height, kDefaultHeight);
  return *this;
}

Sparkline& Sparkline::with_color(Color color) & {
  color_ = color;
  return *this;
}

void Sparkline::set_values(std::vector<double> values) { values_ = std::move(values); }

double Sparkline::top_value() const {
  if (max_) return *max_;
  double top = 0.0;
  for (double value : values_) top = std::max(top, finite_or_zero(value));
  return top;
}

std::vector<Point> Sparkline::points(const Rect& rect) const {
  std::vector<Point> points;
  if (values_.empty()) return points;
  points.reserve(values_.size());
  const double top = top_value();
  // Half the line width inside every edge, so the stroke is not cut.
  const double inset = kLineWidth / 2;
  const double x0 = rect.x0 + inset;
  const double width = std::max(rect.width() - 2 * inset, 0.0);
  const double y1 = rect.y1 - inset;
  const double height = std::max(rect.height() - 2 * inset, 0.0);
  const double step = values_.size() > 1 ? width / double(values_.size() - 1) : 0.0;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    const double value = std::max(finite_or_zero(values_[i]), 0.0);
    const double share = top > 0.0 ? std::min(value / top, 1.0) : 0.0;
    points.push_back({x0 + step * double(i), y1 - share * height});
  }
  // A single value draws as a flat line across.
  if (points.size() == 1) points.push_back({x0 + width, points.front().y});
  return points;
}

layout::Style Sparkline::leaf_style() const {
  layout::Style style;
  style.width = layout::Dimension::points(width_);
  style.height = layout::Dimension::points(height_);
  style.flex_shrink = 0.0f;
  return style;
}

void Sparkline::draw(Scene& scene, const Affine& transform, text::TextRenderer&, const Theme& theme,
                     DrawContext&) {
  const auto line = points(rect_);
  if (line.empty()) return;
  BezPath path;
  path.move_to(line.front());
  for (std::size_t i = 1; i < line.size(); ++i) path.line_to(line[i]);
  scene.stroke(path, color_.value_or(theme.accent), StrokeStyle{kLineWidth}, transform);
}

}  // namespace kalu_ui::widget
