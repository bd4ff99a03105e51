#include "panes/agent_models/backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "sim_device/state.h"

namespace settings::panes::agent_models {
namespace {

using ::testing::ElementsAreArray;
using ::testing::StartsWith;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

LocalModelPackage package(std::string id, std::string revision) {
  LocalModelPackage p;
  p.id = std::move(id);
  p.revision = std::move(revision);
  return p;
}

// A fake manager that keeps each argument it got on a line of "args", what
// came on its standard input in "stdin", and then runs `tail`.
std::string recording_manager(const limited_exec::FakePrograms& fakes, const std::string& tail) {
  const std::string dir = fakes.dir().string();
  return "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + dir + "/args'\ncat > '" + dir +
         "/stdin'\n" + tail;
}

struct Call {
  std::string name;
  std::function<kalu_ui::Status(ModelServiceBackend&)> run;
  std::vector<std::string> args;
  std::string refusal;
};

std::vector<Call> calls() {
  return {
      {"install",
       [](ModelServiceBackend& b) { return b.install(package("my model 7b", "2025.03 rc1")); },
       {"install", "--model", "my model 7b", "--revision", "2025.03 rc1", "--accept-license"},
       "model service refused the installation"},
      {"start",
       [](ModelServiceBackend& b) { return b.start("my model 7b"); },
       {"start", "--model", "my model 7b"},
       "model service refused start"},
      {"stop",
       [](ModelServiceBackend& b) { return b.stop("a;b'c $(x)"); },
       {"stop", "--model", "a;b'c $(x)"},
       "model service refused stop"},
      {"remove",
       [](ModelServiceBackend& b) { return b.remove("--model"); },
       {"remove", "--model", "--model"},
       "model service refused remove"},
      {"stage_accelerator",
       [](ModelServiceBackend& b) { return b.stage_accelerator(); },
       {"stage-accelerator"},
       "accelerator setup service refused the request"},
  };
}

TEST(ModelManagerBackend, PassesEachArgumentAsOneElementWithoutStandardInput) {
  limited_exec::FakePrograms fakes;
  // Output of any kind on success changes nothing.
  fakes.add("kalu-model-manager",
            recording_manager(fakes, "echo 'staged, reboot'; echo 'note' >&2"));
  ModelManagerBackend backend;
  for (const Call& call : calls()) {
    auto result = call.run(backend);
    EXPECT_TRUE(result) << call.name << ": " << result.error();
    EXPECT_THAT(lines_of(read_file(fakes.dir() / "args")), ElementsAreArray(call.args))
        << call.name;
    EXPECT_EQ(read_file(fakes.dir() / "stdin"), "") << call.name;
  }
}

TEST(ModelManagerBackend, ANonZeroExitIsTheCommandsRefusalWhateverItPrinted) {
  limited_exec::FakePrograms fakes;
  fakes.add("kalu-model-manager", "echo 'Model lumen: disk full' >&2; echo '{}'; exit 3");
  ModelManagerBackend backend;
  for (const Call& call : calls()) {
    auto result = call.run(backend);
    ASSERT_FALSE(result) << call.name;
    EXPECT_EQ(result.error(), call.refusal);
  }
  EXPECT_EQ(run_model_command("frobnicate", "m").error(), "model service refused frobnicate");
}

TEST(ModelManagerBackend, AMissingManagerLeavesEveryCallUnavailable) {
  limited_exec::FakePrograms fakes;
  fakes.add_missing("kalu-model-manager");
  ModelManagerBackend backend;
  std::vector<Call> all = calls();
  all.push_back({"snapshot",
                 [](ModelServiceBackend& b) -> kalu_ui::Status {
                   auto snapshot = model_service_snapshot(b);
                   if (!snapshot) return kalu_ui::fail(snapshot.error());
                   return {};
                 },
                 {},
                 {}});
  for (const Call& call : all) {
    auto result = call.run(backend);
    ASSERT_FALSE(result) << call.name;
    EXPECT_THAT(result.error(), StartsWith("model service is unavailable: "));
    EXPECT_THAT(result.error(), ::testing::HasSubstr("No such file or directory")) << call.name;
  }
}

TEST(ModelManagerBackend, ASnapshotFailureKeepsTheFirst512CharactersOfErrorOutputTrimmed) {
  limited_exec::FakePrograms fakes;
  // 600 characters: four spaces, then 596 two-byte ones; the cut counts
  // characters, not bytes, and the spaces are trimmed after it.
  std::string e_acute;
  for (int i = 0; i < 596; ++i) e_acute += "é";
  fakes.add("kalu-model-manager", "printf '    " + e_acute + "' >&2; exit 2");
  auto snapshot = model_manager_backend()->snapshot();
  ASSERT_FALSE(snapshot);
  std::string expected;
  for (int i = 0; i < 508; ++i) expected += "é";
  EXPECT_EQ(snapshot.error(), expected);
}

// The simulated manager run through the runner's table, as Settings runs it
// on the simulated device: its answers read as snapshots in every phase.
class SimulatedManager : public ::testing::Test {
 protected:
  // The device's clock stands still unless a step moves it, so the phase a
  // step expects never depends on how fast this machine runs the steps.
  void SetUp() override { move_device_clock(0); }

  void move_device_clock(std::int64_t ms) {
    auto moved = sim_device::update("", [&](sim_device::Json& state) -> kalu_ui::Status {
      auto& clock = state["time"]["clock_unix_ms"];
      clock = (clock.is_number_integer() ? clock.get<std::int64_t>() : kFrozenAt) + ms;
      return {};
    });
    ASSERT_TRUE(moved) << moved.error();
  }

  static constexpr std::int64_t kFrozenAt = 1'750'000'000'000;

  // The same steps, with `pause` between them: real time spent between the
  // steps (a loaded machine) must change nothing.
  void stop_start_install_and_stage(const std::function<void()>& pause) {
    namespace ph = stored::phase;
    LocalModelSnapshot seeded = snapshot();
    ASSERT_EQ(seeded.models.size(), 1u);
    ASSERT_TRUE(seeded.recommendation);
    const std::string id = seeded.models[0].package.id;
    EXPECT_TRUE(stored::serves_locally(seeded.models[0]));
    EXPECT_FALSE(stored::work_in_progress(seeded));

    ASSERT_TRUE(backend_->stop(id));
    EXPECT_FALSE(std::get<ph::Ready>(snapshot().models[0].phase).running);
    ASSERT_TRUE(backend_->start(id));
    EXPECT_TRUE(stored::serves_locally(snapshot().models[0]));
    EXPECT_EQ(backend_->start("no such model").error(), "model service refused start");

    // Short enough that a pause of the real clock would carry the job
    // through more than one phase.
    ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
      state["delays"]["kalu-model-manager.install"] = 1000;
      return {};
    }));
    ASSERT_TRUE(backend_->install(*seeded.recommendation));
    LocalModelSnapshot installing = snapshot();
    ASSERT_EQ(installing.models.size(), 2u);
    EXPECT_TRUE(std::holds_alternative<ph::Downloading>(installing.models[1].phase));
    EXPECT_TRUE(stored::work_in_progress(installing));
    pause();
    move_device_clock(750);
    EXPECT_FALSE(std::get<ph::Installing>(snapshot().models[1].phase).percent);
    pause();
    move_device_clock(150);
    EXPECT_TRUE(std::get<ph::Installing>(snapshot().models[1].phase).percent);
    pause();
    move_device_clock(100);
    LocalModelSnapshot installed = snapshot();
    EXPECT_TRUE(std::holds_alternative<ph::Ready>(installed.models[1].phase));
    EXPECT_FALSE(stored::work_in_progress(installed));

    ASSERT_TRUE(backend_->stage_accelerator());
    // Without a delay staging is done by the next run.
    EXPECT_TRUE(std::holds_alternative<stored::accelerator::RestartRequired>(
        snapshot().accelerator_setup->status));

    ASSERT_TRUE(backend_->remove(id));
    EXPECT_EQ(snapshot().models.size(), 1u);
  }

  LocalModelSnapshot snapshot() {
    auto read = backend_->snapshot();
    EXPECT_TRUE(read) << read.error();
    return read ? *read : LocalModelSnapshot{};
  }

  sim_device::ScopedDeviceState device_;
  limited_exec::ScopedTestPrograms programs_{
      limited_exec::simulated_programs(limited_exec::simdev_path())};
  std::shared_ptr<ModelServiceBackend> backend_ = model_manager_backend();
};

TEST_F(SimulatedManager, StopStartInstallAndStageChangeWhatTheSnapshotsRead) {
  stop_start_install_and_stage([] {});
}

TEST_F(SimulatedManager, RealTimeSpentBetweenTheStepsMovesNoJob) {
  // Each pause is longer than a phase of the installation.
  stop_start_install_and_stage([] { std::this_thread::sleep_for(std::chrono::milliseconds(400)); });
}

TEST_F(SimulatedManager, AFaultOnACommandIsItsRefusal) {
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["kalu-model-manager.install"] = "No space left on device";
    state["faults"]["kalu-model-manager.snapshot"] = "manager is restarting";
    return {};
  }));
  LocalModelPackage recommended = package("lumen-8b-instruct", "2025.03.2");
  EXPECT_EQ(backend_->install(recommended).error(), "model service refused the installation");
  EXPECT_EQ(backend_->snapshot().error(), "manager is restarting");
  EXPECT_TRUE(backend_->stage_accelerator());
}

}  // namespace
}  // namespace settings::panes::agent_models
