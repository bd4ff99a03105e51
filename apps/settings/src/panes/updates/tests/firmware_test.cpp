// The firmware side's data: how the install job's events move the state of
// an installation (the bar never goes back), and the values of the rows.

#include "panes/updates/firmware.h"

#include <gtest/gtest.h>

namespace settings::panes::updates {
namespace {

namespace fw = system_ops::firmware;
using install::Finished;
using install::Idle;
using install::Installing;

struct Step {
  const char* name;
  FirmwareInstallState before;
  FirmwareInstallEvent event;
  FirmwareInstallState after;
};

class InstallStateTest : public ::testing::TestWithParam<Step> {};

TEST_P(InstallStateTest, TheEventMovesTheState) {
  const Step& step = GetParam();
  EXPECT_EQ(next_install_state(step.before, step.event), step.after);
}

INSTANTIATE_TEST_SUITE_P(
    Events, InstallStateTest,
    ::testing::Values(
        Step{"Preparing", Installing{"Writing", 60}, fw::Preparing{2},
             Installing{"Preparing 2 update(s)…", 0}},
        Step{"FirstProgress", install_started(), fw::Progress{"Writing", 40},
             Installing{"Writing", 40}},
        Step{"ZeroKeepsThePercent", Installing{"Writing", 40}, fw::Progress{"Verifying", 0},
             Installing{"Verifying", 40}},
        Step{"LowerKeepsThePercent", Installing{"Verifying", 40}, fw::Progress{"Writing", 30},
             Installing{"Writing", 40}},
        Step{"Higher", Installing{"Writing", 40}, fw::Progress{"Verifying", 75},
             Installing{"Verifying", 75}},
        Step{"AboveAHundred", Installing{"Writing", 40}, fw::Progress{"Done", 250},
             Installing{"Done", 100}},
        // From any other state the percent shown counts as 0.
        Step{"FromIdle", Idle{}, fw::Progress{"Writing", 0}, Installing{"Writing", 0}},
        Step{"FromFinished", Finished{true}, fw::Progress{"Writing", 10},
             Installing{"Writing", 10}},
        Step{"Finished", Installing{"Writing", 90}, fw::Finished{true}, Finished{true}},
        Step{"Failed", Installing{"Writing", 90}, fw::Failed{"unplugged"}, Idle{}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FirmwareModelTest, ProgressFortyZeroThirtyLeavesForty) {
  FirmwareInstallState state = install_started();
  for (std::uint8_t percent : {40, 0, 30}) {
    state = next_install_state(state, fw::Progress{"Writing", percent});
  }
  EXPECT_EQ(std::get<Installing>(state).percent, 40);
}

TEST(FirmwareModelTest, OnlyFinishedAndFailedEndAnInstallation) {
  EXPECT_TRUE(is_terminal(fw::Finished{false}));
  EXPECT_TRUE(is_terminal(fw::Failed{"x"}));
  EXPECT_FALSE(is_terminal(fw::Progress{"x", 100}));
  EXPECT_FALSE(is_terminal(fw::Preparing{1}));
}

TEST(FirmwareModelTest, RowValuesByTheVersionsKnown) {
  FirmwareUpdate update;
  update.device_name = "System Firmware";
  update.current_version = "1.14.0";
  update.new_version = "1.15.2";
  EXPECT_EQ(firmware_update_value(update), "1.14.0 → 1.15.2");
  update.current_version.reset();
  EXPECT_EQ(firmware_update_value(update), "Update to 1.15.2");
  update.current_version = "1.14.0";
  update.new_version.reset();
  EXPECT_EQ(firmware_update_value(update), "Update available");

  FirmwareHistoryEntry entry{"Touchpad", "success", "2.3", "2.4", std::nullopt};
  EXPECT_EQ(firmware_history_value(entry), "2.3 → 2.4 · success");
  entry.previous_version.reset();
  EXPECT_EQ(firmware_history_value(entry), "2.4 · success");
  entry.previous_version = "2.3";
  entry.new_version.reset();
  EXPECT_EQ(firmware_history_value(entry), "success");
}

}  // namespace
}  // namespace settings::panes::updates
