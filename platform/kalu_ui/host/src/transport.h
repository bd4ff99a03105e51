#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kalu_ui/host.h"

namespace kalu_ui::host {

// One request line of one connection, and the answer line to it.
struct Envelope {
  std::uint64_t client = 0;
  std::string line;
};

// The socket side of the automation host: the listening socket and the
// thread that serves every connection, with the queues it shares with the UI
// thread.
struct AutomationHost::Transport {
  static Result<std::unique_ptr<Transport>> open(const std::string& path,
                                                 const TransportOptions& options,
                                                 wake::WakeHandle wake);
  ~Transport();

  // UI thread: up to `max` waiting requests, oldest first.
  std::vector<Envelope> take(std::size_t max);
  bool has_requests() const;
  // UI thread: answers to hand to their connections (dropped when gone).
  void answer(std::vector<Envelope> answers);

  void run();
  void notify();

  std::string path;
  TransportOptions options;
  wake::WakeHandle wake;
  int listen_fd = -1;
  int event_fd = -1;
  dev_t socket_dev = 0;
  ino_t socket_ino = 0;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::deque<Envelope> inbound;
  std::deque<Envelope> outbound;
  std::thread thread;
};

}  // namespace kalu_ui::host
