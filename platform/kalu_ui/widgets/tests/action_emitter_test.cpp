#include "kalu_ui/widget/action_emitter.h"

#include <gtest/gtest.h>

#include "kalu_ui/log.h"

namespace kalu_ui::widget {
namespace {

using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::ParamKind;

ActionEmitter<int> counting_emitter() {
  ActionSpec spec;
  spec.name = "set";
  spec.parameters.push_back({"n", "N", ParamKind::Number, {}, {}, true});
  ActionEmitter<int> emitter("time.timezone", "set", spec, [](const int& n) {
    return ActionArguments{{"n", double(n)}};
  });
  emitter.set_recording(true);
  return emitter;
}

TEST(ActionEmitterTest, SixtyFifthInvocationEvictsTheFirstWithOneWarning) {
  kalu_ui::log::ScopedCapture capture;
  ActionEmitter<int> emitter = counting_emitter();
  for (int i = 1; i <= 64; ++i) ASSERT_TRUE(emitter.emit(i));
  EXPECT_EQ(emitter.pending(), 64u);
  EXPECT_TRUE(capture.events().empty());
  ASSERT_TRUE(emitter.emit(65));
  EXPECT_EQ(emitter.pending(), 64u);
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].message, "control invocation backlog full; evicting oldest intent");
  // Oldest first: 2 to 65, then nothing.
  for (int i = 2; i <= 65; ++i) {
    auto taken = emitter.take();
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->arguments_json, "{\"n\":" + std::to_string(i) + ".0}");
  }
  EXPECT_FALSE(emitter.take());
}

TEST(ActionEmitterTest, RecordingOffDropsValuesSilently) {
  kalu_ui::log::ScopedCapture capture;
  ActionEmitter<int> emitter = counting_emitter();
  emitter.set_recording(false);
  EXPECT_TRUE(emitter.emit(1));
  EXPECT_EQ(emitter.pending(), 0u);
  EXPECT_TRUE(capture.events().empty());
}

TEST(ActionEmitterTest, ArgumentsAreCheckedAgainstTheSpec) {
  ActionSpec spec;
  spec.name = "set";
  spec.parameters.push_back(
      ActionParam{"mode", "Mode", ParamKind::Text, {}, {}, true}.with_choices({"on", "off"}));
  spec.parameters.push_back({"level", "Level", ParamKind::Number, {}, {}, false});
  struct Case {
    ActionArguments arguments;
    std::string expected;  // JSON, or the error
  };
  const Case cases[] = {
      {{{"mode", std::string("on")}}, R"({"mode":"on"})"},
      {{{"level", 2.5}, {"mode", std::string("off")}}, R"({"mode":"off","level":2.5})"},
      {{}, "missing argument \"mode\""},
      {{{"mode", std::string("dim")}},
       "argument \"mode\" is not one of the allowed values (got \"dim\")"},
      {{{"mode", true}}, "argument \"mode\" must be text"},
      {{{"mode", std::string("on")}, {"level", std::nan("")}},
       "argument \"level\" is not a finite number"},
      {{{"mode", std::string("on")}, {"extra", 1.0}}, "action \"set\" has no parameter \"extra\""},
  };
  for (const Case& c : cases) {
    Result<std::string> json = build_arguments_json(spec, c.arguments);
    EXPECT_EQ(json ? *json : json.error(), c.expected);
  }
  // A refused argument queues nothing.
  ActionEmitter<std::string> emitter("r", "set", spec, [](const std::string& mode) {
    return ActionArguments{{"mode", mode}};
  });
  emitter.set_recording(true);
  EXPECT_FALSE(emitter.emit("dim"));
  EXPECT_EQ(emitter.pending(), 0u);
}

}  // namespace
}  // namespace kalu_ui::widget
