#include "sidebar/nav.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/text.h"

namespace settings::sidebar {
namespace {

using kalu_ui::Widget;
using ::testing::ElementsAre;
using enum panes::Pane;

// The group sections of a built navigation: container, scrollable, column.
std::vector<const Widget*> sections_of(const Widget& nav) {
  return nav.children().at(0)->children().at(0)->children();
}

std::string header_of(const Widget& section) {
  const Widget& header = *section.children().at(0)->children().at(0);
  return dynamic_cast<const kalu_ui::widget::Text&>(header).text();
}

std::vector<const Widget*> rows_of(const Widget& section) {
  return section.children().at(1)->children();
}

std::vector<std::string> headers(const Widget& nav) {
  std::vector<std::string> out;
  for (const Widget* section : sections_of(nav)) out.push_back(header_of(*section));
  return out;
}

// The pane index of each row, and which are selected.
struct Listed {
  std::vector<panes::Pane> panes;
  std::vector<panes::Pane> selected;
};
Listed listed(const Widget& section) {
  Listed out;
  for (const Widget* widget : rows_of(section)) {
    const auto& row = dynamic_cast<const SidebarRow&>(*widget);
    out.panes.push_back(row.pane());
    if (row.selected()) out.selected.push_back(row.pane());
  }
  return out;
}

std::shared_ptr<SelectionCell> new_cell() { return SelectionCell::create(0xFF); }

TEST(BuildNavTest, EmptyOrBlankQueryShowsEveryGroup) {
  for (const std::string_view query : {"", "   ", "\t\u3000"}) {
    SCOPED_TRACE(query);
    const auto nav = build_nav(panes::Pane::kPrinters, query, new_cell());
    EXPECT_THAT(headers(*nav), ElementsAre("CONNECTIVITY", "DEVICES", "SYSTEM",
                                           "ACCOUNTS & PERMISSIONS", "MAINTENANCE"));
    const auto sections = sections_of(*nav);
    EXPECT_THAT(listed(*sections[0]).panes, ElementsAre(kNetwork, kBluetooth));
    EXPECT_THAT(listed(*sections[1]).panes,
                ElementsAre(kDevicesSync, kSound, kDisplays, kMouseKeyboard, kKeyboardShortcuts,
                            kPrinters));
    EXPECT_THAT(listed(*sections[1]).selected, ElementsAre(kPrinters));
    EXPECT_THAT(listed(*sections[2]).panes,
                ElementsAre(kAppearance, kAccessibility, kNotifications, kAppsFiles, kStorage,
                            kPower, kTimeDate, kUsers, kRegionFormats));
    EXPECT_THAT(listed(*sections[2]).selected, ElementsAre());
    EXPECT_THAT(listed(*sections[3]).panes,
                ElementsAre(kExternalAccounts, kAgentModels, kPrivacySecurity));
    EXPECT_THAT(listed(*sections[4]).panes, ElementsAre(kUpdates, kAbout));
  }
}

TEST(BuildNavTest, QueryListsMatchesUnderResults) {
  const auto nav = build_nav(panes::Pane::kDisplays, "BLUE", new_cell());
  EXPECT_THAT(headers(*nav), ElementsAre("RESULTS"));
  const Listed blue = listed(*sections_of(*nav)[0]);
  EXPECT_THAT(blue.panes,
              ElementsAre(kBluetooth, kDisplays));  // Displays by its keyword "blue light"
  EXPECT_THAT(blue.selected, ElementsAre(kDisplays));
}

TEST(BuildNavTest, PanesNamedByTheQueryComeFirst) {
  // "time" is in Time & Date's title, and only in the others' keywords.
  const Listed time = listed(*sections_of(*build_nav(kNetwork, "time", new_cell()))[0]);
  ASSERT_FALSE(time.panes.empty());
  EXPECT_EQ(time.panes.front(), kTimeDate);
  // Among title matches, the sidebar's order stays.
  const Listed s = listed(*sections_of(*build_nav(kNetwork, "s", new_cell()))[0]);
  ASSERT_GE(s.panes.size(), 2u);
  EXPECT_EQ(s.panes[0], kDevicesSync);
  EXPECT_EQ(s.panes[1], kSound);
}

TEST(BuildNavTest, NothingMatchingSaysSoWithTheTrimmedQueryAsTyped) {
  const auto nav = build_nav(panes::Pane::kNetwork, "  Zzz  ", new_cell());
  EXPECT_THAT(headers(*nav), ElementsAre("RESULTS"));
  const auto rows = rows_of(*sections_of(*nav)[0]);
  ASSERT_EQ(rows.size(), 1u);
  const auto& caption = dynamic_cast<const kalu_ui::widget::Text&>(*rows[0]);
  EXPECT_EQ(caption.text(), "No settings match \u201cZzz\u201d");
  EXPECT_TRUE(caption.muted());
  // Braces in a query are text, never a format.
  const auto braces = build_nav(panes::Pane::kNetwork, "{}{0}", new_cell());
  EXPECT_EQ(
      dynamic_cast<const kalu_ui::widget::Text&>(*rows_of(*sections_of(*braces)[0]).at(0)).text(),
      "No settings match \u201c{}{0}\u201d");
}

kalu_ui::harness::Options sidebar_window(double height) {
  kalu_ui::harness::Options o;
  o.size = {264.0, height};
  return o;
}

TEST(BuildNavTest, ClickingAResultPublishesItsPane) {
  const auto cell = new_cell();
  kalu_ui::harness::Harness harness(build_nav(panes::Pane::kDisplays, "blue", cell),
                                    sidebar_window(300.0));
  harness.frame();
  ASSERT_TRUE(harness.click_id("Bluetooth"));
  EXPECT_EQ(cell->get(), 1);
}

// Renders for a person to check: the grouped sidebar with Network selected
// and Sound hovered, and the "BLUE" results with Displays selected and
// focused.
TEST(BuildNavTest, RendersTheSidebar) {
  const std::string dir = SETTINGS_SIDEBAR_ARTIFACTS;
  {
    kalu_ui::harness::Harness harness(build_nav(panes::Pane::kNetwork, "", new_cell()),
                                      sidebar_window(1240.0));
    harness.frame();
    const auto sound = harness.rect_of("Sound");
    ASSERT_TRUE(sound.has_value());
    harness.pointer_move(sound->center());
    // The whole list fits: the last row ends inside the window.
    const auto about = harness.rect_of("About");
    ASSERT_TRUE(about.has_value());
    EXPECT_LE(about->y1, 1240.0);
    EXPECT_TRUE(harness.render_png(dir + "/sidebar_grouped.png").has_value());
  }
  {
    kalu_ui::harness::Harness harness(build_nav(panes::Pane::kDisplays, "BLUE", new_cell()),
                                      sidebar_window(200.0));
    harness.frame();
    harness.driver().set_focus(harness.find("Displays"));
    harness.frame();
    EXPECT_TRUE(harness.render_png(dir + "/sidebar_blue.png").has_value());
  }
}

}  // namespace
}  // namespace settings::sidebar
