#include "kalu_ui/widget/focus.h"

#include <algorithm>

namespace kalu_ui::widget {
namespace {

template <typename Visit>
void walk(Widget& widget, Visit& visit) {
  visit(widget);
  for (Widget* child : widget.children_mut()) walk(*child, visit);
}

}  // namespace

std::vector<Widget*> focus_chain(Widget& root) {
  std::vector<Widget*> chain;
  auto visit = [&](Widget& w) {
    if (w.is_focusable()) chain.push_back(&w);
  };
  walk(root, visit);
  return chain;
}

Widget* focused_widget(Widget& root) {
  Widget* found = nullptr;
  auto visit = [&](Widget& w) {
    if (!found && w.is_focused()) found = &w;
  };
  walk(root, visit);
  return found;
}

void focus_widget(Widget& root, Widget* target) {
  // Every holder is told, even unfocusable ones that kept a stale flag.
  auto visit = [&](Widget& w) {
    if (&w != target && w.is_focused()) w.set_focus(false);
  };
  walk(root, visit);
  if (target && !target->is_focused()) target->set_focus(true);
}

Widget* move_focus(Widget& root, FocusDirection direction) {
  const std::vector<Widget*> chain = focus_chain(root);
  if (chain.empty()) {
    focus_widget(root, nullptr);
    return nullptr;
  }
  const Widget* current = focused_widget(root);
  auto at = std::find(chain.begin(), chain.end(), current);
  const std::size_t n = chain.size();
  std::size_t next;
  if (at == chain.end()) {
    next = direction == FocusDirection::Forward ? 0 : n - 1;
  } else {
    const std::size_t index = static_cast<std::size_t>(at - chain.begin());
    next = direction == FocusDirection::Forward ? (index + 1) % n : (index + n - 1) % n;
  }
  focus_widget(root, chain[next]);
  return chain[next];
}

bool handle_focus_key(Widget& root, const Event& event) {
  const KeyDown* key = event.as<KeyDown>();
  if (!key || key->key != Key::Tab) return false;
  if (key->modifiers.ctrl || key->modifiers.alt || key->modifiers.super) return false;
  move_focus(root, key->modifiers.shift ? FocusDirection::Backward : FocusDirection::Forward);
  return true;
}

void apply_focus_request(Widget& root, const EventContext& context) {
  if (context.focus_request) focus_widget(root, context.focus_request);
}

}  // namespace kalu_ui::widget
