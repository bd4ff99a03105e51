#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "frame.h"
#include "kalu_ui/widget/focus.h"
#include "kalu_ui/widget/support.h"
#include "widget_contract/widget.h"

// A small stand-in for the frame loop's event side: lays a tree out, sends
// events to the root (Tab first goes to focus traversal), and moves focus as
// asked.
namespace kalu_ui::widget::testing {

// The index-th child of `parent`, as its concrete type.
template <typename W>
W& child(Widget& parent, std::size_t index) {
  return static_cast<W&>(*parent.children_mut().at(index));
}

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

  void layout() { frame_.layout(root_, width_, height_); }

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

  Frame& frame() { return frame_; }
  MemoryClipboard clipboard;

 private:
  Widget& root_;
  double width_;
  double height_;
  Frame frame_;
};

}  // namespace kalu_ui::widget::testing
