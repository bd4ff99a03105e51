#include "actions/time_date_section.h"

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "operations/records.h"

namespace settings::actions {

using operations::TimeDateOperation;

namespace {

constexpr std::array<std::string_view, 2> kTags = {"device-local", "time-date"};
constexpr std::string_view kTimeToggleLabel = "Whether this local time control is enabled";

}  // namespace

kalu_actions::Resource time_date_resource() {
  auto section = kalu_actions::Resource::create(std::string(kSectionResourcePrefix) + "time_date",
                                                std::string(kSectionResourceKind), "Time & Date");
  section = std::move(section).with_action(toggle_operation_spec<TimeDateOperation>(
      "automatic-time", "Set automatic time",
      [](bool on) { return TimeDateOperation{TimeDateOperation::SetAutomaticTime{on}}; }, kTags,
      kTimeToggleLabel));
  section = std::move(section).with_action(toggle_operation_spec<TimeDateOperation>(
      "24-hour", "Set 24-hour time",
      [](bool h24) { return TimeDateOperation{TimeDateOperation::SetHourCycle{h24}}; }, kTags,
      kTimeToggleLabel));
  std::vector<kalu_actions::ActionParam> zone;
  zone.push_back(kalu_actions::ActionParam::make(std::string(kChoiceParam), "Time zone",
                                                 kalu_actions::ParamKind::Text));
  section = std::move(section).with_action(typed_operation_spec<TimeDateOperation>(
      "timezone", "Set time zone", "IANA time-zone identifier", std::move(zone),
      [](const kalu_actions::ActionArgs& args) {
        return TimeDateOperation{
            TimeDateOperation::SetTimezone{arg_text(args, kChoiceParam, "UTC")}};
      },
      kTags));
  return section;
}

std::optional<kalu_actions::ActionBinding> time_date_toggle_binding(std::string_view action_name) {
  return bind_toggle(time_date_resource(), action_name);
}

std::optional<kalu_actions::ActionBinding> time_date_choice_binding(std::string_view action_name) {
  return bind_action(time_date_resource(), action_name, choice_arguments());
}

}  // namespace settings::actions
