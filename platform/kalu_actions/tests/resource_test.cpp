#include "kalu_actions/resource.h"

#include <gtest/gtest.h>

namespace kalu_actions {
namespace {

ActionSpec spec(std::string name) {
  ActionSpec s;
  s.name = std::move(name);
  return s;
}

TEST(ResourceTest, ChildrenAndActionsKeepCallOrderAndLookupFindsTheFirst) {
  ActionSpec second_open = spec("open");
  second_open.label = "second";
  Resource root = Resource{"settings.root", "settings.root", "Settings", {}, {}}
                      .with_action(spec("open"))
                      .with_action(spec("close"))
                      .with_action(std::move(second_open))
                      .with_child(Resource{"a", "k", "A", {}, {}})
                      .with_child(Resource{"b", "k", "B", {}, {}});
  ASSERT_EQ(root.actions.size(), 3u);
  EXPECT_EQ(root.actions[1].name, "close");
  ASSERT_EQ(root.children.size(), 2u);
  EXPECT_EQ(root.children[0].id, "a");
  EXPECT_EQ(root.children[1].id, "b");
  ASSERT_NE(root.action("open"), nullptr);
  EXPECT_EQ(root.action("open")->label, "");
  EXPECT_EQ(root.action("missing"), nullptr);
}

TEST(ActionSpecTest, MarksAndContractAreAttachedWithoutTouchingTheRest) {
  ActionSpec s = spec("invoke");
  s.operation_action_id = "kalu.ui.control.invoke";
  ActionSpec marked =
      std::move(s)
          .with_contract(ActionContract{{"device-local", "power"}, R"({"type":"string"})"})
          .privileged()
          .destructive();
  EXPECT_TRUE(marked.is_privileged);
  EXPECT_TRUE(marked.is_destructive);
  ASSERT_TRUE(marked.contract.has_value());
  EXPECT_EQ(marked.contract->scope_tags, (std::vector<std::string>{"device-local", "power"}));
  EXPECT_EQ(marked.operation_action_id, "kalu.ui.control.invoke");
}

TEST(EncodedActionTest, PayloadTextRoundTrips) {
  auto a = EncodedAction::from_text("settings.open-pane", R"("network")");
  EXPECT_EQ(a.payload_text(), R"("network")");
  EXPECT_EQ(bytes_of("ab").size(), 2u);
}

}  // namespace
}  // namespace kalu_actions
