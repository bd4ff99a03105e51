#include "vocabulary/registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>

namespace settings::panes {
namespace {

TEST(PaneRegistryTest, EveryPaneHasItsIdTitleIconAndSidebarPlace) {
  const struct {
    PaneIndex index;
    std::string_view id;
    std::string_view title;
    std::uint8_t icon;
    std::size_t sidebar_position;
    std::size_t keyword_count;
  } rows[] = {
      {0, "network", "Network", 7, 1, 9},
      {1, "bluetooth", "Bluetooth", 8, 2, 7},
      {2, "devices_sync", "Devices & Sync", 71, 3, 20},
      {3, "sound", "Sound", 89, 4, 10},
      {4, "displays", "Displays", 9, 5, 9},
      {5, "mouse_keyboard", "Mouse & Keyboard", 2, 6, 13},
      {6, "keyboard_shortcuts", "Keyboard Shortcuts", 3, 7, 7},
      {7, "time_date", "Time & Date", 85, 15, 7},
      {8, "users", "Users", 4, 16, 6},
      {9, "printers", "Printers", 5, 8, 6},
      {10, "power", "Power", 10, 14, 9},
      {11, "appearance", "Appearance", 66, 9, 10},
      {12, "accessibility", "Accessibility", 67, 10, 17},
      {13, "notifications", "Notifications", 73, 11, 12},
      {14, "default-apps", "Apps & Files", 0, 12, 7},
      {15, "storage", "Storage", 56, 13, 6},
      {16, "external_accounts", "External Accounts", 71, 18, 10},
      {17, "agent_models", "Agent Models", 66, 19, 13},
      {18, "region_formats", "Region & Formats", 6, 17, 9},
      {19, "permissions", "Device Privacy & Security", 11, 20, 13},
      {20, "updates", "Updates", 76, 21, 7},
      {21, "about", "About", 70, 22, 12},
  };
  ASSERT_EQ(std::size(rows), kPaneCount);
  for (const auto& row : rows) {
    SCOPED_TRACE(row.id);
    EXPECT_EQ(pane_id(row.index), row.id);
    EXPECT_EQ(pane_title(row.index), row.title);
    EXPECT_EQ(pane_icon(row.index), row.icon);
    EXPECT_EQ(pane_keywords(row.index).size(), row.keyword_count);
    EXPECT_EQ(SIDEBAR_ORDER[row.sidebar_position - 1], row.index);
    EXPECT_EQ(pane_by_id(row.id), row.index);
    EXPECT_FALSE(pane_subtitle(row.index).empty());
  }
}

TEST(PaneRegistryTest, SubtitlesKeepTheirExactText) {
  EXPECT_EQ(pane_subtitle(0), "Wi-Fi, wired connections, and VPN");
  EXPECT_EQ(pane_subtitle(5), "Typing, spelling, input sources, and pointer behaviour");
  EXPECT_EQ(pane_subtitle(19),
            "This device's privacy and security; workspace access is managed per workspace");
  EXPECT_EQ(pane_subtitle(21), "Device identity and transfer");
  std::size_t longest = 0;
  for (PaneIndex pane = 0; pane < kPaneCount; ++pane) {
    longest = std::max(longest, pane_subtitle(pane).size());
  }
  EXPECT_EQ(longest, pane_subtitle(19).size());
}

TEST(PaneRegistryTest, KeywordsAreLowerCaseAndKeepTheirSharedWords) {
  std::size_t total = 0;
  std::map<std::string_view, std::set<PaneIndex>> owners;
  for (PaneIndex pane = 0; pane < kPaneCount; ++pane) {
    for (const std::string_view keyword : pane_keywords(pane)) {
      ++total;
      owners[keyword].insert(pane);
      EXPECT_TRUE(std::none_of(keyword.begin(), keyword.end(), [](char c) {
        return c >= 'A' && c <= 'Z';
      })) << keyword;
    }
  }
  EXPECT_EQ(total, 219u);
  using ::testing::ElementsAre;
  EXPECT_THAT(owners["device"], ElementsAre(1, 3, 21));
  EXPECT_THAT(owners["mail"], ElementsAre(14, 16));
  EXPECT_THAT(owners["high contrast"], ElementsAre(11, 12));
  EXPECT_THAT(owners["backup"], ElementsAre(15, 21));
  EXPECT_THAT(pane_keywords(15),
              ElementsAre("disk space", "cache", "cleanup", "app data", "synced files", "backup"));
  EXPECT_EQ(pane_keywords(2)[12], "wi-fi settings");
}

TEST(PaneRegistryTest, SidebarOrderListsEveryPaneOnce) {
  std::set<PaneIndex> seen(SIDEBAR_ORDER.begin(), SIDEBAR_ORDER.end());
  EXPECT_EQ(seen.size(), kPaneCount);
  EXPECT_EQ(*seen.rbegin(), kPaneCount - 1);
}

TEST(PaneRegistryTest, LookupByIdIsExact) {
  EXPECT_EQ(pane_by_id("permissions"), 19);
  EXPECT_EQ(pane_by_id("default-apps"), 14);
  for (const std::string_view miss :
       {"Permissions", "", "network ", "Network", "default_apps", "settings.section:network"}) {
    EXPECT_EQ(pane_by_id(miss), std::nullopt) << miss;
  }
}

TEST(PaneRegistryTest, IndicesOutsideTheTableAnswerEmpty) {
  for (const PaneIndex pane : {PaneIndex{22}, PaneIndex{255}}) {
    EXPECT_EQ(pane_id(pane), "");
    EXPECT_EQ(pane_title(pane), "");
    EXPECT_EQ(pane_subtitle(pane), "");
    EXPECT_EQ(pane_icon(pane), 0);
    EXPECT_TRUE(pane_keywords(pane).empty());
  }
}

}  // namespace
}  // namespace settings::panes
