#include "lib/page_pane.h"

#include <string>
#include <utility>

#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"

namespace settings::lib {
namespace {

kalu_ui::Widget* find_by_id(kalu_ui::Widget& widget, std::string_view id) {
  if (widget.id() == id) return &widget;
  for (kalu_ui::Widget* child : widget.children_mut()) {
    if (child == nullptr) continue;
    if (kalu_ui::Widget* found = find_by_id(*child, id)) return found;
  }
  return nullptr;
}

}  // namespace

void PagePane::sync(kalu_ui::doc::Document& document) {
  if (kalu_ui::Widget* page = shown_page()) page->sync(document);
  fresh_ = false;
}

kalu_ui::layout::NodeId PagePane::lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                               const kalu_ui::RenderContext& context,
                                               kalu_ui::layout::NodeRegistry& registry,
                                               kalu_ui::WidgetBox page) {
  set_page(std::move(page));
  return lay_out_page(tree, context, registry);
}

kalu_ui::layout::NodeId PagePane::lay_out_page(kalu_ui::layout::LayoutTree& tree,
                                               const kalu_ui::RenderContext& context,
                                               kalu_ui::layout::NodeRegistry& registry) {
  const kalu_ui::layout::NodeId node =
      page_node_.build(tree, context, registry, *this, page_.get());
  refused_ = !page_node_.wrapped();
  if (!refused_) return node;
  kalu_ui::log::warn("kalu::settings", "settings::lib", "page layout refused",
                     {{"op", "build_layout"},
                      {"pane", std::string(short_type_name())},
                      {"error", "the layout tree refused the pane's node"}});
  return kalu_ui::layout::NodeId{};
}

void PagePane::set_page(kalu_ui::WidgetBox page) {
  page_ = std::move(page);
  refused_ = false;
  fresh_ = page_ != nullptr;
  laid_out_ = false;
}

void PagePane::apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                            double origin_x, double origin_y) {
  rect_ = page_node_.apply(tree, node, origin_x, origin_y, shown_page());
  laid_out_ = shown_page() != nullptr;
}

kalu_ui::Widget* PagePane::take_reveal() {
  // A rebuild asked for with the reveal lays the new page out first.
  if (!reveal_ || rebuild_ || !laid_out_) return nullptr;
  kalu_ui::Widget* page = shown_page();
  if (page == nullptr) return nullptr;
  const std::string id = *std::exchange(reveal_, std::nullopt);
  return find_by_id(*page, id);
}

void PagePane::draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
                    kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
                    kalu_ui::DrawContext& context) {
  if (kalu_ui::Widget* page = shown_page()) {
    page->draw_with_presence(scene, transform, renderer, theme, context);
  }
}

void PagePane::handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) {
  kalu_ui::Widget* page = shown_page();
  if (page == nullptr) return;
  const bool before = context.handled;
  page->handle_event(event, context);
  if (context.handled && !before) interacted_ = true;
}

std::vector<const kalu_ui::Widget*> PagePane::children() const {
  return kalu_ui::child_list<const kalu_ui::Widget*>(shown_page());
}

std::vector<kalu_ui::Widget*> PagePane::children_mut() { return kalu_ui::child_list(shown_page()); }

bool PagePane::take_structure_dirty() {
  const bool own = std::exchange(rebuild_, false);
  kalu_ui::Widget* page = shown_page();
  const bool page_dirty = page != nullptr && page->take_structure_dirty();
  return own || page_dirty;
}

bool PagePane::needs_idle_sync() const {
  const kalu_ui::Widget* page = shown_page();
  return page != nullptr && page->needs_idle_sync();
}

std::optional<kalu_ui::Instant> PagePane::next_wake_deadline() const {
  if (fresh_) return kalu_ui::Instant::now();
  const kalu_ui::Widget* page = shown_page();
  return kalu_ui::earliest(own_wake_deadline(),
                           page != nullptr ? page->next_wake_deadline() : std::nullopt);
}

bool PagePane::take_interaction() {
  const kalu_ui::Widget* page = shown_page();
  return std::exchange(interacted_, false) || (page != nullptr && page->needs_commit());
}

}  // namespace settings::lib
