#include "settings_app/search_catalog.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kalu_actions/address.h"
#include "kalu_actions/resource.h"

namespace settings::settings_app {
namespace {

using kalu_ui::search::SearchEntry;

std::string encoded_open_address(panes::Pane pane) {
  return "settings.section:" + std::string(panes::pane_id(pane)) + "#open";
}

TEST(SearchCatalogTest, HoldsOneEntryPerPaneInSidebarOrder) {
  const auto catalog = build_search_catalog();
  EXPECT_EQ(catalog.name(), "Personal Settings");
  EXPECT_EQ(catalog.stats().entries, panes::kPaneCount);

  const std::vector<SearchEntry> entries = catalog.query_page("", 0, 100, 100).items;
  ASSERT_EQ(entries.size(), panes::kPaneCount);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const panes::Pane pane = panes::SIDEBAR_ORDER[i];
    SCOPED_TRACE(panes::pane_title(pane));
    const SearchEntry& e = entries[i];
    EXPECT_EQ(e.title, panes::pane_title(pane));
    EXPECT_EQ(e.section, "Personal Settings");
    EXPECT_EQ(e.target, std::string("\x01"
                                    "action"
                                    "\x1F") +
                            encoded_open_address(pane));
    EXPECT_EQ(e.description, panes::pane_subtitle(pane));
    EXPECT_EQ(e.detail, std::nullopt);
    EXPECT_EQ(e.weight, 0);
    EXPECT_EQ(e.icon, panes::pane_icon(pane));
  }
  EXPECT_EQ(entries[13].target,
            "\x01"
            "action"
            "\x1F"
            "settings.section:power#open");
  EXPECT_EQ(entries[11].icon, 0);  // Apps & Files: icon 0 is an icon, not "none"
}

TEST(SearchCatalogTest, PanesAreFoundByTheirTermsWithTitlesFirst) {
  EXPECT_EQ(pane_search_terms(panes::Pane::kStorage),
            "Storage Apps, data, cache, and synced files disk space cache cleanup app data "
            "synced files backup");

  const auto catalog = build_search_catalog();
  const auto titles = [&](std::string_view query) {
    std::vector<std::string> out;
    for (const SearchEntry& e : catalog.query_page(query, 0, 100, 100).items) {
      out.push_back(e.title);
    }
    return out;
  };
  using ::testing::ElementsAre;
  // Equal hits keep sidebar order; a title hit goes before term hits.
  EXPECT_THAT(titles("backup"), ElementsAre("Storage", "About"));
  EXPECT_THAT(titles("DISPLAY"), ElementsAre("Displays", "Devices & Sync", "Time & Date"));
  EXPECT_THAT(titles("\xC3\xA9"
                     "nergy"),
              ElementsAre("Power"));  // énergy
}

TEST(PaneForOpenAddressTest, OnlyTheOpenActionOfAPaneSectionResolves) {
  EXPECT_EQ(pane_for_open_address("settings.section:network", "open"), panes::Pane::kNetwork);
  EXPECT_EQ(pane_for_open_address("settings.section:default-apps", "open"),
            panes::Pane::kAppsFiles);
  const struct {
    std::string_view resource;
    std::string_view action;
  } misses[] = {
      {"settings.section:network", "invoke"},
      {"settings.section:network", "Open"},
      {"settings.section:nowhere", "open"},
      {"settings.section:", "open"},
      {"settings.section:Network", "open"},
      {"network", "open"},
      {"settings.root", "open"},
      {"xsettings.section:network", "open"},
  };
  for (const auto& m : misses) {
    EXPECT_EQ(pane_for_open_address(m.resource, m.action), std::nullopt)
        << m.resource << " / " << m.action;
  }
}

TEST(SearchProviderTest, AnswersFromTheSharedCatalog) {
  const auto catalog = build_search_catalog();
  const SearchProvider provider(catalog);
  EXPECT_EQ(provider.title(), "Personal Settings");
  EXPECT_EQ(provider.icon(), std::nullopt);
  EXPECT_EQ(provider.stats(), catalog.stats());
  EXPECT_EQ(provider.query_all("").size(), panes::kPaneCount);
  ASSERT_EQ(provider.query_with_limit("", 3).size(), 3u);
  EXPECT_EQ(provider.query_with_limit("wifi", 256).front().title, "Network");
}

TEST(SearchProviderTest, ResolvesOnlyTheOpenActionOfAPaneSection) {
  const SearchProvider provider(build_search_catalog());
  const auto network =
      provider.resolve_address(kalu_actions::ActionAddress{"settings.section:network", "open"});
  ASSERT_NE(network, nullptr);
  EXPECT_EQ(network->id, "settings.section:network");
  EXPECT_EQ(network->kind, "settings.section");
  EXPECT_EQ(network->label, "Network");
  ASSERT_EQ(network->actions.size(), 1u);
  EXPECT_EQ(network->actions[0].label, "Open Network");
  ASSERT_TRUE(network->actions[0].fixed_input.has_value());
  EXPECT_EQ(network->actions[0].fixed_input->action_id, "settings.open-pane");
  EXPECT_EQ(network->actions[0].fixed_input->payload_text(), "\"network\"");

  EXPECT_EQ(
      provider.resolve_address(kalu_actions::ActionAddress{"settings.section:network", "close"}),
      nullptr);
  EXPECT_EQ(provider.resolve_address(kalu_actions::ActionAddress{"settings.section:wifi", "open"}),
            nullptr);
}

}  // namespace
}  // namespace settings::settings_app
