#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "kalu_ui/instant.h"

// Waking the UI thread from any thread.
//
// The frame loop owns one `Waker` and installs it as the process's current
// waker. Every `WakeHandle` (one per value cell, created anywhere, before or
// after the loop starts) reaches that waker when it is asked to wake, so a
// publication from any thread makes the loop run a frame soon. The loop
// either sleeps on the waker itself (`wait_until`, headless) or sets a hook
// that posts an event to its window system and sleeps there.
namespace kalu_ui::wake {

// An Instant as a steady-clock point (both count CLOCK_MONOTONIC), for
// waiting on condition variables.
inline std::chrono::steady_clock::time_point steady_point(Instant instant) {
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(instant.since_clock_start()));
}

class Waker {
 public:
  // Marks a wake-up as pending and releases a thread blocked in `wait_until`.
  // The hook runs only when no wake-up was pending already, so a burst of
  // publications between two frames posts one event, not one per value.
  // Safe from any thread.
  void wake();

  // Blocks until a wake-up is pending or the deadline passes, whichever comes
  // first; answers whether a wake-up was pending and clears it.
  bool wait_until(Instant deadline);
  // Blocks until a wake-up is pending, then clears it.
  void wait();
  // Answers whether a wake-up was pending and clears it, without blocking.
  // A loop that sleeps elsewhere (on its window system's event queue) calls
  // this once per frame so that the next wake-up runs the hook again.
  bool take();

  // Called (outside the waker's lock) for every wake-up that was not already
  // pending; for instance to push a user event into the window system's queue.
  // Pass an empty function to remove it.
  void set_hook(std::function<void()> hook);

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool pending_ = false;
  std::shared_ptr<const std::function<void()>> hook_;
};

// Makes `waker` the process's current waker and answers the previous one
// (nullptr when none was installed). Installing nullptr removes it.
std::shared_ptr<Waker> install_waker(std::shared_ptr<Waker> waker);
// The process's current waker, or nullptr while no loop has installed one.
std::shared_ptr<Waker> current_waker();
// Wakes the current waker, if there is one.
void wake_current();

// A handle that authorizes publications into a value cell and wakes the loop.
// Copies share their state: refusing through one copy refuses through all.
class WakeHandle {
 public:
  // A handle bound to whichever waker is current when it wakes.
  static WakeHandle create();
  // The same as create().
  WakeHandle() : state_(std::make_shared<State>()) {}
  // A handle bound to one waker, whatever is installed.
  static WakeHandle bound_to(std::shared_ptr<Waker> waker);

  // Answers whether a publication may go ahead; when it may, wakes the loop
  // so that a frame runs soon. With no loop installed the answer is still yes.
  bool authorize_publication() const;

  // The two halves of `authorize_publication`, for a publisher that must store
  // its value between asking and waking (so the frame the wake-up causes sees
  // the value).
  bool may_publish() const;
  void wake() const;

  // Makes this handle (and every copy) refuse publications, or accept again.
  void set_refusing(bool refusing) const;

 private:
  struct State {
    std::atomic<bool> refusing{false};
    std::shared_ptr<Waker> waker;  // nullptr: the current waker
  };
  explicit WakeHandle(std::shared_ptr<State> state) : state_(std::move(state)) {}

  std::shared_ptr<State> state_;
};

}  // namespace kalu_ui::wake
