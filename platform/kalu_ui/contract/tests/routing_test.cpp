// Routing of resource operations and the handler collection.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kalu_actions/encoded_action.h"
#include "probe.h"

namespace kalu_ui::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::UnorderedElementsAre;

const Payload kPayload = kalu_actions::bytes_of(R"({"SetScale":1})");
constexpr std::string_view kDisplay = "settings.display-operation";

ResourceOperationId op_id(std::uint8_t first) {
  ResourceOperationId id;
  id.bytes[0] = first;
  id.bytes[15] = 0xAB;
  return id;
}

struct RoutingFixture : ::testing::Test {
  CallLog log;
  Probe root{"root", log};
  Probe& c1 = root.add("c1");
  Probe& c2 = root.add("c2");
  Probe& c3 = root.add("c3");
  ResourceOperationContext context;
};

TEST(Routing, LeafRoutesNowhere) {
  CallLog log;
  Probe leaf{"leaf", log};
  ResourceOperationContext context;
  EXPECT_TRUE(leaf.resource_operation_handlers().empty());
  EXPECT_EQ(leaf.invoke_resource_operation(1, kDisplay, kPayload, context), Result<bool>(false));
  EXPECT_EQ(leaf.invoke_resource_operation_v2(1, kDisplay, kPayload, context),
            ResourceInvokeResult::not_handled());
  EXPECT_EQ(leaf.start_resource_operation(op_id(1), 1, kDisplay, kPayload, context),
            DeviceLocalOutcome::not_handled());
  EXPECT_FALSE(leaf.poll_resource_operation(op_id(1), false, context));
}

TEST_F(RoutingFixture, HandlerSetIsTheUnionOfOwnAndDescendantsIds) {
  root.kinds = {"settings.open-pane"};
  c1.kinds = {kDisplay};
  c3.add("deep").kinds = {kDisplay, "settings.audio-operation"};
  EXPECT_THAT(root.resource_operation_handlers(),
              UnorderedElementsAre("settings.open-pane", kDisplay, "settings.audio-operation"));
}

TEST_F(RoutingFixture, InvokeOfKindZeroIsNeverRouted) {
  c1.invoke_answer = true;
  EXPECT_EQ(root.invoke_resource_operation(0, kDisplay, kPayload, context), Result<bool>(false));
  EXPECT_THAT(log, ElementsAre("root.invoke(0,settings.display-operation,{\"SetScale\":1})"));
}

TEST_F(RoutingFixture, InvokeStopsAtTheFirstHandledOrError) {
  c2.invoke_answer = true;
  c3.invoke_answer = fail("never asked");
  EXPECT_EQ(root.invoke_resource_operation(2, kDisplay, kPayload, context), Result<bool>(true));
  EXPECT_EQ(log.size(), 3u);
  EXPECT_EQ(log.back(), "c2.invoke(2,settings.display-operation,{\"SetScale\":1})");

  log.clear();
  c1.invoke_answer = fail("display is gone");
  auto answer = root.invoke_resource_operation(1, kDisplay, kPayload, context);
  ASSERT_FALSE(answer);
  EXPECT_EQ(answer.error(), "display is gone");
  EXPECT_EQ(log.size(), 2u);
}

TEST_F(RoutingFixture, InvokeV2TranslatesTheWidgetsOwnInvoke) {
  struct Case {
    Result<bool> own;
    ResourceInvokeResult expected;
  };
  const std::vector<Case> cases = {
      {false, ResourceInvokeResult::not_handled()},
      {true, ResourceInvokeResult::completed({"", std::nullopt})},
      {fail("bad payload"), ResourceInvokeResult::rejected("bad payload")},
  };
  for (const auto& c : cases) {
    root.invoke_answer = c.own;
    EXPECT_EQ(root.invoke_resource_operation_v2(1, kDisplay, kPayload, context), c.expected);
  }
}

TEST_F(RoutingFixture, StartTakesTheFirstClaimOrRejectionAndPassesArgumentsOn) {
  c1.start_answer = DeviceLocalOutcome::not_handled();
  c2.start_answer = DeviceLocalOutcome::accepted();
  c3.start_answer = DeviceLocalOutcome::rejected("never asked");
  EXPECT_EQ(root.start_resource_operation(op_id(7), 1, kDisplay, kPayload, context),
            DeviceLocalOutcome::accepted());
  const std::string args = "(7,1,settings.display-operation,{\"SetScale\":1})";
  EXPECT_THAT(log, ElementsAre("root.start" + args, "c1.start" + args, "c2.start" + args));

  log.clear();
  c1.start_answer = DeviceLocalOutcome::rejected("another operation is running");
  EXPECT_EQ(root.start_resource_operation(op_id(7), 1, kDisplay, kPayload, context),
            DeviceLocalOutcome::rejected("another operation is running"));
  EXPECT_EQ(log.size(), 2u);

  c1.start_answer = DeviceLocalOutcome::completed({"done", "\"ok\""});
  EXPECT_EQ(root.start_resource_operation(op_id(7), 1, kDisplay, kPayload, context),
            DeviceLocalOutcome::completed({"done", "\"ok\""}));
}

TEST_F(RoutingFixture, UnclaimedStartFallsBackToTheWidgetsOwnInvoke) {
  struct Case {
    std::optional<Result<bool>> own_invoke;
    DeviceLocalOutcome expected;
  };
  const std::vector<Case> cases = {
      {true, DeviceLocalOutcome::completed({"", std::nullopt})},
      {fail("operation kind does not match"),
       DeviceLocalOutcome::rejected("operation kind does not match")},
      {false, DeviceLocalOutcome::not_handled()},
  };
  for (const auto& c : cases) {
    root.invoke_answer = c.own_invoke;
    EXPECT_EQ(root.start_resource_operation(op_id(3), 2, kDisplay, kPayload, context), c.expected);
  }
  // The fallback comes after every child was offered the start, and invokes
  // the widget itself without the operation id.
  EXPECT_EQ(log.back(), "root.invoke(2,settings.display-operation,{\"SetScale\":1})");
}

TEST_F(RoutingFixture, StartOfKindZeroIsOfferedToEveryChildAndOnlyTheFallbackDeclines) {
  EXPECT_EQ(root.start_resource_operation(op_id(1), 0, kDisplay, kPayload, context),
            DeviceLocalOutcome::not_handled());
  std::vector<std::string> starts;
  for (const auto& line : log) {
    if (line.find(".start(") != line.npos) starts.push_back(line.substr(0, line.find('(')));
  }
  EXPECT_THAT(starts, ElementsAre("root.start", "c1.start", "c2.start", "c3.start"));
  // The root's fallback invoke of kind 0 asks no child.
  EXPECT_EQ(log.back(), "root.invoke(0,settings.display-operation,{\"SetScale\":1})");
}

TEST_F(RoutingFixture, StartWithDocumentForwardsToStartAndChildrenGetStart) {
  c1.start_answer = DeviceLocalOutcome::accepted();
  EXPECT_EQ(root.start_resource_operation_with_document(op_id(2), 1, kDisplay, kPayload, context),
            DeviceLocalOutcome::accepted());
  EXPECT_EQ(log.front(), "root.start(2,1,settings.display-operation,{\"SetScale\":1})");
}

TEST_F(RoutingFixture, PollCarriesTheCancelFlagToEachChildUntilOneKnowsTheId) {
  ResourceOperationStatus cancelled{
      ResourceOperationStatus::Cancelled{"connection check cancelled", op_id(9)}};
  c2.poll_answer = cancelled;
  c3.poll_answer = ResourceOperationStatus{ResourceOperationStatus::Cancelled{"no", op_id(9)}};
  EXPECT_EQ(root.poll_resource_operation(op_id(9), true, context), cancelled);
  EXPECT_THAT(log, ElementsAre("root.poll(9,true)", "c1.poll(9,true)", "c2.poll(9,true)"));
}

}  // namespace
}  // namespace kalu_ui::testing
