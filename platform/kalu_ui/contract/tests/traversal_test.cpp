// Handing on, searching and collecting over small trees of probes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "probe.h"
#include "stand_ins.h"

namespace kalu_ui::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// root ( a ( a1, a2 ), b )
struct TreeFixture : ::testing::Test {
  CallLog log;
  Probe root{"root", log};
  Probe& a = root.add("a");
  Probe& a1 = a.add("a1");
  Probe& a2 = a.add("a2");
  Probe& b = root.add("b");
};

TEST_F(TreeFixture, HandingOnReachesEverySubtreeDepthFirstWithUnchangedArguments) {
  struct Case {
    std::string op;
    std::string args;
    std::function<void(Probe&)> call;
  };
  DrawContext draw_context;
  const std::vector<Case> cases = {
      {"propagate_a", "(7,18446744073709551615)", [](Probe& w) { w.propagate_a(7, UINT64_MAX); }},
      {"propagate_b", "(0,3)", [](Probe& w) { w.propagate_b(0, 3); }},
      {"propagate_c", "(5,6)", [](Probe& w) { w.propagate_c(5, 6); }},
      {"propagate_flag_a", "(true)", [](Probe& w) { w.propagate_flag_a(true); }},
      {"propagate_flag_b", "(false)", [](Probe& w) { w.propagate_flag_b(false); }},
      {"set_interaction_environment", "(1,0,2,0,255)",
       [](Probe& w) {
         w.set_interaction_environment({{1, 0, 2, 0, 255}});
       }},
      {"refresh_control_action_availability", "(42)",
       [](Probe& w) { w.refresh_control_action_availability(42); }},
      {"on_commit", "", [](Probe& w) { w.on_commit(); }},
      {"mark_drawn", "", [](Probe& w) { w.mark_drawn(); }},
      {"release_scene_cache", "", [](Probe& w) { w.release_scene_cache(); }},
      {"draw_overlay", "(3,4)",
       [&](Probe& w) {
         w.draw_overlay(scene(), Affine::translate({3, 4}), renderer(), theme(), draw_context);
       }},
  };
  for (const auto& c : cases) {
    log.clear();
    c.call(root);
    std::vector<std::string> expected;
    for (auto name : {"root", "a", "a1", "a2", "b"}) {
      expected.push_back(fmt::format("{}.{}{}", name, c.op, c.args));
    }
    EXPECT_EQ(log, expected) << c.op;
  }
}

// A widget whose three ways to its children lead to three different probes,
// so that each provided operation shows which one it takes: `children`
// answers `reader`, `children_mut` answers `writer`, and `for_each_child`
// visits `visited`.
struct ThreeLists : Probe {
  explicit ThreeLists(CallLog& log)
      : Probe("self", log), reader("reader", log), writer("writer", log), visited("visited", log) {}
  std::vector<const Widget*> children() const override { return {&reader}; }
  std::vector<Widget*> children_mut() override { return {&writer}; }
  void for_each_child(ChildVisitor visit) const override { visit(visited); }
  Probe reader, writer, visited;
};

TEST(Traversal, EachOperationReachesTheChildrenThroughItsOwnList) {
  CallLog log;
  ThreeLists w{log};
  DrawContext draw_context;
  ResourceOperationContext op_context;
  const ResourceOperationId op{};
  const auto payload = Payload{};
  struct Case {
    std::string op;
    std::function<void()> call;
    std::string child;
  };
  const std::vector<Case> cases = {
      {"propagate_a", [&] { w.propagate_a(1, 2); }, "reader"},
      {"collect_records", [&] { w.collect_records(1); }, "reader"},
      {"any_descendant_a", [&] { w.any_descendant_a(); }, "reader"},

      {"needs_commit", [&] { w.needs_commit(); }, "visited"},
      {"needs_animation_frame", [&] { w.needs_animation_frame(); }, "visited"},
      {"needs_redraw", [&] { w.needs_redraw(); }, "visited"},
      {"is_layout_dirty", [&] { w.is_layout_dirty(); }, "visited"},
      {"layout_needs_measure", [&] { w.layout_needs_measure(); }, "visited"},
      {"next_wake_deadline", [&] { w.next_wake_deadline(); }, "visited"},
      {"find_descendant_rect", [&] { w.find_descendant_rect(); }, "visited"},
      {"any_descendant_b", [&] { w.any_descendant_b(); }, "visited"},
      {"control_action_bindings", [&] { w.control_action_bindings(); }, "visited"},
      {"has_action_control_bindings", [&] { w.has_action_control_bindings(); }, "visited"},
      {"resource_operation_handlers", [&] { w.resource_operation_handlers(); }, "visited"},

      {"propagate_b", [&] { w.propagate_b(1, 2); }, "writer"},
      {"propagate_c", [&] { w.propagate_c(1, 2); }, "writer"},
      {"propagate_flag_a", [&] { w.propagate_flag_a(true); }, "writer"},
      {"propagate_flag_b", [&] { w.propagate_flag_b(true); }, "writer"},
      {"set_interaction_environment", [&] { w.set_interaction_environment({}); }, "writer"},
      {"refresh_control_action_availability", [&] { w.refresh_control_action_availability(1); },
       "writer"},
      {"on_commit", [&] { w.on_commit(); }, "writer"},
      {"mark_drawn", [&] { w.mark_drawn(); }, "writer"},
      {"release_scene_cache", [&] { w.release_scene_cache(); }, "writer"},
      {"draw_overlay",
       [&] { w.draw_overlay(scene(), Affine::identity(), renderer(), theme(), draw_context); },
       "writer"},
      {"collect_strings", [&] { w.collect_strings(); }, "writer"},
      {"collect_views_a", [&] { w.collect_views_a(); }, "writer"},
      {"collect_views_b", [&] { w.collect_views_b(); }, "writer"},
      {"collect_views_c", [&] { w.collect_views_c(); }, "writer"},
      {"find_descendant_a", [&] { w.find_descendant_a({}); }, "writer"},
      {"find_descendant_b", [&] { w.find_descendant_b(); }, "writer"},
      {"reveal_descendant", [&] { w.reveal_descendant(w); }, "writer"},
      {"take_permission_request", [&] { w.take_permission_request(); }, "writer"},
      {"take_control_invocation", [&] { w.take_control_invocation(); }, "writer"},
      {"offer_a",
       [&] {
         w.offer_a(1, {2, 3});
       },
       "writer"},
      {"offer_b", [&] { w.offer_b(1); }, "writer"},
      {"invoke", [&] { (void)w.invoke_resource_operation(1, "a", payload, op_context); }, "writer"},
      {"start", [&] { w.start_resource_operation(op, 1, "a", payload, op_context); }, "writer"},
      {"poll", [&] { w.poll_resource_operation(op, true, op_context); }, "writer"},
      {"find_pending_value", [&] { find_pending_value(w); }, "writer"},
  };
  for (const auto& c : cases) {
    log.clear();
    c.call();
    std::set<std::string> reached;
    for (const auto& line : log) {
      const std::string who = line.substr(0, line.find('.'));
      if (who != "self") reached.insert(who);
    }
    EXPECT_THAT(reached, ElementsAre(c.child)) << c.op;
  }
}

TEST(Traversal, LeafHandsOnToNobodyAndAnswersNothing) {
  CallLog log;
  Probe leaf{"leaf", log};
  leaf.propagate_b(1, 2);
  leaf.on_commit();
  EXPECT_THAT(log, ElementsAre("leaf.propagate_b(1,2)", "leaf.on_commit"));
  int visits = 0;
  leaf.for_each_child([&](const Widget&) { ++visits; });
  EXPECT_EQ(visits, 0);
  EXPECT_FALSE(leaf.offer_b(1));
  EXPECT_FALSE(leaf.find_descendant_b());
  EXPECT_FALSE(leaf.take_control_invocation());
  EXPECT_FALSE(leaf.take_permission_request());
  EXPECT_THAT(leaf.collect_strings(), IsEmpty());
  EXPECT_TRUE(leaf.children().empty());
  EXPECT_EQ(leaf.children().capacity(), 0u);  // an empty list needs no storage
}

TEST_F(TreeFixture, ForEachChildVisitsDirectChildrenOnly) {
  std::vector<const Widget*> seen;
  root.for_each_child([&](const Widget& w) { seen.push_back(&w); });
  EXPECT_THAT(seen, ElementsAre(&a, &b));
}

TEST_F(TreeFixture, OffersStopAtTheFirstChildThatAccepts) {
  a1.accepts_offers = true;
  b.accepts_offers = true;
  EXPECT_TRUE(root.offer_b(9));
  EXPECT_THAT(log, ElementsAre("root.offer_b(9)", "a.offer_b(9)", "a1.offer_b(9)"));
  log.clear();
  a1.accepts_offers = false;
  EXPECT_TRUE(root.offer_a(2, {10, 20}));
  EXPECT_EQ(log.back(), "b.offer_a(2,10,20)");
}

TEST_F(TreeFixture, FindDescendantBAnswersTheFirstPresentPairAndAsksNoFurther) {
  Probe& c = root.add("c");
  b.pair_b = std::pair<std::string, std::string>{"p", "P"};
  c.pair_b = std::pair<std::string, std::string>{"q", "Q"};
  auto found = root.find_descendant_b();
  ASSERT_TRUE(found);
  EXPECT_EQ(found->first, "p");
  // a's subtree is searched first and answers absent; c is never asked.
  EXPECT_THAT(log,
              ElementsAre("root.find_descendant_b", "a.find_descendant_b", "a1.find_descendant_b",
                          "a2.find_descendant_b", "b.find_descendant_b"));
}

TEST_F(TreeFixture, FindDescendantAHonoursTheQuerysStop) {
  b.match_a = DescendantMatch{"hit", {}};
  struct Case {
    DescendantQuery query;
    bool asks_children;
  };
  for (auto c : {Case{{5, true}, false}, Case{{5, false}, true}, Case{{0, true}, true}}) {
    log.clear();
    auto found = root.find_descendant_a(c.query);
    EXPECT_EQ(found.has_value(), c.asks_children);
    EXPECT_EQ(log.size() > 1, c.asks_children) << fmt::format("{}", fmt::join(log, " "));
  }
}

TEST_F(TreeFixture, TakingAnInvocationHandsOverOneAtATimeInChildOrder) {
  a2.invocations.push_back({"kalu.control:x", "invoke", "{}"});
  b.invocations.push_back({"kalu.control:y", "invoke", "{}"});
  EXPECT_EQ(root.take_control_invocation()->resource_id, "kalu.control:x");
  EXPECT_EQ(root.take_control_invocation()->resource_id, "kalu.control:y");
  EXPECT_FALSE(root.take_control_invocation());
}

TEST_F(TreeFixture, PermissionRequestsSkipChildrenWithNothingWaiting) {
  kalu_actions::ActionContext request;
  request.subject = {"settings.preference-pane", "settings.preference:power"};
  b.permission_requests.push_back(request);
  EXPECT_EQ(root.take_permission_request(), request);
  EXPECT_EQ(log.back(), "b.take_permission_request");
  EXPECT_FALSE(root.take_permission_request());
}

TEST_F(TreeFixture, RevealDescendantComparesIdentityAndNeverTheWidgetItself) {
  Probe& c = root.add("c");
  EXPECT_TRUE(root.reveal_descendant(b));
  // a is asked (its subtree searched), b only compared, c never reached.
  EXPECT_THAT(log, ElementsAre("root.reveal_descendant", "a.reveal_descendant",
                               "a1.reveal_descendant", "a2.reveal_descendant"));
  EXPECT_FALSE(root.reveal_descendant(root));
  EXPECT_FALSE(a1.reveal_descendant(a1));
  EXPECT_FALSE(a.reveal_descendant(c));
}

TEST(Traversal, RevealDescendantFindsATargetFourLevelsDownAtEveryLevel) {
  CallLog log;
  Probe root{"root", log};
  Probe& l1 = root.add("l1");
  Probe& l2 = l1.add("l2");
  Probe& l3 = l2.add("l3");
  Probe& target = l3.add("target");
  for (Probe* level : {&root, &l1, &l2, &l3}) EXPECT_TRUE(level->reveal_descendant(target));
}

TEST_F(TreeFixture, CollectionsConcatenateChildrenInOrderDepthFirst) {
  a1.strings = std::vector<std::string>{"a"};
  a2.strings = std::vector<std::string>{};
  b.strings = std::vector<std::string>{"b", "c"};
  EXPECT_THAT(root.collect_strings(), ElementsAre("a", "b", "c"));

  log.clear();
  a1.records = std::vector<CollectedRecord>{{"k", "1", "x", "y"}};
  b.records = std::vector<CollectedRecord>{{"k", "2", "x", "y"}};
  auto records = root.collect_records(77);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].key_b, "2");
  // Every depth sees the caller's argument.
  EXPECT_THAT(log, ElementsAre("root.collect_records(77)", "a.collect_records(77)",
                               "a1.collect_records(77)", "a2.collect_records(77)",
                               "b.collect_records(77)"));
}

TEST_F(TreeFixture, PendingValueSearchIsPreOrderAndTakesOnlyTheFirst) {
  a2.pending = PendingValue{"settings.action", "first"};
  b.pending = PendingValue{"settings.action", "second"};
  auto found = find_pending_value(root);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->payload, "first");
  EXPECT_THAT(log, ElementsAre("root.take_pending_value", "a.take_pending_value",
                               "a1.take_pending_value", "a2.take_pending_value"));
  EXPECT_TRUE(b.pending);  // the others keep theirs
  EXPECT_EQ(find_pending_value(root)->payload, "second");
  EXPECT_FALSE(find_pending_value(root));

  // A widget is asked before its children.
  a.pending = PendingValue{"settings.action", "parent"};
  a1.pending = PendingValue{"settings.action", "child"};
  EXPECT_EQ(find_pending_value(root)->payload, "parent");
}

TEST(Traversal, ProvidedTakePendingValueAsksNobody) {
  struct Plain : Probe {
    using Probe::Probe;
    std::optional<PendingValue> take_pending_value() override {
      return Widget::take_pending_value();
    }
  };
  CallLog log;
  Plain root{"root", log};
  root.add("child").pending = PendingValue{"n", "v"};
  EXPECT_FALSE(root.take_pending_value());
  EXPECT_THAT(log, IsEmpty());
}

}  // namespace
}  // namespace kalu_ui::testing
