#include "actions/pane_actions.h"

#include <fmt/format.h>

#include <utility>

#include "kalu_actions/action_spec.h"

namespace settings::actions {

std::string section_resource_id(panes::Pane pane) {
  std::string id(kSectionResourcePrefix);
  id.append(panes::pane_id(pane));
  return id;
}

kalu_actions::ActionAddress pane_open_address(panes::Pane pane) {
  return {section_resource_id(pane), std::string(kOpenActionName)};
}

std::string_view section_kind(panes::Pane pane) {
  switch (pane) {
    case panes::Pane::kAppsFiles:
      return "settings.default-apps";
    case panes::Pane::kExternalAccounts:
      return "settings.accounts";
    case panes::Pane::kAgentModels:
      return "settings.agent-models";
    default:
      return kSectionResourceKind;
  }
}

std::optional<kalu_actions::ActionSpec> open_action_spec(panes::Pane pane) {
  // A text payload always writes, so the spec is always made.
  auto open = kalu_actions::ActionSpec::nullary(
      std::string(kOpenActionName), fmt::format("Open {}", panes::pane_title(pane)),
      kalu_actions::kOperationInterface, std::string(kOpenPaneActionId),
      kalu_actions::json_string(panes::pane_id(pane)));
  if (!open) return std::nullopt;
  return std::move(*open);
}

kalu_actions::Resource pane_section_resource(panes::Pane pane) {
  auto resource =
      kalu_actions::Resource::create(section_resource_id(pane), std::string(kSectionResourceKind),
                                     std::string(panes::pane_title(pane)));
  if (auto open = open_action_spec(pane)) {
    resource = std::move(resource).with_action(std::move(*open));
  }
  return resource;
}

std::string action_search_target(const kalu_actions::ActionAddress& address) {
  std::string target(
      "\x01"
      "action"
      "\x1F");
  target.append(address.encode());
  return target;
}

kalu_ui::search::SearchEntry search_entry_for_action(std::string_view title,
                                                     std::string_view section,
                                                     kalu_actions::ActionAddress address) {
  return kalu_ui::search::SearchEntry{
      .title = std::string(title),
      .section = std::string(section),
      .target = action_search_target(address),
      .description = std::nullopt,
      .detail = std::nullopt,
      .weight = 0,
      .icon = std::nullopt,
  };
}

}  // namespace settings::actions
