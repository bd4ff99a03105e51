// The built device-local panes in the application's frame: their wiring to
// the application's cells, and headless renders kept as PNG, on a
// simulated device of their own.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/power/power_pane.h"
#include "panes/printers/printers_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
using ::testing::Contains;

std::vector<std::string> texts_of(kalu_ui::Widget& root) {
  std::vector<std::string> texts;
  kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& w) {
    if (const auto* card = dynamic_cast<const kalu_ui::widget::Card*>(&w)) {
      texts.push_back(card->title());
    }
    if (const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(&w)) {
      texts.push_back(text->text());
    }
    return false;
  });
  return texts;
}

std::string artifact(const char* name) { return std::string(SETTINGS_APP_ARTIFACTS) + "/" + name; }

void set_device(const std::function<void(sim_device::Json&)>& edit) {
  ASSERT_TRUE(sim_device::update("", [&](sim_device::Json& state) -> kalu_ui::Status {
    edit(state);
    return {};
  }));
}

// A tall window, so that a whole page shows in one render.
class DevicePanes : public ::testing::Test {
 protected:
  DevicePanes() : config_(device_.dir() / "config") {}

  AppFixture& app() {
    if (!app_) app_.emplace(kalu_ui::harness::Options::sized({1280.0, 1500.0}));
    return *app_;
  }

  panes::printers::PrintersPane* show_printers() {
    app().app->select_pane(panes::Pane::kPrinters);
    app().harness.frame();
    auto* pane = dynamic_cast<panes::printers::PrintersPane*>(app().pane_widget());
    if (pane) settle(*pane);
    return pane;
  }

  // Frames until the pane's workers answered, then one more.
  void settle(panes::printers::PrintersPane& pane) {
    for (int i = 0; i < 4000 && (pane.refreshing() || pane.discovering()); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      app().harness.frame();
    }
    app().harness.frame();
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_;
  std::optional<AppFixture> app_;
};

TEST_F(DevicePanes, PowerAndPrintersTakeTheApplicationsCells) {
  app().app->select_pane(panes::Pane::kPower);
  app().harness.frame();
  const auto* power = dynamic_cast<const panes::power::PowerPane*>(app().pane_widget());
  ASSERT_NE(power, nullptr);
  EXPECT_TRUE(power->link().hosted());
  EXPECT_TRUE(power->link().reporting());
  EXPECT_EQ(power->link().request_cell(), app().app->device_local_request());
  EXPECT_EQ(power->link().completion_cell(), app().app->operation_completion());

  const auto* printers = show_printers();
  ASSERT_NE(printers, nullptr);
  EXPECT_TRUE(printers->link().hosted());
  EXPECT_EQ(printers->link().request_cell(), app().app->device_local_request());
  EXPECT_EQ(printers->link().completion_cell(), app().app->operation_completion());
}

TEST_F(DevicePanes, PowerOnALaptop) {
  app().app->select_pane(panes::Pane::kPower);
  app().harness.frame();
  const auto texts = texts_of(*app().pane_widget());
  EXPECT_THAT(texts, Contains("Battery"));
  EXPECT_THAT(texts, Contains("Power devices"));
  EXPECT_THAT(texts, Contains("Charge history · last 30 days · sampled at most every 15 minutes. "
                              "Device names and serial numbers are never stored."));
  // The first frame of a new pane already shows the document's values.
  const auto toggles = kalu_ui::frame::collect(*app().pane_widget(), [](const kalu_ui::Widget& w) {
    return dynamic_cast<const kalu_ui::widget::Toggle*>(&w) != nullptr;
  });
  ASSERT_EQ(toggles.size(), 1u);
  EXPECT_TRUE(dynamic_cast<const kalu_ui::widget::Toggle*>(toggles[0])->value());
  EXPECT_TRUE(app().harness.render_png(artifact("power_laptop.png")).has_value());
}

TEST_F(DevicePanes, PowerOnADesktopWithoutItsProfileService) {
  set_device([](sim_device::Json& state) {
    auto& battery = state["battery"];
    battery["present"] = false;
    battery["charge_capability"] = nullptr;
    battery["devices"] = sim_device::Json::array();
    battery["history"] = sim_device::Json::array();
    state["faults"]["power.get_power_profile"] = "power-profiles-daemon is not running";
    state["faults"]["power.available_power_profiles"] = "no reply on the system bus";
  });
  app().app->select_pane(panes::Pane::kPower);
  app().harness.frame();
  const auto texts = texts_of(*app().pane_widget());
  EXPECT_THAT(texts, Contains("Power source"));
  EXPECT_THAT(texts, Contains("Power-profile service unavailable"));
  EXPECT_THAT(texts, Contains("Power-profile service is unavailable: power-profiles-daemon is not "
                              "running; capabilities: no reply on the system bus."));
  EXPECT_TRUE(app().harness.render_png(artifact("power_desktop.png")).has_value());
}

TEST_F(DevicePanes, PrintersWithQueuesJobsANearbyPrinterAndAScanner) {
  set_device([](sim_device::Json& state) {
    auto& printing = state["printing"];
    printing["queues"].push_back({{"name", "Studio Inkjet (2nd)"},
                                  {"default", false},
                                  {"accepting_jobs", true},
                                  {"state", "paused"},
                                  {"detail", ""},
                                  {"detail2", nullptr},
                                  {"supplies", sim_device::Json::array()},
                                  {"supply_levels_reported", false}});
    printing["jobs"].push_back({{"id", 18},
                                {"destination", "Office Laser"},
                                {"title", "Boarding pass.pdf"},
                                {"owner", "Submitted by you"},
                                {"extra", nullptr},
                                {"size_bytes", 1843200},
                                {"state", "stopped"},
                                {"pages_completed", 0},
                                {"pages_expected", 1}});
  });
  auto* pane = show_printers();
  ASSERT_NE(pane, nullptr);
  // "Find printers" records the Printers section's "discover", which the
  // frame's replay carries out through the application.
  ASSERT_TRUE(app().harness.click_id(panes::printers::kDiscoverId));
  app().harness.frame();
  settle(*pane);
  const auto replayed = app().harness.take_replayed();
  ASSERT_FALSE(replayed.empty());
  EXPECT_EQ(replayed[0].invocation.action, "discover");
  const auto texts = texts_of(*app().pane_widget());
  EXPECT_THAT(texts, Contains("Studio Inkjet (2nd)"));
  EXPECT_THAT(texts, Contains("Printing · 3 of 12 impressions · 25% · Duplex · A4"));
  EXPECT_THAT(texts, Contains("Studio Inkjet"));
  EXPECT_THAT(texts, Contains("Office Laser Scanner"));
  EXPECT_TRUE(app().harness.render_png(artifact("printers.png")).has_value());
}

// What a printer leaves unsaid reaches the page as such: a supply without a
// level, a job without a state (it can still be cancelled) and a job in a
// state nothing here knows (no button guesses what it may do).
TEST_F(DevicePanes, PrintersSayWhatTheDeviceDoesNotReport) {
  set_device([](sim_device::Json& state) {
    auto& printing = state["printing"];
    auto& supplies = printing["queues"][0]["supplies"];
    supplies.push_back({{"name", "Waste toner"}});
    supplies.push_back({{"name", "Drum"}, {"level", nullptr}});
    // No state at all, a null one, and one nothing here knows.
    auto& jobs = printing["jobs"];
    jobs = sim_device::Json::array();
    for (int id : {20, 21, 22}) {
      jobs.push_back({{"id", id},
                      {"destination", "Office Laser"},
                      {"title", "Map.pdf"},
                      {"owner", "Submitted by you"},
                      {"extra", nullptr},
                      {"size_bytes", 1000},
                      {"pages_completed", 0},
                      {"pages_expected", 0}});
    }
    jobs[1]["state"] = nullptr;
    jobs[2]["state"] = "resting";
  });
  auto* pane = show_printers();
  ASSERT_NE(pane, nullptr);
  const auto texts = texts_of(*app().pane_widget());
  EXPECT_THAT(texts, Contains("Supplies: Black toner 64% · Waste toner — level not reported · "
                              "Drum — level not reported"));
  EXPECT_EQ(std::ranges::count(texts, "State not reported · Page progress not reported"), 2);
  EXPECT_THAT(texts, Contains("Unknown state · Page progress not reported"));
  const auto button = [&](const std::string& id) {
    return kalu_ui::frame::find_by_id(*app().pane_widget(), id) != nullptr;
  };
  EXPECT_TRUE(button("settings.printers.job.cancel.20"));
  EXPECT_TRUE(button("settings.printers.job.cancel.21"));
  EXPECT_FALSE(button("settings.printers.job.retry.21"));
  EXPECT_FALSE(button("settings.printers.job.cancel.22"));
  EXPECT_FALSE(button("settings.printers.job.retry.22"));
  EXPECT_TRUE(app().harness.render_png(artifact("printers_unreported.png")).has_value());
}

TEST_F(DevicePanes, PrintersWithNothingConfiguredAndAFailingRead) {
  set_device([](sim_device::Json& state) {
    auto& printing = state["printing"];
    printing["queues"] = sim_device::Json::array();
    printing["jobs"] = sim_device::Json::array();
    printing["scanners"] = sim_device::Json::array();
    state["faults"]["printing.jobs"] = "the print scheduler is not running";
  });
  ASSERT_NE(show_printers(), nullptr);
  const auto texts = texts_of(*app().pane_widget());
  EXPECT_THAT(texts, Contains("Printer needs attention"));
  EXPECT_THAT(texts, Contains("Jobs: the print scheduler is not running"));
  EXPECT_TRUE(app().harness.render_png(artifact("printers_attention.png")).has_value());
}

}  // namespace
}  // namespace settings::settings_app
