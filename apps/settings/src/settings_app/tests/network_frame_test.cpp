// The Network page's switches in the application's frame on a simulated
// device of its own: a flip of the Wired toggle is replayed as the Network
// section's command, which the executor hands to the pane, and the device
// follows; the toggle then asks for the other direction.

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "kalu_ui/widget/toggle.h"
#include "sim_device/state.h"
#include "system_ops/network.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;

bool wired_on() {
  auto wired = system_ops::network::get_wired();
  return wired && *wired && (*wired)->enabled;
}

// Runs frames until the device's wired state is `on` (at most 40).
bool frames_until_wired(AppFixture& t, bool on) {
  for (int i = 0; i < 40 && wired_on() != on; ++i) t.harness.frame();
  return wired_on() == on;
}

TEST(NetworkFrameTest, TheWiredToggleSwitchesTheDeviceBothWays) {
  sim_device::ScopedDeviceState device;
  AppFixture t(kalu_ui::harness::Options::sized({1280.0, 1600.0}));
  t.harness.frames(2);
  ASSERT_TRUE(wired_on());
  ASSERT_TRUE(t.harness.click_id("settings.network.wired"));
  EXPECT_TRUE(frames_until_wired(t, false));
  t.harness.frames(2);
  auto* toggle = dynamic_cast<kalu_ui::widget::Toggle*>(t.harness.find("settings.network.wired"));
  ASSERT_NE(toggle, nullptr);
  EXPECT_FALSE(toggle->value());
  ASSERT_TRUE(t.harness.click_id("settings.network.wired"));
  EXPECT_TRUE(frames_until_wired(t, true));
  // Nothing is left running: a Network operation is taken at once.
  t.harness.frames(2);
  EXPECT_FALSE(t.app->executor().busy());
}

}  // namespace
}  // namespace settings::settings_app
