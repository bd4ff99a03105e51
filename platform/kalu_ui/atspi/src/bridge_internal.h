#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "kalu_ui/atspi/bridge.h"

// The bridge's two halves: the state the UI thread and the bridge's thread
// share, and the service on the bridge's thread that speaks D-Bus.
namespace kalu_ui::atspi {

// Between the UI thread and the bridge's thread.
struct Bridge::Shared {
  explicit Shared(wake::WakeHandle wake_handle) : wake(std::move(wake_handle)) {}

  wake::WakeHandle wake;
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  // Guarded by `mutex`.
  std::shared_ptr<const Snapshot> snapshot;
  std::uint64_t generation = 0;
  std::vector<Request> requests;
  SnapshotOptions window;
  Status status = Status::Connecting;

  // The tree changed since the last snapshot; a client listens for events;
  // a client asked while the snapshot was stale.
  std::atomic<bool> stale{true};
  std::atomic<bool> listening{false};
  std::atomic<bool> demanded{false};
  std::atomic<bool> registered{false};

  std::shared_ptr<const Snapshot> latest() const;
  void set_status(Status next);
  // Queues a request and wakes the frame loop.
  void request(Request request);
  // Bridge thread: makes sure the snapshot is not older than the tree, as
  // far as the frame loop answers within `wait`.
  std::shared_ptr<const Snapshot> fresh(std::chrono::milliseconds wait);
};

// The bridge's thread: connects, registers, answers calls and emits events.
// Everything here runs on that thread, in its own main context, except
// stop() and published(), which only post work to it.
class Bridge::Service {
 public:
  Service(std::shared_ptr<Shared> shared, BridgeOptions options);
  ~Service();
  Service(const Service&) = delete;
  Service& operator=(const Service&) = delete;

  // The thread's body: runs until stop().
  void run();
  // Any thread: ends run() soon.
  void stop();
  // Any thread: a new snapshot was published; its events are emitted.
  void published();

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace kalu_ui::atspi
