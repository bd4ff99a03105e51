#include "sidebar/search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <vector>

#include "sidebar/groups.h"

namespace settings::sidebar {
namespace {

using panes::Pane;
using panes::SIDEBAR_ORDER;

std::vector<Pane> matching(std::string_view query) {
  std::vector<Pane> out;
  for (const Pane pane : SIDEBAR_ORDER) {
    if (pane_matches_query(pane, query)) out.push_back(pane);
  }
  return out;
}

TEST(PaneMatchesQueryTest, QueriesFindTheirPanesInSidebarOrder) {
  const std::vector<Pane> all(SIDEBAR_ORDER.begin(), SIDEBAR_ORDER.end());
  const struct {
    std::string_view query;
    std::vector<Pane> panes;
  } cases[] = {
      // Subtitle "Wi-Fi", keywords "wireless", "wi-fi settings", "open with",
      // and the word "with" in a subtitle.
      {"Wi",
       {Pane::kNetwork, Pane::kBluetooth, Pane::kDevicesSync, Pane::kAppsFiles,
        Pane::kExternalAccounts}},
      // Agent Models comes in because its keyword "ai" lies inside the query.
      {"mail", {Pane::kAppsFiles, Pane::kExternalAccounts, Pane::kAgentModels}},
      {"e-mail", {Pane::kAppsFiles, Pane::kExternalAccounts, Pane::kAgentModels}},
      {"my printer queue", {Pane::kPrinters}},
      {"NETWORK", {Pane::kNetwork}},
      {"network\t", {Pane::kNetwork}},
      // Ids are not searched; "device", "devices" and "sync" lie inside it.
      {"devices_sync",
       {Pane::kBluetooth, Pane::kDevicesSync, Pane::kSound, Pane::kExternalAccounts, Pane::kAbout}},
      {"os", {Pane::kDevicesSync, Pane::kAccessibility, Pane::kAbout}},
      {"a", all},
      {" \t\n ", all},
      {"", all},
      {"\xC3\x89", {}},  // É: trimmed only, never case-folded
      {"BLUE", {Pane::kBluetooth, Pane::kDisplays}},
      {"  Zzz  ", {}},
      {"\xE3\x80\x80network\xC2\xA0", {Pane::kNetwork}},  // ideographic and no-break spaces
  };
  for (const auto& c : cases) {
    EXPECT_EQ(matching(c.query), c.panes) << "query: \"" << c.query << "\"";
  }
}

TEST(TrimQueryTest, TrimsUnicodeWhiteSpaceAndKeepsTheRest) {
  const struct {
    std::string_view in;
    std::string_view out;
  } cases[] = {
      {"  Zzz  ", "Zzz"},
      {"\t\r\n\v\f", ""},
      {"\xE2\x80\x83"
       "a b"
       "\xE2\x80\xA8",
       "a b"},                         // em space, line separator
      {"\xC2\x85x\xE1\x9A\x80", "x"},  // next line, ogham space mark
      {"\xE2\x80\x8B"
       "x",
       "\xE2\x80\x8B"
       "x"},  // zero-width space is not white space
      {"\xC3\x89", "\xC3\x89"},
      {"x \xA0", "x \xA0"},  // a lone continuation byte stays
      {"\xE3\x80", "\xE3\x80"},
      {"\xC0\xA0x\xE0\x80\xA0", "\xC0\xA0x\xE0\x80\xA0"},  // overlong spaces stay // truncated
                                                           // sequence stays
      {"\xF0\x9F\x98\x80 ", "\xF0\x9F\x98\x80"},           // four-byte character before a space
  };
  for (const auto& c : cases) {
    EXPECT_EQ(trim_query(c.in), c.out) << c.in;
  }
  EXPECT_EQ(normalise_query("  Wi-FI \xC3\x89 "), "wi-fi \xC3\x89");
}

TEST(PaneGroupsTest, WalkingTheSidebarOrderMeetsTheGroupsInOrder) {
  const std::vector<std::vector<std::string_view>> expected = {
      {"Network", "Bluetooth"},
      {"Devices & Sync", "Sound", "Displays", "Mouse & Keyboard", "Keyboard Shortcuts", "Printers"},
      {"Appearance", "Accessibility", "Notifications", "Apps & Files", "Storage", "Power",
       "Time & Date", "Users", "Region & Formats"},
      {"External Accounts", "Agent Models", "Device Privacy & Security"},
      {"Updates", "About"},
  };
  std::vector<std::vector<std::string_view>> groups(kGroupCount);
  std::uint8_t previous = 0;
  for (const Pane pane : SIDEBAR_ORDER) {
    const std::uint8_t group = PANE_GROUPS[panes::index_of(pane)];
    ASSERT_LT(group, kGroupCount);
    EXPECT_GE(group, previous) << panes::pane_title(pane);
    previous = group;
    groups[group].push_back(panes::pane_title(pane));
  }
  EXPECT_EQ(groups, expected);

  const std::string_view titles[] = {"Connectivity", "Devices", "System", "Accounts & Permissions",
                                     "Maintenance"};
  for (std::uint8_t group = 0; group < kGroupCount; ++group) {
    EXPECT_EQ(group_title(group), titles[group]);
  }
  EXPECT_EQ(group_title(5), "");
}

}  // namespace
}  // namespace settings::sidebar
