// What a screen reader hears between two snapshots of a window.

#include "kalu_ui/atspi/events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kalu_ui::atspi {
namespace {

// A frame holding the given nodes, each "path:state,state" with a name.
struct Builder {
  Snapshot snapshot;
  Builder() { add("frame", -1); }
  Node& add(const std::string& name, int parent) {
    Node node;
    node.key = name;
    node.path = std::string(kObjectPrefix) + "/" + name;
    node.name = name;
    node.parent = parent;
    node.states.set(State::Showing);
    const int index = static_cast<int>(snapshot.nodes.size());
    if (parent >= 0) {
      node.index_in_parent = static_cast<int>(snapshot.nodes[parent].children.size());
      snapshot.nodes[parent].children.push_back(index);
    }
    snapshot.by_path[node.path] = snapshot.nodes.size();
    snapshot.nodes.push_back(node);
    return snapshot.nodes.back();
  }
  Node& at(int index) { return snapshot.nodes[index]; }
};

std::vector<std::string> described(const std::vector<Event>& events) {
  std::vector<std::string> out;
  for (const Event& e : events) {
    const std::string node = e.path.substr(e.path.rfind('/') + 1);
    switch (e.kind) {
      case Event::Kind::StateChanged:
        out.push_back(node + " " + e.detail + "=" + std::to_string(e.detail1));
        break;
      case Event::Kind::PropertyChange:
        out.push_back(node + " " + e.detail);
        break;
      case Event::Kind::ChildrenChanged:
        out.push_back(node + " " + e.detail + " " + e.child.substr(e.child.rfind('/') + 1) + "@" +
                      std::to_string(e.detail1));
        break;
      case Event::Kind::TextChanged:
        out.push_back(node + " text " + e.detail + " " + std::get<std::string>(e.value));
        break;
      case Event::Kind::TextCaretMoved:
        out.push_back(node + " caret " + std::to_string(e.detail1));
        break;
    }
  }
  return out;
}

TEST(Changes, StatesNamesAndValuesOfNodesBothSnapshotsHold) {
  Builder before;
  before.add("power", 0).states.set(State::Checkable);
  before.add("level", 0).value = AccessibleRange{0, 1, 0.01, 0.5};
  Builder after = before;
  after.at(1).states.set(State::Checked);
  after.at(1).name = "Bluetooth";
  after.at(2).value->current = 0.6;
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"power checked=1", "power accessible-name",
                                      "level accessible-value"}));
  EXPECT_TRUE(changes(after.snapshot, after.snapshot).empty());
}

TEST(Changes, ARebuiltPageReportsTheNodesThatWentAndCame) {
  Builder before;
  before.add("page", 0);
  before.add("old", 1);
  before.add("kept", 1);
  Builder after;
  after.add("page", 0);
  after.add("kept", 1);
  after.add("new", 1);
  after.add("inner", 3);
  // The new node's own children come with it: only the top of what came is
  // reported.
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"page remove old@0", "page add new@1"}));
}

TEST(Changes, FocusMovesLastFromTheNodeThatHadItToTheOneThatHasIt) {
  Builder before;
  before.add("a", 0).states.set(State::Focused);
  before.add("b", 0);
  before.snapshot.focused = 1;
  Builder after = before;
  after.at(1).states.set(State::Focused, false);
  after.at(2).states.set(State::Focused);
  after.at(2).states.set(State::Checked);
  after.snapshot.focused = 2;
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"b checked=1", "a focused=0", "b focused=1"}));

  // Focus on a node that is gone is not taken back from it.
  Builder gone;
  gone.add("b", 0).states.set(State::Focused);
  gone.snapshot.focused = 1;
  before.at(2).states.set(State::Focused, false);
  EXPECT_EQ(described(changes(before.snapshot, gone.snapshot)),
            (std::vector<std::string>{"frame remove a@0", "b focused=1"}));
}

TEST(Changes, AFieldsTextIsReplacedAndItsCaretFollowed) {
  Builder before;
  Node& field = before.add("name", 0);
  field.text = "ab";
  field.caret = 2;
  field.states.set(State::Focused);
  before.snapshot.focused = 1;
  Builder after = before;
  after.at(1).text = "abc";
  after.at(1).caret = 3;
  EXPECT_EQ(
      described(changes(before.snapshot, after.snapshot)),
      (std::vector<std::string>{"name text delete ab", "name text insert abc", "name caret 3"}));
}

}  // namespace
}  // namespace kalu_ui::atspi
