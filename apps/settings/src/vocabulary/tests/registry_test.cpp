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
    Pane pane;
    std::string_view id;
    std::string_view title;
    std::uint8_t icon;
    std::size_t sidebar_position;
    std::size_t keyword_count;
  } rows[] = {
      {Pane::kNetwork, "network", "Network", 7, 1, 9},
      {Pane::kBluetooth, "bluetooth", "Bluetooth", 8, 2, 7},
      {Pane::kDevicesSync, "devices_sync", "Devices & Sync", 71, 3, 20},
      {Pane::kSound, "sound", "Sound", 89, 4, 10},
      {Pane::kDisplays, "displays", "Displays", 9, 5, 9},
      {Pane::kMouseKeyboard, "mouse_keyboard", "Mouse & Keyboard", 2, 6, 13},
      {Pane::kKeyboardShortcuts, "keyboard_shortcuts", "Keyboard Shortcuts", 3, 7, 7},
      {Pane::kTimeDate, "time_date", "Time & Date", 85, 15, 7},
      {Pane::kUsers, "users", "Users", 4, 16, 6},
      {Pane::kPrinters, "printers", "Printers", 5, 8, 6},
      {Pane::kPower, "power", "Power", 10, 14, 9},
      {Pane::kAppearance, "appearance", "Appearance", 66, 9, 10},
      {Pane::kAccessibility, "accessibility", "Accessibility", 67, 10, 17},
      {Pane::kNotifications, "notifications", "Notifications", 73, 11, 12},
      {Pane::kAppsFiles, "default-apps", "Apps & Files", 0, 12, 7},
      {Pane::kStorage, "storage", "Storage", 56, 13, 6},
      {Pane::kExternalAccounts, "external_accounts", "External Accounts", 71, 18, 10},
      {Pane::kAgentModels, "agent_models", "Agent Models", 66, 19, 13},
      {Pane::kRegionFormats, "region_formats", "Region & Formats", 6, 17, 9},
      {Pane::kPrivacySecurity, "permissions", "Device Privacy & Security", 11, 20, 13},
      {Pane::kUpdates, "updates", "Updates", 76, 21, 7},
      {Pane::kAbout, "about", "About", 70, 22, 12},
  };
  ASSERT_EQ(std::size(rows), kPaneCount);
  for (std::size_t i = 0; i < kPaneCount; ++i) {
    const auto& row = rows[i];
    EXPECT_EQ(pane_at(i), row.pane);
    SCOPED_TRACE(row.id);
    EXPECT_EQ(pane_id(row.pane), row.id);
    EXPECT_EQ(pane_title(row.pane), row.title);
    EXPECT_EQ(pane_icon(row.pane), row.icon);
    EXPECT_EQ(pane_keywords(row.pane).size(), row.keyword_count);
    EXPECT_EQ(SIDEBAR_ORDER[row.sidebar_position - 1], row.pane);
    EXPECT_EQ(pane_by_id(row.id), row.pane);
    EXPECT_FALSE(pane_subtitle(row.pane).empty());
  }
}

TEST(PaneRegistryTest, SubtitlesKeepTheirExactText) {
  EXPECT_EQ(pane_subtitle(Pane::kNetwork), "Wi-Fi, wired connections, and VPN");
  EXPECT_EQ(pane_subtitle(Pane::kMouseKeyboard),
            "Typing, spelling, input sources, and pointer behaviour");
  EXPECT_EQ(pane_subtitle(Pane::kPrivacySecurity),
            "This device's privacy and security; workspace access is managed per workspace");
  EXPECT_EQ(pane_subtitle(Pane::kAbout), "Device identity and transfer");
  std::size_t longest = 0;
  for (const Pane pane : SIDEBAR_ORDER) longest = std::max(longest, pane_subtitle(pane).size());
  EXPECT_EQ(longest, pane_subtitle(Pane::kPrivacySecurity).size());
}

TEST(PaneRegistryTest, KeywordsAreLowerCaseAndKeepTheirSharedWords) {
  std::size_t total = 0;
  std::map<std::string_view, std::set<Pane>> owners;
  for (const Pane pane : SIDEBAR_ORDER) {
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
  EXPECT_THAT(owners["device"], ElementsAre(Pane::kBluetooth, Pane::kSound, Pane::kAbout));
  EXPECT_THAT(owners["mail"], ElementsAre(Pane::kAppsFiles, Pane::kExternalAccounts));
  EXPECT_THAT(owners["high contrast"], ElementsAre(Pane::kAppearance, Pane::kAccessibility));
  EXPECT_THAT(owners["backup"], ElementsAre(Pane::kStorage, Pane::kAbout));
  EXPECT_THAT(pane_keywords(Pane::kStorage),
              ElementsAre("disk space", "cache", "cleanup", "app data", "synced files", "backup"));
  EXPECT_EQ(pane_keywords(Pane::kDevicesSync)[12], "wi-fi settings");
}

TEST(PaneRegistryTest, SidebarOrderListsEveryPaneOnce) {
  std::set<Pane> seen(SIDEBAR_ORDER.begin(), SIDEBAR_ORDER.end());
  EXPECT_EQ(seen.size(), kPaneCount);
  EXPECT_EQ(*seen.rbegin(), Pane::kAbout);
}

TEST(PaneRegistryTest, LookupByIdIsExact) {
  EXPECT_EQ(pane_by_id("permissions"), Pane::kPrivacySecurity);
  EXPECT_EQ(pane_by_id("default-apps"), Pane::kAppsFiles);
  for (const std::string_view miss :
       {"Permissions", "", "network ", "Network", "default_apps", "settings.section:network"}) {
    EXPECT_EQ(pane_by_id(miss), std::nullopt) << miss;
  }
}

// What the selection cell carries comes from outside the type: a value past
// the table names no pane.
TEST(PaneRegistryTest, ValuesPastTheTableNameNoPane) {
  EXPECT_EQ(pane_at(kPaneCount - 1), Pane::kAbout);
  for (const std::size_t value : {kPaneCount, std::size_t{255}})
    EXPECT_EQ(pane_at(value), std::nullopt);
}

}  // namespace
}  // namespace settings::panes
