// The Time & Date pane in the application frame on a simulated device: the
// page with the installed zone tables (the map's land, the selected zone and
// a focused zone's ring) and without any, kept as PNG for people to look at;
// and a time zone set through the executor, which the next pane shows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "kalu_ui/frame.h"
#include "panes/time_date/time_date_pane.h"
#include "panes/time_date/timezone_map.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "system_ops/time.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using panes::time_date::TimeDatePane;
using panes::time_date::TimeZoneMap;
using testing::AppFixture;

using enum panes::Pane;

struct TimeDateInTheWindow {
  TimeDateInTheWindow() : config(device.dir() / "config") {
    EXPECT_TRUE(sim_device::update("", [](nlohmann::ordered_json& state) -> kalu_ui::Status {
      state["time"]["timezone"] = "Asia/Tokyo";
      return {};
    }));
  }

  TimeDatePane& open() {
    t.harness.frame();
    t.app->select_pane(kTimeDate);
    t.harness.frame();
    auto* pane = dynamic_cast<TimeDatePane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    return *pane;
  }
  TimeZoneMap& map() {
    auto* map = dynamic_cast<TimeZoneMap*>(t.harness.find(TimeZoneMap::kId));
    EXPECT_NE(map, nullptr);
    return *map;
  }
  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  AppFixture t;
};

TEST(TimeDatePageTest, RendersTheMapWithTheSelectedAndTheFocusedZone) {
  TimeDateInTheWindow w;
  TimeDatePane& pane = w.open();
  if (pane.model().catalogue->zones.empty()) GTEST_SKIP() << "no installed zone tables";
  TimeZoneMap& map = w.map();
  EXPECT_EQ(map.current_zone(), "Asia/Tokyo");
  EXPECT_FALSE(map.catalogue().land.empty());
  w.t.harness.driver().set_focus(&map);
  w.t.harness.key(kalu_ui::Key::Left);
  w.t.harness.key(kalu_ui::Key::Left);
  ASSERT_TRUE(map.focused_zone());
  EXPECT_NE(map.focused_zone(), map.current_index());
  EXPECT_TRUE(w.png("time_date.png"));
}

TEST(TimeDatePageTest, RendersTheEmptyMapWithoutZoneTables) {
  TimeDateInTheWindow w;
  testing::TempDir empty;
  system_ops::time::ScopedZoneInfoDir tables(empty.path());
  TimeDatePane& pane = w.open();
  EXPECT_TRUE(pane.model().catalogue->zones.empty());
  EXPECT_THAT(pane.model().zones, ::testing::ElementsAre("Asia/Tokyo"));
  EXPECT_FALSE(w.map().is_focusable());
  EXPECT_TRUE(w.png("time_date_no_tables.png"));
}

TEST(TimeDatePageTest, AZoneSetThroughTheExecutorShowsOnTheNextPane) {
  TimeDateInTheWindow w;
  w.open();
  ASSERT_EQ(
      w.t.app->executor().start(testing::operation_id(1), "settings.time-date-operation",
                                testing::bytes(R"({"SetTimezone":{"timezone":"Europe/Berlin"}})")),
      kalu_ui::DeviceLocalOutcome::accepted());
  const auto poll = w.t.app->executor().poll(testing::operation_id(1));
  ASSERT_TRUE(poll.status);
  const auto* ok = std::get_if<ResourceOperationStatus::Succeeded>(&poll.status->value);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->outcome.value_json, "\"Time zone set to Europe/Berlin.\"");
  EXPECT_EQ(system_ops::time::get_time_sync_status()->timezone, "Europe/Berlin");
  w.t.harness.frame();
  auto* pane = dynamic_cast<TimeDatePane*>(w.t.pane_widget());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->model().current_zone, "Europe/Berlin");
  EXPECT_EQ(w.map().current_zone(), "Europe/Berlin");
}

}  // namespace
}  // namespace settings::settings_app
