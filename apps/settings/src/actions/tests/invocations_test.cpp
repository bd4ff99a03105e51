#include "actions/invocations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "actions/settings_action.h"

namespace settings::actions {
namespace {

namespace op = operations;
namespace doc = kalu_ui::doc;
using kalu_actions::ActionArgs;
using kalu_actions::ControlValue;

ActionArgs args_of(std::string_view json) {
  auto args = ActionArgs::parse(json);
  EXPECT_TRUE(args) << json;
  return args ? *args : ActionArgs();
}

TEST(InvocationsTest, EachRecordTravelsUnderItsOwnActionIdAsItsCompactJson) {
  struct Case {
    kalu_actions::EncodedAction invocation;
    std::string_view action_id;
    std::string_view payload;
  };
  const Case cases[] = {
      {operation_invocation(op::AudioOperation{op::AudioOperation::SetMono{true}}),
       "settings.audio-operation", R"({"SetMono":{"enabled":true}})"},
      {operation_invocation(op::InputOperation{op::InputOperation::SetKeyRepeat{0.25}}),
       "settings.input-operation", R"({"SetKeyRepeat":{"value":0.25}})"},
      {operation_invocation(op::PowerOperation{op::PowerOperation::SetChargeLimit{80}}),
       "settings.power-operation", R"({"SetChargeLimit":{"percent":80}})"},
      {operation_invocation(op::UpdateOperation{op::UpdateOperation::Check{}}),
       "settings.update-operation", R"("Check")"},
      {operation_invocation(op::DisplayOperation{op::DisplayOperation::SetBrightness{1.7}}),
       "settings.display-operation", R"({"SetBrightness":{"value":1.7}})"},
      {operation_invocation(op::TimeDateOperation{op::TimeDateOperation::SetHourCycle{true}}),
       "settings.time-date-operation", R"({"SetHourCycle":{"h24":true}})"},
      {operation_invocation(
           op::DeviceMeshOperation{op::DeviceMeshOperation::SetWorkspace{7, false}}),
       "settings.device-mesh-operation", R"({"SetWorkspace":{"id":7,"enabled":false}})"},
      {operation_invocation(op::NetworkOperation{op::NetworkOperation::RunDiagnostics{}}),
       "settings.network-operation", R"("RunDiagnostics")"},
      {operation_invocation(op::BluetoothOperation{op::BluetoothOperation::Forget{"/dev_1"}}),
       "settings.bluetooth-operation", R"({"Forget":{"path":"/dev_1"}})"},
      {operation_invocation(op::KeyboardSourceOperation{op::KeyboardSourceOperation::Add{"US"}}),
       "settings.keyboard-source-operation", R"({"Add":{"label":"US"}})"},
      {operation_invocation(op::AgentProviderOperation{
           op::AgentProviderOperation::SetDetails{"p1", "Mine", "", std::nullopt}}),
       "settings.agent-provider-operation",
       R"({"SetDetails":{"id":"p1","label":"Mine","endpoint":"","model":null}})"},
      {operation_invocation(op::SettingsAction::set_setting("appearance.theme", "Dark")),
       "settings.action", R"({"SetSetting":{"key":"appearance.theme","value":{"Text":"Dark"}}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.invocation.action_id, c.action_id);
    EXPECT_EQ(c.invocation.payload_text(), c.payload);
  }
  // The set-setting invocation is the namespace's own.
  const auto action = op::SettingsAction::set_setting("a11y.large_cursor", true);
  EXPECT_EQ(operation_invocation(action), settings_action_invocation(action));
}

TEST(InvocationsTest, MissingOrMistypedArgumentsTakeTheirDefaults) {
  const ActionArgs none;
  EXPECT_FALSE(arg_flag(none));
  EXPECT_EQ(arg_level(none), 0.0);
  EXPECT_EQ(arg_text(none), "");
  EXPECT_EQ(arg_text(none, "choice", "UTC"), "UTC");

  const ActionArgs mistyped = args_of(R"({"value":"true","choice":3})");
  EXPECT_FALSE(arg_flag(mistyped));
  EXPECT_EQ(arg_level(mistyped), 0.0);
  EXPECT_EQ(arg_text(mistyped, "choice", "kept"), "kept");
  // null reads as absent; an integer is a number.
  EXPECT_EQ(arg_level(args_of(R"({"value":null})")), 0.0);
  EXPECT_EQ(arg_level(args_of(R"({"value":-3})")), -3.0);
  // Texts travel unchanged: no trimming, no case folding.
  EXPECT_EQ(arg_text(args_of(R"({"choice":" balanced "})")), " balanced ");
}

TEST(InvocationsTest, LabelLookupTakesTheFirstExactMatchElseTheIdNothingCarries) {
  const LabelList labels = {{"Speakers", 40}, {"Headphones", 41}, {"Speakers", 42}};
  EXPECT_EQ(lookup_label(labels, "Speakers"), 40u);
  EXPECT_EQ(lookup_label(labels, "Headphones"), 41u);
  EXPECT_EQ(lookup_label(labels, "speakers"), kNoSuchId);
  EXPECT_EQ(lookup_label(labels, ""), kNoSuchId);
  EXPECT_EQ(lookup_label({}, "Speakers"), 4294967295u);

  EXPECT_EQ(lookup_route(labels, "Headphones"), 41u);
  EXPECT_EQ(lookup_route(labels, "Default"), std::nullopt);
  EXPECT_EQ(lookup_route(labels, "Nowhere"), std::nullopt);
  // "Default" wins even over a device that is called so.
  EXPECT_EQ(lookup_route(LabelList{{"Default", 9}}, "Default"), std::nullopt);
}

TEST(InvocationsTest, ChargePercentReadsDigitsAfterTrailingPercentSignsElseKeepsTheCap) {
  constexpr std::uint32_t kKept = 60;
  const std::pair<std::optional<std::string>, std::uint32_t> cases[] = {
      {"80", 80},
      {"80%", 80},
      {"80%%%", 80},
      {"+80", 80},
      {"+80%", 80},
      {"4294967295", 4294967295u},
      {std::nullopt, kKept},
      {"", kKept},
      {"%", kKept},
      {"eighty", kKept},
      {"8O", kKept},
      {" 80", kKept},
      {"80 ", kKept},
      {"80% ", kKept},
      {"-80", kKept},
      {"+", kKept},
      {"++80", kKept},
      {"%80", kKept},
      {"4294967296", kKept},
      {"0x50", kKept},
      {"80.0", kKept},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(parse_charge_percent(text, kKept), expected) << text.value_or("(absent)");
  }
}

TEST(InvocationsTest, InputSpeedsAreClampedToTheUnitRange) {
  EXPECT_EQ(clamp_input_speed(1.7), 1.0);
  EXPECT_EQ(clamp_input_speed(-3.0), 0.0);
  EXPECT_EQ(clamp_input_speed(0.4), 0.4);
  EXPECT_EQ(clamp_input_speed(std::numeric_limits<double>::quiet_NaN()), 0.0);
  EXPECT_EQ(clamp_input_speed(std::numeric_limits<double>::infinity()), 1.0);
}

TEST(InvocationsTest, ArgumentBuildersWriteTheParameterTheirHandlerReads) {
  EXPECT_EQ(bool_arguments()(ControlValue(true)).to_json(), R"({"value":true})");
  EXPECT_EQ(bool_arguments()(ControlValue(false)).to_json(), R"({"value":false})");
  EXPECT_EQ(number_arguments()(ControlValue(0.5)).to_json(), R"({"value":0.5})");
  // A non-finite level becomes null, which the argument check refuses (and
  // the number parser would read as 0.0).
  const ActionArgs infinite =
      number_arguments()(ControlValue(std::numeric_limits<double>::infinity()));
  EXPECT_EQ(infinite.to_json(), R"({"value":null})");
  EXPECT_EQ(arg_level(infinite), 0.0);
  EXPECT_EQ(choice_arguments()(ControlValue(std::string("Daily"))).to_json(),
            R"({"choice":"Daily"})");
  // The page's "80%" is the action's "80".
  EXPECT_EQ(percent_arguments()(ControlValue(std::string("80%"))).to_json(), R"({"percent":"80"})");
  EXPECT_EQ(text_arguments("label")(ControlValue(std::string("German"))).to_json(),
            R"({"label":"German"})");
  // A value of another kind gives no arguments, which the argument check
  // refuses as a missing one.
  EXPECT_EQ(bool_arguments()(ControlValue(0.5)).to_json(), "{}");
  EXPECT_EQ(choice_arguments()(ControlValue(true)).to_json(), "{}");
  EXPECT_EQ(number_arguments()(ControlValue()).to_json(), "{}");
}

TEST(InvocationsTest, CurrentValuesComeFromTheDocumentRootOnlyWhenOfTheRightKind) {
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "flag", doc::Scalar(true)));
  ASSERT_TRUE(document.put(doc::kRoot, "word", "Dark"));
  ASSERT_TRUE(document.put(doc::kRoot, "number", doc::Scalar(1.0)));
  auto text = document.put_object(doc::kRoot, "typed", doc::ObjType::Text);
  ASSERT_TRUE(text);
  ASSERT_TRUE(document.insert_text(*text, 0, "Large"));

  EXPECT_TRUE(current_bool(document, "flag", false));
  EXPECT_FALSE(current_bool(document, "word", false));
  EXPECT_TRUE(current_bool(document, "missing", true));
  EXPECT_TRUE(current_bool(document, "number", true));

  EXPECT_EQ(current_text(document, "word", "Light"), "Dark");
  EXPECT_EQ(current_text(document, "typed", "Small"), "Large");
  EXPECT_EQ(current_text(document, "flag", "Light"), "Light");
  EXPECT_EQ(current_text(document, "missing", "Light"), "Light");
}

}  // namespace
}  // namespace settings::actions
