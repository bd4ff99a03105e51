#pragma once

#include <optional>
#include <string>
#include <vector>

#include "widget_contract/widget.h"

// Keyboard focus over a widget tree: the order in which Tab visits the
// focusable widgets is the tree order (a widget before its children,
// children in their own order). The frame loop offers a key to the focused
// widget first and moves focus on Tab only when no widget handled it (so a
// widget such as a shortcut recorder can take Tab itself); it applies focus
// requests after dispatching any event. Harnesses without a loop call
// handle_focus_key and apply_focus_request themselves.
namespace kalu_ui::widget {

enum class FocusDirection { Forward, Backward };

// The focusable widgets under `root` (itself included), in tree order.
std::vector<Widget*> focus_chain(Widget& root);
// The first widget under `root` that holds focus, or null.
Widget* focused_widget(Widget& root);
// Gives focus to `target` (null clears it) and takes it from every other
// widget under `root` that holds it.
void focus_widget(Widget& root, Widget* target);
// Moves focus to the next (or previous) focusable widget, wrapping at either
// end; with nothing focused, to the first (or last). Answers the widget that
// holds focus afterwards, null when nothing under `root` is focusable.
Widget* move_focus(Widget& root, FocusDirection direction);
// Tab moves forward, Shift+Tab backward; answers whether the event was one
// of them (and so is consumed).
bool handle_focus_key(Widget& root, const Event& event);
// Moves focus to the widget an event handler asked for, if any.
void apply_focus_request(Widget& root, const EventContext& context);
// The first control under `root` that is the default answer of a question
// and can take the focus; null when there is none. A frame that finds the
// focus lost after rebuilding a page gives it to this control.
Widget* default_answer(Widget& root);
// The first enabled control under `root` that dismisses a question (a
// Cancel); null when there is none. Escape that nothing else took presses it.
Widget* cancel_answer(Widget& root);

// One Tab stop for a list of widgets among which the arrow keys move, as a
// desktop's lists have: the member holding the focus, else the current one
// (a selected entry), else the first. Up and Down move to the neighbour,
// Home and End to the ends; the members themselves ask it, from their
// is_focusable and their key handling. A list built anew starts over with
// clear() and adds its members in order; a member going away removes
// itself. Everything runs on the UI thread.
class RovingFocus {
 public:
  void clear() { members_.clear(); }
  void add(Widget& member, bool current);
  void remove(const Widget& member);
  bool is_tab_stop(const Widget& member) const;
  // The member Up, Down, Home or End leads to from `from`; null for any
  // other key, at either end, or for a widget that is no member.
  Widget* step(const Widget& from, Key key) const;

 private:
  struct Member {
    Widget* widget = nullptr;
    bool current = false;
  };
  std::vector<Member> members_;
};

}  // namespace kalu_ui::widget
