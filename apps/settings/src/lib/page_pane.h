#pragma once

// A pane that shows one page it builds and otherwise only forwards to it: the
// page's sync, drawing, events and structure changes, the pane's own layout
// node around the page (page_node.h), and whether the person touched the page
// since the last permission request (an event the page handled, or a change
// it has not committed). A pane derives from it, builds its page in
// build_layout and hands it to lay_out_page; its own sync ends with
// PagePane::sync, which syncs the page.
//
// What it promises every pane:
// - A pane asks for a new page with request_rebuild; the frame loop sees that
//   request, with the page's own structure changes, in take_structure_dirty,
//   and both are taken there, so none lingers into the next frame.
// - A page built since the last sync wakes the loop at once, so its controls
//   show the document's values without waiting for an event.
// - When the layout tree refuses the pane's node the pane shows nothing and
//   says so in a warning; the page stays alive, because the layout registry
//   may still name its widgets, and the next layout shows it again.
// - The pane's wake deadline is the earlier of its own_wake_deadline and the
//   page's.

#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/geometry.h"
#include "kalu_ui/instant.h"
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
  bool take_structure_dirty() final;
  bool needs_idle_sync() const override;
  std::optional<kalu_ui::Instant> next_wake_deadline() const final;

  // The page the pane keeps (none before its first build), for the pane's
  // steps and the tests.
  kalu_ui::Widget* page() const { return page_.get(); }

  // The widget of the laid-out page the pane asked to bring into view (a
  // result put beside the control that produced it), once: the page frame,
  // which holds the viewport, scrolls to it. None while it is not laid out.
  kalu_ui::Widget* take_reveal();

 protected:
  // Keeps `page` (replacing the previous one) and lays it out inside the
  // pane's own node, which it answers.
  kalu_ui::layout::NodeId lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry,
                                       kalu_ui::WidgetBox page);
  // Lays the page kept out again (a pane that builds its page only when it
  // changed).
  kalu_ui::layout::NodeId lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry);
  // Puts `page` (or none) in place of the page kept, now; the layout still
  // names the old page's widgets until the next build, which the caller asks
  // for.
  void set_page(kalu_ui::WidgetBox page);
  // Asks the frame loop for a new layout, where build_layout runs again.
  void request_rebuild() { rebuild_ = true; }
  // Asks that the page's widget with this id be brought into view once laid
  // out (take_reveal).
  void request_reveal(std::string id) { reveal_ = std::move(id); }
  // When the pane itself wants a frame (a worker to poll, a timer); none by
  // default.
  virtual std::optional<kalu_ui::Instant> own_wake_deadline() const { return std::nullopt; }
  // Whether the page was touched since the last call: an event it handled
  // (cleared by this call) or a change it has not committed.
  bool take_interaction();
  // The page while it stands in the layout (none while the tree refuses the
  // pane's node).
  kalu_ui::Widget* shown_page() const { return refused_ ? nullptr : page_.get(); }

 private:
  kalu_ui::WidgetBox page_;
  PageNode page_node_;
  kalu_ui::Rect rect_;
  bool interacted_ = false;
  bool rebuild_ = false;
  // Built since the last sync.
  bool fresh_ = false;
  // The last layout refused the pane's node.
  bool refused_ = false;
  std::optional<std::string> reveal_;
  // Laid out since the page was built.
  bool laid_out_ = false;
};

}  // namespace settings::lib
