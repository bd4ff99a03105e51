#include "sidebar/search_catalog.h"

namespace settings::sidebar {
namespace {

constexpr std::string_view kSectionPrefix = "settings.section:";

}  // namespace

std::string pane_search_terms(panes::PaneIndex pane) {
  std::string terms(panes::pane_title(pane));
  terms.push_back(' ');
  terms.append(panes::pane_subtitle(pane));
  for (const std::string_view keyword : panes::pane_keywords(pane)) {
    terms.push_back(' ');
    terms.append(keyword);
  }
  return terms;
}

std::string action_search_target(std::string_view encoded_address) {
  std::string target(
      "\x01"
      "action"
      "\x1F");
  target.append(encoded_address);
  return target;
}

kalu_ui::search::SearchCatalog build_pane_search_catalog(
    const OpenAddressEncoder& encoded_open_address) {
  kalu_ui::search::SearchCatalog catalog{std::string(kSearchCatalogName)};
  for (const panes::PaneIndex pane : panes::SIDEBAR_ORDER) {
    kalu_ui::search::SearchEntry entry{
        .title = std::string(panes::pane_title(pane)),
        .section = std::string(kSearchCatalogName),
        .target = action_search_target(encoded_open_address(pane)),
        .description = std::string(panes::pane_subtitle(pane)),
        .detail = std::nullopt,
        .weight = 0,
        .icon = panes::pane_icon(pane),
    };
    catalog.add(std::move(entry), pane_search_terms(pane));
  }
  return catalog;
}

std::optional<panes::PaneIndex> pane_for_open_address(std::string_view resource_id,
                                                      std::string_view action) {
  if (action != "open" || !resource_id.starts_with(kSectionPrefix)) return std::nullopt;
  resource_id.remove_prefix(kSectionPrefix.size());
  return panes::pane_by_id(resource_id);
}

}  // namespace settings::sidebar
