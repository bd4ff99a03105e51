#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "kalu_ui/layout.h"

namespace kalu_ui::layout {
namespace {

const AvailableSize kWindow{AvailableSpace::definite(800.0f), AvailableSpace::definite(600.0f)};

TEST(LayoutTree, BuildsAndReadsAStructure) {
  LayoutTree tree;
  const NodeId a = *tree.new_leaf({});
  const NodeId b = *tree.new_leaf({});
  const auto parent = tree.new_with_children({}, std::vector<NodeId>{a, b});
  ASSERT_TRUE(parent.has_value());
  const auto kids = tree.children(*parent);
  ASSERT_TRUE(kids.has_value());
  EXPECT_EQ(std::vector<NodeId>(kids->begin(), kids->end()), (std::vector<NodeId>{a, b}));
  EXPECT_EQ(tree.child_at(*parent, 1), b);
  EXPECT_EQ(tree.child_at(*parent, 2), std::nullopt);
  EXPECT_EQ(tree.parent(a), *parent);
  EXPECT_EQ(tree.parent(*parent), std::nullopt);
  EXPECT_EQ(tree.size(), 3u);

  const NodeId c = *tree.new_leaf({});
  ASSERT_TRUE(tree.add_child(*parent, c).has_value());
  EXPECT_EQ(tree.child_at(*parent, 2), c);

  ASSERT_TRUE(tree.set_children(*parent, std::vector<NodeId>{c, a}).has_value());
  EXPECT_EQ(tree.parent(b), std::nullopt);
  EXPECT_EQ(tree.child_at(*parent, 0), c);
}

TEST(LayoutTree, RefusesBadStructures) {
  LayoutTree tree;
  const NodeId leaf = *tree.new_leaf({});
  const NodeId owner = *tree.new_with_children({}, std::vector<NodeId>{leaf});
  const NodeId other = *tree.new_leaf({});

  // A child that already has a parent, a child listed twice, a stale child.
  EXPECT_FALSE(tree.new_with_children({}, std::vector<NodeId>{leaf}).has_value());
  EXPECT_FALSE(tree.new_with_children({}, std::vector<NodeId>{other, other}).has_value());
  EXPECT_FALSE(tree.add_child(other, leaf).has_value());
  // Cycles: a node under itself or under its own descendant.
  EXPECT_FALSE(tree.add_child(owner, owner).has_value());
  const NodeId top = *tree.new_with_children({}, std::vector<NodeId>{owner});
  EXPECT_FALSE(tree.add_child(leaf, top).has_value());
  EXPECT_FALSE(tree.set_children(leaf, std::vector<NodeId>{top}).has_value());
  EXPECT_FALSE(tree.add_child(NodeId{}, other).has_value());
  EXPECT_FALSE(tree.children(NodeId{}).has_value());
  // Nothing was changed by the refusals.
  EXPECT_EQ(tree.parent(other), std::nullopt);
  EXPECT_EQ(tree.children(leaf)->size(), 0u);
}

TEST(LayoutTree, RefusesNodesPastItsLimit) {
  LayoutTree tree(2);
  ASSERT_TRUE(tree.new_leaf({}).has_value());
  const NodeId second = *tree.new_leaf({});
  const auto refused = tree.new_leaf({});
  ASSERT_FALSE(refused.has_value());
  EXPECT_NE(refused.error().find("full"), std::string::npos);
  ASSERT_TRUE(tree.remove(second).has_value());
  EXPECT_TRUE(tree.new_leaf({}).has_value());
}

TEST(LayoutTree, RemovedAndClearedIdsGoStale) {
  LayoutTree tree;
  const NodeId child = *tree.new_leaf({});
  const NodeId parent = *tree.new_with_children({}, std::vector<NodeId>{child});
  ASSERT_TRUE(tree.remove(child).has_value());
  EXPECT_FALSE(tree.contains(child));
  EXPECT_EQ(tree.children(parent)->size(), 0u);
  EXPECT_FALSE(tree.remove(child).has_value());

  // The slot is reused under a new generation: the old id does not reach it.
  const NodeId reused = *tree.new_leaf({});
  EXPECT_EQ(reused.index, child.index);
  EXPECT_NE(reused, child);
  EXPECT_FALSE(tree.style(child).has_value());

  tree.clear();
  EXPECT_EQ(tree.size(), 0u);
  EXPECT_FALSE(tree.contains(parent));
  EXPECT_FALSE(tree.contains(reused));
  EXPECT_FALSE(tree.compute_layout(parent, kWindow).has_value());
}

TEST(LayoutTree, LayoutIsAbsentUntilComputed) {
  LayoutTree tree;
  const NodeId inside = *tree.new_leaf({});
  const NodeId root = *tree.new_with_children({}, std::vector<NodeId>{inside});
  const NodeId outside = *tree.new_leaf({});
  EXPECT_FALSE(tree.layout(root).has_value());
  ASSERT_TRUE(tree.compute_layout(root, kWindow).has_value());
  EXPECT_TRUE(tree.layout(root).has_value());
  EXPECT_TRUE(tree.layout(inside).has_value());
  EXPECT_FALSE(tree.layout(outside).has_value());
  const NodeId late = *tree.new_leaf({});
  EXPECT_FALSE(tree.layout(late).has_value());
  EXPECT_FALSE(tree.layout(NodeId{}).has_value());
}

TEST(LayoutTree, KnowsWhenALayoutIsDue) {
  LayoutTree tree;
  const NodeId root = *tree.new_leaf({});
  EXPECT_TRUE(tree.needs_layout(root, kWindow));
  ASSERT_TRUE(tree.compute_layout(root, kWindow).has_value());
  EXPECT_FALSE(tree.needs_layout(root, kWindow));
  // A new window size, the same style set again, a changed style, a mark.
  EXPECT_TRUE(tree.needs_layout(root, {AvailableSpace::definite(801.0f), kWindow.height}));
  ASSERT_TRUE(tree.set_style(root, {}).has_value());
  EXPECT_FALSE(tree.needs_layout(root, kWindow));
  Style wide;
  wide.width = Dimension::points(10.0f);
  ASSERT_TRUE(tree.set_style(root, wide).has_value());
  EXPECT_TRUE(tree.needs_layout(root, kWindow));
  ASSERT_TRUE(tree.compute_layout(root, kWindow).has_value());
  tree.mark_dirty();
  EXPECT_TRUE(tree.needs_layout(root, kWindow));
}

TEST(LayoutTree, RefusesAnAvailableSizeThatIsNotANumber) {
  LayoutTree tree;
  const NodeId root = *tree.new_leaf({});
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(
      tree.compute_layout(root, {AvailableSpace::definite(nan), kWindow.height}).has_value());
  EXPECT_FALSE(tree.layout(root).has_value());
}

}  // namespace
}  // namespace kalu_ui::layout

namespace kalu_ui {
class Widget {};
}  // namespace kalu_ui

namespace kalu_ui::layout {
namespace {

TEST(NodeRegistry, MapsLiveNodesToWidgets) {
  LayoutTree tree;
  NodeRegistry registry;
  Widget first, second;
  const NodeId a = *tree.new_leaf({});
  const NodeId b = *tree.new_leaf({});
  registry.insert(a, &first);
  registry.insert(b, &second);
  registry.insert(b, &first);  // replaces
  registry.insert(NodeId{}, &first);
  registry.insert(tree.new_leaf({}).value(), nullptr);
  EXPECT_EQ(registry.size(), 2u);
  EXPECT_EQ(registry.find(a), &first);
  EXPECT_EQ(registry.find(b), &first);
  EXPECT_EQ(registry.find(NodeId{}), nullptr);

  // After a rebuild the same slot under a new generation is someone else's.
  tree.clear();
  const NodeId rebuilt = *tree.new_leaf({});
  ASSERT_EQ(rebuilt.index, a.index);
  EXPECT_EQ(registry.find(rebuilt), nullptr);
  registry.insert(rebuilt, &second);
  EXPECT_EQ(registry.find(rebuilt), &second);
  EXPECT_EQ(registry.find(a), nullptr);

  EXPECT_TRUE(registry.erase(rebuilt));
  EXPECT_FALSE(registry.erase(rebuilt));
  registry.clear();
  EXPECT_TRUE(registry.empty());
  EXPECT_EQ(registry.find(b), nullptr);
}

}  // namespace
}  // namespace kalu_ui::layout
