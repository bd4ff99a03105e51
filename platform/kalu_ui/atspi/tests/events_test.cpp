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
        out.push_back(node + " text " + e.detail + " " + std::get<std::string>(e.value) + "@" +
                      std::to_string(e.detail1) + "+" + std::to_string(e.detail2));
        break;
      case Event::Kind::TextCaretMoved:
        out.push_back(node + " caret " + std::to_string(e.detail1));
        break;
      case Event::Kind::SelectionChanged:
        out.push_back(node + " selection");
        break;
      case Event::Kind::CacheAdded:
        out.push_back("+" + node);
        break;
      case Event::Kind::CacheRemoved:
        out.push_back("-" + node);
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
  // The cache hears of every node that went and came, each with its whole
  // item; children-changed names only the top of what came.
  EXPECT_EQ(
      described(changes(before.snapshot, after.snapshot)),
      (std::vector<std::string>{"-old", "+new", "+inner", "page remove old@0", "page add new@1"}));
}

TEST(Changes, ANodeThatOffersAnotherInterfaceIsAnnouncedAgain) {
  Builder before;
  before.add("button", 0);
  before.add("bar", 0).text = "78%";
  Builder after = before;
  after.at(1).action = "click";
  after.at(2).text.reset();
  after.at(2).value = AccessibleRange{0, 100, 1, 78};
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"+button", "+bar", "bar accessible-value"}));
}

TEST(Changes, ADropdownsNewChoiceChangesItsListsSelection) {
  Builder before;
  Node& combo = before.add("scale", 0);
  combo.role = role::kComboBox;
  combo.value_text = "150 %";
  before.add("list", 1);
  before.add("150", 2).states.set(State::Selected);
  before.add("175", 2);
  Builder after = before;
  after.at(1).value_text = "175 %";
  after.at(3).states.set(State::Selected, false);
  after.at(4).states.set(State::Selected);
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"list selection", "150 selected=0", "175 selected=1"}));
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
            (std::vector<std::string>{"-a", "frame remove a@0", "b focused=1"}));
}

TEST(Changes, AFieldsTextIsSentAsTheEditThatHappenedAndItsCaretFollowed) {
  struct Case {
    std::string before;
    std::string after;
    std::vector<std::string> events;
  };
  const std::vector<Case> cases = {
      {"ab", "abc", {"name text insert c@2+1"}},
      {"user", "usr", {"name text delete e@2+1"}},
      {"abc", "axc", {"name text delete b@1+1", "name text insert x@1+1"}},
      // A repeated letter: the new one is the last.
      {"aa", "aaa", {"name text insert a@2+1"}},
      {"theme", "", {"name text delete theme@0+5"}},
      // Letters of two bytes that share their first: the whole letter changes.
      {"caf\u00e9", "caf\u00e8", {"name text delete \u00e9@3+1", "name text insert \u00e8@3+1"}},
      {"\u00e9t\u00e9", "\u00e9t\u00e9s", {"name text insert s@3+1"}},
  };
  for (const Case& c : cases) {
    Builder before;
    Node& field = before.add("name", 0);
    field.text = c.before;
    field.states.set(State::Focused);
    field.states.set(State::Editable);
    before.snapshot.focused = 1;
    Builder after = before;
    after.at(1).text = c.after;
    after.at(1).caret = char_count(c.after);
    std::vector<std::string> expected = c.events;
    expected.push_back("name caret " + std::to_string(char_count(c.after)));
    EXPECT_EQ(described(changes(before.snapshot, after.snapshot)), expected) << c.before;
  }

  // A label's text changes too, with no caret to follow.
  Builder before;
  before.add("status", 0).text = "Bluetooth is off.";
  Builder after = before;
  after.at(1).text = "Bluetooth is on.";
  EXPECT_EQ(described(changes(before.snapshot, after.snapshot)),
            (std::vector<std::string>{"status text delete ff@14+2", "status text insert n@14+1"}));
}

}  // namespace
}  // namespace kalu_ui::atspi
