#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "limited_exec/fake_programs.h"
#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"

namespace limited_exec {
namespace {

using namespace std::chrono_literals;
using ::testing::HasSubstr;

constexpr size_t kMiB = 1 << 20;

// Safe even when the binary is run by hand without KALU_TEST.
const bool kTestMode = (enter_test_mode(), true);

// How long a test waits for what a child process does before calling it a
// hang: a loaded machine may take seconds to start a shell.
constexpr auto kPatience = 60s;

// Polls `done` every 10 ms until it holds or the patience runs out.
template <typename F>
bool eventually(F done) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (!done()) {
    if (std::chrono::steady_clock::now() > give_up) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// True once `pid` has ended (gone, or a zombie waiting for its reaper).
bool ended(int pid) {
  return eventually([pid] {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return true;
    auto close = line.rfind(')');
    return close != std::string::npos && line.size() > close + 2 && line[close + 2] == 'Z';
  });
}

int read_pid(const std::filesystem::path& file) {
  int pid = 0;
  eventually([&] {
    std::ifstream in(file);
    return in >> pid && pid > 0;
  });
  return pid;
}

kalu_ui::Result<Output> wait_polling(AsyncCommand& command) {
  std::optional<kalu_ui::Result<Output>> out;
  eventually([&] {
    auto state = command.try_wait();
    if (!state)
      out = std::unexpected(state.error());
    else if (*state)
      out = std::move(**state);
    return out.has_value();
  });
  return out ? std::move(*out) : kalu_ui::fail("still running");
}

TEST(ProgramTable, TestModeRefusesEverythingOutsideTheTestTable) {
  ASSERT_TRUE(test_mode());
  {
    // No table installed: even a program of the real table is refused.
    auto refused = run("findmnt", std::vector<std::string>{"/"}, 1s, kMiB);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error(), "cannot start findmnt: not in the test program table");
  }
  FakePrograms fakes;
  fakes.add("wpctl", "echo fake");
  for (const char* program : {"systemctl", "pkexec", "/bin/true", "sh"}) {
    auto refused = run(program, {}, 1s, kMiB);
    ASSERT_FALSE(refused) << program;
    EXPECT_THAT(refused.error(), HasSubstr("not in the test program table"));
  }
  auto spawned = spawn_prepared({"pkexec", {"true"}, 1s, kMiB});
  ASSERT_FALSE(spawned);
  EXPECT_EQ(spawned.error(), "cannot start pkexec: not in the test program table");
}

TEST(ProgramTable, TestEntryMustBeAnAbsolutePath) {
  ProgramTable table;
  table.add("wpctl", "true");  // would be looked up on PATH
  ScopedTestPrograms guard(table);
  auto refused = run("wpctl", {}, 1s, kMiB);
  ASSERT_FALSE(refused);
  EXPECT_THAT(refused.error(), HasSubstr("not an absolute path"));
}

TEST(Run, CapturesBothStreamsExitStatusAndArgumentsVerbatim) {
  FakePrograms fakes;
  fakes.add("tool", R"(printf '%s|' "$@"; echo oops >&2; exit 3)");
  auto out = run("tool", std::vector<std::string>{"a b", "$(reboot)", "", "*"}, 5s, kMiB);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, "a b|$(reboot)||*|");
  EXPECT_EQ(out->stderr_bytes, "oops\n");
  EXPECT_EQ(out->status, 3);
  EXPECT_FALSE(out->success());
  EXPECT_FALSE(out->stdout_truncated);
}

TEST(Run, StartFailuresNameTheProgram) {
  FakePrograms fakes;
  fakes.add_missing("kalu-model-manager");
  auto missing = run("kalu-model-manager", {}, 1s, kMiB);
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), "cannot start kalu-model-manager: No such file or directory");

  // A file that is not executable.
  std::string path = fakes.add("noexec", "true");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  auto denied = run("noexec", {}, 1s, kMiB);
  ASSERT_FALSE(denied);
  EXPECT_EQ(denied.error(), "cannot start noexec: Permission denied");
}

TEST(Run, OutputBeyondTheCapIsDroppedAndTheCommandStillSucceeds) {
  FakePrograms fakes;
  fakes.add("flood", "head -c 2097152 /dev/zero; head -c 2097152 /dev/zero >&2");
  auto out = run("flood", {}, 10s, kMiB);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->status, 0);
  EXPECT_EQ(out->stdout_bytes.size(), kMiB);
  EXPECT_EQ(out->stderr_bytes.size(), kMiB);
  EXPECT_TRUE(out->stdout_truncated);
  EXPECT_TRUE(out->stderr_truncated);
}

TEST(Run, TimeLimitKillsTheWholeProcessGroup) {
  FakePrograms fakes;
  auto pid_file = fakes.dir() / "grandchild.pid";
  // The grandchild outlives any patience: a runner that waited for it, or
  // left it running, shows.
  fakes.add("slow", "sleep 600 & echo $! > '" + pid_file.string() + "'; wait");
  // The limit leaves a loaded machine the time to start the shell and write
  // the grandchild's pid.
  auto started = std::chrono::steady_clock::now();
  auto out = run("slow", {}, 3s, kMiB);
  auto took = std::chrono::steady_clock::now() - started;
  ASSERT_FALSE(out);
  EXPECT_EQ(out.error(), "timed out after 3 s");
  EXPECT_LT(took, kPatience);
  int grandchild = read_pid(pid_file);
  ASSERT_GT(grandchild, 0);
  EXPECT_TRUE(ended(grandchild));

  auto short_limit = run("slow", {}, 300ms, kMiB);
  ASSERT_FALSE(short_limit);
  EXPECT_EQ(short_limit.error(), "timed out after 300 ms");
}

TEST(Run, DeathBySignalIsAnError) {
  FakePrograms fakes;
  fakes.add("victim", "kill -TERM $$");
  auto out = run("victim", {}, 5s, kMiB);
  ASSERT_FALSE(out);
  EXPECT_EQ(out.error(), "killed by signal 15 (SIGTERM)");
}

TEST(Run, LeftoverBackgroundProcessDoesNotHoldTheCallerUntilTheLimit) {
  FakePrograms fakes;
  auto pid_file = fakes.dir() / "left.pid";
  fakes.add("leaver", "sleep 600 & echo $! > '" + pid_file.string() + "'; echo done");
  // Waiting for the leftover would end in the time limit's failure.
  auto out = run("leaver", {}, 120s, kMiB);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, "done\n");
  EXPECT_TRUE(ended(read_pid(pid_file)));
}

TEST(Run, StandardInputReachesTheChildWithoutDeadlock) {
  FakePrograms fakes;
  fakes.add("echoer", "cat; cat >&2 </dev/null; echo end >&2");
  // More than a pipe holds in each direction at once.
  std::string input(3 * kMiB / 2, 'x');
  input += "tail";
  auto out = run("echoer", {}, 10s, 4 * kMiB, Options{.stdin_data = input});
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, input);
  EXPECT_EQ(out->stderr_bytes, "end\n");

  // A child that never reads its input must not bring down this process.
  fakes.add("deaf", "exec 0<&-; echo ignored");
  auto deaf = run("deaf", {}, 5s, kMiB, Options{.stdin_data = std::string(kMiB, 'y')});
  ASSERT_TRUE(deaf) << deaf.error();
  EXPECT_EQ(deaf->stdout_bytes, "ignored\n");
}

TEST(AsyncCommand, TryWaitNeverBlocksAndDeliversTheOutputOnce) {
  FakePrograms fakes;
  // The child answers only once the test lets it: a try_wait that waited
  // for it would never come back with "still running".
  auto gate = fakes.dir() / "gate";
  fakes.add("pkexec", R"(read line; echo "got $line $1"; while [ ! -e ')" + gate.string() +
                          R"(' ]; do sleep 0.01; done)");
  auto command = spawn_prepared({"pkexec", {"apply"}, 120s, kMiB, "{\"role\":\"hybrid\"}\n"});
  ASSERT_TRUE(command) << command.error();
  auto first = command->try_wait();
  ASSERT_TRUE(first);
  EXPECT_FALSE(first->has_value());
  std::ofstream{gate};

  auto out = wait_polling(*command);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, "got {\"role\":\"hybrid\"} apply\n");
  EXPECT_EQ(command->pid(), 0);
  EXPECT_FALSE(command->try_wait());
}

TEST(AsyncCommand, PollingEnforcesTheTimeLimit) {
  FakePrograms fakes;
  fakes.add("enroll", "sleep 30");
  auto command = spawn_prepared({"enroll", {}, 200ms, kMiB});
  ASSERT_TRUE(command) << command.error();
  int pid = command->pid();
  auto out = wait_polling(*command);
  ASSERT_FALSE(out);
  EXPECT_EQ(out.error(), "timed out after 200 ms");
  EXPECT_TRUE(ended(pid));
}

TEST(AsyncCommand, DroppingTheHandleKillsTheCommandAndItsChildren) {
  FakePrograms fakes;
  auto pid_file = fakes.dir() / "inner.pid";
  fakes.add("/usr/bin/kalu-relay-admin", "sleep 30 & echo $! > '" + pid_file.string() + "'; wait");
  int leader = 0;
  {
    auto command = spawn_prepared({"/usr/bin/kalu-relay-admin", {}, 60s, kMiB});
    ASSERT_TRUE(command) << command.error();
    leader = command->pid();
    ASSERT_GT(read_pid(pid_file), 0);
  }
  EXPECT_TRUE(ended(leader));
  EXPECT_TRUE(ended(read_pid(pid_file)));
}

TEST(AsyncCommand, StartsOnALauncherAndReportsAStartFailureThroughThePoll) {
  FakePrograms fakes;
  fakes.add("wpctl", "echo listed");
  fakes.add_missing("kalu-model-manager");
  const std::uint64_t before = programs_run_on_this_thread();
  auto command = spawn_prepared({"wpctl", {}, 10s, kMiB});
  ASSERT_TRUE(command) << command.error();
  auto out = wait_polling(*command);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, "listed\n");

  // A file that is not there is refused at once.
  auto missing = spawn_prepared({"kalu-model-manager", {}, 10s, kMiB});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error(), "cannot start kalu-model-manager: No such file or directory");

  // One the kernel will not execute fails on the launcher, through the poll.
  const auto garbage = fakes.dir() / "garbage";
  std::ofstream(garbage) << "no interpreter line\n";
  std::filesystem::permissions(garbage, std::filesystem::perms::owner_all);
  ProgramTable table;
  table.add("kalu-model-manager", garbage.string());
  {
    ScopedTestPrograms guard(table);
    auto command = spawn_prepared({"kalu-model-manager", {}, 10s, kMiB});
    ASSERT_TRUE(command) << command.error();
    auto failed = wait_polling(*command);
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(), "cannot start kalu-model-manager: Exec format error");
  }
  EXPECT_EQ(programs_run_on_this_thread(), before);

  // run() waits on the caller's own thread, and counts even when refused.
  ASSERT_TRUE(run("wpctl", {}, 10s, kMiB));
  EXPECT_FALSE(run("systemctl", {}, 10s, kMiB));
  EXPECT_EQ(programs_run_on_this_thread(), before + 2);
}

}  // namespace
}  // namespace limited_exec
