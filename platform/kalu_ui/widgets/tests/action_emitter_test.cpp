// The emitter of a widget the toolkit does not supply: what it records, the
// bound on its backlog, and an invocation its spec cannot build.

#include "kalu_ui/widget/action_emitter.h"

#include <gtest/gtest.h>

#include "kalu_actions/action_spec.h"
#include "kalu_ui/log.h"

namespace kalu_ui::widget {
namespace {

using kalu_actions::ActionArgs;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::ControlValue;
using kalu_actions::EncodedAction;
using kalu_actions::ParamKind;

// A spec whose handler answers the arguments as they came.
ActionSpec echo_spec() {
  std::vector<ActionParam> params{
      ActionParam::make("value", "Value", ParamKind::Number),
      ActionParam::make("on", "Enabled", ParamKind::Boolean),
      ActionParam::make("choice", "Choice", ParamKind::Text),
  };
  return ActionSpec::typed(
      "brightness", "Brightness", "A value from 0 to 1", kalu_actions::kOperationEffect,
      "settings.display-operation", std::move(params), [](const ActionArgs& args) {
        return EncodedAction::from_text("settings.display-operation", args.to_json());
      });
}

TEST(EmitterTest, BacklogKeepsTheNewest64AndWarnsOncePerEviction) {
  ActionEmitter emitter("kalu.control:time.timezone", "set", echo_spec(),
                        [](const ControlValue& v) {
                          return ActionArgs()
                              .with("value", std::get<double>(v) / 100.0)
                              .with("on", true)
                              .with("choice", "low");
                        });
  kalu_ui::log::ScopedCapture capture;
  ASSERT_TRUE(emitter.emit(1.0).has_value());
  EXPECT_EQ(emitter.backlog(), 0u);  // recording off: dropped silently

  emitter.set_recording(true);
  for (int i = 1; i <= 64; ++i) ASSERT_TRUE(emitter.emit(double(i)).has_value());
  EXPECT_TRUE(capture.events().empty());
  ASSERT_TRUE(emitter.emit(65.0).has_value());
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].message, "control invocation backlog full; evicting oldest intent");
  EXPECT_EQ(emitter.backlog(), 64u);

  auto oldest = emitter.take();
  ASSERT_TRUE(oldest.has_value());
  EXPECT_EQ(oldest->arguments_json, R"({"value":0.02,"on":true,"choice":"low"})");
  for (int i = 0; i < 63; ++i) ASSERT_TRUE(emitter.take().has_value());
  EXPECT_FALSE(emitter.take().has_value());
}

TEST(EmitterTest, AnInvocationTheSpecCannotBuildIsAnErrorAndNothingIsQueued) {
  ActionSpec broken = echo_spec();
  broken.handler = nullptr;
  ActionEmitter emitter("kalu.control:time.timezone", "set", broken,
                        [](const ControlValue&) { return ActionArgs(); });
  emitter.set_recording(true);
  auto emitted = emitter.emit(1.0);
  ASSERT_FALSE(emitted.has_value());
  EXPECT_EQ(emitted.error(), R"(action "brightness" has no handler)");
  EXPECT_EQ(emitter.backlog(), 0u);
}

}  // namespace
}  // namespace kalu_ui::widget
