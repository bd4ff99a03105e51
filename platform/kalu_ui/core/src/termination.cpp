#include "kalu_ui/termination.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <system_error>
#include <thread>
#include <utility>

namespace kalu_ui::termination {
namespace {

sigset_t ending_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGHUP);
  return set;
}

}  // namespace

void block_on_this_thread() {
  const sigset_t set = ending_signals();
  ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

bool blocked_on_this_thread() {
  sigset_t current;
  sigemptyset(&current);
  if (::pthread_sigmask(SIG_BLOCK, nullptr, &current) != 0) return false;
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    if (sigismember(&current, signal) != 1) return false;
  }
  return true;
}

struct Watch::State {
  std::function<void(int)> on_signal;
  std::thread thread;
  std::atomic<bool> stopping{false};
};

Watch::Watch(std::function<void(int signal)> on_signal) : state_(std::make_shared<State>()) {
  state_->on_signal = std::move(on_signal);
  block_on_this_thread();
  try {
    state_->thread = std::thread([state = state_] {
      ::pthread_setname_np(::pthread_self(), "kalu-signals");
      const sigset_t set = ending_signals();
      bool asked = false;
      while (true) {
        int signal = 0;
        if (::sigwait(&set, &signal) != 0) continue;
        if (state->stopping.load()) return;
        if (asked) ::_exit(128 + signal);
        asked = true;
        if (state->on_signal) state->on_signal(signal);
      }
    });
  } catch (const std::system_error&) {
    // No thread to take the signals: let them end the program as they
    // would without a watch.
    const sigset_t set = ending_signals();
    ::pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  }
}

Watch::~Watch() {
  if (!state_->thread.joinable()) return;
  state_->stopping.store(true);
  // Sent to the waiting thread alone, which sees that it is to stop.
  ::pthread_kill(state_->thread.native_handle(), SIGTERM);
  state_->thread.join();
}

bool Watch::started() const { return state_->thread.joinable(); }

}  // namespace kalu_ui::termination
