#pragma once

#include <string>
#include <variant>
#include <vector>

#include "kalu_ui/atspi/snapshot.h"

// The events a screen reader follows, found by comparing two snapshots of
// one window: which states, names, values and texts changed on the nodes
// both hold, which nodes came and went under a parent both hold (a rebuilt
// page), and where the focus went. The events of one comparison come in the
// order a screen reader wants them: the cache told of nodes gone and nodes
// come (each with its whole item, so a caching client never keeps an old
// name, role, state or interface for them), then nodes removed before nodes
// added, and the focus last, so the node it lands on is known by then.
namespace kalu_ui::atspi {

struct Event {
  enum class Kind {
    StateChanged,      // detail: the state's name; detail1: 1 on, 0 off
    PropertyChange,    // detail: "accessible-name", "accessible-description", "accessible-value"
    ChildrenChanged,   // detail: "add" or "remove"; detail1: the index; child: the node's path
    TextChanged,       // detail: "insert" or "delete"; detail1: start; detail2: length
    TextCaretMoved,    // detail1: the caret in characters
    SelectionChanged,  // a list whose chosen item changed
    CacheAdded,        // the node at `path` appeared, or what it offers changed
    CacheRemoved,      // the node at `path` is gone
  };
  Kind kind = Kind::StateChanged;
  std::string path;  // the node that changed
  std::string detail;
  int detail1 = 0;
  int detail2 = 0;
  // What travels in the event's value: a text, a number, or a child's path.
  std::variant<std::monostate, std::string, double> value;
  std::string child;

  friend bool operator==(const Event&, const Event&) = default;
};

// The events between `before` and `after` (nothing is reported for nodes
// only one of them holds, beyond their parent's children-changed event).
std::vector<Event> changes(const Snapshot& before, const Snapshot& after);

}  // namespace kalu_ui::atspi
