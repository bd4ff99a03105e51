#include "actions/specs.h"

#include <gtest/gtest.h>

#include <array>
#include <nlohmann/json.hpp>
#include <string>

namespace settings::actions {
namespace {

namespace op = operations;
using kalu_actions::ActionArgs;
using kalu_actions::ActionContract;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::ControlValue;
using kalu_actions::ParamKind;
using kalu_actions::Resource;

kalu_actions::EncodedAction invoke(const ActionSpec& spec, std::string_view arguments = "{}") {
  auto args = ActionArgs::parse(arguments);
  EXPECT_TRUE(args);
  auto built = spec.build_json(args ? *args : ActionArgs());
  EXPECT_TRUE(built) << spec.name;
  return built ? *built : kalu_actions::EncodedAction{};
}

// Why the spec refuses `arguments`; empty when it does not.
std::string refusal(const ActionSpec& spec, std::string_view arguments = "{}") {
  auto built = spec.build_json(*ActionArgs::parse(arguments));
  return built ? std::string() : built.error();
}

TEST(SpecsTest, ParameterKindsCarryTheirNamesLabelsAndSchema) {
  struct Case {
    ActionParam param;
    std::string_view name;
    std::string_view label;
    ParamKind kind;
  };
  const std::array<std::string_view, 2> choices = {"Daily", "Weekly"};
  const Case cases[] = {
      {toggle_param(), "value", "Enabled", ParamKind::Boolean},
      {toggle_param("Whether this local time control is enabled"), "value",
       "Whether this local time control is enabled", ParamKind::Boolean},
      {level_param(), "value", "Value", ParamKind::Number},
      {choice_param(choices), "choice", "Choice", ParamKind::Text},
      {setting_choice_param({"Light", "Dark"}), "choice", "New setting value", ParamKind::Text},
      {setting_toggle_param(), "value", "Whether this setting is on", ParamKind::Boolean},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.param.name, c.name);
    EXPECT_EQ(c.param.label, c.label);
    EXPECT_EQ(c.param.kind, c.kind);
    EXPECT_TRUE(c.param.required);
  }
  EXPECT_EQ(level_param().schema_json, R"({"minimum":0.0,"maximum":1.0})");
  EXPECT_EQ(toggle_param().schema_json, std::nullopt);
  EXPECT_EQ(choice_param(choices).allowed_values, (std::vector<std::string>{"Daily", "Weekly"}));
  EXPECT_EQ(setting_choice_param({"Light", "Dark"}).allowed_values,
            (std::vector<std::string>{"Light", "Dark"}));

  // What clients read: the description and the range of a level action.
  const ActionSpec level = level_operation_spec<op::DisplayOperation>(
      "brightness", "Set brightness",
      [](double x) { return op::DisplayOperation{op::DisplayOperation::SetBrightness{x}}; },
      {"device-local", "display"});
  EXPECT_EQ(level.description, "A value from 0 to 1");
  ASSERT_TRUE(level.input);
  const auto schema = nlohmann::ordered_json::parse(level.input->schema_json);
  EXPECT_EQ(schema["properties"]["value"]["minimum"], 0.0);
  EXPECT_EQ(schema["properties"]["value"]["maximum"], 1.0);
}

TEST(SpecsTest, ContractsKeepTheirTagsInOrder) {
  EXPECT_EQ(device_local_contract({"device-local", "power"}),
            (ActionContract{{"device-local", "power"}, R"({"type":"string"})"}));
  const std::array<std::string_view, 3> tags = {"device-local", "bluetooth", "live-device"};
  EXPECT_EQ(device_local_contract(tags).scope_tags,
            (std::vector<std::string>{"device-local", "bluetooth", "live-device"}));
  EXPECT_EQ(configuration_contract(),
            (ActionContract{{"configuration", "system-setting"}, std::nullopt}));
  EXPECT_EQ(agent_provider_contract(),
            (ActionContract{{"device-local", "agent-provider"}, std::nullopt}));
}

TEST(SpecsTest, TypedOperationSpecsAreEffectsOfTheirRecordsOperation) {
  const ActionSpec toggle = toggle_operation_spec<op::NetworkOperation>(
      "wifi", "Set Wi-Fi power",
      [](bool on) { return op::NetworkOperation{op::NetworkOperation::SetWifiEnabled{on}}; },
      {"device-local", "network", "hardware"});
  EXPECT_EQ(toggle.operation_kind, kalu_actions::kOperationEffect);
  EXPECT_EQ(toggle.operation_action_id, "settings.network-operation");
  EXPECT_EQ(toggle.description, "On or off on this device");
  ASSERT_EQ(toggle.parameters.size(), 1u);
  EXPECT_EQ(toggle.parameters[0].name, "value");
  EXPECT_EQ(invoke(toggle, R"({"value":true})").payload_text(),
            R"({"SetWifiEnabled":{"enabled":true}})");
  EXPECT_EQ(refusal(toggle), "wifi: value is required: true or false");

  // Numbers within the range pass as they are; others are refused.
  const ActionSpec level = level_operation_spec<op::DisplayOperation>(
      "brightness", "Set brightness",
      [](double x) { return op::DisplayOperation{op::DisplayOperation::SetBrightness{x}}; },
      {"device-local", "display"});
  EXPECT_EQ(invoke(level, R"({"value":0.25})").payload_text(),
            R"({"SetBrightness":{"value":0.25}})");
  EXPECT_EQ(refusal(level, R"({"value":1.7})"), "brightness: value must be a number from 0 to 1");

  const ActionSpec choice = choice_operation_spec<op::UpdateOperation>(
      "schedule", "Set update schedule", {"Daily"},
      [](std::string c) { return op::UpdateOperation{op::UpdateOperation::SetSchedule{c}}; },
      {"device-local", "system-update"});
  EXPECT_EQ(choice.description, "Choose a value available on this device");
  EXPECT_EQ(invoke(choice, R"({"choice":"Daily"})").payload_text(),
            R"({"SetSchedule":{"schedule":"Daily"}})");
  EXPECT_EQ(refusal(choice, R"({"choice":"Hourly"})"), "schedule: choice must be one of Daily");
  EXPECT_EQ(refusal(choice), "schedule: choice is required: one of Daily");
}

TEST(SpecsTest, ParameterlessActionsDeliverTheirRecordAndRefuseAnyArgument) {
  auto spec = operation_spec("enable-wired", "Enable wired networking",
                             op::NetworkOperation{op::NetworkOperation::SetWiredEnabled{true}},
                             {"device-local", "network"});
  ASSERT_TRUE(spec);
  EXPECT_TRUE(spec->parameters.empty());
  EXPECT_EQ(spec->operation_kind, kalu_actions::kOperationEffect);
  EXPECT_EQ(spec->operation_action_id, "settings.network-operation");
  ASSERT_TRUE(spec->contract);
  EXPECT_EQ(spec->contract->schema_json, R"({"type":"string"})");
  const auto first = invoke(*spec);
  EXPECT_EQ(first, invoke(*spec, "null"));
  EXPECT_EQ(first.payload_text(), R"({"SetWiredEnabled":{"enabled":true}})");
  // {"value": false} must not enable wired networking.
  EXPECT_EQ(refusal(*spec, R"({"value":false,"choice":"x"})"),
            R"(enable-wired: unknown argument "value"; enable-wired takes no arguments)");
}

TEST(SpecsTest, OnlyTheAccountConnectionCheckCarriesAContract) {
  struct Case {
    op::AccountOperation record;
    kalu_actions::OperationKind kind;
    bool contract;
  };
  const Case cases[] = {
      {op::AccountOperation::Open{"cal1"}, kalu_actions::kOperationInterface, false},
      {op::AccountOperation::Remove{"cal1"}, kalu_actions::kOperationEffect, false},
      {op::AccountOperation::Test{"cal1"}, kalu_actions::kOperationEffect, true},
  };
  for (const Case& c : cases) {
    auto spec = account_operation_spec("act", "Act", c.record, c.kind);
    ASSERT_TRUE(spec);
    EXPECT_EQ(spec->operation_kind, c.kind);
    EXPECT_EQ(spec->operation_action_id, "settings.account-operation");
    EXPECT_EQ(spec->contract.has_value(), c.contract);
    if (c.contract) {
      EXPECT_EQ(*spec->contract, (ActionContract{{"device-local", "accounts", "network-probe"},
                                                 R"({"type":"string"})"}));
    }
  }
}

TEST(SpecsTest, NamedOperationBuildersAttachTheirFixedContracts) {
  auto source = keyboard_source_operation_spec(
      "remove", "Remove", op::KeyboardSourceOperation{op::KeyboardSourceOperation::Remove{2}});
  ASSERT_TRUE(source && source->contract);
  EXPECT_EQ(source->contract->scope_tags,
            (std::vector<std::string>{"device-local", "input-source"}));
  EXPECT_EQ(source->operation_action_id, "settings.keyboard-source-operation");

  auto provider = agent_provider_operation_spec(
      "remove", "Remove", op::AgentProviderOperation{op::AgentProviderOperation::Remove{"p1"}});
  ASSERT_TRUE(provider && provider->contract);
  EXPECT_EQ(*provider->contract, agent_provider_contract());

  auto audio =
      audio_operation_spec("test", "Test", op::AudioOperation{op::AudioOperation::TestChannel{}},
                           {"device-local", "audio", "live-device"});
  ASSERT_TRUE(audio && audio->contract);
  EXPECT_EQ(audio->contract->scope_tags.size(), 3u);
  EXPECT_EQ(audio->operation_action_id, "settings.audio-operation");
}

TEST(SpecsTest, SettingChoiceAndToggleSetTheirKey) {
  const std::array<std::string_view, 2> allowed = {"Light", "Dark"};
  const ActionSpec spec = setting_choice_spec("theme", "Set theme", "appearance.theme",
                                              "Colour scheme of the desktop", allowed, "Light");
  EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationSetting);
  EXPECT_EQ(spec.operation_action_id, std::nullopt);
  EXPECT_EQ(spec.contract, configuration_contract());
  ASSERT_EQ(spec.parameters.size(), 1u);
  EXPECT_EQ(spec.parameters[0].label, "New setting value");
  EXPECT_EQ(spec.description, "Colour scheme of the desktop");

  const auto chosen = invoke(spec, R"({"choice":"Dark"})");
  EXPECT_EQ(chosen.action_id, "settings.action");
  EXPECT_EQ(chosen.payload_text(),
            R"({"SetSetting":{"key":"appearance.theme","value":{"Text":"Dark"}}})");
  EXPECT_EQ(refusal(spec), "theme: choice is required: one of Light, Dark");

  const ActionSpec toggle = setting_toggle_spec("large", "Large cursor", "a11y.large_cursor");
  EXPECT_EQ(toggle.description, "On or off");
  EXPECT_EQ(invoke(toggle, R"({"value":false})").payload_text(),
            R"({"SetSetting":{"key":"a11y.large_cursor","value":{"Bool":false}}})");
}

TEST(SpecsTest, BindToggleTakesTheFirstActionOfTheNameAndNoneForAMissingOne) {
  auto first = toggle_operation_spec<op::NetworkOperation>(
      "wifi", "First",
      [](bool on) { return op::NetworkOperation{op::NetworkOperation::SetWifiEnabled{on}}; },
      {"device-local"});
  auto second = toggle_operation_spec<op::NetworkOperation>(
      "wifi", "Second",
      [](bool on) { return op::NetworkOperation{op::NetworkOperation::SetHotspot{on}}; },
      {"device-local"});
  const Resource resource =
      Resource::create("r", "k", "R").with_action(std::move(first)).with_action(std::move(second));
  auto binding = bind_toggle(resource, "wifi");
  ASSERT_TRUE(binding);
  EXPECT_EQ(binding->resource_id, "r");
  EXPECT_EQ(binding->spec.label, "First");
  auto encoded = binding->encode(ControlValue(true));
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->payload_text(), R"({"SetWifiEnabled":{"enabled":true}})");

  EXPECT_FALSE(bind_toggle(resource, "bluetooth"));
  EXPECT_FALSE(bind_toggle(resource, "Wifi"));
  EXPECT_FALSE(bind_unit(resource, "refresh"));
}

}  // namespace
}  // namespace settings::actions
