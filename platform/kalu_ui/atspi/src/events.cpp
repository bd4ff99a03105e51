#include "kalu_ui/atspi/events.h"

#include <algorithm>
#include <array>
#include <unordered_set>

namespace kalu_ui::atspi {
namespace {

// States whose change a screen reader announces; focus is reported apart.
constexpr std::array kFollowedStates = {State::Checked, State::Selected,  State::Expanded,
                                        State::Enabled, State::Sensitive, State::Armed,
                                        State::Showing, State::Active};

Event state_event(const Node& node, State state, bool on) {
  Event event;
  event.kind = Event::Kind::StateChanged;
  event.path = node.path;
  event.detail = std::string(state_name(state));
  event.detail1 = on ? 1 : 0;
  return event;
}

Event property_event(const Node& node, std::string property,
                     std::variant<std::monostate, std::string, double> value) {
  Event event;
  event.kind = Event::Kind::PropertyChange;
  event.path = node.path;
  event.detail = std::move(property);
  event.value = std::move(value);
  return event;
}

void compare_node(const Node& was, const Node& now, std::vector<Event>& out) {
  for (State state : kFollowedStates) {
    if (was.states.has(state) != now.states.has(state)) {
      out.push_back(state_event(now, state, now.states.has(state)));
    }
  }
  if (was.name != now.name) out.push_back(property_event(now, "accessible-name", now.name));
  if (was.description != now.description) {
    out.push_back(property_event(now, "accessible-description", now.description));
  }
  if (now.value && (!was.value || was.value->current != now.value->current)) {
    out.push_back(property_event(now, "accessible-value", now.value->current));
  }
  if (was.text && now.text && *was.text != *now.text) {
    Event removed;
    removed.kind = Event::Kind::TextChanged;
    removed.path = now.path;
    removed.detail = "delete";
    removed.detail2 = static_cast<int>(char_count(*was.text));
    removed.value = *was.text;
    Event inserted = removed;
    inserted.detail = "insert";
    inserted.detail2 = static_cast<int>(char_count(*now.text));
    inserted.value = *now.text;
    if (removed.detail2 > 0) out.push_back(std::move(removed));
    if (inserted.detail2 > 0) out.push_back(std::move(inserted));
  }
  if (now.text && (!was.text || was.caret != now.caret || *was.text != *now.text) &&
      now.states.has(State::Focused)) {
    Event caret;
    caret.kind = Event::Kind::TextCaretMoved;
    caret.path = now.path;
    caret.detail1 = static_cast<int>(now.caret);
    out.push_back(std::move(caret));
  }
}

void compare_children(const Snapshot& before, const Node& was, const Snapshot& after,
                      const Node& now, std::vector<Event>& out) {
  std::unordered_set<std::string> old_paths;
  for (int child : was.children) old_paths.insert(before.nodes[child].path);
  std::unordered_set<std::string> new_paths;
  for (int child : now.children) new_paths.insert(after.nodes[child].path);
  auto children_event = [&](const Node& child, std::string operation) {
    Event event;
    event.kind = Event::Kind::ChildrenChanged;
    event.path = now.path;
    event.detail = std::move(operation);
    event.detail1 = child.index_in_parent;
    event.child = child.path;
    return event;
  };
  for (int child : was.children) {
    if (!new_paths.contains(before.nodes[child].path)) {
      out.push_back(children_event(before.nodes[child], "remove"));
    }
  }
  for (int child : now.children) {
    if (!old_paths.contains(after.nodes[child].path)) {
      out.push_back(children_event(after.nodes[child], "add"));
    }
  }
}

}  // namespace

std::vector<Event> changes(const Snapshot& before, const Snapshot& after) {
  std::vector<Event> out;
  for (const Node& now : after.nodes) {
    const Node* was = before.find(now.path);
    if (!was) continue;
    compare_node(*was, now, out);
    compare_children(before, *was, after, now, out);
  }
  const Node* old_focus = before.focused >= 0 ? &before.nodes[before.focused] : nullptr;
  const Node* new_focus = after.focused >= 0 ? &after.nodes[after.focused] : nullptr;
  const bool moved = (old_focus ? old_focus->path : std::string()) !=
                     (new_focus ? new_focus->path : std::string());
  if (moved && old_focus) {
    if (const Node* still = after.find(old_focus->path)) {
      out.push_back(state_event(*still, State::Focused, false));
    }
  }
  if (moved && new_focus) out.push_back(state_event(*new_focus, State::Focused, true));
  return out;
}

}  // namespace kalu_ui::atspi
