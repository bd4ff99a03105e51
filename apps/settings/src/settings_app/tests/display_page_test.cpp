// The Displays pane in the application frame on a simulated device: the page
// the person sees with a staged change, during the safety test, and on a
// device with one built-in panel and no light sensor. Kept as PNG (the
// window is tall enough to show the whole page).

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "operations/keys.h"
#include "panes/display/display_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using kalu_ui::Widget;
using operations::DisplayOperation;
using operations::OperationCompletion;
using testing::AppFixture;

constexpr panes::PaneIndex kDisplays = 4;

struct DisplaysInTheWindow {
  DisplaysInTheWindow() : config(device.dir() / "config") {}

  // Shows Displays and waits for its probe.
  panes::display::DisplayPane& open() {
    t.harness.frame();
    t.app->select_pane(kDisplays);
    t.harness.frame();
    auto* pane = dynamic_cast<panes::display::DisplayPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pane->probing() && std::chrono::steady_clock::now() < deadline) {
      t.harness.wait_for_frame(std::chrono::milliseconds(50));
    }
    t.harness.frame();
    return *pane;
  }

  // Hands an operation to the pane as the executor does and runs frames
  // until it completes; answers the final state and collects it.
  OperationCompletion run(const DisplayOperation& operation) {
    const std::string key = operations::operation_key("settings.display-operation", operation);
    t.app->operation_completion()->publish(OperationCompletion::Pending{key});
    t.app->device_local_request()->publish(
        operations::DeviceLocalRequest(std::in_place_type<DisplayOperation>, operation));
    for (int i = 0; i < 100 && std::holds_alternative<OperationCompletion::Pending>(
                                   t.app->operation_completion()->get());
         ++i) {
      t.harness.frame();
    }
    const OperationCompletion outcome = t.app->operation_completion()->get();
    t.app->operation_completion()->publish(OperationCompletion::Idle{});
    t.harness.frame();
    return outcome;
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

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 1720.0})};
};

TEST(DisplayPageTest, TwoOutputsWithAStagedChange) {
  DisplaysInTheWindow w;
  w.open();
  const auto staged = w.run(DisplayOperation::SetOutputScale{"DP-2", "125%"});
  EXPECT_EQ(staged.tag(), 2);
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
  w.run(DisplayOperation::SetOutputScale{"DP-2", "125%"});
  const auto applied = w.run(DisplayOperation::Apply{});
  EXPECT_EQ(applied.tag(), 2);
  now_ms += 800;  // 14.2 seconds left
  w.t.harness.frame();
  const auto texts = w.texts();
  EXPECT_THAT(texts, Contains("Keep this display configuration?"));
  EXPECT_THAT(texts, Contains("Every display should be visible. Restoring the previous layout in "
                              "15 seconds unless you keep this one."));
  EXPECT_TRUE(w.png("display_testing.png"));
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
