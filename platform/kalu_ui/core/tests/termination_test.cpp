#include "kalu_ui/termination.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace kalu_ui::termination {
namespace {

using namespace std::chrono_literals;

// Whether every thread of this process but the watch's blocks SIGTERM and
// SIGINT, read from the kernel's view of each thread's mask (the watch's
// thread unblocks them while it waits for them).
bool every_other_thread_blocks() {
  DIR* tasks = ::opendir("/proc/self/task");
  if (!tasks) return false;
  bool all = true;
  int others = 0;
  while (dirent* entry = ::readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    const std::string task = std::string("/proc/self/task/") + entry->d_name;
    std::string name;
    std::getline(std::ifstream(task + "/comm"), name);
    if (name == "kalu-signals") continue;
    std::ifstream status(task + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("SigBlk:", 0) != 0) continue;
      const std::uint64_t mask = std::strtoull(line.c_str() + 7, nullptr, 16);
      const std::uint64_t wanted = (1ull << (SIGTERM - 1)) | (1ull << (SIGINT - 1));
      all = all && (mask & wanted) == wanted;
      ++others;
    }
  }
  ::closedir(tasks);
  return all && others > 1;
}

enum Exit : int { kEnded = 0, kNotBlocked = 3, kNeverAsked = 4 };

// The child: a watch, four busy workers, and a main thread that waits to be
// asked to end. `answer` false plays a program whose orderly end hangs.
[[noreturn]] void run_child(int ready_fd, bool answer) {
  std::mutex mutex;
  std::condition_variable asked_cv;
  bool asked = false;
  std::atomic<bool> stop{false};
  Watch watch([&](int) {
    (void)!::write(ready_fd, "a", 1);
    if (!answer) return;
    std::lock_guard lock(mutex);
    asked = true;
    asked_cv.notify_all();
  });
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([&stop] {
      volatile std::uint64_t spin = 0;
      while (!stop.load()) spin = spin + 1;
    });
  }
  if (!every_other_thread_blocks()) ::_exit(kNotBlocked);
  (void)!::write(ready_fd, "r", 1);
  bool got = false;
  {
    std::unique_lock lock(mutex);
    got = asked_cv.wait_for(lock, 60s, [&] { return asked; });
  }
  stop.store(true);
  for (auto& worker : workers) worker.join();
  ::_exit(got ? kEnded : kNeverAsked);
}

// Forks the child, sends it `signals` once it is ready, and answers its
// wait status. The child notes on the pipe that it is ready and that its
// watch took a signal.
int signal_child(bool answer, const std::vector<int>& signals) {
  int pipe_fds[2];
  if (::pipe(pipe_fds) != 0) return -1;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe_fds[0]);
    run_child(pipe_fds[1], answer);
  }
  ::close(pipe_fds[1]);
  char note = 0;
  if (::read(pipe_fds[0], &note, 1) == 1) {
    // Each signal once the one before was taken: two alike pending at once
    // are one.
    for (int signal : signals) {
      ::kill(child, signal);
      if (::read(pipe_fds[0], &note, 1) != 1) break;
    }
  }
  ::close(pipe_fds[0]);
  int status = 0;
  // Bounded only against a hang: a child that never ends is killed.
  for (int waited = 0; waited < 600; ++waited) {
    if (::waitpid(child, &status, WNOHANG) == child) return status;
    std::this_thread::sleep_for(100ms);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, &status, 0);
  return status;
}

TEST(Termination, AnEndingSignalReachesTheWatchWhileWorkersAreBusy) {
  for (int signal : {SIGTERM, SIGINT}) {
    SCOPED_TRACE(signal);
    const int status = signal_child(true, {signal});
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), kEnded);
  }
}

TEST(Termination, ASecondSignalEndsAProgramWhoseEndHangs) {
  const int status = signal_child(false, {SIGTERM, SIGTERM});
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
}

TEST(Termination, AStoppedWatchLeavesTheSignalsBlocked) {
  std::thread([] {
    {
      Watch watch([](int) {});
      EXPECT_TRUE(watch.started());
    }
    EXPECT_TRUE(blocked_on_this_thread());
  }).join();
}

}  // namespace
}  // namespace kalu_ui::termination
