// The Displays pane on the simulated device with the device's own backend
// and dispatcher: what reaches the device and the settings document.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "fakes.h"
#include "kalu_ui/log.h"
#include "panes/display/display_pane.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "system_ops/display.h"

namespace settings::panes::display {
namespace {

using operations::DisplayOperation;
using operations::OperationCompletion;
using testing::failed;
using testing::succeeded;

// The pane as the page frame builds it, on cells of the test's own.
struct DeviceFixture {
  DeviceFixture() : config(device.dir() / "config") {
    pane = std::make_unique<DisplayPane>(
        DisplayPane().with_operation_requests(requests).with_operation_completion(completion));
  }

  OperationCompletion run(const DisplayOperation& operation) {
    const std::string key = operations::operation_key(operation);
    completion->publish(OperationCompletion::Pending{key});
    requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<DisplayOperation>, operation));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::holds_alternative<OperationCompletion::Pending>(completion->get()) &&
           std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      pane->sync(toolkit);
    }
    const OperationCompletion outcome = completion->get();
    completion->publish(OperationCompletion::Idle{});
    return outcome;
  }
  static std::string key_of(const DisplayOperation& operation) {
    return operations::operation_key(operation);
  }

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  kalu_ui::doc::Document toolkit;
  std::unique_ptr<DisplayPane> pane;
};

TEST(DisplayPaneDeviceTest, BrightnessReachesTheBacklightOrFailsWithTheDevicesText) {
  kalu_ui::log::ScopedCapture log;
  DeviceFixture t;
  const DisplayOperation op = DisplayOperation::SetBrightness{0.62};
  EXPECT_EQ(t.run(op), succeeded(t.key_of(op), "Brightness set to 62%."));
  EXPECT_FLOAT_EQ(*system_ops::display::get_brightness(), 0.62f);

  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["display.set_brightness"] = "the backlight is not responding";
    return {};
  }));
  const DisplayOperation down = DisplayOperation::SetBrightness{0.1};
  EXPECT_EQ(
      t.run(down),
      failed(t.key_of(down), "Brightness could not be changed: the backlight is not responding"));
  EXPECT_FLOAT_EQ(t.pane->level(), 0.62f);
}

TEST(DisplayPaneDeviceTest, AScaleAppliedAndKeptIsTheDevicesLayout) {
  DeviceFixture t;
  EXPECT_EQ(t.pane->outputs().size(), 2u);
  t.run(DisplayOperation::SetOutputScale{"DP-2", "125%"});
  const DisplayOperation apply = DisplayOperation::Apply{};
  EXPECT_EQ(t.run(apply), succeeded(t.key_of(apply),
                                    "Display change is being tested; keep it or "
                                    "it will be reverted."));
  const DisplayOperation keep = DisplayOperation::Confirm{};
  EXPECT_EQ(t.run(keep), succeeded(t.key_of(keep), "Display changes kept."));
  EXPECT_EQ(prefs_store::DisplayConfig::load().outputs.at("DP-2").scale, 1.25);
}

TEST(DisplayPaneDeviceTest, AnUnconfirmedLayoutIsRestoredAtTheDeadline) {
  std::int64_t now_ms = 1'800'000'000'000;
  prefs_store::ScopedDisplayClock clock([&] { return now_ms; });
  DeviceFixture t;
  t.run(DisplayOperation::SetTransformLabel{"DP-2", "Portrait right"});
  t.run(DisplayOperation::Apply{});
  EXPECT_EQ(prefs_store::DisplayConfig::load().outputs.at("DP-2").transform,
            prefs_store::OutputTransform::Rotate90);
  now_ms += prefs_store::DisplayTransaction::kTestMillis;
  // The pane looks at the running test at least once a second.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (t.pane->staged() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    t.pane->sync(t.toolkit);
  }
  EXPECT_FALSE(t.pane->staged());
  EXPECT_EQ(prefs_store::DisplayConfig::load().outputs.at("DP-2").transform,
            prefs_store::OutputTransform::Normal);
  EXPECT_EQ(t.pane->config().outputs.at("DP-2").transform, prefs_store::OutputTransform::Normal);
  EXPECT_EQ(t.completion->get(), OperationCompletion(OperationCompletion::Idle{}));
}

TEST(DisplayPaneDeviceTest, PreferencesMergeIntoTheSettingsDocument) {
  DeviceFixture t;
  const auto path = *prefs_store::settings_path();
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << R"({"display": {"auto_brightness": true, "night_light": false, "kept": 7},
                            "other": {"x": 1}})";
  t.pane = std::make_unique<DisplayPane>(
      DisplayPane().with_operation_requests(t.requests).with_operation_completion(t.completion));
  t.run(DisplayOperation::SetNightLightTemperature{"Subtle · 4500 K"});
  auto doc = prefs_store::load_at(path);
  ASSERT_TRUE(doc);
  EXPECT_EQ((*doc)["display"]["night_light_temperature"], 4500);
  EXPECT_EQ((*doc)["display"]["auto_brightness"], true);
  EXPECT_EQ((*doc)["display"]["kept"], 7);
  EXPECT_EQ((*doc)["other"]["x"], 1);
  EXPECT_FALSE(doc->contains("audio"));  // only its own section is written
}

}  // namespace
}  // namespace settings::panes::display
