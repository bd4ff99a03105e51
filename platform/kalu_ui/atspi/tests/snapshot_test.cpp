// What a screen reader reads of a widget tree: which object each path names,
// and the values nodes hold beside their names.

#include "kalu_ui/atspi/snapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::atspi {
namespace {

namespace w = kalu_ui::widget;

// A window holding one column of `texts`, with a group named `group`.
w::Column page(const std::vector<std::string>& texts, const std::string& group = {}) {
  w::Column column;
  for (const std::string& t : texts) column.push(w::boxed(w::Text(t)));
  if (!group.empty()) column.with_group(group);
  w::Column root;
  root.push(w::boxed(std::move(column)));
  return root;
}

const Node* named(const Snapshot& snapshot, std::string_view name) {
  for (const Node& node : snapshot.nodes) {
    if (node.name == name) return &node;
  }
  return nullptr;
}

TEST(SnapshotPaths, APathNeverStandsForAnotherLabelOrKind) {
  // One place on two pages: "Travel Mouse" where "Ada Lovelace" stood.
  const Snapshot users = build_snapshot(page({"Ada Lovelace", "Standard"}), {});
  const Snapshot devices = build_snapshot(page({"Travel Mouse", "Standard"}), {});
  const Snapshot again = build_snapshot(page({"Ada Lovelace", "Standard"}), {});
  ASSERT_TRUE(named(users, "Ada Lovelace") && named(devices, "Travel Mouse"));
  EXPECT_NE(named(users, "Ada Lovelace")->path, named(devices, "Travel Mouse")->path);
  EXPECT_EQ(devices.find(named(users, "Ada Lovelace")->path), nullptr);
  // The same object on the page shown again keeps its path, and so does a
  // label that stayed where it was.
  EXPECT_EQ(named(users, "Ada Lovelace")->path, named(again, "Ada Lovelace")->path);
  EXPECT_EQ(named(users, "Standard")->path, named(devices, "Standard")->path);
  // Two equal labels under one parent are two objects.
  const Snapshot twice = build_snapshot(page({"Scale", "Scale"}), {});
  ASSERT_EQ(twice.nodes.size(), 3u);
  EXPECT_NE(twice.nodes[1].path, twice.nodes[2].path);
}

TEST(SnapshotPaths, AGroupNamesTheContextOfWhatItHolds) {
  const Snapshot one = build_snapshot(page({"Scale"}, "Built-in display"), {});
  const Snapshot two = build_snapshot(page({"Scale"}, "External display"), {});
  const Node* group = named(one, "Built-in display");
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->role, role::kGrouping);
  ASSERT_EQ(group->children.size(), 1u);
  EXPECT_EQ(one.nodes[group->children[0]].name, "Scale");
  // The same label in another group is another object.
  EXPECT_NE(named(one, "Scale")->path, named(two, "Scale")->path);
}

TEST(SnapshotValues, ADropdownHoldsItsOptionsAndFollowsItsHighlight) {
  w::Column root;
  root.push(w::boxed(w::Dropdown("scale", {"100 %", "150 %", "175 %"}, "150 %")));
  auto* dropdown = dynamic_cast<w::Dropdown*>(root.children_mut()[0]);
  ASSERT_NE(dropdown, nullptr);
  dropdown->set_focus(true);

  Snapshot closed = build_snapshot(root, {});
  ASSERT_EQ(closed.nodes.size(), 6u);  // frame, combo, list, three options
  const Node& combo = closed.nodes[1];
  EXPECT_EQ(combo.role, role::kComboBox);
  EXPECT_EQ(combo.value_text, "150 %");
  ASSERT_EQ(combo.children.size(), 1u);
  const Node& list = closed.nodes[combo.children[0]];
  EXPECT_EQ(list.role, role::kMenu);
  EXPECT_FALSE(list.states.has(State::Showing));
  std::vector<std::string> selected;
  for (int i : list.children) {
    EXPECT_EQ(closed.nodes[i].role, role::kMenuItem);
    EXPECT_EQ(closed.nodes[i].owner_key, combo.key);
    if (closed.nodes[i].states.has(State::Selected)) selected.push_back(closed.nodes[i].name);
  }
  EXPECT_EQ(selected, std::vector<std::string>{"150 %"});
  EXPECT_EQ(closed.focused, 1);

  // Open, the highlighted option holds the focus; its path is the one it had.
  dropdown->open();
  const Snapshot open = build_snapshot(root, {});
  ASSERT_GE(open.focused, 0);
  const Node& highlighted = open.nodes[open.focused];
  EXPECT_EQ(highlighted.name, "150 %");
  EXPECT_EQ(highlighted.path, closed.nodes[list.children[1]].path);
  EXPECT_FALSE(open.nodes[1].states.has(State::Focused));
  EXPECT_TRUE(open.nodes[1].states.has(State::Expanded));
}

TEST(SnapshotValues, ABarIsReadAsAValueOfAHundred) {
  w::Column root;
  root.push(w::boxed(w::ProgressBar(0.78).with_label("Battery charge")));
  root.push(w::boxed(w::ProgressBar(0.5)));
  const Snapshot snapshot = build_snapshot(root, {});
  ASSERT_EQ(snapshot.nodes.size(), 3u);
  const Node& bar = snapshot.nodes[1];
  EXPECT_EQ(bar.name, "Battery charge");
  EXPECT_EQ(bar.value_text, "78%");
  ASSERT_TRUE(bar.value);
  EXPECT_DOUBLE_EQ(bar.value->current, 78.0);
  EXPECT_DOUBLE_EQ(bar.value->max, 100.0);
  EXPECT_FALSE(bar.text);
}

}  // namespace
}  // namespace kalu_ui::atspi
