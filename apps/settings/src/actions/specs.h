#pragma once

// The builders every section of the automation surface makes its actions
// with. A section never fills an ActionSpec field by field: it names the
// action, gives its label, its parameter (or its fixed record) and its scope
// tags, and these builders supply the rest, so that every action of one kind
// reads alike to clients: the parameter names, labels, descriptions and
// schema, the operation kind, the dispatch action id and the contract.
//
// Operation kinds: 0 for a set-setting action ("settings.action"), 1 for an
// effect carried by a "settings.<x>-operation" id, 2 for what the application
// answers at once (a section's "open", "review-rollback", the account actions
// that open or close a form).
//
//   section = std::move(section).with_action(toggle_operation_spec<NetworkOperation>(
//       "wifi", "Set Wi-Fi power",
//       [](bool on) { return NetworkOperation{NetworkOperation::SetWifiEnabled{on}}; },
//       {"device-local", "network", "hardware"}));
//   if (auto refresh = operation_spec("refresh", "Refresh network list",
//                                     NetworkOperation{NetworkOperation::Refresh{}},
//                                     {"device-local", "network"})) {
//     section = std::move(section).with_action(std::move(*refresh));
//   }

#include <array>
#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "actions/invocations.h"
#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/result.h"
#include "operations/records.h"

namespace settings::actions {

// ---- Parameter kinds ----

inline constexpr std::string_view kToggleParam = "value";
inline constexpr std::string_view kToggleLabel = "Enabled";
inline constexpr std::string_view kToggleDescription = "On or off on this device";
inline constexpr std::string_view kLevelParam = "value";
inline constexpr std::string_view kLevelLabel = "Value";
inline constexpr std::string_view kLevelDescription = "A value from 0 to 1";
// Every number on the surface runs from 0 to 1; keys in this order.
inline constexpr std::string_view kLevelSchema = R"({"minimum":0.0,"maximum":1.0})";
inline constexpr std::string_view kChoiceParam = "choice";
inline constexpr std::string_view kChoiceLabel = "Choice";
inline constexpr std::string_view kChoiceDescription = "Choose a value available on this device";
inline constexpr std::string_view kSettingChoiceLabel = "New setting value";
inline constexpr std::string_view kSettingToggleLabel = "Whether this setting is on";
inline constexpr std::string_view kSettingToggleDescription = "On or off";

// The boolean "value", labelled "Enabled" unless a section labels it.
kalu_actions::ActionParam toggle_param(std::string_view label = kToggleLabel);
// The number "value" ("Value") with the 0-to-1 schema.
kalu_actions::ActionParam level_param();
// The text "choice" ("Choice") restricted to `choices`, in order.
kalu_actions::ActionParam choice_param(std::vector<std::string> choices);
kalu_actions::ActionParam choice_param(std::span<const std::string_view> choices);
// The set-setting choice ("New setting value") and toggle ("Whether this
// setting is on").
kalu_actions::ActionParam setting_choice_param(std::vector<std::string> allowed);
kalu_actions::ActionParam setting_toggle_param();

// ---- Contracts ----

// The scope tags of a contract, in order: a braced list at the call
// ({"device-local", "power"}) or a table's std::array. A view: it is read
// during the call it is passed to and never kept.
class ScopeTags {
 public:
  ScopeTags(std::initializer_list<std::string_view> tags) : tags_(tags.begin(), tags.size()) {}
  constexpr ScopeTags(std::span<const std::string_view> tags) : tags_(tags) {}
  template <std::size_t N>
  constexpr ScopeTags(const std::array<std::string_view, N>& tags) : tags_(tags) {}

  std::span<const std::string_view> view() const { return tags_; }

 private:
  std::span<const std::string_view> tags_;
};

// The contract of a device-local operation: the tags as given (the list
// always begins with "device-local") and the answer schema {"type":"string"}.
kalu_actions::ActionContract device_local_contract(ScopeTags tags);
// "device-local", "agent-provider", no schema.
kalu_actions::ActionContract agent_provider_contract();
// Every set-setting action's: "configuration", "system-setting", no schema.
kalu_actions::ActionContract configuration_contract();

// ---- Typed operation actions (kind 1, behind the operation-type check) ----

// A typed effect spec whose parser answers an invocation of `dispatch_id`,
// with the device-local contract of `tags`. The builders below are this one
// with the parameter of their kind.
kalu_actions::ActionSpec typed_operation_spec(std::string name, std::string label,
                                              std::string description, std::string_view dispatch_id,
                                              std::vector<kalu_actions::ActionParam> parameters,
                                              kalu_actions::ActionHandler parser, ScopeTags tags);

// A record from the invocation's arguments, for actions with their own
// parameters (the charge cap, the time zone, provider details).
template <OperationRecord R>
kalu_actions::ActionSpec typed_operation_spec(
    std::string name, std::string label, std::string description,
    std::vector<kalu_actions::ActionParam> parameters,
    std::function<R(const kalu_actions::ActionArgs&)> make, ScopeTags tags) {
  return typed_operation_spec(
      std::move(name), std::move(label), std::move(description), kOperationActionId<R>,
      std::move(parameters),
      [make = std::move(make)](const kalu_actions::ActionArgs& args) {
        return operation_invocation(make(args));
      },
      tags);
}

// The boolean "value" (absent: false) put into the record `make` builds. The
// maker takes only a bool, so a boolean action can only ever fill a boolean
// field of its record.
template <OperationRecord R>
kalu_actions::ActionSpec toggle_operation_spec(std::string name, std::string label,
                                               std::function<R(bool)> make, ScopeTags tags,
                                               std::string_view param_label = kToggleLabel) {
  std::vector<kalu_actions::ActionParam> params;
  params.push_back(toggle_param(param_label));
  return typed_operation_spec<R>(
      std::move(name), std::move(label), std::string(kToggleDescription), std::move(params),
      [make = std::move(make)](const kalu_actions::ActionArgs& args) {
        return make(arg_flag(args));
      },
      tags);
}

// The number "value" (absent: 0.0) passed on as it came; the maker clamps
// where its record asks for it (the input speeds).
template <OperationRecord R>
kalu_actions::ActionSpec level_operation_spec(std::string name, std::string label,
                                              std::function<R(double)> make, ScopeTags tags) {
  std::vector<kalu_actions::ActionParam> params;
  params.push_back(level_param());
  return typed_operation_spec<R>(
      std::move(name), std::move(label), std::string(kLevelDescription), std::move(params),
      [make = std::move(make)](const kalu_actions::ActionArgs& args) {
        return make(arg_level(args));
      },
      tags);
}

// The text "choice" (absent: `fallback`) among `choices`; the chosen text is
// not checked against them here.
template <OperationRecord R>
kalu_actions::ActionSpec choice_operation_spec(std::string name, std::string label,
                                               std::vector<std::string> choices,
                                               std::function<R(std::string)> make, ScopeTags tags,
                                               std::string fallback = {}) {
  std::vector<kalu_actions::ActionParam> params;
  params.push_back(choice_param(std::move(choices)));
  return typed_operation_spec<R>(
      std::move(name), std::move(label), std::string(kChoiceDescription), std::move(params),
      [make = std::move(make),
       fallback = std::move(fallback)](const kalu_actions::ActionArgs& args) {
        return make(arg_text(args, kChoiceParam, fallback));
      },
      tags);
}

// ---- Parameterless actions: a fixed record ----

// Delivers the record to its operation action on every invocation, whatever
// the arguments. Without a contract ("review-rollback" and the account
// actions other than Test).
template <OperationRecord R>
kalu_ui::Result<kalu_actions::ActionSpec> nullary_operation_spec(std::string name,
                                                                 std::string label,
                                                                 kalu_actions::OperationKind kind,
                                                                 const R& record) {
  return kalu_actions::ActionSpec::nullary(std::move(name), std::move(label), kind,
                                           std::string(kOperationActionId<R>),
                                           operations::write_record(record));
}

// A parameterless effect (kind 1) with the device-local contract of `tags`;
// none when the record cannot be written, so the section leaves it out.
std::optional<kalu_actions::ActionSpec> with_device_local_contract(
    kalu_ui::Result<kalu_actions::ActionSpec> spec, ScopeTags tags);

template <OperationRecord R>
std::optional<kalu_actions::ActionSpec> operation_spec(std::string name, std::string label,
                                                       const R& record, ScopeTags tags) {
  return with_device_local_contract(nullary_operation_spec(std::move(name), std::move(label),
                                                           kalu_actions::kOperationEffect, record),
                                    tags);
}

// The named builders of the sections' item and command actions.
std::optional<kalu_actions::ActionSpec> audio_operation_spec(
    std::string name, std::string label, const operations::AudioOperation& record,
    const std::array<std::string_view, 3>& tags);
std::optional<kalu_actions::ActionSpec> printer_operation_spec(
    std::string name, std::string label, const operations::PrinterOperation& record,
    ScopeTags tags);
std::optional<kalu_actions::ActionSpec> bluetooth_operation_spec(
    std::string name, std::string label, const operations::BluetoothOperation& record,
    ScopeTags tags);
std::optional<kalu_actions::ActionSpec> agent_model_operation_spec(
    std::string name, std::string label, const operations::AgentModelOperation& record,
    ScopeTags tags);
// Tags "device-local", "input-source".
std::optional<kalu_actions::ActionSpec> keyboard_source_operation_spec(
    std::string name, std::string label, const operations::KeyboardSourceOperation& record);
// Of the kind the caller gives; only `Test` carries a contract ("device-local",
// "accounts", "network-probe").
std::optional<kalu_actions::ActionSpec> account_operation_spec(
    std::string name, std::string label, const operations::AccountOperation& record,
    kalu_actions::OperationKind kind);
// With the agent provider contract.
std::optional<kalu_actions::ActionSpec> agent_provider_operation_spec(
    std::string name, std::string label, const operations::AgentProviderOperation& record);

// ---- Set-setting actions (kind 0, "settings.action") ----

// The choice "choice" among `allowed`; an invocation without it sets the
// current value again. With the configuration contract.
kalu_actions::ActionSpec setting_choice_spec(std::string name, std::string label,
                                             std::string setting_key, std::string description,
                                             std::vector<std::string> allowed, std::string current);
kalu_actions::ActionSpec setting_choice_spec(std::string name, std::string label,
                                             std::string setting_key, std::string description,
                                             std::span<const std::string_view> allowed,
                                             std::string_view current);
// The boolean "value" (absent: false) set under the key.
kalu_actions::ActionSpec setting_toggle_spec(std::string name, std::string label,
                                             std::string setting_key);

// ---- Binding a control to an action ----

// The first action of `resource` named `action_name`, bound with `builder`;
// none when the resource has no such action.
std::optional<kalu_actions::ActionBinding> bind_action(const kalu_actions::Resource& resource,
                                                       std::string_view action_name,
                                                       kalu_actions::ArgumentBuilder builder);
// The same for a toggle: the control's bool becomes the argument "value".
std::optional<kalu_actions::ActionBinding> bind_toggle(const kalu_actions::Resource& resource,
                                                       std::string_view action_name);
// A page switch of a preference: `section` (a bare section or item) with
// only the set-setting toggle of `setting_key`, the control's bool becoming
// "value". The published toggles flip the value they were built with, so a
// page built from an empty document would always set one side; this sets
// what the control says.
std::optional<kalu_actions::ActionBinding> bind_setting_toggle(kalu_actions::Resource section,
                                                               std::string name, std::string label,
                                                               std::string setting_key);
// A button: every invocation carries no arguments.
std::optional<kalu_actions::ActionBinding> bind_unit(const kalu_actions::Resource& resource,
                                                     std::string_view action_name);

}  // namespace settings::actions
