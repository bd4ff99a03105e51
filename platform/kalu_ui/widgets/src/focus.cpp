#include "kalu_ui/widget/focus.h"

#include <algorithm>

#include "kalu_ui/widget/controls.h"

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

Widget* cancel_answer(Widget& root) {
  Widget* found = nullptr;
  auto visit = [&](Widget& w) {
    const auto* control = dynamic_cast<const BoundControl*>(&w);
    if (!found && control && control->is_cancel_answer() && w.is_enabled()) found = &w;
  };
  walk(root, visit);
  return found;
}

Widget* default_answer(Widget& root) {
  Widget* found = nullptr;
  auto visit = [&](Widget& w) {
    const auto* control = dynamic_cast<const BoundControl*>(&w);
    if (!found && control && control->is_default_answer() && w.is_focusable() && w.is_enabled()) {
      found = &w;
    }
  };
  walk(root, visit);
  return found;
}

void RovingFocus::add(Widget& member, bool current) { members_.push_back({&member, current}); }

void RovingFocus::remove(const Widget& member) {
  std::erase_if(members_, [&](const Member& m) { return m.widget == &member; });
}

bool RovingFocus::is_tab_stop(const Widget& member) const {
  const Widget* stop = nullptr;
  for (const Member& m : members_) {
    if (m.widget->is_focused()) return m.widget == &member;
    if (m.current && !stop) stop = m.widget;
  }
  if (!stop && !members_.empty()) stop = members_.front().widget;
  return stop == &member;
}

Widget* RovingFocus::step(const Widget& from, Key key) const {
  const auto at = std::find_if(members_.begin(), members_.end(),
                               [&](const Member& m) { return m.widget == &from; });
  if (at == members_.end()) return nullptr;
  switch (key) {
    case Key::Up:
      return at == members_.begin() ? nullptr : std::prev(at)->widget;
    case Key::Down:
      return std::next(at) == members_.end() ? nullptr : std::next(at)->widget;
    case Key::Home:
      return members_.front().widget;
    case Key::End:
      return members_.back().widget;
    default:
      return nullptr;
  }
}

}  // namespace kalu_ui::widget
