#include <fmt/format.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/context.h"
#include "kalu_actions/json.h"
#include "kalu_actions/resource.h"

namespace kalu_actions {
namespace {

// A spec with one parameter of each kind; the handler echoes its arguments so
// the test sees exactly what reached it.
ActionSpec echo_spec(std::string op_id = "settings.display-operation") {
  std::vector<ActionParam> params{
      ActionParam::make("value", "Value", ParamKind::Number)
          .with_schema(R"({"minimum":0.0,"maximum":1.0})"),
      ActionParam::make("on", "Enabled", ParamKind::Boolean),
      ActionParam::make("choice", "Choice", ParamKind::Text)
          .with_choices(std::vector<std::string>{"low", "high"}),
      ActionParam::make("note", "Note", ParamKind::Text).optional(),
  };
  return ActionSpec::typed("brightness", "Brightness", "A value from 0 to 1", kOperationEffect,
                           op_id, std::move(params), [](const ActionArgs& args) {
                             return EncodedAction::from_text("settings.display-operation",
                                                             args.to_json());
                           });
}

TEST(BuildJsonTest, ArgumentsThatFitTheParametersReachTheHandlerAsGiven) {
  const char* const cases[] = {
      R"({"value":0.5,"on":true,"choice":"low"})",
      R"({"value":0,"on":false,"choice":"high","note":"x"})",   // ends of the range
      R"({"value":1,"on":false,"choice":"high","note":null})",  // null: an optional left out
  };
  const ActionSpec spec = echo_spec();
  for (const char* text : cases) {
    SCOPED_TRACE(text);
    auto args = ActionArgs::parse(text);
    ASSERT_TRUE(args.has_value());
    auto built = spec.build_json(*args);
    ASSERT_TRUE(built.has_value()) << built.error();
    EXPECT_EQ(built->action_id, "settings.display-operation");
    EXPECT_EQ(built->payload_text(), args->to_json());
  }
}

TEST(BuildJsonTest, ArgumentsThatDoNotFitAreRefusedNamingTheParameterAndWhatItTakes) {
  constexpr std::string_view kTakes =
      "brightness takes value (a number from 0 to 1); on (true or false); choice (one of low, "
      "high); note (a string, optional)";
  const std::pair<const char*, std::string> cases[] = {
      {R"({})", "brightness: value is required: a number from 0 to 1"},
      {R"({"value":null,"on":true,"choice":"low"})",
       "brightness: value is required: a number from 0 to 1"},
      {R"({"value":"0.5","on":true,"choice":"low"})",
       "brightness: value must be a number from 0 to 1"},
      {R"({"value":1.7,"on":true,"choice":"low"})",
       "brightness: value must be a number from 0 to 1"},
      {R"({"value":-3,"on":true,"choice":"low"})",
       "brightness: value must be a number from 0 to 1"},
      {R"({"value":0.5,"on":1,"choice":"low"})", "brightness: on must be true or false"},
      {R"({"value":0.5,"on":true,"choice":"Low"})", "brightness: choice must be one of low, high"},
      {R"({"value":0.5,"on":true,"choice":7})",
       "brightness: choice must be a string, one of low, high"},
      {R"({"value":0.5,"on":true,"choice":"low","note":3})", "brightness: note must be a string"},
      {R"({"value":0.5,"on":true,"choice":"low","extra":1})",
       fmt::format("brightness: unknown argument \"extra\"; {}", kTakes)},
      {R"({"brightness":0.8})",
       fmt::format("brightness: unknown argument \"brightness\"; {}", kTakes)},
  };
  // The handler never sees what the check refused.
  int calls = 0;
  std::vector<ActionParam> params = echo_spec().parameters;
  const ActionSpec spec =
      ActionSpec::typed("brightness", "Brightness", "d", kOperationEffect, std::nullopt,
                        std::move(params), [&calls](const ActionArgs& args) {
                          ++calls;
                          return EncodedAction::from_text("x", args.to_json());
                        });
  for (const auto& [text, message] : cases) {
    SCOPED_TRACE(text);
    auto built = spec.build_json(*ActionArgs::parse(text));
    ASSERT_FALSE(built.has_value());
    EXPECT_EQ(built.error(), message);
  }
  EXPECT_EQ(calls, 0);
}

TEST(BuildJsonTest, LongChoiceListsAndKeysAreCut) {
  std::vector<std::string> many;
  for (int i = 0; i < 300; ++i) many.push_back(fmt::format("Zone/Number{:03}", i));
  std::vector<ActionParam> params{
      ActionParam::make("choice", "Choice", ParamKind::Text).with_choices(std::move(many))};
  const ActionSpec spec = ActionSpec::typed(
      "timezone", "Time zone", "d", kOperationEffect, std::nullopt, std::move(params),
      [](const ActionArgs&) { return EncodedAction::from_text("x", "{}"); });
  auto wrong = spec.build_json(*ActionArgs::parse(R"({"choice":"Mars/Base"})"));
  ASSERT_FALSE(wrong.has_value());
  EXPECT_TRUE(wrong.error().starts_with("timezone: choice must be one of Zone/Number000, "));
  EXPECT_TRUE(wrong.error().ends_with(", … (300 choices in all; the action's input lists them)"));
  EXPECT_LT(wrong.error().size(), 600u);
  auto odd =
      spec.build_json(*ActionArgs::parse(fmt::format(R"({{"{}":1}})", std::string(500, 'k'))));
  ASSERT_FALSE(odd.has_value());
  EXPECT_NE(odd.error().find(fmt::format("\"{}…\"", std::string(64, 'k'))), std::string::npos);
}

TEST(BuildJsonTest, AccessorsYieldNothingForAbsentNullOrOtherKinds) {
  auto args = ActionArgs::parse(R"({"n":"0.5","b":1,"t":7,"z":null,"i":1,"f":false,"s":""})");
  ASSERT_TRUE(args.has_value());
  EXPECT_EQ(args->number("n"), std::nullopt);
  EXPECT_EQ(args->boolean("b"), std::nullopt);
  EXPECT_EQ(args->text("t"), std::nullopt);
  EXPECT_EQ(args->number("z"), std::nullopt);
  EXPECT_EQ(args->text("z"), std::nullopt);
  EXPECT_EQ(args->boolean("missing"), std::nullopt);
  // Present with the kind read: the value, including an integer read as a number.
  EXPECT_EQ(args->number("i"), 1.0);
  EXPECT_EQ(args->boolean("f"), false);
  EXPECT_EQ(args->text("s"), "");
}

TEST(BuildJsonTest, ASpecWithoutHandlerIsAnError) {
  ActionSpec spec = ActionSpec::typed("x", "X", "d", kOperationEffect, "settings.x-operation", {},
                                      ActionHandler{});
  auto built = spec.build_json(ActionArgs());
  ASSERT_FALSE(built.has_value());
  EXPECT_EQ(built.error(), R"(action "x" has no handler)");
}

TEST(BuildJsonTest, ArgumentsMustBeAnObject) {
  EXPECT_FALSE(ActionArgs::parse("[1]").has_value());
  EXPECT_FALSE(ActionArgs::parse("{").has_value());
  auto none = ActionArgs::parse("null");
  ASSERT_TRUE(none.has_value());
  EXPECT_EQ(none->to_json(), "{}");
}

TEST(BuildJsonTest, OperationGuardDropsAPayloadMeantForAnotherOperation) {
  ActionSpec spec = echo_spec("settings.power-operation");
  auto built = spec.build_json(*ActionArgs::parse(R"({"value":0,"on":true,"choice":"low"})"));
  ASSERT_TRUE(built.has_value()) << built.error();
  EXPECT_EQ(built->action_id, "settings.power-operation");
  EXPECT_TRUE(built->payload.empty());

  EncodedAction same = EncodedAction::from_text("a", "{}");
  EXPECT_EQ(enforce_operation_type(same, "a"), same);
}

TEST(NullarySpecTest, DeliversItsFixedPayloadAndRefusesAnyArgument) {
  auto spec = ActionSpec::nullary("open", "Open Network", kOperationInterface, "settings.open-pane",
                                  json_string("network"));
  ASSERT_TRUE(spec.has_value());
  auto a = spec->build_json(ActionArgs());
  ASSERT_TRUE(a.has_value());
  EXPECT_EQ(a->payload_text(), R"("network")");
  EXPECT_EQ(a->action_id, "settings.open-pane");
  // An argument it would drop is refused, not ignored: a flip sent
  // {"value": true} must not turn something off.
  auto b = spec->build_json(ActionArgs().with("value", true));
  ASSERT_FALSE(b.has_value());
  EXPECT_EQ(b.error(), R"(open: unknown argument "value"; open takes no arguments)");
  auto null_only = spec->build_json(*ActionArgs::parse("null"));
  EXPECT_TRUE(null_only.has_value());

  auto failed =
      ActionSpec::nullary("open", "Open", kOperationInterface, "x", kalu_ui::fail("cannot write"));
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error(), "cannot write");
}

TEST(SpecTest, DerivedInputAndPublishedFormDescribeTheParameters) {
  const ActionSpec spec = echo_spec();
  ASSERT_TRUE(spec.input.has_value());
  auto schema = nlohmann::ordered_json::parse(spec.input->schema_json);
  EXPECT_EQ(schema["required"], nlohmann::ordered_json({"value", "on", "choice"}));
  EXPECT_EQ(schema["properties"]["value"]["maximum"], 1.0);
  EXPECT_EQ(schema["properties"]["choice"]["enum"], nlohmann::ordered_json({"low", "high"}));
  EXPECT_EQ(schema["properties"]["on"]["type"], "boolean");

  auto published = to_json(Resource::create("r", "k", "R").with_action(spec));
  EXPECT_EQ(published["actions"][0]["parameters"][0]["kind"], 2);
  EXPECT_EQ(published["actions"][0]["parameters"][1]["kind"], 3);
  EXPECT_EQ(published["actions"][0]["parameters"][0]["schema"].dump(),
            R"({"minimum":0.0,"maximum":1.0})");
  // Two builds of one action are equal although their handlers differ.
  EXPECT_EQ(echo_spec(), spec);
}

TEST(BindingTest, BindsTheFirstActionOfThatNameAndNamesWhatIsMissing) {
  ActionSpec first = echo_spec();
  ActionSpec second = echo_spec();
  second.label = "second";
  Resource r = Resource::create("settings.section:displays", "settings.section", "Displays")
                   .with_action(first)
                   .with_action(second);
  auto missing = ActionBinding::unit_for(r, "gamma");
  ASSERT_FALSE(missing.has_value());
  EXPECT_NE(missing.error().find("settings.section:displays"), std::string::npos);
  EXPECT_NE(missing.error().find("gamma"), std::string::npos);

  auto bound = ActionBinding::for_action(r, "brightness", [](const ControlValue& v) {
    return ActionArgs().with("value", std::get<double>(v)).with("on", true).with("choice", "low");
  });
  ASSERT_TRUE(bound.has_value());
  EXPECT_EQ(bound->spec.label, "Brightness");
  auto invocation = bound->invocation(0.25);
  ASSERT_TRUE(invocation.has_value());
  EXPECT_EQ(invocation->arguments_json, R"({"value":0.25,"on":true,"choice":"low"})");
  // A non-finite number becomes null, which a required parameter refuses:
  // no handler turns it into a default.
  auto nan = bound->encode(std::numeric_limits<double>::quiet_NaN());
  ASSERT_FALSE(nan.has_value());
  EXPECT_EQ(nan.error(), "brightness: value is required: a number from 0 to 1");
}

TEST(ContextTest, HumanizedIdentifiers) {
  const std::pair<const char*, const char*> cases[] = {
      {"SetSetting", "Set setting"},
      {"set-charge-cap", "Set charge cap"},
      {"auto_suspend", "Auto suspend"},
      {"HTTPProxy", "HTTP proxy"},
      {"settings.open-pane", "Settings open pane"},
      {"", ""},
      {"--", ""},
      {"ipv4Address", "Ipv4 address"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(humanize_identifier(in), out) << in;
}

TEST(ContextTest, EnrichedContextKeepsItsOwnFieldsAndFillsTheRest) {
  ActionContext base{"Base",
                     {"settings.preference-pane", "settings.preference:appearance"},
                     "Appearance",
                     "Change appearance",
                     {"kalu.Settings", "Settings"}};
  ActionContext given;
  given.label = "Set setting";
  ActionContext out = given.enriched_by(base);
  EXPECT_EQ(out.label, "Set setting");
  EXPECT_EQ(out.subject, base.subject);
  EXPECT_EQ(out.application, base.application);
  EXPECT_EQ(out.purpose, "Change appearance");
}

}  // namespace
}  // namespace kalu_actions
