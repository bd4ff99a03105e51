#pragma once

#include <sys/types.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>

#include "kalu_ui/host.h"
#include "lanes.h"

namespace kalu_ui::host {

// What one client may hold of the application's memory. Every bound is
// checked where the buffer grows.
namespace limits {
// Bytes read per client and turn of the socket thread.
inline constexpr std::size_t kReadChunk = std::size_t{64} << 10;
// A client is passed over by the UI thread while this much of its answers
// is unsent, so a client that does not read gets at most one answer more.
inline constexpr std::size_t kPauseUnsentBytes = std::size_t{1} << 20;
// A client with more unsent than this (one answer that large) is answered
// with an error and disconnected.
inline constexpr std::size_t kMaxUnsentBytes = std::size_t{64} << 20;
// Connections accepted per turn of the socket thread, so that a storm of
// connections never keeps it from serving the clients it has.
inline constexpr std::size_t kAcceptsPerTurn = 16;
inline constexpr int kListenBacklog = 64;

// Bytes of requests a client may have received, counting its unfinished
// line and its requests not yet answered: room for one longest line.
constexpr std::size_t input_budget(const TransportOptions& options) {
  return options.max_line_bytes + kReadChunk;
}
}  // namespace limits

// The socket side of the automation host: the listening socket and the
// thread that serves every connection, with the lanes it shares with the UI
// thread.
struct AutomationHost::Transport {
  static Result<std::unique_ptr<Transport>> open(const std::string& path,
                                                 const TransportOptions& options,
                                                 wake::WakeHandle wake);
  ~Transport();

  // UI thread: an answer for the socket thread to write.
  void answer(Envelope answer);
  // Wakes the socket thread.
  void notify();
  // The socket thread.
  void run();
  class Loop;

  std::string path;
  TransportOptions options;
  wake::WakeHandle wake;
  int listen_fd = -1;
  int event_fd = -1;
  dev_t socket_dev = 0;
  ino_t socket_ino = 0;
  std::atomic<bool> stopping{false};
  RequestLanes lanes{limits::kPauseUnsentBytes};
  std::thread thread;
};

}  // namespace kalu_ui::host
