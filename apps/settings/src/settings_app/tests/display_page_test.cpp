// The Displays pane in the application frame on a simulated device, its
// operations started and polled through the executor as a client's are: the
// page the person sees with a staged change, during the safety test, and on a
// device with one built-in panel and no light sensor. Kept as PNG (the
// window is tall enough to show the whole page).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "panes/display/display_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using kalu_ui::Widget;
using testing::AppFixture;
using ::testing::Contains;
using ::testing::ElementsAre;

using enum panes::Pane;

struct DisplaysInTheWindow {
  DisplaysInTheWindow() : config(device.dir() / "config") {}

  // Shows Displays and waits for its probe.
  panes::display::DisplayPane& open() {
    t.harness.frame();
    t.app->select_pane(kDisplays);
    t.harness.frame();
    auto* pane = dynamic_cast<panes::display::DisplayPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (pane->probing() && std::chrono::steady_clock::now() < deadline) {
      t.harness.wait_for_frame(std::chrono::milliseconds(50));
    }
    t.harness.frame();
    return *pane;
  }

  // Starts a display operation through the executor, runs frames until its
  // poll answers, and answers the poll's final state.
  kalu_ui::ResourceOperationStatus run(std::string_view payload) {
    const auto id = testing::operation_id(++operations);
    const auto started =
        t.app->executor().start(id, "settings.display-operation", testing::bytes(payload));
    EXPECT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Accepted>(started.value));
    for (int i = 0; i < 200; ++i) {
      t.harness.frame();
      if (auto polled = t.app->executor().poll(id).status) return *polled;
    }
    ADD_FAILURE() << "no final state for " << payload;
    return {};
  }

  // The success message of a final state, or why it is not one.
  static std::string message_of(const kalu_ui::ResourceOperationStatus& status) {
    if (const auto* ok = std::get_if<kalu_ui::ResourceOperationStatus::Succeeded>(&status.value)) {
      return ok->outcome.value_json.value_or("");
    }
    if (const auto* failed = std::get_if<kalu_ui::ResourceOperationStatus::Failed>(&status.value)) {
      return "failed: " + failed->message;
    }
    return "not final";
  }

  std::vector<std::string> texts() {
    std::vector<std::string> out;
    kalu_ui::frame::collect(*t.pane_widget(), [&](const Widget& w) {
      if (const auto* card = dynamic_cast<const kalu_ui::widget::Card*>(&w)) {
        out.push_back(card->title());
      }
      if (const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(&w)) {
        out.push_back(text->text());
      }
      return false;
    });
    return out;
  }

  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }

  std::uint8_t operations = 0;
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 1720.0})};
};

TEST(DisplayPageTest, TwoOutputsWithAStagedChange) {
  DisplaysInTheWindow w;
  w.open();
  EXPECT_EQ(w.message_of(w.run(R"({"SetOutputScale":{"connector":"DP-2","label":"125%"}})")),
            "\"Display change staged. Apply it to preview the new configuration.\"");
  const auto texts = w.texts();
  EXPECT_THAT(texts, Contains("Built-in display"));
  EXPECT_THAT(texts, Contains("Studio Monitor 27"));
  EXPECT_THAT(texts, Contains("Apply display changes"));
  EXPECT_TRUE(w.png("display_staged.png"));
}

TEST(DisplayPageTest, TheSafetyTestWithItsCountdown) {
  std::int64_t now_ms = 1'800'000'000'000;
  prefs_store::ScopedDisplayClock clock([&] { return now_ms; });
  DisplaysInTheWindow w;
  w.open();
  w.run(R"({"SetOutputScale":{"connector":"DP-2","label":"125%"}})");
  EXPECT_EQ(w.message_of(w.run(R"("Apply")")),
            "\"Display change is being tested; keep it or it will be reverted.\"");
  now_ms += 800;  // 14.2 seconds left
  w.t.harness.frame();
  const auto texts = w.texts();
  EXPECT_THAT(texts, Contains("Keep this display configuration?"));
  EXPECT_THAT(texts, Contains("Every display should be visible. Restoring the previous layout in "
                              "15 seconds unless you keep this one."));
  EXPECT_TRUE(w.png("display_testing.png"));
}

// The restore at the deadline is the device's: it happens whichever pane
// is shown (the application restores it on its own thread, nobody reading),
// and the Displays page says so, shown at the deadline or opened later. The
// device's delays shorten the test.
TEST(DisplayPageTest, TheLayoutComesBackAtTheDeadlineWhicheverPaneIsShown) {
  DisplaysInTheWindow w;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["delays"]["display.safety_test"] = 500;
    return {};
  }));
  const auto scale_in_file = [&] {
    std::ifstream in(w.device.path());
    const auto file = sim_device::Json::parse(in, nullptr, false);
    return std::pair(file["display"]["config"]["DP-2"]["scale"].get<double>(),
                     file["display"]["transaction"]["state"].get<int>());
  };
  const auto apply = [&] {
    w.run(R"({"SetOutputScale":{"connector":"DP-2","label":"125%"}})");
    EXPECT_EQ(w.message_of(w.run(R"("Apply")")).rfind("failed", 0), std::string::npos);
  };
  const auto within_a_minute = [&](const std::function<bool()>& done) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < bound) {
      w.t.harness.wait_for_frame(std::chrono::milliseconds(20));
    }
    return done();
  };

  w.open();
  apply();
  EXPECT_TRUE(within_a_minute([&] {
    const auto texts = w.texts();
    return std::ranges::find(texts, "Display changes reverted.") != texts.end();
  }));
  EXPECT_EQ(scale_in_file(), std::pair(1.5, 5));

  apply();
  w.t.app->select_pane(kSound);
  w.t.harness.frame();
  EXPECT_TRUE(within_a_minute([&] { return scale_in_file().second == 5; }));
  EXPECT_EQ(scale_in_file().first, 1.5);
  w.t.app->select_pane(kDisplays);
  w.t.harness.frame();
  EXPECT_THAT(w.texts(), Contains("Display changes reverted."));
}

TEST(DisplayPageTest, OneBuiltInPanelWithoutALightSensor) {
  DisplaysInTheWindow w;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    auto& display = state["display"];
    display["ambient_light_sensor"] = false;
    display["outputs"].erase(1);
    display["config"].erase("DP-2");
    return {};
  }));
  auto& pane = w.open();
  ASSERT_EQ(pane.outputs().size(), 1u);
  const auto texts = w.texts();
  EXPECT_THAT(texts, Contains("No ambient-light sensor detected"));
  EXPECT_THAT(texts, Contains("Active · primary"));
  const auto* position = dynamic_cast<const kalu_ui::widget::Dropdown*>(
      kalu_ui::frame::find_by_id(*w.t.pane_widget(), "display.output.eDP-1.position"));
  ASSERT_NE(position, nullptr);
  EXPECT_THAT(position->options(), ElementsAre("Automatic"));
  EXPECT_TRUE(w.png("display_single.png"));
}

}  // namespace
}  // namespace settings::settings_app
