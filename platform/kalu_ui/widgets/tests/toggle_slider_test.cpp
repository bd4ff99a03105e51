#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/document.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/toggle.h"

namespace kalu_ui::widget {
namespace {

using testing::child;
using testing::Harness;

// A resource with one action taking the parameter "value" of `kind`.
kalu_actions::Resource resource_with(std::string action, kalu_actions::ParamKind kind) {
  auto spec = kalu_actions::ActionSpec::typed(
      std::move(action), "Value", "", kalu_actions::kOperationSetting, std::nullopt,
      {kalu_actions::ActionParam::make("value", "Value", kind)},
      [](const kalu_actions::ActionArgs& args) {
        return kalu_actions::EncodedAction::from_text("settings.action", args.to_json());
      });
  return kalu_actions::Resource::create("settings.section:power", "settings.section", "Power")
      .with_action(std::move(spec));
}

// Binds `action` of `resource`, passing the control's value as "value".
kalu_actions::ActionBinding value_binding(const kalu_actions::Resource& resource,
                                          std::string_view action) {
  auto bound = kalu_actions::ActionBinding::for_action(
      resource, action, [](const kalu_actions::ControlValue& value) {
        const kalu_actions::ActionArgs none;
        if (const bool* b = std::get_if<bool>(&value)) return none.with("value", *b);
        if (const double* d = std::get_if<double>(&value)) return none.with("value", *d);
        if (const auto* s = std::get_if<std::string>(&value)) {
          return none.with("value", std::string_view(*s));
        }
        return none;
      });
  EXPECT_TRUE(bound) << bound.error();
  return *bound;
}

TEST(ToggleTest, FlipsOnClickAndOnSpaceWhenFocusedPublishingEachTime) {
  auto cell = WakeSlot<bool>::create(false);
  Toggle toggle = Toggle::from_state(cell).with_id("power.saver");
  Harness h(toggle);
  h.key(Key::Space);  // not focused yet
  EXPECT_FALSE(cell->get());
  h.click(toggle);
  EXPECT_TRUE(cell->get());
  EXPECT_TRUE(toggle.is_focused());
  h.key(Key::Space);
  EXPECT_FALSE(cell->get());
  h.key(Key::Enter);
  EXPECT_TRUE(cell->get());
  EXPECT_EQ(cell->generation(), 3u);
  EXPECT_EQ(toggle.accessibility()->toggled, true);
}

TEST(ToggleTest, DocumentBoundToggleWritesAtSyncAndFollowsTheDocument) {
  doc::Document document;
  Toggle toggle("Vim navigation", "shortcuts.vim_mode.edit");
  Harness h(toggle);
  toggle.sync(document);
  EXPECT_FALSE(toggle.value());
  h.click(toggle);
  toggle.sync(document);
  EXPECT_EQ(document.read_bool(doc::kRoot, "shortcuts.vim_mode.edit"), true);
  ASSERT_TRUE(document.put(doc::kRoot, "shortcuts.vim_mode.edit", doc::Scalar(false)));
  toggle.sync(document);
  EXPECT_FALSE(toggle.value());
  EXPECT_EQ(toggle.id(), "toggle");  // the default id
}

TEST(ToggleTest, BoundToggleRecordsItsValueAndObeysAvailability) {
  auto cell = WakeSlot<bool>::create(false);
  Toggle toggle =
      Toggle::from_state(cell)
          .with_id("power.saver")
          .on_action(value_binding(resource_with("set_saver", kalu_actions::ParamKind::Boolean),
                                   "set_saver"));
  toggle.flip();
  auto invocation = toggle.take_control_invocation();
  ASSERT_TRUE(invocation);
  EXPECT_EQ(invocation->resource_id, "settings.section:power");
  EXPECT_EQ(invocation->action, "set_saver");
  EXPECT_EQ(invocation->arguments_json, R"({"value":true})");
  auto bindings = toggle.control_action_bindings();
  ASSERT_EQ(bindings.size(), 1u);
  EXPECT_EQ(bindings[0].control_id, "power.saver");
  EXPECT_TRUE(bindings[0].is_action_binding());

  toggle.refresh_control_action_availability(0);
  EXPECT_FALSE(toggle.is_enabled());
  toggle.flip();
  EXPECT_TRUE(cell->get());
}

TEST(ToggleTest, AnInvocationThatCannotBeRecordedIsTheToolkitsWarning) {
  // An action left without a handler cannot build the intent to record.
  auto spec = kalu_actions::ActionSpec::typed(
      "set_saver", "Value", "", kalu_actions::kOperationSetting, std::nullopt,
      {kalu_actions::ActionParam::make("value", "Value", kalu_actions::ParamKind::Boolean)},
      nullptr);
  const auto resource =
      kalu_actions::Resource::create("settings.section:power", "settings.section", "Power")
          .with_action(std::move(spec));
  auto cell = WakeSlot<bool>::create(false);
  Toggle toggle = Toggle::from_state(cell).on_action(value_binding(resource, "set_saver"));
  kalu_ui::log::ScopedCapture capture;
  toggle.flip();
  EXPECT_TRUE(cell->get());
  EXPECT_FALSE(toggle.take_control_invocation());
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].target, "kalu::ui");
  EXPECT_EQ(events[0].message, "control invocation not recorded");
}

// A section without the action hands the control none: it records nothing,
// and a binding it had stays.
TEST(ToggleTest, NoActionLeavesTheControlAsItIs) {
  const auto resource = resource_with("set_saver", kalu_actions::ParamKind::Boolean);
  Toggle unbound = Toggle::from_state(WakeSlot<bool>::create(false)).on_action(std::nullopt);
  unbound.flip();
  EXPECT_FALSE(unbound.take_control_invocation());
  Toggle bound = Toggle::from_state(WakeSlot<bool>::create(false))
                     .on_action(value_binding(resource, "set_saver"))
                     .on_action(std::nullopt);
  bound.flip();
  const auto invocation = bound.take_control_invocation();
  ASSERT_TRUE(invocation);
  EXPECT_EQ(invocation->action, "set_saver");
}

TEST(SliderTest, DragCapturesThePointerAndPublishesClampedValues) {
  auto cell = WakeSlot<double>::create(50.0);
  Slider slider = Slider::from_state(cell, 0.0, 100.0).with_step(1.0);
  Harness h(slider, 216.0, 100.0);  // a 200-wide track between the thumb insets
  const Rect r = slider.get_rect();
  const double y = r.center().y;
  EventContext pressed = h.send(testing::down({r.x0 + 8.0 + 50.0, y}));
  EXPECT_EQ(pressed.pointer_capture_request, &slider);
  EXPECT_TRUE(slider.wants_pointer_capture());
  EXPECT_DOUBLE_EQ(cell->get(), 25.0);
  h.send(testing::move({r.x1 + 500.0, y}));  // far outside: the maximum
  EXPECT_DOUBLE_EQ(cell->get(), 100.0);
  h.send(testing::move({r.x0 - 500.0, y}));
  EXPECT_DOUBLE_EQ(cell->get(), 0.0);
  EventContext released = h.send(testing::up({r.x0 + 8.0 + 101.0, y}));
  EXPECT_TRUE(released.release_pointer_capture);
  EXPECT_FALSE(slider.wants_pointer_capture());
  EXPECT_DOUBLE_EQ(cell->get(), 51.0);  // 50.5 snapped to the step
  const auto generation = cell->generation();
  h.send(testing::move({r.x0 + 8.0, y}));  // no longer dragging
  EXPECT_EQ(cell->generation(), generation);
}

TEST(SliderTest, KeysStepWithinTheRange) {
  auto cell = WakeSlot<double>::create(0.5);
  Slider slider = Slider::from_state(cell, 0.0, 1.0).with_step(0.25);
  Harness h(slider);
  slider.set_focus(true);
  struct Case {
    Key key;
    double expected;
  };
  for (const Case& c : {Case{Key::Right, 0.75}, Case{Key::Up, 1.0}, Case{Key::Right, 1.0},
                        Case{Key::Left, 0.75}, Case{Key::Home, 0.0}, Case{Key::Down, 0.0},
                        Case{Key::End, 1.0}, Case{Key::PageDown, 0.0}}) {
    h.key(c.key);
    EXPECT_DOUBLE_EQ(cell->get(), c.expected) << int(c.key);
  }
  // Pressing against an end publishes nothing.
  const auto generation = cell->generation();
  h.key(Key::PageDown);
  EXPECT_EQ(cell->generation(), generation);
}

TEST(SliderTest, OutOfRangeAndNonNumericValuesAreClamped) {
  Slider slider("display.brightness", 10.0, 0.0, 42.0);  // reversed range
  EXPECT_EQ(slider.min(), 0.0);
  EXPECT_EQ(slider.max(), 10.0);
  EXPECT_EQ(slider.value(), 10.0);
  EXPECT_EQ(slider.clamp(std::nan("")), 0.0);
  EXPECT_EQ(slider.clamp(-1.0), 0.0);
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "display.brightness", doc::Scalar(7.5)));
  slider.sync(document);
  EXPECT_EQ(slider.value(), 7.5);
  EXPECT_TRUE(slider.perform_action({SemanticAction::Kind::SetValue, "3"}, {}));
  EXPECT_FALSE(slider.perform_action({SemanticAction::Kind::SetValue, "3x"}, {}));
  slider.sync(document);
  EXPECT_EQ(document.read_f64(doc::kRoot, "display.brightness"), 3.0);
}

TEST(SliderTest, BoundSliderRecordsOnlyWhatTheActionsParameterTakes) {
  kalu_ui::log::ScopedCapture capture;
  auto cell = WakeSlot<double>::create(0.0);
  // The action wants a text, the slider gives a number: the slider moves,
  // but no invocation is recorded, and the warning says why.
  Slider slider =
      Slider::from_state(cell, 0.0, 1.0)
          .on_action(value_binding(resource_with("set", kalu_actions::ParamKind::Text), "set"));
  slider.set_by_user(0.5);
  EXPECT_DOUBLE_EQ(cell->get(), 0.5);
  EXPECT_FALSE(slider.take_control_invocation());
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].message, "control invocation not recorded");

  Slider numeric =
      Slider::from_state(cell, 0.0, 1.0)
          .on_action(value_binding(resource_with("set", kalu_actions::ParamKind::Number), "set"));
  numeric.set_by_user(0.25);
  auto taken = numeric.take_control_invocation();
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->arguments_json, R"({"value":0.25})");
}

TEST(SliderTest, BoundSliderKeepsTheNewest64ChangesOldestFirst) {
  kalu_ui::log::ScopedCapture capture;
  Slider slider =
      Slider::from_state(WakeSlot<double>::create(0.0), 0.0, 100.0)
          .on_action(value_binding(resource_with("set", kalu_actions::ParamKind::Number), "set"));
  for (int i = 1; i <= 65; ++i) slider.set_by_user(i);
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].message, "control invocation backlog full; evicting oldest intent");
  for (int i = 2; i <= 65; ++i) {
    auto taken = slider.take_control_invocation();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->arguments_json, "{\"value\":" + std::to_string(i) + ".0}");
  }
  EXPECT_FALSE(slider.take_control_invocation());
}

}  // namespace
}  // namespace kalu_ui::widget
