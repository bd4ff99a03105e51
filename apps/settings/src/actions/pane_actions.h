#pragma once

// How automation clients and the desktop search reach a pane: its section
// resource "settings.section:<pane id>" and that resource's "open" action.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/address.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/search.h"
#include "vocabulary/registry.h"

namespace settings::actions {

inline constexpr std::string_view kSectionResourcePrefix = "settings.section:";
inline constexpr std::string_view kSectionResourceKind = "settings.section";
inline constexpr std::string_view kOpenActionName = "open";
inline constexpr std::string_view kOpenPaneActionId = "settings.open-pane";

// "settings.section:" followed by the pane id.
std::string section_resource_id(panes::Pane pane);

// The kind of a pane's full section: "settings.section", except Apps & Files
// ("settings.default-apps"), External Accounts ("settings.accounts") and
// Agent Models ("settings.agent-models").
std::string_view section_kind(panes::Pane pane);

// The "open" action of a pane's section ("Open <title>", kind 2, no
// contract): it dispatches "settings.open-pane" with the pane id as a JSON
// string. None only if that payload could not be written.
std::optional<kalu_actions::ActionSpec> open_action_spec(panes::Pane pane);

// The pane's "open" action on its section resource.
kalu_actions::ActionAddress pane_open_address(panes::Pane pane);

// The plain section resource of a pane: its id, kind "settings.section", the
// pane title, and one parameterless action "open" ("Open <title>") that
// dispatches "settings.open-pane" with the pane id as its payload.
kalu_actions::Resource pane_section_resource(panes::Pane pane);

// The target of a desktop search entry that runs an action: the byte 0x01,
// "action", the byte 0x1F and the encoded address.
std::string action_search_target(const kalu_actions::ActionAddress& address);

// A desktop search entry with this title and section that runs the action at
// `address`; no description, detail, weight or icon.
kalu_ui::search::SearchEntry search_entry_for_action(std::string_view title,
                                                     std::string_view section,
                                                     kalu_actions::ActionAddress address);

}  // namespace settings::actions
