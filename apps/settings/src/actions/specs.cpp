#include "actions/specs.h"

#include <variant>

#include "actions/settings_action.h"

namespace settings::actions {

using kalu_actions::ActionArgs;
using kalu_actions::ActionContract;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::ParamKind;

namespace {

constexpr std::string_view kStringAnswerSchema = R"({"type":"string"})";

std::optional<ActionSpec> with_optional_contract(kalu_ui::Result<ActionSpec> spec,
                                                 std::optional<ActionContract> contract) {
  if (!spec) return std::nullopt;
  if (!contract) return std::move(*spec);
  return std::move(*spec).with_contract(std::move(*contract));
}

}  // namespace

ActionParam toggle_param(std::string_view label) {
  return ActionParam::make(std::string(kToggleParam), std::string(label), ParamKind::Boolean);
}

ActionParam level_param() {
  return ActionParam::make(std::string(kLevelParam), std::string(kLevelLabel), ParamKind::Number)
      .with_schema(std::string(kLevelSchema));
}

ActionParam choice_param(std::vector<std::string> choices) {
  return ActionParam::make(std::string(kChoiceParam), std::string(kChoiceLabel), ParamKind::Text)
      .with_choices(std::move(choices));
}

ActionParam choice_param(std::span<const std::string_view> choices) {
  return ActionParam::make(std::string(kChoiceParam), std::string(kChoiceLabel), ParamKind::Text)
      .with_choices(choices);
}

ActionParam setting_choice_param(std::vector<std::string> allowed) {
  return ActionParam::make(std::string(kChoiceParam), std::string(kSettingChoiceLabel),
                           ParamKind::Text)
      .with_choices(std::move(allowed));
}

ActionParam setting_toggle_param() {
  return ActionParam::make(std::string(kToggleParam), std::string(kSettingToggleLabel),
                           ParamKind::Boolean);
}

ActionContract device_local_contract(ScopeTags tags) {
  return ActionContract{std::vector<std::string>(tags.view().begin(), tags.view().end()),
                        std::string(kStringAnswerSchema)};
}

ActionContract agent_provider_contract() {
  return ActionContract{{"device-local", "agent-provider"}, std::nullopt};
}

ActionContract configuration_contract() {
  return ActionContract{{"configuration", "system-setting"}, std::nullopt};
}

ActionSpec typed_operation_spec(std::string name, std::string label, std::string description,
                                std::string_view dispatch_id, std::vector<ActionParam> parameters,
                                kalu_actions::ActionHandler parser, ScopeTags tags) {
  return ActionSpec::typed(std::move(name), std::move(label), std::move(description),
                           kalu_actions::kOperationEffect, std::string(dispatch_id),
                           std::move(parameters), std::move(parser))
      .with_contract(device_local_contract(tags));
}

std::optional<ActionSpec> with_device_local_contract(kalu_ui::Result<ActionSpec> spec,
                                                     ScopeTags tags) {
  return with_optional_contract(std::move(spec), device_local_contract(tags));
}

std::optional<ActionSpec> audio_operation_spec(std::string name, std::string label,
                                               const operations::AudioOperation& record,
                                               const std::array<std::string_view, 3>& tags) {
  return with_device_local_contract(nullary_operation_spec(std::move(name), std::move(label),
                                                           kalu_actions::kOperationEffect, record),
                                    tags);
}

std::optional<ActionSpec> printer_operation_spec(std::string name, std::string label,
                                                 const operations::PrinterOperation& record,
                                                 ScopeTags tags) {
  return with_device_local_contract(nullary_operation_spec(std::move(name), std::move(label),
                                                           kalu_actions::kOperationEffect, record),
                                    tags);
}

std::optional<ActionSpec> bluetooth_operation_spec(std::string name, std::string label,
                                                   const operations::BluetoothOperation& record,
                                                   ScopeTags tags) {
  return operation_spec(std::move(name), std::move(label), record, tags);
}

std::optional<ActionSpec> agent_model_operation_spec(std::string name, std::string label,
                                                     const operations::AgentModelOperation& record,
                                                     ScopeTags tags) {
  return operation_spec(std::move(name), std::move(label), record, tags);
}

std::optional<ActionSpec> keyboard_source_operation_spec(
    std::string name, std::string label, const operations::KeyboardSourceOperation& record) {
  return operation_spec(std::move(name), std::move(label), record,
                        {"device-local", "input-source"});
}

std::optional<ActionSpec> account_operation_spec(std::string name, std::string label,
                                                 const operations::AccountOperation& record,
                                                 kalu_actions::OperationKind kind) {
  // Only the connection check reaches the device (and the network); the
  // other account actions work on a form of the pane.
  std::optional<ActionContract> contract;
  if (std::holds_alternative<operations::AccountOperation::Test>(record)) {
    contract = device_local_contract({"device-local", "accounts", "network-probe"});
  }
  return with_optional_contract(
      nullary_operation_spec(std::move(name), std::move(label), kind, record), std::move(contract));
}

std::optional<ActionSpec> agent_provider_operation_spec(
    std::string name, std::string label, const operations::AgentProviderOperation& record) {
  return with_optional_contract(nullary_operation_spec(std::move(name), std::move(label),
                                                       kalu_actions::kOperationEffect, record),
                                agent_provider_contract());
}

ActionSpec setting_choice_spec(std::string name, std::string label, std::string setting_key,
                               std::string description, std::vector<std::string> allowed,
                               std::string current) {
  std::vector<ActionParam> params;
  params.push_back(setting_choice_param(std::move(allowed)));
  return ActionSpec::typed(
             std::move(name), std::move(label), std::move(description),
             kalu_actions::kOperationSetting, std::nullopt, std::move(params),
             [key = std::move(setting_key), current = std::move(current)](const ActionArgs& args) {
               return settings_action_invocation(operations::SettingsAction::set_setting(
                   key, arg_text(args, kChoiceParam, current)));
             })
      .with_contract(configuration_contract());
}

ActionSpec setting_choice_spec(std::string name, std::string label, std::string setting_key,
                               std::string description, std::span<const std::string_view> allowed,
                               std::string_view current) {
  return setting_choice_spec(
      std::move(name), std::move(label), std::move(setting_key), std::move(description),
      std::vector<std::string>(allowed.begin(), allowed.end()), std::string(current));
}

ActionSpec setting_toggle_spec(std::string name, std::string label, std::string setting_key) {
  std::vector<ActionParam> params;
  params.push_back(setting_toggle_param());
  return ActionSpec::typed(std::move(name), std::move(label),
                           std::string(kSettingToggleDescription), kalu_actions::kOperationSetting,
                           std::nullopt, std::move(params),
                           [key = std::move(setting_key)](const ActionArgs& args) {
                             return settings_action_invocation(
                                 operations::SettingsAction::set_setting(key, arg_flag(args)));
                           })
      .with_contract(configuration_contract());
}

std::optional<kalu_actions::ActionBinding> bind_action(const kalu_actions::Resource& resource,
                                                       std::string_view action_name,
                                                       kalu_actions::ArgumentBuilder builder) {
  auto binding = kalu_actions::ActionBinding::for_action(resource, action_name, std::move(builder));
  if (!binding) return std::nullopt;
  return std::move(*binding);
}

std::optional<kalu_actions::ActionBinding> bind_toggle(const kalu_actions::Resource& resource,
                                                       std::string_view action_name) {
  return bind_action(resource, action_name, bool_arguments());
}

std::optional<kalu_actions::ActionBinding> bind_setting_toggle(kalu_actions::Resource section,
                                                               std::string name, std::string label,
                                                               std::string setting_key) {
  section.actions.clear();
  section.children.clear();
  const std::string action_name = name;
  section.actions.push_back(
      setting_toggle_spec(std::move(name), std::move(label), std::move(setting_key)));
  return bind_toggle(section, action_name);
}

std::optional<kalu_actions::ActionBinding> bind_unit(const kalu_actions::Resource& resource,
                                                     std::string_view action_name) {
  auto binding = kalu_actions::ActionBinding::unit_for(resource, action_name);
  if (!binding) return std::nullopt;
  return std::move(*binding);
}

}  // namespace settings::actions
