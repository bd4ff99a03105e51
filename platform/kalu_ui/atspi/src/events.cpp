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

// What a node offers beyond Accessible and Component: an action, a value,
// a text (the interfaces a client caches).
std::array<bool, 3> offers(const Node& node) {
  return {!node.action.empty(), node.value.has_value(), node.text.has_value()};
}

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

// The edit that turns `before` into `after`: what lies between their common
// start and their common end was deleted and inserted, so typing a letter is
// heard as that letter, not as the whole text again.
void text_events(const Node& node, const std::string& before, const std::string& after,
                 std::vector<Event>& out) {
  std::size_t head = 0;
  const std::size_t shortest = std::min(before.size(), after.size());
  while (head < shortest && before[head] == after[head]) ++head;
  // Back to the start of a character: a common start may end inside one.
  while (head > 0 && head < before.size() &&
         (static_cast<unsigned char>(before[head]) & 0xC0) == 0x80) {
    --head;
  }
  std::size_t tail = 0;
  while (tail < shortest - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  while (tail > 0 && (static_cast<unsigned char>(before[before.size() - tail]) & 0xC0) == 0x80) {
    --tail;
  }
  const int start = static_cast<int>(char_count(std::string_view(before).substr(0, head)));
  const std::string removed = before.substr(head, before.size() - head - tail);
  const std::string inserted = after.substr(head, after.size() - head - tail);
  auto event = [&](const char* what, const std::string& piece) {
    Event e;
    e.kind = Event::Kind::TextChanged;
    e.path = node.path;
    e.detail = what;
    e.detail1 = start;
    e.detail2 = static_cast<int>(char_count(piece));
    e.value = piece;
    out.push_back(std::move(e));
  };
  if (!removed.empty()) event("delete", removed);
  if (!inserted.empty()) event("insert", inserted);
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
    text_events(now, *was.text, *now.text, out);
  }
  if (now.text && (!was.text || was.caret != now.caret || *was.text != *now.text) &&
      now.states.has(State::Focused) && now.states.has(State::Editable)) {
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
  auto cache_event = [](Event::Kind kind, const Node& node) {
    Event event;
    event.kind = kind;
    event.path = node.path;
    return event;
  };
  // Children go before their parents.
  for (auto it = before.nodes.rbegin(); it != before.nodes.rend(); ++it) {
    if (!after.find(it->path)) out.push_back(cache_event(Event::Kind::CacheRemoved, *it));
  }
  for (const Node& now : after.nodes) {
    const Node* was = before.find(now.path);
    if (!was || offers(*was) != offers(now)) {
      out.push_back(cache_event(Event::Kind::CacheAdded, now));
    }
  }
  for (const Node& now : after.nodes) {
    const Node* was = before.find(now.path);
    if (!was) continue;
    compare_node(*was, now, out);
    if (now.role == role::kComboBox && was->value_text != now.value_text && !now.children.empty()) {
      out.push_back(cache_event(Event::Kind::SelectionChanged, after.nodes[now.children.front()]));
    }
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
