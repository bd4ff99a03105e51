#pragma once

// A pane that shows one page it builds afresh at each layout and otherwise
// only forwards to it: the page's sync, drawing, events and structure
// changes, the pane's own layout node around the page (page_node.h), and
// whether the person touched the page since the last permission request
// (an event the page handled, or a change it has not committed). A pane
// derives from it, builds its page in build_layout and hands it to
// lay_out_page; its other operations are the forwarding below unless it
// overrides them.

#include <vector>

#include "kalu_ui/geometry.h"
#include "kalu_ui/layout.h"
#include "lib/page_node.h"
#include "widget_contract/widget.h"

namespace settings::lib {

class PagePane : public kalu_ui::Widget {
 public:
  void sync(kalu_ui::doc::Document& document) override;
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                    double origin_x, double origin_y) override;
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override;
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;
  std::vector<const kalu_ui::Widget*> children() const override;
  std::vector<kalu_ui::Widget*> children_mut() override;
  kalu_ui::Rect get_rect() const override { return rect_; }
  bool take_structure_dirty() override;

 protected:
  // Keeps `page` (replacing the previous one) and lays it out inside the
  // pane's own node, which it answers.
  kalu_ui::layout::NodeId lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry,
                                       kalu_ui::WidgetBox page);
  // Whether the page was touched since the last call: an event it handled
  // (cleared by this call) or a change it has not committed.
  bool take_interaction();
  kalu_ui::Widget* page() const { return page_.get(); }

 private:
  kalu_ui::WidgetBox page_;
  PageNode page_node_;
  kalu_ui::Rect rect_;
  bool interacted_ = false;
};

}  // namespace settings::lib
