#include "kalu_ui/widget/app_shell.h"

#include <algorithm>
#include <utility>

#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"
#include "widget_contract/type_names.h"

namespace kalu_ui::widget {

using layout::Dimension;
using layout::LayoutTree;
using layout::NodeId;
using layout::Style;

struct AppShell::Nodes {
  NodeId bar;
  NodeId sidebar;
  NodeId search_wrap;
  NodeId search;
  NodeId nav;
  NodeId content;
  Rect bar_rect;
  Rect sidebar_rect;
  Rect nav_rect;
  Rect content_rect;
};

namespace {

Rect node_rect(const LayoutTree& tree, NodeId node, double x, double y) {
  const auto l = tree.layout(node);
  if (!l) return Rect{};
  const double left = x + l->location.x;
  const double top = y + l->location.y;
  return {left, top, left + l->size.width, top + l->size.height};
}

// Lets a side's own node fill what its slot gives it along `main`.
void fill_slot(LayoutTree& tree, NodeId node) {
  auto style = tree.style(node);
  if (!style) return;
  style->flex_grow = std::max(style->flex_grow, 1.0f);
  style->flex_shrink = std::max(style->flex_shrink, 1.0f);
  if (style->min_height.is_auto()) style->min_height = Dimension::points(0.0f);
  if (style->min_width.is_auto()) style->min_width = Dimension::points(0.0f);
  (void)tree.set_style(node, *style);
}

NodeId make_node(LayoutTree& tree, const Style& style, std::initializer_list<NodeId> children) {
  std::vector<NodeId> valid;
  for (NodeId child : children) {
    if (child.is_valid()) valid.push_back(child);
  }
  auto node = tree.new_with_children(style, valid);
  return node ? *node : NodeId{};
}

bool is_pointer_press(const Event& event) { return event.is<PointerDown>() || event.is<Wheel>(); }

// Events every visible side sees, so that hover and presses end everywhere.
bool reaches_every_side(const Event& event) {
  return event.is<PointerMove>() || event.is<PointerUp>() || event.is<PointerLeave>() ||
         event.is<WindowResized>() || event.is<ScaleChanged>() || event.is<FocusLost>() ||
         event.is<FocusGained>();
}

}  // namespace

AppShell::AppShell(WidgetBox nav, WidgetBox content)
    : nav_(std::move(nav)), content_(std::move(content)), nodes_(std::make_unique<Nodes>()) {}
AppShell::~AppShell() = default;
AppShell::AppShell(AppShell&&) noexcept = default;
AppShell& AppShell::operator=(AppShell&&) noexcept = default;

AppShell& AppShell::with_search(WidgetBox search) & {
  search_ = std::move(search);
  structure_dirty_ = true;
  return *this;
}

AppShell& AppShell::with_metrics(double nav_width, double narrow_below) & {
  if (std::isfinite(nav_width) && nav_width >= 0.0) nav_width_ = nav_width;
  if (std::isfinite(narrow_below) && narrow_below >= 0.0) narrow_below_ = narrow_below;
  structure_dirty_ = true;
  return *this;
}

AppShell& AppShell::with_narrow_screen(bool enabled) & {
  narrow_screen_ = enabled;
  if (!enabled) set_narrow(false);
  structure_dirty_ = true;
  return *this;
}

void AppShell::set_nav(WidgetBox nav) {
  nav_ = std::move(nav);
  structure_dirty_ = true;
}

void AppShell::set_content(WidgetBox content) {
  content_ = std::move(content);
  structure_dirty_ = true;
}

WidgetBox AppShell::exchange_content(WidgetBox content) {
  WidgetBox old = std::move(content_);
  set_content(std::move(content));
  return old;
}

void AppShell::notify_selection() {
  if (narrow_) set_sidebar_collapsed(true);
}

void AppShell::set_sidebar_collapsed(bool collapsed) {
  if (collapsed_ == collapsed) return;
  collapsed_ = collapsed;
  structure_dirty_ = true;
}

void AppShell::set_narrow(bool narrow) {
  if (narrow_ == narrow) return;
  narrow_ = narrow;
  structure_dirty_ = true;
}

Rect AppShell::content_rect() const { return content_shown() ? nodes_->content_rect : Rect{}; }
Rect AppShell::nav_rect() const { return nav_shown() ? nodes_->nav_rect : Rect{}; }

std::optional<Rect> AppShell::toggle_rect() const {
  if (!narrow_) return std::nullopt;
  const Rect& bar = nodes_->bar_rect;
  const double size = kTopBarHeight - 8.0;
  return Rect{bar.x0 + 4.0, bar.y0 + 4.0, bar.x0 + 4.0 + size, bar.y0 + 4.0 + size};
}

std::string_view AppShell::type_name() const { return type_names::kAppShell; }

NodeId AppShell::build_layout(LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) {
  Nodes& n = *nodes_;
  n = Nodes{};

  if (nav_shown()) {
    if (search_) {
      n.search = search_->build_layout(tree, context, registry);
      Style wrap;
      wrap.flex_direction = layout::FlexDirection::Column;
      wrap.padding = layout::Edges::all(static_cast<float>(kSearchPadding));
      wrap.flex_shrink = 0.0f;
      n.search_wrap = make_node(tree, wrap, {n.search});
    }
    if (nav_) {
      n.nav = nav_->build_layout(tree, context, registry);
      if (n.nav.is_valid()) fill_slot(tree, n.nav);
    }
    Style side;
    side.flex_direction = layout::FlexDirection::Column;
    side.flex_shrink = 0.0f;
    side.min_height = Dimension::points(0.0f);
    side.width = narrow_ ? Dimension::full() : Dimension::points(static_cast<float>(nav_width_));
    n.sidebar = make_node(tree, side, {n.search_wrap, n.nav});
  }
  if (content_shown() && content_) {
    n.content = content_->build_layout(tree, context, registry);
    if (n.content.is_valid()) fill_slot(tree, n.content);
  }

  Style body;
  body.flex_direction = layout::FlexDirection::Row;
  body.width = Dimension::full();
  body.height = Dimension::full();
  body.min_height = Dimension::points(0.0f);
  if (!narrow_) return make_node(tree, body, {n.sidebar, n.content});

  Style bar;
  bar.height = Dimension::points(static_cast<float>(kTopBarHeight));
  bar.flex_shrink = 0.0f;
  auto bar_node = tree.new_leaf(bar);
  if (bar_node) n.bar = *bar_node;
  body.height = Dimension::auto_();
  body.flex_grow = 1.0f;
  const NodeId body_node = make_node(tree, body, {n.sidebar, n.content});
  Style column;
  column.flex_direction = layout::FlexDirection::Column;
  column.width = Dimension::full();
  column.height = Dimension::full();
  return make_node(tree, column, {n.bar, body_node});
}

void AppShell::apply_layout(const LayoutTree& tree, NodeId node, double origin_x, double origin_y) {
  rect_ = node_rect(tree, node, origin_x, origin_y);
  Nodes& n = *nodes_;
  // The body is the shell's node itself when wide, its second child when narrow.
  Rect body = rect_;
  if (narrow_) {
    if (n.bar.is_valid()) n.bar_rect = node_rect(tree, n.bar, rect_.x0, rect_.y0);
    if (auto second = tree.child_at(node, n.bar.is_valid() ? 1 : 0)) {
      body = node_rect(tree, *second, rect_.x0, rect_.y0);
    }
  } else {
    n.bar_rect = Rect{};
  }
  if (n.sidebar.is_valid()) {
    n.sidebar_rect = node_rect(tree, n.sidebar, body.x0, body.y0);
    if (search_ && n.search_wrap.is_valid()) {
      const Rect wrap = node_rect(tree, n.search_wrap, n.sidebar_rect.x0, n.sidebar_rect.y0);
      search_->apply_layout(tree, n.search, wrap.x0, wrap.y0);
    }
    if (nav_ && n.nav.is_valid()) {
      n.nav_rect = node_rect(tree, n.nav, n.sidebar_rect.x0, n.sidebar_rect.y0);
      nav_->apply_layout(tree, n.nav, n.sidebar_rect.x0, n.sidebar_rect.y0);
    }
  }
  if (content_ && n.content.is_valid()) {
    n.content_rect = node_rect(tree, n.content, body.x0, body.y0);
    content_->apply_layout(tree, n.content, body.x0, body.y0);
  }
  // The narrow state follows the shell's own width; a change rebuilds the
  // layout (the frame loop asks again right after applying it).
  set_narrow(narrow_screen_ && rect_.width() < narrow_below_);
}

void AppShell::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext& context) {
  const Nodes& n = *nodes_;
  if (nav_shown()) {
    scene.fill(n.sidebar_rect, theme.sidebar, transform);
    if (!narrow_) {
      const double x = n.sidebar_rect.x1 - 0.5;
      scene.stroke(Line{{x, n.sidebar_rect.y0}, {x, n.sidebar_rect.y1}}, theme.card_edge,
                   StrokeStyle(1.0), transform);
    }
    if (search_) search_->draw_with_presence(scene, transform, renderer, theme, context);
    if (nav_) nav_->draw_with_presence(scene, transform, renderer, theme, context);
  }
  if (content_shown() && content_) {
    content_->draw_with_presence(scene, transform, renderer, theme, context);
  }
  if (auto toggle = toggle_rect()) {
    scene.fill(n.bar_rect, theme.sidebar, transform);
    const double y = n.bar_rect.y1 - 0.5;
    scene.stroke(Line{{n.bar_rect.x0, y}, {n.bar_rect.x1, y}}, theme.card_edge, StrokeStyle(1.0),
                 transform);
    // Three bars: the panel's open-and-collapse button.
    const Point c = toggle->center();
    for (double dy : {-6.0, 0.0, 6.0}) {
      scene.stroke(Line{{c.x - 9.0, c.y + dy}, {c.x + 9.0, c.y + dy}}, theme.foreground,
                   StrokeStyle(2.0), transform);
    }
  }
}

void AppShell::handle_event(const Event& event, EventContext& context) {
  if (const auto* down = event.as<PointerDown>()) {
    if (auto toggle = toggle_rect(); toggle && toggle->contains(down->position)) {
      set_sidebar_collapsed(!collapsed_);
      context.set_handled();
      return;
    }
  }
  const std::optional<Point> at = event.position();
  for (Widget* side : children_mut()) {
    if (is_pointer_press(event) && at && !side->get_rect().contains(*at)) continue;
    side->handle_event(event, context);
    if (context.handled && !reaches_every_side(event)) return;
  }
}

void AppShell::sync(doc::Document& document) {
  for (Widget* side : children_mut()) side->sync(document);
}

std::vector<const Widget*> AppShell::children() const {
  std::vector<const Widget*> list;
  if (nav_shown()) {
    if (search_) list.push_back(search_.get());
    if (nav_) list.push_back(nav_.get());
  }
  if (content_shown() && content_) list.push_back(content_.get());
  return list;
}

std::vector<Widget*> AppShell::children_mut() {
  std::vector<Widget*> list;
  for (const Widget* child : std::as_const(*this).children())
    list.push_back(const_cast<Widget*>(child));
  return list;
}

bool AppShell::take_structure_dirty() {
  bool dirty = std::exchange(structure_dirty_, false);
  // Every side's flag is taken, hidden ones too, so none lingers.
  for (Widget* side : {search_.get(), nav_.get(), content_.get()}) {
    if (side) dirty = side->take_structure_dirty() || dirty;
  }
  return dirty;
}

}  // namespace kalu_ui::widget
