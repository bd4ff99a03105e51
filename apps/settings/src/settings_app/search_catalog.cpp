#include "settings_app/search_catalog.h"

#include <utility>

#include "actions/pane_actions.h"

namespace settings::settings_app {

std::string pane_search_terms(panes::Pane pane) {
  std::string terms(panes::pane_title(pane));
  terms.push_back(' ');
  terms.append(panes::pane_subtitle(pane));
  for (const std::string_view keyword : panes::pane_keywords(pane)) {
    terms.push_back(' ');
    terms.append(keyword);
  }
  return terms;
}

kalu_ui::search::SearchCatalog build_search_catalog() {
  kalu_ui::search::SearchCatalog catalog{std::string(kSearchCatalogName)};
  for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
    auto entry = actions::search_entry_for_action(panes::pane_title(pane), kSearchCatalogName,
                                                  actions::pane_open_address(pane))
                     .with_description(panes::pane_subtitle(pane));
    entry.icon = panes::pane_icon(pane);
    catalog.add(std::move(entry), pane_search_terms(pane));
  }
  return catalog;
}

std::optional<panes::Pane> pane_for_open_address(std::string_view resource_id,
                                                 std::string_view action) {
  if (action != actions::kOpenActionName) return std::nullopt;
  for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
    if (actions::section_resource_id(pane) == resource_id) return pane;
  }
  return std::nullopt;
}

SearchProvider::SearchProvider(kalu_ui::search::SearchCatalog catalog)
    : CatalogSearchProvider(std::move(catalog)) {}

std::shared_ptr<const kalu_actions::Resource> SearchProvider::resolve_address(
    const kalu_actions::ActionAddress& address) const {
  const auto pane = pane_for_open_address(address.resource_id, address.action);
  if (!pane) return nullptr;
  return std::make_shared<const kalu_actions::Resource>(actions::pane_section_resource(*pane));
}

}  // namespace settings::settings_app
