#pragma once

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

}  // namespace kalu_ui::widget
