// The Updates pane on its real services: against fake programs where the
// programs' exact output matters, and on the simulated device (simdev
// standing in for systemctl, bootc and journalctl), where the operations
// must change what the device keeps.

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "fakes.h"
#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "prefs_store/document.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace settings::panes::updates {
namespace {

using operations::OperationCompletion;
using Op = operations::UpdateOperation;
using testing::failed;
using testing::PaneFixture;
using testing::succeeded;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

const char* const kBooted = "registry.kalu.example/kalu/desktop:42.20250310";
const char* const kPrevious = "registry.kalu.example/kalu/desktop:42.20250224";
const char* const kAvailable = "registry.kalu.example/kalu/desktop:42.20250324";

TEST(UpdatesPaneProgramsTest, AnUpdateServiceFailingSilently) {
  limited_exec::FakePrograms fakes;
  fakes.add("systemctl", "case \"$1\" in is-enabled) echo enabled ;; start) exit 1 ;; esac");
  fakes.add("bootc", "echo '{\"status\":{\"staged\":null,\"rollback\":null}}'");
  fakes.add("journalctl", "echo '-- No entries --'");
  auto made = PaneFixture::on_device();
  PaneFixture& t = *made;
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.pane->rollback_image(), std::nullopt);
  EXPECT_THAT(t.pane->deployment().journal_lines, ::testing::IsEmpty());
  EXPECT_EQ(t.run(Op::Check{}),
            failed(Op::Check{},
                   "Updates could not be checked: update service failed; see its system journal"));
}

class UpdatesPaneSimulatedTest : public ::testing::Test {
 protected:
  static nlohmann::ordered_json updates() { return (**sim_device::read())["updates"]; }

  limited_exec::ScopedTestPrograms programs_{limited_exec::simulated_programs(SIMDEV_PATH)};
  std::unique_ptr<PaneFixture> made_ = PaneFixture::on_device();
  PaneFixture& t = *made_;
};

TEST_F(UpdatesPaneSimulatedTest, TheOperationsChangeTheDevice) {
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.pane->rollback_image(), kPrevious);
  EXPECT_EQ(t.pane->automatic(), AutomaticUpdates::Enabled);
  EXPECT_EQ(t.pane->schedule(), "System schedule");

  EXPECT_EQ(t.run(Op::Check{}),
            succeeded(Op::Check{}, fmt::format("Update check finished: {} is staged; restart to "
                                               "apply it.",
                                               kAvailable)));
  EXPECT_EQ(t.pane->os().staged_update, kAvailable);
  const auto saved = prefs_store::load_section("updates");
  ASSERT_TRUE(saved);
  EXPECT_NE(saved->value("last_checked", "Never"), "Never");

  const Op weekly = Op::SetSchedule{"Weekly"};
  EXPECT_EQ(t.run(weekly), succeeded(weekly, "update schedule changed"));
  std::stringstream policy;
  policy << std::ifstream(sim_device::update_policy_file()).rdbuf();
  EXPECT_THAT(policy.str(), ::testing::HasSubstr("schedule=weekly"));

  EXPECT_EQ(t.run(Op::Rollback{}),
            succeeded(Op::Rollback{}, "previous system image selected for next boot"));
  EXPECT_EQ(updates()["booted"]["image"], kPrevious);
  EXPECT_EQ(updates()["rollback"]["image"], kBooted);
  EXPECT_EQ(t.pane->rollback_image(), kBooted);
  EXPECT_EQ(t.pane->os().staged_update, std::nullopt);

  EXPECT_EQ(t.run(Op::Restart{}),
            succeeded(Op::Restart{}, "restart command accepted by the system"));
  EXPECT_EQ(t.run(Op::Restart{}), succeeded(Op::Restart{}, "restart was already requested"));
  EXPECT_EQ(updates()["restarts"], 1);
}

int simdev(std::vector<std::string> args) {
  return sim_device::simdev::run("simdev", std::move(args)).status;
}

// The install job runs on the device's own thread and sends its events from
// there; the pane takes them frame by frame until the job's last one.
TEST_F(UpdatesPaneSimulatedTest, FirmwareIsRefreshedAndInstalledOnTheDevice) {
  ASSERT_EQ(simdev({"delay", "firmware.install_job", "50"}), 0);
  ASSERT_EQ(simdev({"add", "firmware.pending_metadata",
                    R"({"device_id": "dock", "device_name": "USB-C Dock", "current_version": null,
                        "new_version": "3.1", "note": null, "requirements": [],
                        "restart_required": false})"}),
            0);
  ASSERT_TRUE(t.settle());
  ASSERT_TRUE(t.pane->firmware_updates());
  EXPECT_EQ(t.pane->firmware_updates()->size(), 1u);
  EXPECT_EQ(t.run(Op::RefreshFirmware{}),
            succeeded(Op::RefreshFirmware{}, "firmware metadata refreshed"));
  ASSERT_EQ(t.pane->firmware_updates()->size(), 2u);

  EXPECT_EQ(t.run(Op::InstallFirmware{}),
            succeeded(Op::InstallFirmware{}, "firmware installation finished"));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Finished{true}));
  EXPECT_TRUE(t.pane->firmware_updates()->empty());
  const auto firmware = (**sim_device::read())["firmware"];
  EXPECT_TRUE(firmware["updates"].empty());
  EXPECT_EQ(firmware["history"].size(), 3u);
  ASSERT_EQ(t.pane->firmware_history()->size(), 3u);
  EXPECT_EQ(firmware_history_value(t.pane->firmware_history()->front()),
            "1.14.0 → 1.15.2 · success");
}

TEST_F(UpdatesPaneSimulatedTest, AFaultInTheFirmwareInstallJob) {
  ASSERT_EQ(simdev({"delay", "firmware.install_job"}), 0);
  ASSERT_EQ(simdev({"fault", "firmware.install_job", "device is on battery"}), 0);
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::InstallFirmware{}),
            failed(Op::InstallFirmware{}, "Firmware installation failed: device is on battery"));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Idle{}));
  EXPECT_EQ((**sim_device::read())["firmware"]["updates"].size(), 1u);
}

TEST_F(UpdatesPaneSimulatedTest, AFaultOnTheUpdateUnit) {
  ASSERT_EQ(sim_device::simdev::run(
                "simdev", {"fault", "kalu-deployment-update.service", "registry unreachable"})
                .status,
            0);
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::Check{}),
            failed(Op::Check{}, "Updates could not be checked: registry unreachable"));
}

}  // namespace
}  // namespace settings::panes::updates
