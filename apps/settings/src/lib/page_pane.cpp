#include "lib/page_pane.h"

#include <utility>

#include "kalu_ui/widget/support.h"

namespace settings::lib {

void PagePane::sync(kalu_ui::doc::Document& document) {
  if (page_) page_->sync(document);
}

kalu_ui::layout::NodeId PagePane::lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                               const kalu_ui::RenderContext& context,
                                               kalu_ui::layout::NodeRegistry& registry,
                                               kalu_ui::WidgetBox page) {
  page_ = std::move(page);
  return page_node_.build(tree, context, registry, *this, page_.get());
}

void PagePane::apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                            double origin_x, double origin_y) {
  rect_ = page_node_.apply(tree, node, origin_x, origin_y, page_.get());
}

void PagePane::draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                    kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                    kalu_ui::DrawContext& context) {
  if (page_) page_->draw_with_presence(scene, transform, renderer, theme, context);
}

void PagePane::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  if (!page_) return;
  const bool before = context.handled;
  page_->handle_event(event, context);
  if (context.handled && !before) interacted_ = true;
}

std::vector<const kalu_ui::Widget*> PagePane::children() const {
  return kalu_ui::child_list<const kalu_ui::Widget*>(page_.get());
}

std::vector<kalu_ui::Widget*> PagePane::children_mut() { return kalu_ui::child_list(page_.get()); }

bool PagePane::take_structure_dirty() { return page_ && page_->take_structure_dirty(); }

bool PagePane::take_interaction() {
  return std::exchange(interacted_, false) || (page_ && page_->needs_commit());
}

}  // namespace settings::lib
