// The Region & Formats pane in the application frame, wide and narrow, kept
// as PNG for people to look at: the frame hands it the content width less
// the page's padding (none while the narrow window shows only the sidebar,
// when it goes by its own width), and below 356 its rows stack.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "panes/region/region_pane.h"
#include "prefs_store/paths.h"
#include "stored/locale.h"

namespace settings::settings_app {
namespace {

using panes::region::RegionPane;
using testing::AppFixture;

constexpr panes::Pane kRegion = panes::Pane::kRegionFormats;

struct RegionInTheWindow {
  explicit RegionInTheWindow(kalu_ui::Size size)
      : config(t_root.path() / "config"), t(kalu_ui::harness::Options::sized(size)) {}

  RegionPane& open() {
    t.harness.frame();
    t.app->select_pane(kRegion);
    t.harness.frames(2);
    auto* pane = dynamic_cast<RegionPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    return *pane;
  }
  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }

  testing::TempDir t_root;
  prefs_store::ScopedConfigDir config;
  AppFixture t;
};

TEST(RegionPageTest, WideRowsBesideTheirLabels) {
  RegionInTheWindow w({1280.0, 800.0});
  stored::Locale locale;
  locale.currency = stored::Currency::EUR;
  locale.number_style = stored::NumberStyle::DecimalComma;
  ASSERT_TRUE(locale.save());
  RegionPane& pane = w.open();
  ASSERT_TRUE(pane.width_hint());
  EXPECT_GT(*pane.width_hint(), 356.0f);
  EXPECT_EQ(pane.locale(), locale);
  const auto control = w.t.harness.rect_of("region.currency");
  ASSERT_TRUE(control);
  EXPECT_TRUE(w.png("region.png"));
}

TEST(RegionPageTest, ANarrowWindowStacksTheRows) {
  RegionInTheWindow w({372.0, 800.0});
  RegionPane& pane = w.open();
  // Built while the narrow window showed the sidebar, it had no hint: it
  // follows its own laid-out width.
  EXPECT_EQ(pane.width_hint(), std::nullopt);
  EXPECT_LT(pane.get_rect().width(), 356.0);
  const auto currency = w.t.harness.rect_of("region.currency");
  const auto date = w.t.harness.rect_of("region.date");
  ASSERT_TRUE(currency && date);
  // A label line and a dropdown each: more than a dropdown's height apart.
  EXPECT_GT(date->y0 - currency->y1, 12.0 + 8.0);
  EXPECT_TRUE(w.png("region_300.png"));
}

}  // namespace
}  // namespace settings::settings_app
