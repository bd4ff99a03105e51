#include "kalu_ui/widget/row.h"

#include <algorithm>
#include <utility>

namespace kalu_ui::widget {

WrapRow::WrapRow(float gap_x, float gap_y)
    : Stack(layout::FlexDirection::Column), gap_x_(gap_x), gap_y_(gap_y) {
  style_.gap.height = gap_y_;
  style_.align_items = layout::Align::Start;
  // As wide as the parent makes it, never widened by a line that is too long.
  style_.min_width = layout::Dimension::points(0.0f);
}

WrapRow& WrapRow::with_lines_at_end(bool at_end) & {
  style_.align_items = at_end ? layout::Align::End : layout::Align::Start;
  return *this;
}

WrapRow& WrapRow::push(WidgetBox child) & {
  push_child(std::move(child));
  return *this;
}

layout::NodeId WrapRow::build_layout(layout::LayoutTree& tree, const RenderContext& context,
                                     layout::NodeRegistry& registry) {
  const auto built = children_.build(tree, context, registry);
  child_nodes_.assign(built.begin(), built.end());
  // A refused child leaves the nodes out of step with the children: one line.
  if (child_nodes_.size() != children_.size() || line_starts_.empty() ||
      line_starts_.back() >= std::max<std::size_t>(child_nodes_.size(), 1)) {
    line_starts_ = {0};
  }
  layout::Style line_style;
  line_style.flex_direction = layout::FlexDirection::Row;
  line_style.gap.width = gap_x_;
  line_style.align_items = layout::Align::Center;
  line_style.flex_shrink = 0.0f;
  line_nodes_.clear();
  for (std::size_t line = 0; line < line_starts_.size(); ++line) {
    const std::size_t first = line_starts_[line];
    const std::size_t end =
        line + 1 < line_starts_.size() ? line_starts_[line + 1] : child_nodes_.size();
    const std::vector<layout::NodeId> nodes(child_nodes_.begin() + static_cast<long>(first),
                                            child_nodes_.begin() + static_cast<long>(end));
    auto made = tree.new_with_children(line_style, nodes);
    if (!made) return layout::NodeId{};
    line_nodes_.push_back(*made);
  }
  auto node = tree.new_with_children(style_, line_nodes_);
  if (!node) return layout::NodeId{};
  registry.insert(*node, this);
  return *node;
}

void WrapRow::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                           double origin_y) {
  rect_ = layout_rect(tree, node, origin_x, origin_y);
  std::vector<Widget*> children = children_.children_mut();
  if (child_nodes_.size() != children.size() || line_nodes_.size() != line_starts_.size()) {
    children_.apply(tree, rect_.x0, rect_.y0);
    return;
  }
  for (std::size_t line = 0; line < line_starts_.size(); ++line) {
    const Rect at = layout_rect(tree, line_nodes_[line], rect_.x0, rect_.y0);
    const std::size_t end =
        line + 1 < line_starts_.size() ? line_starts_[line + 1] : children.size();
    for (std::size_t i = line_starts_[line]; i < end; ++i) {
      children[i]->apply_layout(tree, child_nodes_[i], at.x0, at.y0);
    }
  }
  // The lines the children's widths call for at this width.
  std::vector<std::size_t> starts{0};
  double used = 0.0;
  for (std::size_t i = 0; i < children.size(); ++i) {
    const double width = children[i]->get_rect().width();
    if (i > starts.back() && used + gap_x_ + width > rect_.width()) {
      starts.push_back(i);
      used = width;
    } else {
      used += (i > starts.back() ? gap_x_ : 0.0) + width;
    }
  }
  if (rect_.width() > 0.0 && starts != line_starts_) {
    line_starts_ = std::move(starts);
    regroup_ = true;
  }
}

bool WrapRow::take_structure_dirty() {
  const bool own = std::exchange(regroup_, false);
  return Stack::take_structure_dirty() || own;
}

}  // namespace kalu_ui::widget
