// The Updates pane's firmware side on a fake system whose installation job
// the test plays from a thread of its own, as the firmware service's job
// sends its events: refresh and install operations, the percent rule,
// single-flight firmware work and an install channel that ends without
// saying how.

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "fakes.h"

namespace settings::panes::updates {
namespace {

namespace fw = system_ops::firmware;
using operations::OperationCompletion;
using Op = operations::UpdateOperation;
using testing::failed;
using testing::FakeSystem;
using testing::firmware_offer;
using testing::PaneFixture;
using testing::succeeded;

void offer_system_firmware(FakeSystem& s) {
  s.firmware_offers =
      std::vector<FirmwareUpdate>{firmware_offer("System Firmware", "1.14.0", "1.15.2")};
}

// Sends `events` from a thread of its own, as the install job does, and
// waits until they are sent.
void job_sends(fw::FirmwareInstallSender& job, std::vector<FirmwareInstallEvent> events) {
  std::thread([&] {
    for (auto& event : events) job.send(std::move(event));
  }).join();
}

// Starts InstallFirmware and runs frames until the pane holds the job's
// channel; answers the job's sender.
fw::FirmwareInstallSender start_install(PaneFixture& t) {
  t.start(Op::InstallFirmware{});
  EXPECT_TRUE(t.sync_until([&] { return t.pane->firmware_installing(); }));
  auto job = t.system->take_install_job();
  EXPECT_TRUE(job.has_value());
  return job ? std::move(*job) : fw::install_channel().first;
}

const install::Installing* installing(const UpdatesPane& pane) {
  return std::get_if<install::Installing>(&pane.install_state());
}

TEST(UpdatesFirmwareTest, TheFirstReadingBringsBothListsWithoutRefreshing) {
  // Held: the lists are read on the status worker, never by the constructor.
  PaneFixture t([](FakeSystem& s) {
    offer_system_firmware(s);
    s.hold("firmware_updates");
  });
  t.sync();
  EXPECT_FALSE(t.pane->status_known());
  t.system->release();
  ASSERT_TRUE(t.settle());
  ASSERT_TRUE(t.pane->firmware_updates());
  EXPECT_EQ(t.pane->firmware_updates()->size(), 1u);
  EXPECT_TRUE(t.pane->firmware_history());
  EXPECT_EQ(t.system->count("refresh_firmware"), 0);
}

TEST(UpdatesFirmwareTest, ARefreshReplacesBothListsOrShowsWhy) {
  PaneFixture t([](FakeSystem& s) {
    s.published = std::vector<FirmwareUpdate>{firmware_offer("Dock", std::nullopt, "3.1")};
  });
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::RefreshFirmware{}),
            succeeded(Op::RefreshFirmware{}, "firmware metadata refreshed"));
  ASSERT_TRUE(t.pane->firmware_updates());
  ASSERT_EQ(t.pane->firmware_updates()->size(), 1u);
  EXPECT_EQ(t.pane->firmware_updates()->front().device_name, "Dock");
  EXPECT_FALSE(t.pane->firmware_refresh_running());

  t.system->lock(), t.system->refresh_error = "fwupd is not running";
  const std::string text = "Firmware metadata could not be refreshed: fwupd is not running";
  EXPECT_EQ(t.run(Op::RefreshFirmware{}), failed(Op::RefreshFirmware{}, text));
  ASSERT_FALSE(t.pane->firmware_updates());
  EXPECT_EQ(t.pane->firmware_updates().error(), "fwupd is not running");
  ASSERT_FALSE(t.pane->firmware_history());
  EXPECT_EQ(t.pane->firmware_history().error(), "fwupd is not running");
  EXPECT_EQ(t.pane->notice(), (Notice{text, true}));
}

TEST(UpdatesFirmwareTest, ProgressFortyZeroThirtyLeavesTheBarAtForty) {
  PaneFixture t(offer_system_firmware);
  ASSERT_TRUE(t.settle());
  fw::FirmwareInstallSender job = start_install(t);
  ASSERT_NE(installing(*t.pane), nullptr);
  EXPECT_EQ(*installing(*t.pane), (install::Installing{"Preparing firmware transaction…", 0}));
  EXPECT_EQ(t.system->installing.size(), 1u) << "the offers as read";
  for (std::uint8_t percent : {40, 0, 30}) {
    job_sends(job, {fw::Progress{fmt::format("step {}", percent), percent}});
    t.sync();
  }
  ASSERT_NE(installing(*t.pane), nullptr);
  EXPECT_EQ(installing(*t.pane)->percent, 40);
  EXPECT_EQ(installing(*t.pane)->text, "step 30");
  EXPECT_TRUE(t.pending()) << "the installation answers it when it ends";
  EXPECT_TRUE(t.pane->needs_redraw());
}

TEST(UpdatesFirmwareTest, FinishedWithARestartReadsTheListsAgain) {
  PaneFixture t(offer_system_firmware);
  ASSERT_TRUE(t.settle());
  fw::FirmwareInstallSender job = start_install(t);
  {
    auto lock = t.system->lock();
    t.system->firmware_offers = std::vector<FirmwareUpdate>{};
    t.system->history_list = std::vector<FirmwareHistoryEntry>{
        {"System Firmware", "success", "1.14.0", "1.15.2", std::nullopt}};
  }
  // Events after the last one do not count.
  job_sends(job, {fw::Preparing{1}, fw::Progress{"Writing", 50}, fw::Finished{true},
                  fw::Progress{"late", 10}});
  t.sync();
  EXPECT_EQ(t.outcome(), succeeded(Op::InstallFirmware{}, "firmware installation finished"));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Finished{true}));
  EXPECT_FALSE(t.pane->firmware_installing());
  EXPECT_EQ(t.pane->notice(),
            (Notice{"Firmware installation finished. Restart to activate the update.", false}));
  EXPECT_TRUE(t.pane->firmware_updates()->empty());
  ASSERT_EQ(t.pane->firmware_history()->size(), 1u);
  t.collect();

  // Without a restart to activate it.
  PaneFixture u(offer_system_firmware);
  ASSERT_TRUE(u.settle());
  fw::FirmwareInstallSender other = start_install(u);
  job_sends(other, {fw::Finished{false}});
  u.sync();
  EXPECT_EQ(u.pane->notice(), (Notice{"Firmware installation finished successfully.", false}));
}

TEST(UpdatesFirmwareTest, AFailedInstallationGoesBackToIdle) {
  PaneFixture t(offer_system_firmware);
  ASSERT_TRUE(t.settle());
  fw::FirmwareInstallSender job = start_install(t);
  job_sends(job, {fw::Progress{"Writing", 20}, fw::Failed{"device is on battery"}});
  t.sync();
  const std::string text = "Firmware installation failed: device is on battery";
  EXPECT_EQ(t.outcome(), failed(Op::InstallFirmware{}, text));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Idle{}));
  EXPECT_EQ(t.pane->notice(), (Notice{text, true}));
  EXPECT_EQ(t.pane->firmware_updates()->size(), 1u);
}

TEST(UpdatesFirmwareTest, AnInstallWhileTheListHoldsAnErrorDoesNotAskTheService) {
  PaneFixture t([](FakeSystem& s) { s.firmware_offers = kalu_ui::fail("fwupd is not running"); });
  ASSERT_TRUE(t.settle());
  const std::string text = "Firmware upgrades could not be installed: fwupd is not running";
  EXPECT_EQ(t.run(Op::InstallFirmware{}), failed(Op::InstallFirmware{}, text));
  EXPECT_EQ(t.system->count("start_firmware_install"), 0);
  EXPECT_EQ(t.pane->notice(), (Notice{text, true}));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Idle{}));

  // The service refusing to start is reported the same way.
  PaneFixture u([](FakeSystem& s) {
    offer_system_firmware(s);
    s.install_error = "the update for System Firmware is no longer offered";
  });
  ASSERT_TRUE(u.settle());
  EXPECT_EQ(u.run(Op::InstallFirmware{}),
            failed(Op::InstallFirmware{},
                   "Firmware upgrades could not be installed: the update "
                   "for System Firmware is no longer offered"));
  EXPECT_FALSE(u.pane->firmware_installing());
}

TEST(UpdatesFirmwareTest, AChannelEndingWithoutALastEventSettlesAsAFailure) {
  PaneFixture t(offer_system_firmware);
  ASSERT_TRUE(t.settle());
  {
    fw::FirmwareInstallSender job = start_install(t);
    job_sends(job, {fw::Progress{"Writing", 60}});
  }  // The job ends without Finished or Failed.
  t.sync();
  const std::string text =
      "Firmware installation failed: firmware installation stopped unexpectedly";
  EXPECT_EQ(t.outcome(), failed(Op::InstallFirmware{}, text));
  EXPECT_EQ(t.pane->install_state(), FirmwareInstallState(install::Idle{}));
  EXPECT_FALSE(t.pane->firmware_installing());
  EXPECT_EQ(t.pane->notice(), (Notice{text, true}));
  t.collect();
  // Firmware work is free again.
  EXPECT_EQ(t.run(Op::RefreshFirmware{}),
            succeeded(Op::RefreshFirmware{}, "firmware metadata refreshed"));
}

TEST(UpdatesFirmwareTest, FirmwareWorkIsSingleFlight) {
  PaneFixture t([](FakeSystem& s) {
    offer_system_firmware(s);
    s.hold("refresh_firmware");
  });
  ASSERT_TRUE(t.settle());
  t.start(Op::RefreshFirmware{});
  t.sync();
  ASSERT_TRUE(t.system->wait_for_call("refresh_firmware"));
  EXPECT_TRUE(t.pane->firmware_refresh_running());
  EXPECT_TRUE(t.pane->needs_redraw());
  // The pending refresh is left to the running one.
  for (int i = 0; i < 3; ++i) t.sync();
  EXPECT_TRUE(t.pending());
  // The client gave up; neither a refresh nor an install starts meanwhile.
  t.collect();
  EXPECT_EQ(t.run(Op::RefreshFirmware{}),
            failed(Op::RefreshFirmware{}, "firmware work is already in progress"));
  EXPECT_EQ(t.run(Op::InstallFirmware{}),
            failed(Op::InstallFirmware{}, "firmware work is already in progress"));
  EXPECT_EQ(t.pane->notice(), (Notice{"Firmware work is already in progress", true}));
  EXPECT_EQ(t.system->count("start_firmware_install"), 0);
  t.system->release();
  ASSERT_TRUE(t.sync_until([&] { return !t.pane->firmware_refresh_running(); }));
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
  EXPECT_EQ(t.system->count("refresh_firmware"), 1);

  // While an installation's channel is held, a refresh waits its turn too.
  fw::FirmwareInstallSender job = start_install(t);
  t.collect();
  EXPECT_EQ(t.run(Op::RefreshFirmware{}),
            failed(Op::RefreshFirmware{}, "firmware work is already in progress"));
  EXPECT_EQ(t.system->count("refresh_firmware"), 1);
}

}  // namespace
}  // namespace settings::panes::updates
