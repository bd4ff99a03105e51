#include "kalu_ui/widget/button.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_actions/address.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/document.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/column.h"

namespace kalu_ui::widget {
namespace {

using testing::child;
using testing::Harness;

Payload bytes(std::string_view text) { return kalu_actions::bytes_of(text); }

TEST(ButtonTest, ClickRunsTheHandlerOnceAndRecordsAnInvocation) {
  int clicks = 0;
  Button button =
      Button("Check for updates").with_id("settings.updates.check").on_click([&] { ++clicks; });
  Harness h(button);
  h.click(button);
  EXPECT_EQ(clicks, 1);
  auto invocation = button.take_control_invocation();
  ASSERT_TRUE(invocation);
  EXPECT_EQ(invocation->resource_id, "kalu.control:settings.updates.check");
  EXPECT_EQ(invocation->action, "invoke");
  EXPECT_EQ(invocation->arguments_json, "{}");
  EXPECT_FALSE(button.take_control_invocation());
}

TEST(ButtonTest, PressAndReleaseMustBothLandInside) {
  int clicks = 0;
  Button button = Button("Go").on_click([&] { ++clicks; });
  Harness h(button);
  const Rect r = button.get_rect();
  const Point inside = r.center();
  const Point outside{r.x1 + 5.0, r.y1 + 5.0};
  // Released outside: cancelled.
  h.send(testing::down(inside));
  h.send(testing::up(outside));
  // Pressed outside, released inside: no click either.
  h.send(testing::down(outside));
  h.send(testing::up(inside));
  EXPECT_EQ(clicks, 0);
  // Leaving and coming back before the release still clicks.
  h.send(testing::down(inside));
  h.send(testing::move(outside));
  h.send(testing::move(inside));
  h.send(testing::up(inside));
  EXPECT_EQ(clicks, 1);
  // Other buttons do nothing.
  h.send(testing::down(inside, PointerButton::Secondary));
  h.send(testing::up(inside, PointerButton::Secondary));
  EXPECT_EQ(clicks, 1);
}

TEST(ButtonTest, ControlResourceHasTheShapeAutomationClientsSee) {
  Button button = Button("Check for updates").with_id("settings.updates.check").on_click([] {});
  doc::Document document;
  auto resources = button.resources(document);
  ASSERT_EQ(resources.size(), 1u);
  const kalu_actions::Resource& r = resources[0];
  EXPECT_EQ(r.id, "kalu.control:settings.updates.check");
  EXPECT_EQ(r.kind, "kalu.control");
  EXPECT_EQ(r.label, "Check for updates");
  ASSERT_EQ(r.actions.size(), 1u);
  const kalu_actions::ActionSpec& invoke = r.actions[0];
  EXPECT_EQ(invoke.name, "invoke");
  EXPECT_EQ(invoke.label, "Check for updates");
  EXPECT_TRUE(invoke.available);
  EXPECT_EQ(invoke.operation_action_id, "kalu.ui.control.invoke");
  ASSERT_TRUE(invoke.fixed_input);
  EXPECT_EQ(invoke.fixed_input->action_id, "kalu.ui.control.invoke");
  EXPECT_EQ(invoke.fixed_input->payload_text(), "\"settings.updates.check\"");
  EXPECT_TRUE(invoke.parameters.empty());
  EXPECT_EQ(button.resource_operation_handlers(), ActionIdSet{"kalu.ui.control.invoke"});
  EXPECT_TRUE(button.has_action_control_bindings());
  auto bindings = button.control_action_bindings();
  ASSERT_EQ(bindings.size(), 1u);
  EXPECT_EQ(bindings[0].control_id, "settings.updates.check");
  EXPECT_TRUE(bindings[0].is_action_binding());
  EXPECT_EQ(bindings[0].target.first, "kalu.control:settings.updates.check");
  EXPECT_EQ(bindings[0].target.second, "invoke");
}

TEST(ButtonTest, NoActionKeepsTheButtonsOwnControlResource) {
  Button button = Button("Check for updates")
                      .with_id("settings.updates.check")
                      .on_click([] {})
                      .on_action(std::nullopt);
  EXPECT_EQ(button.resource_operation_handlers(), ActionIdSet{"kalu.ui.control.invoke"});
  ASSERT_EQ(button.control_action_bindings().size(), 1u);
  EXPECT_EQ(button.control_action_bindings()[0].target.second, "invoke");
}

TEST(ButtonTest, IdGivenAfterTheHandlerStillNamesTheResourceAndIdsAreEscaped) {
  Button button = Button("Odd").on_click([] {}).with_id("a\"b");
  doc::Document document;
  const auto resources = button.resources(document);
  const auto& invoke = resources.at(0).actions.at(0);
  EXPECT_EQ(resources[0].id, "kalu.control:a\"b");
  EXPECT_EQ(invoke.fixed_input->payload_text(), R"("a\"b")");
}

TEST(ButtonTest, StartingTheControlOperationOnTheTreeRunsTheHandler) {
  int first = 0;
  int second = 0;
  Column stack;
  stack.push(boxed(Button("One").with_id("one").on_click([&] { ++first; })));
  stack.push(boxed(Button("Two").with_id("two").on_click([&] { ++second; })));
  ResourceOperationContext context;
  const ResourceOperationId op{};
  auto outcome = stack.start_resource_operation_with_document(op, 1, "kalu.ui.control.invoke",
                                                              bytes("\"two\""), context);
  EXPECT_EQ(outcome, DeviceLocalOutcome::completed());
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
  // Automation presses are not recorded as the user's intents.
  EXPECT_FALSE(child<Button>(stack, 1).take_control_invocation());
  // Unknown ids, other operations, malformed payloads and kind 0 are not handled.
  for (auto [kind, action, payload] :
       {std::tuple{1, "kalu.ui.control.invoke", "\"three\""},
        std::tuple{1, "kalu.ui.other", "\"one\""}, std::tuple{1, "kalu.ui.control.invoke", "one"},
        std::tuple{1, "kalu.ui.control.invoke", "[\"one\"]"},
        std::tuple{0, "kalu.ui.control.invoke", "\"one\""}}) {
    EXPECT_TRUE(stack
                    .start_resource_operation_with_document(op, OperationKind(kind), action,
                                                            bytes(payload), context)
                    .is_not_handled())
        << action << " " << payload;
  }
  EXPECT_EQ(first, 0);
}

TEST(ButtonTest, UnavailableOrDisabledButtonRefusesEveryPress) {
  int clicks = 0;
  Button button = Button("Remove").with_id("x").bind_control_invoke(false, [&] { ++clicks; });
  EXPECT_FALSE(button.is_enabled());
  EXPECT_FALSE(button.is_focusable());
  EXPECT_FALSE(button.resources(doc::Document{})[0].actions[0].available);
  Harness h(button);
  h.click(button);
  EXPECT_FALSE(button.perform_action(SemanticAction::activate(), {}));
  ResourceOperationContext context;
  auto refused =
      button.invoke_resource_operation_v2(1, "kalu.ui.control.invoke", bytes("\"x\""), context);
  EXPECT_EQ(refused, ResourceInvokeResult::rejected("control \"x\" is not available"));
  EXPECT_EQ(clicks, 0);
  EXPECT_EQ(button.cursor_icon_at(button.get_rect().x0, button.get_rect().y0), std::nullopt);

  button.refresh_control_action_availability(1);
  EXPECT_TRUE(button.is_enabled());
  button.set_enabled(false);
  EXPECT_FALSE(button.is_enabled());
}

TEST(ButtonTest, SecondHandlerReplacesTheFirst) {
  int first = 0;
  int second = 0;
  Button button = Button("Save").with_id("save").on_click([&] { ++first; });
  button.on_click([&] { ++second; });
  button.click();
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 1);
}

TEST(ButtonTest, CapturedValueReachesTheHandler) {
  std::string seen;
  Button button =
      Button("Save key")
          .on_click([&](std::string& provider) { seen = provider; }, std::string("hosted"));
  button.click();
  EXPECT_EQ(seen, "hosted");
}

TEST(ButtonTest, EnterAndSpaceActivateOnlyWhenFocused) {
  int clicks = 0;
  Button button = Button("Go").on_click([&] { ++clicks; });
  Harness h(button);
  h.key(Key::Enter);
  EXPECT_EQ(clicks, 0);
  h.send(testing::down(button.get_rect().center()));  // a press asks for focus
  EXPECT_TRUE(button.is_focused());
  h.send(testing::up(Point{-5, -5}));
  h.key(Key::Enter);
  h.key(Key::Space);
  h.send(testing::key_down(Key::Enter, {}, true));  // auto-repeat does not click again
  EXPECT_EQ(clicks, 2);
}

TEST(ButtonTest, CursorTooltipAndAccessibility) {
  Button button = Button("Check").with_id("check").with_tooltip("Look for updates").on_click([] {});
  Harness h(button);
  const Rect r = button.get_rect();
  EXPECT_EQ(button.cursor_icon_at(r.x0, r.y0), controls::kCursorPointer);
  EXPECT_EQ(button.cursor_icon_at(r.x1, r.y0), std::nullopt);
  EXPECT_EQ(button.query_h(r.x0, r.y0)->text, "Look for updates");
  auto node = button.accessibility();
  ASSERT_TRUE(node);
  EXPECT_EQ(node->role, controls::kRoleButton);
  EXPECT_EQ(node->label, "Check");
  EXPECT_EQ(node->action_address, "kalu.control:check#invoke");
  EXPECT_EQ(node->numeric_id, action_address_numeric_id("kalu.control:check#invoke"));
  EXPECT_TRUE(node->focusable);
  EXPECT_EQ(button.short_type_name(), "Button");

  // A '#' in the id is escaped, so the address still names this button.
  Button odd = Button("Odd").with_id("a#b").on_click([] {});
  const std::string address = odd.accessibility()->action_address;
  EXPECT_EQ(address, "kalu.control:a%23b#invoke");
  auto decoded = kalu_actions::ActionAddress::decode(address);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, (kalu_actions::ActionAddress{"kalu.control:a#b", "invoke"}));
}

// A size given is a least size: a short label keeps it, a long one widens
// the button to its text instead of running past its edges.
TEST(ButtonTest, AGivenSizeIsALeastSizeAndTheLabelWidensIt) {
  Button sized = Button("OK").with_size(80.0f, 30.0f);
  Button long_sized = Button("A rather long label").with_size(80.0f, 30.0f);
  Button natural = Button("A rather long label");
  Column stack;
  stack.push(boxed(std::move(sized)))
      .push(boxed(std::move(long_sized)))
      .push(boxed(std::move(natural)));
  Harness h(stack);
  EXPECT_EQ(child<Button>(stack, 0).get_rect().width(), 80.0);
  EXPECT_GE(child<Button>(stack, 0).get_rect().height(), 30.0);
  // Its label's width, not the column's.
  const Rect widened = child<Button>(stack, 1).get_rect();
  EXPECT_GT(widened.width(), 80.0 + Button::kPaddingX);
  EXPECT_LT(widened.width(), 400.0);
  const Rect r = child<Button>(stack, 2).get_rect();
  EXPECT_GT(r.width(), 2 * Button::kPaddingX);
  EXPECT_GE(r.height(), Button::kMinHeight);
}

}  // namespace
}  // namespace kalu_ui::widget
