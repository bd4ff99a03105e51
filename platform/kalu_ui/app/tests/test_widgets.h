#pragma once

// Small widgets for the application layer's tests: a leaf that draws a
// coloured block and records what reaches it, and a flex container.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/wake_slot.h"
#include "widget_contract/widget.h"

namespace kalu_ui::app_test {

inline Rect rect_from_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                             double y) {
  const auto l = tree.layout(node);
  if (!l) return Rect{x, y, x, y};
  const double left = x + l->location.x;
  const double top = y + l->location.y;
  return {left, top, left + l->size.width, top + l->size.height};
}

struct BlockLog {
  int syncs = 0;
  int builds = 0;
  int measures = 0;
  int draws = 0;
  int destroyed = 0;
  std::vector<std::string> events;
};

// A leaf of a measured size. Reports what reaches it into a shared log.
class Block : public Widget {
 public:
  Block(std::string id, layout::LayoutSize size, std::shared_ptr<BlockLog> log = nullptr)
      : id_(std::move(id)),
        size_(size),
        log_(log ? std::move(log) : std::make_shared<BlockLog>()) {}
  ~Block() override { ++log_->destroyed; }

  std::string_view type_name() const override { return "kalu_ui::app_test::Block"; }
  std::optional<std::string> id() const override { return id_; }

  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override {
    ++log_->builds;
    built_scale = context.scale_factor;
    layout::Style style;
    style.flex_grow = grow;
    auto node = tree.new_leaf(style);
    if (!node) return {};
    registry.insert(*node, this);
    return *node;
  }
  layout::LayoutSize measure(layout::KnownDimensions, layout::AvailableSize,
                             text::TextRenderer&) override {
    ++log_->measures;
    return size_;
  }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                    double y) override {
    rect_ = rect_from_layout(tree, node, x, y);
  }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer&, const Theme&,
            DrawContext&) override {
    ++log_->draws;
    scene.fill(rect_, color, transform);
  }
  void sync(doc::Document&) override { ++log_->syncs; }
  void handle_event(const Event& event, EventContext& context) override {
    if (const auto* down = event.as<PointerDown>()) {
      if (!rect_.contains(down->position)) return;
      log_->events.push_back("down " + id_);
      if (focusable) context.request_focus(*this);
      if (captures) context.capture_pointer(*this);
      context.set_handled();
    } else if (const auto* move = event.as<PointerMove>()) {
      if (captures || rect_.contains(move->position)) log_->events.push_back("move " + id_);
    } else if (const auto* up = event.as<PointerUp>()) {
      if (captures || rect_.contains(up->position)) log_->events.push_back("up " + id_);
    } else if (const auto* key = event.as<KeyDown>()) {
      if (!focused_) return;
      log_->events.push_back("key " + id_);
      if (key->key != Key::Tab) context.set_handled();
    } else if (const auto* text = event.as<kalu_ui::TextInput>()) {
      if (!focused_) return;
      log_->events.push_back("text " + id_ + " " + text->text);
      context.set_handled();
    } else if (const auto* wheel = event.as<Wheel>()) {
      if (rect_.contains(wheel->position)) log_->events.push_back("wheel " + id_);
    }
  }
  Rect get_rect() const override { return rect_; }
  bool is_focusable() const override { return focusable; }
  bool is_focused() const override { return focused_; }
  void set_focus(bool focused) override { focused_ = focused; }
  std::optional<CursorKind> cursor_icon_at(double x, double y) const override {
    if (cursor && rect_.contains({x, y})) return cursor;
    return std::nullopt;
  }
  std::optional<Instant> next_wake_deadline() const override { return deadline; }
  bool needs_animation_frame() const override { return animating; }
  bool needs_redraw() const override { return redraw; }

  BlockLog& log() { return *log_; }

  Color color = Color::rgb8(50, 120, 230);
  float grow = 0.0f;
  bool focusable = false;
  bool captures = false;
  bool animating = false;
  bool redraw = true;
  std::optional<CursorKind> cursor;
  std::optional<Instant> deadline;
  double built_scale = 0.0;

 private:
  std::string id_;
  layout::LayoutSize size_;
  std::shared_ptr<BlockLog> log_;
  Rect rect_;
  bool focused_ = false;
};

// A flex container: a row or a column of boxed children. Pointer and wheel
// events go to the children under the pointer, other events to every child.
class Stack : public Widget {
 public:
  explicit Stack(layout::FlexDirection direction = layout::FlexDirection::Column)
      : direction_(direction) {}
  Stack& push(WidgetBox child) {
    children_.push_back(std::move(child));
    return *this;
  }
  std::string_view type_name() const override { return "kalu_ui::app_test::Stack"; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override {
    std::vector<layout::NodeId> nodes;
    for (auto& child : children_) nodes.push_back(child->build_layout(tree, context, registry));
    layout::Style style;
    style.flex_direction = direction_;
    style.width = layout::Dimension::full();
    style.height = layout::Dimension::full();
    style.align_items = layout::Align::Start;
    auto node = tree.new_with_children(style, nodes);
    if (!node) return {};
    registry.insert(*node, this);
    return *node;
  }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                    double y) override {
    rect_ = rect_from_layout(tree, node, x, y);
    auto kids = tree.children(node);
    if (!kids) return;
    for (std::size_t i = 0; i < children_.size() && i < kids->size(); ++i) {
      children_[i]->apply_layout(tree, (*kids)[i], rect_.x0, rect_.y0);
    }
  }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override {
    for (auto& child : children_)
      child->draw_with_presence(scene, transform, renderer, theme, context);
  }
  void handle_event(const Event& event, EventContext& context) override {
    for (auto& child : children_) child->handle_event(event, context);
  }
  void sync(doc::Document& document) override {
    for (auto& child : children_) child->sync(document);
  }
  std::optional<CursorKind> cursor_icon_at(double x, double y) const override {
    for (const auto& child : children_) {
      if (auto c = child->cursor_icon_at(x, y)) return c;
    }
    return std::nullopt;
  }
  std::vector<const Widget*> children() const override {
    return child_list<const Widget*>(children_);
  }
  std::vector<Widget*> children_mut() override { return child_list(children_); }
  Rect get_rect() const override { return rect_; }
  bool take_structure_dirty() override { return std::exchange(structure_dirty, false); }

  std::vector<WidgetBox>& items() { return children_; }
  bool structure_dirty = false;

 private:
  layout::FlexDirection direction_;
  std::vector<WidgetBox> children_;
  Rect rect_;
};

}  // namespace kalu_ui::app_test
