#pragma once

// How a pane lays out the page it keeps: the pane takes a column node of its
// own around the page's node, so the pane has a rectangle of its own and is
// found under its node; when the layout tree refuses that node the page's
// node stands for the pane and the page is placed from the pane's origin.

#include "kalu_ui/geometry.h"
#include "kalu_ui/layout.h"
#include "widget_contract/widget.h"

namespace settings::lib {

class PageNode {
 public:
  // The pane's node around `page`'s (registered for `pane`), or the page's
  // own when the tree refuses a node. `page` may be null.
  kalu_ui::layout::NodeId build(kalu_ui::layout::LayoutTree& tree,
                                const kalu_ui::RenderContext& context,
                                kalu_ui::layout::NodeRegistry& registry, kalu_ui::Widget& pane,
                                kalu_ui::Widget* page);
  // Places the page inside the pane's node; answers the pane's rectangle.
  kalu_ui::Rect apply(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                      double origin_x, double origin_y, kalu_ui::Widget* page) const;
  // Whether the last build got the pane's own node.
  bool wrapped() const { return wrapped_; }

 private:
  bool wrapped_ = false;
};

}  // namespace settings::lib
