// The aggregated state queries, the damage list and the presence clip.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "probe.h"
#include "stand_ins.h"

namespace kalu_ui::testing {
namespace {

using ::testing::ElementsAre;

// A container of three leaves.
struct ThreeChildren : ::testing::Test {
  CallLog log;
  Probe root{"root", log};
  Probe& c1 = root.add("c1");
  Probe& c2 = root.add("c2");
  Probe& c3 = root.add("c3");

  void answer_all(std::optional<bool> Probe::*field, bool first, bool second, bool third) {
    c1.*field = first;
    c2.*field = second;
    c3.*field = third;
  }
};

TEST_F(ThreeChildren, AnyChildQueriesStopAskingAtTheFirstTrue) {
  struct Case {
    std::string op;
    std::optional<bool> Probe::*field;
    bool (Widget::*query)() const;
  };
  const std::vector<Case> cases = {
      {"needs_commit", &Probe::commit, &Widget::needs_commit},
      {"needs_animation_frame", &Probe::animation, &Widget::needs_animation_frame},
      {"needs_redraw", &Probe::redraw, &Widget::needs_redraw},
      {"is_layout_dirty", &Probe::layout_dirty, &Widget::is_layout_dirty},
      {"layout_needs_measure", &Probe::measure_needed, &Widget::layout_needs_measure},
      {"any_descendant_a", &Probe::any_a, &Widget::any_descendant_a},
  };
  for (const auto& c : cases) {
    answer_all(c.field, false, true, true);
    log.clear();
    EXPECT_TRUE((root.*c.query)()) << c.op;
    EXPECT_THAT(log, ElementsAre("root." + c.op, "c1." + c.op, "c2." + c.op)) << c.op;

    answer_all(c.field, false, false, false);
    EXPECT_FALSE((root.*c.query)()) << c.op;
  }
}

TEST_F(ThreeChildren, AnyDescendantBAsksEveryChildEvenAfterATrue) {
  answer_all(&Probe::any_b, true, false, false);
  EXPECT_TRUE(root.any_descendant_b());
  EXPECT_THAT(log, ElementsAre("root.any_descendant_b", "c1.any_descendant_b",
                               "c2.any_descendant_b", "c3.any_descendant_b"));
}

TEST(Aggregation, WidgetWithoutChildrenAnswersAsALeafOrAPaneBeforeItsPage) {
  CallLog log;
  Probe leaf{"leaf", log};
  EXPECT_TRUE(leaf.needs_redraw());
  EXPECT_TRUE(leaf.is_layout_dirty());
  EXPECT_TRUE(leaf.layout_needs_measure());
  EXPECT_FALSE(leaf.needs_commit());
  EXPECT_FALSE(leaf.needs_animation_frame());
  EXPECT_FALSE(leaf.any_descendant_a());
  EXPECT_FALSE(leaf.any_descendant_b());
  EXPECT_FALSE(leaf.next_wake_deadline());
  EXPECT_FALSE(leaf.find_descendant_rect());

  // Without children, layout_needs_measure is the widget's own is_layout_dirty.
  leaf.layout_dirty = false;
  EXPECT_FALSE(leaf.layout_needs_measure());
}

TEST_F(ThreeChildren, LeavesKeepingTheProvidedAnswersMakeTheirParentDirty) {
  // c1..c3 answer from the provided rule: true without children.
  EXPECT_TRUE(root.needs_redraw());
  EXPECT_TRUE(root.is_layout_dirty());
  // With children, the parent's own is_layout_dirty plays no part.
  answer_all(&Probe::measure_needed, false, false, false);
  root.layout_dirty = true;
  EXPECT_FALSE(root.layout_needs_measure());
}

TEST_F(ThreeChildren, WakeDeadlineIsTheEarliestAndTiesKeepTheEarlierChild) {
  using D = std::optional<Instant>;
  struct Case {
    D first, second, third, expected;
  };
  const Instant t10_5{10, 5}, t10_3{10, 3}, negative{-1, 999'999'999};
  const std::vector<Case> cases = {
      {t10_5, std::nullopt, t10_3, t10_3},
      {t10_5, negative, Instant{0, 0}, negative},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {std::nullopt, Instant{3, 1}, std::nullopt, Instant{3, 1}},
      {Instant{4, 4}, Instant{4, 4}, std::nullopt, Instant{4, 4}},
  };
  for (const auto& c : cases) {
    c1.deadline = c.first;
    c2.deadline = c.second;
    c3.deadline = c.third;
    log.clear();
    EXPECT_EQ(root.next_wake_deadline(), c.expected);
    EXPECT_EQ(log.size(), 4u);  // every child is asked
  }
}

TEST_F(ThreeChildren, FindDescendantRectAnswersTheFirstPresentAndStopsAsking) {
  const Rect a{0, 0, 1, 1}, b{2, 2, 3, 3};
  c1.descendant_rect = std::optional<Rect>{};
  c2.descendant_rect = a;
  c3.descendant_rect = b;
  EXPECT_EQ(root.find_descendant_rect(), a);
  EXPECT_THAT(log, ElementsAre("root.find_descendant_rect", "c1.find_descendant_rect",
                               "c2.find_descendant_rect"));
}

TEST_F(ThreeChildren, CollectDamageAppendsOnlyTheWidgetsOwnRectangle) {
  root.rect = {0, 0, 100, 100};
  c2.rect = {10, 10, 20, 20};
  const Rect earlier{5, 5, 6, 6};

  DamageList damage{earlier};
  c2.collect_damage(damage);  // a leaf keeping the provided needs_redraw
  EXPECT_THAT(damage, ElementsAre(earlier, c2.rect));

  damage = {earlier};
  root.collect_damage(damage);  // a child needs a redraw: the whole container
  EXPECT_THAT(damage, ElementsAre(earlier, root.rect));

  answer_all(&Probe::redraw, false, false, false);
  damage = {earlier};
  root.collect_damage(damage);
  EXPECT_THAT(damage, ElementsAre(earlier));

  damage.clear();
  c1.collect_damage(damage);  // a leaf answering false itself, as a spacer does
  EXPECT_TRUE(damage.empty());
}

// The frame loop's walk: below a container that keeps the defaults the
// children's damage counts, not the container's whole rectangle; a widget
// answering needs_redraw itself repaints whole without its children asked.
TEST_F(ThreeChildren, TreeDamageLooksBelowContainersThatKeepTheDefaults) {
  root.rect = {0, 0, 100, 100};
  c1.rect = {0, 0, 10, 10};
  c2.rect = {10, 10, 20, 20};
  answer_all(&Probe::redraw, false, true, false);
  c3.redraw.reset();
  Probe& g = c3.add("g");  // a leaf keeping the defaults: always redrawn
  g.rect = {25, 25, 26, 26};
  DamageList damage;
  collect_tree_damage(root, damage);
  EXPECT_THAT(damage, ElementsAre(c2.rect, g.rect));

  root.redraw = true;
  log.clear();
  damage.clear();
  collect_tree_damage(root, damage);
  EXPECT_THAT(damage, ElementsAre(root.rect));
  EXPECT_THAT(log, ::testing::Each(::testing::StartsWith("root.")));  // no child asked

  root.redraw = false;
  damage.clear();
  collect_tree_damage(root, damage);
  EXPECT_TRUE(damage.empty());
}

TEST_F(ThreeChildren, CursorIsTheTopmostAnswerUnderThePointWithinClips) {
  root.rect = {0, 0, 100, 100};
  c1.rect = {0, 0, 50, 50};
  c2.rect = {0, 0, 100, 100};
  c3.rect = {60, 60, 70, 70};
  root.cursor = 1;
  c1.cursor = 3;
  c3.cursor = 8;
  EXPECT_EQ(cursor_in_tree(root, 10, 10), 3);  // c2 above it answers none
  EXPECT_EQ(cursor_in_tree(root, 65, 65), 8);
  EXPECT_EQ(cursor_in_tree(root, 55, 55), 1);
  EXPECT_EQ(cursor_in_tree(root, 100, 10), std::nullopt);  // the right edge lies outside
  root.clip = Rect{0, 0, 50, 100};  // the children show only in the left half
  EXPECT_EQ(cursor_in_tree(root, 65, 65), 1);
  EXPECT_EQ(cursor_in_tree(root, 10, 10), 3);
}

TEST(PresenceClip, DecidesWhetherDrawRuns) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const Rect clip{0, 0, 100, 100};
  struct Case {
    const char* what;
    std::optional<Rect> clip;
    Rect widget;
    bool drawn;
  };
  const std::vector<Case> cases = {
      {"no clip, inside", std::nullopt, {10, 10, 20, 20}, true},
      {"no clip, zero width", std::nullopt, {10, 10, 10, 20}, true},
      {"inside", clip, {10, 10, 20, 20}, true},
      {"overlapping in part", clip, {90, 90, 200, 200}, true},
      {"touching the right edge", clip, {100, 10, 150, 20}, false},
      {"touching the bottom edge", clip, {10, 100, 20, 150}, false},
      {"wholly outside", clip, {200, 200, 300, 300}, false},
      {"zero width inside", clip, {10, 10, 10, 20}, false},
      {"zero height inside", clip, {10, 10, 20, 10}, false},
      {"NaN left edge takes the clip's", clip, {nan, 10, 20, 20}, true},
      {"NaN everywhere gives a NaN area", Rect{nan, nan, nan, nan}, {nan, nan, nan, nan}, true},
      {"infinite width times zero height is NaN", Rect{-inf, 0, inf, 0}, {-inf, 0, inf, 0}, true},
  };
  for (const auto& c : cases) {
    CallLog log;
    Probe widget{"w", log};
    widget.rect = c.widget;
    DrawContext context{c.clip, 1.0};
    widget.draw_with_presence(scene(), Affine::identity(), renderer(), theme(), context);
    EXPECT_EQ(!log.empty(), c.drawn) << c.what;
    EXPECT_EQ(widget_draw::presence_clip_excludes(context, c.widget), !c.drawn) << c.what;
  }
}

TEST(PresenceClip, DrawWithPresenceDoesNotDescend) {
  CallLog log;
  Probe root{"root", log};
  root.rect = {0, 0, 10, 10};
  root.add("child").rect = {0, 0, 10, 10};
  DrawContext context;
  root.draw_with_presence(scene(), Affine::translate({1, 2}), renderer(), theme(), context);
  EXPECT_THAT(log, ElementsAre("root.draw(1,2)"));
}

}  // namespace
}  // namespace kalu_ui::testing
