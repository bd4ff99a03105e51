// The Bluetooth page in the application's frame on a simulated device of
// its own: a press acts without an operation, the power switch acts through
// its action, and renders kept as PNG for people to look at (the devices
// with one device's details open; the adapter off).

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "operations/keys.h"
#include "sim_device/state.h"
#include "system_ops/bluez.h"

namespace settings::settings_app {
namespace {

using operations::BluetoothOperation;
using operations::OperationCompletion;
using testing::AppFixture;

using enum panes::Pane;

bool shows_text(kalu_ui::Widget& root, std::string_view text) {
  return !kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& w) {
            const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w);
            return t && t->text() == text;
          }).empty();
}

struct BluetoothShown {
  BluetoothShown() {
    t.app->select_pane(kBluetooth);
    t.harness.frame();
  }
  sim_device::ScopedDeviceState device;
  AppFixture t;
};

TEST(BluetoothFrameTest, FindDevicesStartsDiscoveryWithNoOperationPending) {
  BluetoothShown s;
  ASSERT_EQ(s.t.app->operation_completion()->get(),
            OperationCompletion(OperationCompletion::Idle{}));
  ASSERT_TRUE(s.t.harness.click_id("settings.bluetooth.scan"));
  s.t.harness.frame();
  EXPECT_EQ(system_ops::bluez::is_scanning(), true);
  EXPECT_TRUE(shows_text(s.t.harness.root(), "Discovery started. Use Refresh as devices wake up."));
}

// The switch is bound to the Bluetooth section's "bluetooth" action: the
// frame loop carries a flip out as that action, a SetPowered operation the
// executor hands to the pane, and polls it to its end, so the executor is
// free for the next flip at once.
TEST(BluetoothFrameTest, ThePowerSwitchTurnsTheAdapterOffAndOn) {
  BluetoothShown s;
  auto& h = s.t.harness;
  ASSERT_EQ(system_ops::bluez::is_powered(), true);
  kalu_ui::log::ScopedCapture capture;
  for (const bool on : {false, true}) {
    SCOPED_TRACE(on ? "on" : "off");
    ASSERT_TRUE(h.click_id("bluetooth.toggle"));
    h.frames(2);
    EXPECT_EQ(system_ops::bluez::is_powered(), on);
    EXPECT_FALSE(s.t.app->executor().busy());
    EXPECT_EQ(s.t.app->operation_completion()->get(),
              OperationCompletion(OperationCompletion::Idle{}));
    const auto* toggle = dynamic_cast<kalu_ui::widget::Toggle*>(h.find("bluetooth.toggle"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->value(), on);
  }
  EXPECT_TRUE(shows_text(h.root(), "Bluetooth is on."));
  EXPECT_TRUE(capture.events().empty());
}

// A change made to the device from outside (simdev, another program)
// reaches the page with no press: the switch follows the adapter.
TEST(BluetoothFrameTest, ThePowerSwitchFollowsTheDeviceChangedFromOutside) {
  BluetoothShown s;
  auto& h = s.t.harness;
  const auto shown = [&] {
    const auto* toggle = dynamic_cast<kalu_ui::widget::Toggle*>(h.find("bluetooth.toggle"));
    return toggle != nullptr && toggle->value();
  };
  ASSERT_TRUE(shown());
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["bluetooth"]["powered"] = false;
    return {};
  }));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
  while (shown() && std::chrono::steady_clock::now() < deadline) {
    if (!h.wait_for_frame(std::chrono::milliseconds(50))) h.frame();
  }
  EXPECT_FALSE(shown());
}

TEST(BluetoothFrameTest, RendersOfThePage) {
  BluetoothShown s;
  auto& h = s.t.harness;
  ASSERT_TRUE(h.click_id("settings.bluetooth.details.dev_3C_A1_0B_55_21_7E"));
  h.frame();
  for (const char* id :
       {"settings.bluetooth.trusted.dev_3C_A1_0B_55_21_7E", "bluetooth.alias.dev_3C_A1_0B_55_21_7E",
        "settings.bluetooth.forget.dev_3C_A1_0B_55_21_7E"}) {
    EXPECT_NE(h.find(id), nullptr) << id;
  }
  EXPECT_TRUE(shows_text(h.root(), "Studio Headphones"));
  EXPECT_TRUE(h.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/bluetooth-details.png"));

  // Switched off through its operation, as the executor hands it over.
  const BluetoothOperation off = BluetoothOperation::SetPowered{false};
  const std::string key = operations::operation_key("settings.bluetooth-operation", off);
  s.t.app->operation_completion()->publish(OperationCompletion::Pending{key});
  s.t.app->device_local_request()->publish(
      operations::DeviceLocalRequest(std::in_place_type<BluetoothOperation>, off));
  h.frame();
  h.frame();
  EXPECT_EQ(s.t.app->operation_completion()->get(),
            OperationCompletion(OperationCompletion::Succeeded{key, "Bluetooth disabled."}));
  EXPECT_TRUE(shows_text(h.root(),
                         "No devices found. Put a device in pairing mode, then start discovery."));
  EXPECT_TRUE(h.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/bluetooth-off.png"));
}

}  // namespace
}  // namespace settings::settings_app
