#include "lib/page_node.h"

#include <vector>

#include "kalu_ui/widget/support.h"

namespace settings::lib {

kalu_ui::layout::NodeId PageNode::build(kalu_ui::layout::LayoutTree& tree,
                                        const kalu_ui::RenderContext& context,
                                        kalu_ui::layout::NodeRegistry& registry,
                                        kalu_ui::Widget& pane, kalu_ui::Widget* page) {
  const kalu_ui::layout::NodeId page_node =
      page ? page->build_layout(tree, context, registry) : kalu_ui::layout::NodeId{};
  kalu_ui::layout::Style style;
  style.flex_direction = kalu_ui::layout::FlexDirection::Column;
  std::vector<kalu_ui::layout::NodeId> children;
  if (page_node.is_valid()) children.push_back(page_node);
  auto node = tree.new_with_children(style, children);
  wrapped_ = node.has_value();
  if (!wrapped_) return page_node;
  registry.insert(*node, &pane);
  return *node;
}

kalu_ui::Rect PageNode::apply(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                              double origin_x, double origin_y, kalu_ui::Widget* page) const {
  const kalu_ui::Rect rect = kalu_ui::widget::layout_rect(tree, node, origin_x, origin_y);
  if (page == nullptr) return rect;
  if (!wrapped_) {
    page->apply_layout(tree, node, origin_x, origin_y);
  } else if (auto page_node = tree.child_at(node, 0)) {
    page->apply_layout(tree, *page_node, rect.x0, rect.y0);
  }
  return rect;
}

}  // namespace settings::lib
