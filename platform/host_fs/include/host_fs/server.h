#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_fs/storage.h"
#include "kalu_ui/result.h"

// A synced-file storage service on a Unix socket: it serves a backend with
// the wire protocol of protocol.h. The simulated device runs one in its
// user's process; tests run one in a temporary folder, with a backend or with
// a handler that scripts answer lines (garbage, no answer) directly.
//
// One thread ("kalu-fs-storage") accepts connections from the same user
// (at most 16 at a time) and calls the handler for one request line at a
// time, so a backend need not be thread-safe. A connection idle for 30
// seconds is closed. The socket is made 0600 in a folder made 0700 when
// missing; a socket file left by a server that is gone is replaced, one
// that still answers is not.
namespace host_fs {

// What the simulated device or a test serves.
class StorageBackend {
 public:
  virtual ~StorageBackend() = default;
  virtual kalu_ui::Result<SyncedSnapshot> snapshot() = 0;
  virtual kalu_ui::Result<ReclamationReport> evict(const std::vector<EvictionSelection>& files) = 0;
};

// The answer line (without "\n") to a request line; nothing to close the
// connection without answering.
using LineHandler = std::function<std::optional<std::string>(std::string_view request)>;

// Answers requests from `backend` (an unreadable request gets an error).
LineHandler backend_handler(std::shared_ptr<StorageBackend> backend);

class StorageServer {
 public:
  static kalu_ui::Result<std::unique_ptr<StorageServer>> start(const std::filesystem::path& socket,
                                                               LineHandler handler);
  static kalu_ui::Result<std::unique_ptr<StorageServer>> start(
      const std::filesystem::path& socket, std::shared_ptr<StorageBackend> backend);

  // Stops serving, closes every connection and removes the socket file.
  ~StorageServer();
  StorageServer(const StorageServer&) = delete;
  StorageServer& operator=(const StorageServer&) = delete;

  const std::filesystem::path& path() const;

 private:
  struct Impl;
  explicit StorageServer(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace host_fs
