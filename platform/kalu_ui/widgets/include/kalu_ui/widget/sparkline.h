#pragma once

#include <optional>
#include <vector>

#include "kalu_ui/color.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A small line chart of recent values, oldest on the left, from 0 at the
// bottom to the maximum at the top: a fixed maximum when given, else the
// largest value. Values that are not finite count as 0; values past the
// maximum are drawn at the top. It draws in the theme's accent unless given
// a colour.
//   boxed(Sparkline(samples).with_max(100.0).with_size(160.0f, 32.0f))
class Sparkline : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kSparkline;
  static constexpr float kDefaultWidth = 120.0f;
  static constexpr float kDefaultHeight = 32.0f;

  explicit Sparkline(std::vector<double> values = {});

  Sparkline& with_max(double max) &;
  Sparkline& with_size(float width, float height) &;
  Sparkline& with_color(Color color) &;
  KALU_UI_RVALUE_BUILDER(Sparkline, with_max)
  KALU_UI_RVALUE_BUILDER(Sparkline, with_size)
  KALU_UI_RVALUE_BUILDER(Sparkline, with_color)

  void set_values(std::vector<double> values);
  const std::vector<double>& values() const { return values_; }
  // The value drawn at the top.
  double top_value() const;
  // The points of the line within `rect` (one per value; none when empty).
  std::vector<Point> points(const Rect& rect) const;

  std::string_view type_name() const override { return kTypeName; }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  bool is_layout_dirty() const override { return is_zero_rect(rect_); }

 protected:
  layout::Style leaf_style() const override;

 private:
  std::vector<double> values_;
  std::optional<double> max_;
  float width_ = kDefaultWidth;
  float height_ = kDefaultHeight;
  std::optional<Color> color_;
};

}  // namespace kalu_ui::widget
