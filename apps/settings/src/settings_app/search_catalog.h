#pragma once

// The desktop search entries of the panes (one per pane, in sidebar order,
// each opening the pane's section) and the provider that answers the desktop
// search from them.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/search.h"
#include "vocabulary/registry.h"

namespace settings::settings_app {

// The catalog's name and the section of every entry.
inline constexpr std::string_view kSearchCatalogName = "Personal Settings";

// The text a pane is found by: its title, its subtitle and every keyword in
// stored order, joined with single spaces.
std::string pane_search_terms(panes::Pane pane);

// The catalog "Personal Settings" with the 22 panes in sidebar order: title,
// the target of the pane's "open" address, the subtitle as description, the
// pane's icon. Made once; copies share it.
kalu_ui::search::SearchCatalog build_search_catalog();

// The pane an action address stands for: the first pane in sidebar order
// whose section resource id ("settings.section:" and the pane id) equals
// `resource_id`, when `action` is "open"; otherwise none.
std::optional<panes::Pane> pane_for_open_address(std::string_view resource_id,
                                                 std::string_view action);

// Answers the desktop search from the pane catalog, and resolves the "open"
// address of a pane's section to that section's resource.
class SearchProvider : public kalu_ui::search::CatalogSearchProvider {
 public:
  explicit SearchProvider(kalu_ui::search::SearchCatalog catalog);

  std::shared_ptr<const kalu_actions::Resource> resolve_address(
      const kalu_actions::ActionAddress& address) const override;
};

}  // namespace settings::settings_app
