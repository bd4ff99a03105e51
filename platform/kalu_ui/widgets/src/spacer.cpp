#include "kalu_ui/widget/spacer.h"

#include <algorithm>
#include <cmath>

namespace kalu_ui::widget {

float spacing(std::uint8_t step) {
  return kSpacingScale[std::min<std::size_t>(step, kSpacingScale.size() - 1)];
}

Spacer Spacer::step(std::uint8_t step) { return fixed(spacing(step)); }

Spacer Spacer::fixed(float length) {
  Spacer spacer;
  spacer.length_ = std::isfinite(length) ? std::max(length, 0.0f) : 0.0f;
  return spacer;
}

layout::Style Spacer::leaf_style() const {
  layout::Style style;
  if (length_) {
    // Along whichever axis the parent lines its children up.
    style.flex_basis = layout::Dimension::points(*length_);
    style.flex_grow = 0.0f;
    style.flex_shrink = 0.0f;
  } else {
    style.flex_grow = 1.0f;
    style.flex_shrink = 1.0f;
  }
  return style;
}

void Spacer::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                          double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
  laid_out_ = tree.layout(node).has_value();
}

}  // namespace kalu_ui::widget
