#include "actions/power_section.h"

#include <fmt/format.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "operations/records.h"
#include "vocabulary/power_vocabulary.h"

namespace settings::actions {

using operations::PowerOperation;

namespace {

constexpr std::array<std::string_view, 2> kTags = {"device-local", "power"};

std::string section_id() { return std::string(kSectionResourcePrefix) + "power"; }

kalu_actions::Resource bare_section() {
  return kalu_actions::Resource::create(section_id(), std::string(kSectionResourceKind), "Power");
}

// A profile or idle-delay choice: the key says which record the chosen text
// goes into ("active" the profile, "blank" and "lock" their delays, any other
// the suspend delay of the profile it names).
struct DelayRow {
  std::span<const std::string_view> choices;
  std::string_view name;
  std::string_view label;
  std::string_view key;
};

constexpr std::array<DelayRow, 7> kDelayRows = {{
    {panes::power::kProfileLabels, "profile", "Set power profile", "active"},
    {panes::power::kSuspendDelayLabels, "suspend-after", "Set idle suspend delay", "default"},
    {panes::power::kScreenDelayLabels, "blank-after", "Set screen blank delay", "blank"},
    {panes::power::kScreenDelayLabels, "lock-after", "Set automatic lock delay", "lock"},
    {panes::power::kSuspendDelayLabels, "saver-suspend", "Set Power Saver suspend delay", "saver"},
    {panes::power::kSuspendDelayLabels, "balanced-suspend", "Set Balanced suspend delay",
     "balanced"},
    {panes::power::kSuspendDelayLabels, "performance-suspend", "Set Performance suspend delay",
     "performance"},
}};

PowerOperation delay_record(std::string_view key, std::string chosen) {
  if (key == "active") return PowerOperation::SetProfile{std::move(chosen)};
  if (key == "blank") return PowerOperation::SetBlankTimeout{std::move(chosen)};
  if (key == "lock") return PowerOperation::SetLockTimeout{std::move(chosen)};
  return PowerOperation::SetSuspendTimeout{std::string(key), std::move(chosen)};
}

// The lid, power-key and critical-battery actions. The power key's action
// is named "power_key"; its key is "power-key".
struct ActionRow {
  std::string_view name;
  std::string_view label;
  std::string_view key;
};

constexpr std::array<ActionRow, 3> kActionRows = {{
    {"lid", "Set lid-close action", "lid"},
    {"power_key", "Set power-key action", "power-key"},
    {"critical", "Set critical-battery action", "critical"},
}};

PowerOperation action_record(std::string_view key, std::string chosen) {
  if (key == "lid") return PowerOperation::SetLidAction{std::move(chosen)};
  if (key == "power-key") return PowerOperation::SetPowerKeyAction{std::move(chosen)};
  return PowerOperation::SetCriticalAction{std::move(chosen)};
}

std::vector<std::string> texts(std::span<const std::string_view> labels) {
  return {labels.begin(), labels.end()};
}

}  // namespace

kalu_actions::ActionSpec charge_cap_spec(std::span<const std::uint32_t> supported,
                                         std::uint32_t current) {
  std::vector<std::string> caps;
  caps.reserve(supported.size());
  for (const std::uint32_t percent : supported) caps.push_back(fmt::format("{}", percent));
  std::vector<kalu_actions::ActionParam> params;
  params.push_back(
      kalu_actions::ActionParam::make("percent", "Charge percentage", kalu_actions::ParamKind::Text)
          .with_choices(std::move(caps)));
  return typed_operation_spec<PowerOperation>(
             "set-charge-cap", "Set battery charge cap", "Choose a supported charge percentage",
             std::move(params),
             [current](const kalu_actions::ActionArgs& args) {
               return PowerOperation{PowerOperation::SetChargeLimit{
                   parse_charge_percent(args.text("percent"), current)}};
             },
             {"device-local", "hardware"})
      .privileged();
}

kalu_actions::Resource power_resource(
    const std::optional<system_ops::battery::ChargeCapability>& capability) {
  auto section = bare_section();
  section.actions.reserve(1 + kDelayRows.size() + kActionRows.size() + 1);
  section = std::move(section).with_action(toggle_operation_spec<PowerOperation>(
      "auto_suspend", "Set automatic suspend",
      [](bool on) { return PowerOperation{PowerOperation::SetAutoSuspend{on}}; }, kTags));
  for (const DelayRow& row : kDelayRows) {
    section = std::move(section).with_action(choice_operation_spec<PowerOperation>(
        std::string(row.name), std::string(row.label), texts(row.choices),
        [key = row.key](std::string chosen) { return delay_record(key, std::move(chosen)); },
        kTags));
  }
  for (const ActionRow& row : kActionRows) {
    section = std::move(section).with_action(choice_operation_spec<PowerOperation>(
        std::string(row.name), std::string(row.label), texts(panes::power::kPowerActionLabels),
        [key = row.key](std::string chosen) { return action_record(key, std::move(chosen)); },
        kTags));
  }
  if (capability) {
    section =
        std::move(section).with_action(charge_cap_spec(capability->allowed, capability->current));
  }
  return section;
}

kalu_actions::Resource power_resource() {
  return power_resource(system_ops::battery::charge_capability());
}

std::optional<kalu_actions::ActionBinding> power_toggle_binding(std::string_view action_name) {
  return bind_toggle(power_resource(), action_name);
}

std::optional<kalu_actions::ActionBinding> power_choice_binding(std::string_view action_name) {
  return bind_action(power_resource(), action_name, choice_arguments());
}

std::optional<kalu_actions::ActionBinding> charge_cap_binding(
    std::span<const std::uint32_t> supported, std::uint32_t current) {
  auto section = bare_section().with_action(charge_cap_spec(supported, current));
  return bind_action(section, "set-charge-cap", percent_arguments());
}

}  // namespace settings::actions
