#pragma once

#include <functional>
#include <memory>

// The signals that end the program (SIGTERM, SIGINT, SIGHUP) are taken by
// one thread only. A signal sent to a process goes to any one of its threads
// that does not block it; a worker that never acts on it would swallow it and
// the program would run on. So the main thread blocks them before it starts
// any other thread (every thread it starts inherits the block, and workers
// block them again as they start), and a Watch waits for them on a thread of
// its own and tells the program to end.
namespace kalu_ui::termination {

// Blocks the ending signals on the calling thread (and on every thread it
// starts from now on).
void block_on_this_thread();

// True when the calling thread blocks every ending signal.
bool blocked_on_this_thread();

class Watch {
 public:
  // Blocks the ending signals on the calling thread and waits for them on a
  // thread of its own. The first one runs `on_signal` on that thread (which
  // must only ask the program to end: set a flag, wake a loop); a second one
  // ends the process at once, in case the orderly end hangs. With no thread
  // to wait on, `started()` is false and the signals keep their default
  // action.
  explicit Watch(std::function<void(int signal)> on_signal);
  // Stops the waiting thread. The signals stay blocked: one that arrives
  // while the program ends changes nothing.
  ~Watch();
  Watch(const Watch&) = delete;
  Watch& operator=(const Watch&) = delete;

  bool started() const;

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace kalu_ui::termination
