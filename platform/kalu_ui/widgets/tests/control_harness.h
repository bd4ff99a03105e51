#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kalu_ui/layout.h"
#include "kalu_ui/text.h"
#include "kalu_ui/widget/focus.h"
#include "kalu_ui/widget/support.h"
#include "widget_contract/widget.h"

// A small stand-in for the frame loop: lays a tree out, sends events to the
// root (Tab first goes to focus traversal), and moves focus as asked.
namespace kalu_ui::widget::testing {

// A column of children that hands every event to every child.
class TestStack : public Widget {
 public:
  TestStack& add(WidgetBox child) {
    children_.push_back(std::move(child));
    return *this;
  }
  template <typename W>
  W& get(std::size_t index) {
    return static_cast<W&>(*children_.at(index));
  }

  std::string_view type_name() const override { return "kalu_ui::widget::testing::TestStack"; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override {
    nodes_.clear();
    for (auto& c : children_) nodes_.push_back(c->build_layout(tree, context, registry));
    layout::Style style;
    style.flex_direction = layout::FlexDirection::Column;
    style.align_items = layout::Align::Start;
    style.gap.height = 10.0f;
    return *tree.new_with_children(style, nodes_);
  }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                    double y) override {
    rect_ = layout_rect(tree, node, x, y);
    for (std::size_t i = 0; i < children_.size(); ++i) {
      children_[i]->apply_layout(tree, nodes_[i], rect_.x0, rect_.y0);
    }
  }
  void draw(Scene& scene, const Affine& t, text::TextRenderer& r, const Theme& theme,
            DrawContext& c) override {
    for (auto& child : children_) child->draw(scene, t, r, theme, c);
  }
  void handle_event(const Event& event, EventContext& context) override {
    for (auto& child : children_) child->handle_event(event, context);
  }
  Rect get_rect() const override { return rect_; }
  std::vector<const Widget*> children() const override {
    return child_list<const Widget*>(children_);
  }
  std::vector<Widget*> children_mut() override { return child_list(children_); }

 private:
  std::vector<WidgetBox> children_;
  std::vector<layout::NodeId> nodes_;
  Rect rect_;
};

class MemoryClipboard : public Clipboard {
 public:
  std::optional<std::string> read_text() override { return text; }
  void write_text(std::string t) override { text = std::move(t); }
  std::optional<std::string> text;
};

// Events built without spelling out every field.
inline Event down(Point p, PointerButton button = PointerButton::Primary) {
  PointerDown e;
  e.position = p;
  e.button = button;
  return e;
}
inline Event up(Point p, PointerButton button = PointerButton::Primary) {
  PointerUp e;
  e.position = p;
  e.button = button;
  return e;
}
inline Event move(Point p) {
  PointerMove e;
  e.position = p;
  return e;
}
inline Event key_down(Key key, Modifiers modifiers = {}, bool repeat = false) {
  KeyDown e;
  e.key = key;
  e.modifiers = modifiers;
  e.repeat = repeat;
  return e;
}
inline Modifiers shift() { return Modifiers{true, false, false, false}; }
inline Modifiers ctrl() { return Modifiers{false, true, false, false}; }

class Harness {
 public:
  explicit Harness(Widget& root, double width = 400.0, double height = 400.0)
      : root_(root), width_(width), height_(height) {
    layout();
  }

  void layout() {
    tree_.clear();
    registry_.clear();
    const layout::NodeId node = root_.build_layout(tree_, RenderContext{}, registry_);
    const layout::AvailableSize available{layout::AvailableSpace::definite(float(width_)),
                                          layout::AvailableSpace::definite(float(height_))};
    (void)tree_.compute_layout(
        node, available,
        [&](layout::NodeId n, layout::KnownDimensions known, layout::AvailableSize space) {
          Widget* w = registry_.find(n);
          return w ? w->measure(known, space, renderer_) : layout::LayoutSize{};
        });
    root_.apply_layout(tree_, node, 0.0, 0.0);
  }

  EventContext send(Event event) {
    EventContext context;
    context.clipboard = &clipboard;
    if (handle_focus_key(root_, event)) {
      context.handled = true;
      return context;
    }
    root_.handle_event(event, context);
    apply_focus_request(root_, context);
    return context;
  }
  EventContext click(Point p) {
    send(down(p));
    return send(up(p));
  }
  EventContext click(const Widget& w) { return click(w.get_rect().center()); }
  EventContext key(Key key, Modifiers modifiers = {}) {
    EventContext context = send(key_down(key, modifiers));
    KeyUp released;
    released.key = key;
    released.modifiers = modifiers;
    send(released);
    return context;
  }
  EventContext type(std::string text) { return send(::kalu_ui::TextInput{std::move(text)}); }

  text::TextRenderer& renderer() { return renderer_; }
  MemoryClipboard clipboard;

 private:
  Widget& root_;
  double width_;
  double height_;
  text::TextRenderer renderer_;
  layout::LayoutTree tree_;
  layout::NodeRegistry registry_;
};

}  // namespace kalu_ui::widget::testing
