// Opening a pane in the window: whatever a pane needs of a program is asked
// on its workers, so the UI thread never runs one and waits for it, on any
// pane, at its opening or in the frames that follow.

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "limited_exec/limited_exec.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;

TEST(PaneOpeningTest, NoPaneRunsAProgramOnTheUiThread) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  AppFixture t;
  t.harness.frame();
  for (const panes::PaneRow& row : panes::kPaneRows) {
    const panes::Pane pane = row.pane;
    SCOPED_TRACE(panes::pane_id(pane));
    const std::uint64_t before = limited_exec::programs_run_on_this_thread();
    t.app->select_pane(pane);
    t.harness.frames(3);
    EXPECT_EQ(limited_exec::programs_run_on_this_thread(), before);
  }
}

}  // namespace
}  // namespace settings::settings_app
