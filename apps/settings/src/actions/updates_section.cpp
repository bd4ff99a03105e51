#include "actions/updates_section.h"

#include <array>
#include <string>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "operations/records.h"
#include "vocabulary/update_schedules.h"

namespace settings::actions {

using operations::UpdateOperation;

namespace {

constexpr std::array<std::string_view, 2> kTags = {"device-local", "system-update"};

struct Command {
  std::string_view name;
  std::string_view label;
  UpdateOperation record;
  bool destructive;
};

// The parameterless effects, in the order clients see them.
const std::array<Command, 5>& commands() {
  static const std::array<Command, 5> table = {{
      {"check", "Check for updates", UpdateOperation::Check{}, false},
      {"restart", "Restart into staged update", UpdateOperation::Restart{}, true},
      {"rollback", "Roll back to previous image", UpdateOperation::Rollback{}, true},
      {"refresh-firmware", "Refresh firmware updates", UpdateOperation::RefreshFirmware{}, false},
      {"install-firmware", "Install firmware updates", UpdateOperation::InstallFirmware{}, true},
  }};
  return table;
}

kalu_actions::ActionSpec schedule_spec() {
  const auto& labels = panes::updates::kScheduleLabels;
  return choice_operation_spec<UpdateOperation>(
      "schedule", "Set update schedule", std::vector<std::string>(labels.begin(), labels.end()),
      [](std::string chosen) {
        return UpdateOperation{UpdateOperation::SetSchedule{std::move(chosen)}};
      },
      kTags);
}

}  // namespace

kalu_actions::Resource updates_resource() {
  auto section = kalu_actions::Resource::create(std::string(kSectionResourcePrefix) + "updates",
                                                std::string(kSectionResourceKind), "Updates");
  section.actions.reserve(4 + commands().size());
  section = std::move(section).with_action(toggle_operation_spec<UpdateOperation>(
      "automatic", "Set automatic updates",
      [](bool on) { return UpdateOperation{UpdateOperation::SetAutomatic{on}}; }, kTags));
  for (const Command& command : commands()) {
    auto spec = operation_spec(std::string(command.name), std::string(command.label),
                               command.record, kTags);
    if (!spec) continue;
    if (command.destructive) *spec = std::move(*spec).destructive();
    section = std::move(section).with_action(std::move(*spec));
  }
  // Reviewing a rollback only shows the Updates page, so the application
  // answers it at once and it promises nothing about the device.
  if (auto review = nullary_operation_spec("review-rollback", "Review rollback",
                                           kalu_actions::kOperationInterface,
                                           UpdateOperation{UpdateOperation::ReviewRollback{}})) {
    section = std::move(section).with_action(std::move(*review));
  }
  section = std::move(section).with_action(schedule_spec());
  section = std::move(section).with_action(toggle_operation_spec<UpdateOperation>(
      "metered", "Set metered-network update policy",
      [](bool allowed) { return UpdateOperation{UpdateOperation::SetMetered{allowed}}; }, kTags));
  return section;
}

std::optional<kalu_actions::ActionBinding> updates_toggle_binding(std::string_view action_name) {
  return bind_toggle(updates_resource(), action_name);
}

std::optional<kalu_actions::ActionBinding> updates_choice_binding() {
  return bind_action(updates_resource(), "schedule", choice_arguments());
}

std::optional<kalu_actions::ActionBinding> updates_command_binding(std::string_view action_name) {
  return bind_unit(updates_resource(), action_name);
}

}  // namespace settings::actions
