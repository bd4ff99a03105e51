#include "kalu_ui/widget/icon_widget.h"

#include <algorithm>
#include <cmath>

#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

IconWidget::IconWidget(std::uint8_t icon, float size, double weight)
    : icon_(icon),
      size_(std::isfinite(size) ? std::max(size, 0.0f) : kDefaultSize),
      weight_(weight) {}

IconWidget& IconWidget::with_color(Color color) & {
  color_ = color;
  return *this;
}

layout::Style IconWidget::leaf_style() const {
  layout::Style style;
  style.width = style.height = layout::Dimension::points(size_);
  style.flex_shrink = 0.0f;
  return style;
}

void IconWidget::draw(Scene& scene, const Affine& transform, text::TextRenderer&,
                      const Theme& theme, DrawContext&) {
  Icon::draw(scene, icon_, rect_, color_.value_or(theme.foreground), transform, weight_);
}

}  // namespace kalu_ui::widget
