#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "limited_exec/programs.h"
#include "panes/updates/backend.h"
#include "panes/updates/services.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

// The backend against simdev standing in for systemctl, bootc and
// journalctl, as on the simulated device: what the backend reads and what
// simdev prints must agree, and the units must change what the readers see.
namespace settings::panes::updates {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::SizeIs;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

const char* const kBooted = "registry.kalu.example/kalu/desktop:42.20250310";
const char* const kPrevious = "registry.kalu.example/kalu/desktop:42.20250224";
const char* const kAvailable = "registry.kalu.example/kalu/desktop:42.20250324";

class SimulatedUpdatesTest : public ::testing::Test {
 protected:
  sim_device::ScopedDeviceState device_;
  limited_exec::ScopedTestPrograms programs_{limited_exec::simulated_programs(SIMDEV_PATH)};
  std::shared_ptr<const SystemUpdateBackend> backend_ = std::make_shared<SystemUpdateBackend>();
};

TEST_F(SimulatedUpdatesTest, TheBackendReadsTheSeededDevice) {
  EXPECT_EQ(backend_->policy_file(), sim_device::update_policy_file());
  EXPECT_EQ(backend_->policy_file().parent_path(), device_.dir());
  ::setenv("KALU_DEVICE", "system", 1);
  EXPECT_EQ(update_policy_path(), "/var/lib/kalu/update-policy");
  ::unsetenv("KALU_DEVICE");
  ImageStatus status = read_image_status(*device_update_services(backend_));
  EXPECT_EQ(status.os.staged_update, std::nullopt);
  EXPECT_EQ(status.automatic, AutomaticUpdates::Enabled);
  EXPECT_EQ(status.rollback_image, kPrevious);
  EXPECT_EQ(status.deployment.release_notes_url, "https://kalu.example/releases/42.20250310");
  EXPECT_THAT(status.deployment.journal_lines, SizeIs(2));
  EXPECT_EQ(status.deployment.rollback_protection,
            std::string("Protected · fallback available: ") + kPrevious);
  EXPECT_EQ(backend_->schedule(), "System schedule");
  EXPECT_EQ(backend_->metered_allowed(), MeteredDownloads::NotAllowed);
  auto firmware = backend_->refresh_firmware();
  ASSERT_TRUE(firmware) << firmware.error();
  ASSERT_THAT(firmware->updates, SizeIs(1));
  EXPECT_EQ(firmware->updates[0].device_name, "System Firmware");
  ASSERT_THAT(firmware->history, SizeIs(1));
  EXPECT_EQ(firmware->history[0].device_name, "Touchpad");
}

TEST_F(SimulatedUpdatesTest, ChangesLandOnTheDeviceAndAreReadBack) {
  ASSERT_TRUE(backend_->start_update());
  EXPECT_EQ(read_os_and_staged().staged_update, kAvailable);
  EXPECT_THAT(deployment_status(std::nullopt).journal_lines.back(),
              EndsWith(std::string("Queued for next boot: ") + kAvailable));

  ASSERT_TRUE(backend_->rollback());
  EXPECT_EQ(backend_->rollback_image(), kBooted);
  EXPECT_EQ(read_os_and_staged().staged_update, std::nullopt);

  ASSERT_TRUE(backend_->set_schedule("Weekly"));
  ASSERT_TRUE(backend_->set_metered(true));
  EXPECT_EQ(backend_->schedule(), "Weekly");
  EXPECT_EQ(backend_->metered_allowed(), MeteredDownloads::Allowed);

  ASSERT_TRUE(backend_->set_automatic_updates(false));
  EXPECT_EQ(backend_->automatic_updates_enabled(), AutomaticUpdates::Disabled);

  ASSERT_TRUE(reboot());
  EXPECT_EQ((**sim_device::read())["updates"]["restarts"], 1);
}

TEST_F(SimulatedUpdatesTest, FaultsAndRefusalsComeBackAsMessages) {
  auto simdev = [](std::vector<std::string> args) {
    ASSERT_EQ(sim_device::simdev::run("simdev", args).status, 0);
  };
  simdev({"fault", "kalu-deployment-update.service", "registry unreachable"});
  EXPECT_EQ(backend_->start_update().error(), "registry unreachable");
  simdev({"set", "updates.rollback", "null"});
  EXPECT_EQ(backend_->rollback_image(), std::nullopt);
  EXPECT_THAT(backend_->rollback().error(),
              ::testing::StartsWith("Job for kalu-deployment-rollback.service failed"));
  simdev({"set", "updates.timers[\"bootc-fetch-apply-updates.timer\"]", "masked"});
  EXPECT_EQ(backend_->automatic_updates_enabled(), AutomaticUpdates::Unknown);
  EXPECT_THAT(backend_->set_automatic_updates(true).error(), EndsWith("is masked."));
  // The firmware refresh stops at its first failing step.
  simdev({"fault", "firmware.get_firmware_history", "history store is locked"});
  EXPECT_EQ(backend_->refresh_firmware().error(), "history store is locked");
  simdev({"fault", "firmware.refresh_firmware_metadata", "metadata server unreachable"});
  EXPECT_EQ(backend_->refresh_firmware().error(), "metadata server unreachable");
  simdev({"set", "updates.journal", "[]"});
  EXPECT_THAT(deployment_status(std::nullopt).journal_lines, ElementsAre());
}

}  // namespace
}  // namespace settings::panes::updates
