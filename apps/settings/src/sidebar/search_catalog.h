#pragma once

// The desktop search entries of the panes: one entry per pane, in sidebar
// order, that opens the pane's section.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/search.h"
#include "panes/registry.h"

namespace settings::sidebar {

// The catalog's name and the section of every entry.
inline constexpr std::string_view kSearchCatalogName = "Personal Settings";

// The text a pane is found by: its title, its subtitle and every keyword in
// stored order, joined with single spaces.
std::string pane_search_terms(panes::PaneIndex pane);

// The target of an entry that runs an action: 0x01, "action", 0x1F and the
// encoded action address.
std::string action_search_target(std::string_view encoded_address);

// Gives the encoded address of a pane's "open" action.
using OpenAddressEncoder = std::function<std::string(panes::PaneIndex)>;

// The catalog "Personal Settings" with the 22 panes in sidebar order: title,
// the target of the pane's "open" address, the subtitle as description, the
// pane's icon.
kalu_ui::search::SearchCatalog build_pane_search_catalog(
    const OpenAddressEncoder& encoded_open_address);

// The pane an action address stands for: the first pane in sidebar order
// whose section resource id ("settings.section:" and the pane id) equals
// `resource_id`, when `action` is "open"; otherwise none.
std::optional<panes::PaneIndex> pane_for_open_address(std::string_view resource_id,
                                                      std::string_view action);

}  // namespace settings::sidebar
