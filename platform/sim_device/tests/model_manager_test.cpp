#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace sim_device {
namespace {

using ::testing::HasSubstr;

constexpr const char* kSeeded = "lumen-3b-instruct";
constexpr const char* kRecommended = "lumen-8b-instruct";

simdev::Outcome manager(const std::vector<std::string>& args) {
  return simdev::run("kalu-model-manager", args);
}

Json snapshot() {
  auto answer = manager({"snapshot", "--format", "json"});
  EXPECT_EQ(answer.status, 0) << answer.err;
  return Json::parse(answer.out);
}

Json models_section() { return (**read())["models"]; }

// Holds the device's clock still before a job starts, then moves it by hand:
// the phases read never depend on how fast this machine runs the test.
void move_device_clock(std::int64_t ms) {
  constexpr std::int64_t kFrozenAt = 1'750'000'000'000;
  auto moved = update("", [&](Json& state) -> kalu_ui::Status {
    Json& clock = state["time"]["clock_unix_ms"];
    clock = (clock.is_number_integer() ? clock.get<std::int64_t>() : kFrozenAt) + ms;
    return {};
  });
  ASSERT_TRUE(moved) << moved.error();
}

TEST(SimulatedModelManager, SeededDeviceHasARunningModelARecommendationAndAnAccelerator) {
  ScopedDeviceState scoped;
  Json seen = snapshot();
  EXPECT_EQ(seen["hardware"]["fit"], "good");
  EXPECT_EQ(seen["recommendation"]["id"], kRecommended);
  ASSERT_EQ(seen["models"].size(), 1u);
  EXPECT_EQ(seen["models"][0]["package"]["id"], kSeeded);
  EXPECT_EQ(seen["models"][0]["phase"]["running"], true);
  EXPECT_EQ(seen["models"][0]["phase"]["endpoint"]["model_id"], kSeeded);
  EXPECT_EQ(seen["accelerator_setup"]["status"]["state"], "available");
}

TEST(SimulatedModelManager, StopStartAndRemoveChangeTheDevice) {
  ScopedDeviceState scoped;
  struct Step {
    std::vector<std::string> args;
    int status;
    const char* said;
  } steps[] = {
      {{"stop", "--model", kSeeded}, 0, "Stopped"},
      {{"stop", "--model", kSeeded}, 0, "already stopped"},
      {{"start", "--model", kSeeded}, 0, "serves at http://127.0.0.1:8470/v1"},
      {{"start", "--model", kSeeded}, 0, "already running"},
      {{"start", "--model", "lumen 3b"}, 1, "no installed model \"lumen 3b\""},
      {{"remove", "--model", kRecommended}, 1, "no installed model"},
  };
  for (const auto& step : steps) {
    auto answer = manager(step.args);
    EXPECT_EQ(answer.status, step.status) << step.args[0] << " " << answer.err;
    EXPECT_THAT(answer.out + answer.err, HasSubstr(step.said)) << step.args[0];
  }
  Json phase = models_section()["installed"][0]["phase"];
  EXPECT_EQ(phase["running"], true);
  EXPECT_EQ(phase["endpoint"]["url"], "http://127.0.0.1:8470/v1");

  ASSERT_EQ(manager({"stop", "--model", kSeeded}).status, 0);
  EXPECT_FALSE(models_section()["installed"][0]["phase"].contains("endpoint"));
  ASSERT_EQ(manager({"remove", "--model", kSeeded}).status, 0);
  EXPECT_TRUE(models_section()["installed"].empty());
  EXPECT_TRUE(snapshot()["models"].empty());
}

TEST(SimulatedModelManager, AnInstallDownloadsThenInstallsThenIsReadyAsTimePasses) {
  ScopedDeviceState scoped;
  move_device_clock(0);
  constexpr std::int64_t kLength = 600000;
  ASSERT_EQ(simdev::run("simdev", {"delay", "kalu-model-manager.install", "600000"}).status, 0);
  auto installed =
      manager({"install", "--model", kRecommended, "--revision", "2025.03.2", "--accept-license"});
  ASSERT_EQ(installed.status, 0) << installed.err;

  Json phase = snapshot()["models"][1]["phase"];
  EXPECT_EQ(phase["state"], "downloading");
  EXPECT_EQ(phase["total_bytes"], 4920000000u);
  EXPECT_LT(phase["downloaded_bytes"].get<std::uint64_t>(), 10000000u);
  EXPECT_FALSE(snapshot()["models"][1].contains("job"));  // bookkeeping stays on the device

  move_device_clock(kLength * 35 / 100);
  phase = snapshot()["models"][1]["phase"];
  EXPECT_EQ(phase["state"], "downloading");
  EXPECT_NEAR(phase["downloaded_bytes"].get<double>(), 4920000000.0 / 2, 4920000000.0 / 100);
  // The phase seen is also what the device keeps.
  EXPECT_EQ(models_section()["installed"][1]["phase"], phase);

  move_device_clock(kLength * 40 / 100);
  phase = snapshot()["models"][1]["phase"];
  EXPECT_EQ(phase["state"], "installing");
  EXPECT_FALSE(phase.contains("percent"));

  move_device_clock(kLength * 15 / 100);
  phase = snapshot()["models"][1]["phase"];
  EXPECT_EQ(phase["state"], "installing");
  EXPECT_NEAR(phase["percent"].get<int>(), 50, 2);

  move_device_clock(kLength * 10 / 100);
  phase = snapshot()["models"][1]["phase"];
  EXPECT_EQ(phase, Json::parse(R"({"state": "ready", "running": false})"));
  EXPECT_FALSE(models_section()["installed"][1].contains("job"));
  EXPECT_EQ(manager({"start", "--model", kRecommended}).status, 0);
  // The seeded model still serves on the first port, so this one takes the next.
  EXPECT_EQ(snapshot()["models"][1]["phase"]["endpoint"]["url"], "http://127.0.0.1:8471/v1");
}

TEST(SimulatedModelManager, AFailedInstallIsRetriedWithItsOwnRevision) {
  ScopedDeviceState scoped;
  ASSERT_EQ(simdev::run("simdev", {"set", "models.installed[0].phase",
                                   R"({"state": "error", "message": "checksum mismatch"})"})
                .status,
            0);
  EXPECT_EQ(snapshot()["models"][0]["phase"]["message"], "checksum mismatch");
  auto start = manager({"start", "--model", kSeeded});
  EXPECT_EQ(start.status, 1);
  EXPECT_THAT(start.err, HasSubstr("did not install"));
  ASSERT_EQ(manager({"install", "--model", kSeeded, "--revision", "2024.11.1", "--accept-license"})
                .status,
            0);
  EXPECT_EQ(models_section()["installed"][0]["phase"]["state"], "downloading");
  // Without a delay the job is done by the next run.
  EXPECT_EQ(snapshot()["models"][0]["phase"]["state"], "ready");
}

TEST(SimulatedModelManager, AcceleratorSetupIsQueuedThenStagedThenWaitsForARestart) {
  ScopedDeviceState scoped;
  move_device_clock(0);
  ASSERT_EQ(
      simdev::run("simdev", {"delay", "kalu-model-manager.stage-accelerator", "90000"}).status, 0);
  ASSERT_EQ(manager({"stage-accelerator"}).status, 0);
  EXPECT_EQ(snapshot()["accelerator_setup"]["status"]["state"], "queued");
  move_device_clock(45000);
  EXPECT_EQ(snapshot()["accelerator_setup"]["status"]["state"], "staging");
  auto again = manager({"stage-accelerator"});
  EXPECT_EQ(again.status, 0);
  EXPECT_THAT(again.out, HasSubstr("already staging"));
  move_device_clock(45000);
  EXPECT_EQ(snapshot()["accelerator_setup"]["status"]["state"], "restart_required");

  ASSERT_EQ(simdev::run("simdev", {"set", "models.accelerator_setup", "null"}).status, 0);
  auto none = manager({"stage-accelerator"});
  EXPECT_EQ(none.status, 1);
  EXPECT_THAT(none.err, HasSubstr("no signed accelerator stack"));
  EXPECT_TRUE(snapshot()["accelerator_setup"].is_null());
}

TEST(SimulatedModelManager, RefusesBadCommandLinesAndAnswersFaults) {
  ScopedDeviceState scoped;
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* err;
  } cases[] = {
      {{"install", "--model", kRecommended, "--revision", "2025.03.2"}, 1, "--accept-license"},
      {{"install", "--model", kRecommended, "--revision", "2024.01.1", "--accept-license"},
       1,
       "pinned at revision 2025.03.2, not 2024.01.1"},
      {{"install", "--model", "other", "--revision", "1", "--accept-license"},
       1,
       "no model \"other\" is offered"},
      {{"snapshot"}, 2, "--format json"},
      {{"start", "--model", kSeeded, "--revision", "x"}, 2, "start takes no option \"--revision\""},
      {{"stop"}, 2, "stop needs --model"},
      {{"upgrade"}, 2, "unknown command \"upgrade\""},
      {{}, 2, "no command given"},
  };
  for (const auto& c : cases) {
    auto answer = manager(c.args);
    EXPECT_EQ(answer.status, c.status) << answer.err;
    EXPECT_THAT(answer.err, HasSubstr(c.err));
    EXPECT_THAT(answer.err, HasSubstr("kalu-model-manager: "));
  }
  EXPECT_EQ(models_section(), seeded_state()["models"]);  // nothing refused changed anything

  ASSERT_EQ(
      simdev::run("simdev", {"fault", "kalu-model-manager.install", "No space left on device"})
          .status,
      0);
  auto faulted =
      manager({"install", "--model", kRecommended, "--revision", "2025.03.2", "--accept-license"});
  EXPECT_EQ(faulted.status, 1);
  EXPECT_EQ(faulted.err, "No space left on device\n");
  EXPECT_EQ(snapshot()["models"].size(), 1u);
  ASSERT_EQ(simdev::run("simdev", {"fault", "kalu-model-manager", "service crashed"}).status, 0);
  EXPECT_EQ(manager({"snapshot", "--format", "json"}).status, 1);
}

}  // namespace
}  // namespace sim_device
