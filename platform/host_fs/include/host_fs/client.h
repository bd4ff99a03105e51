#pragma once

#include <chrono>
#include <filesystem>
#include <span>
#include <string>

#include "host_fs/storage.h"
#include "kalu_ui/result.h"

// The client of the synced-file storage service (protocol.h). Every call
// blocks until the service answers or the time limit passes, so only
// worker threads use it; one client belongs to one thread at a time.
//
// The device's service: with KALU_DEVICE=system the platform's socket
// "/run/kalu/fs-storage.sock"; otherwise the simulated device's service at
// "$XDG_RUNTIME_DIR/kalu/fs-storage.sock", which this process starts on
// first use when nothing answers there. That service serves the "storage"
// section of the simulated device (sim_device): its synced folders, which
// files are held here and whether their copies elsewhere are verified, and
// the online flag; an eviction marks verified files as held elsewhere only
// (and queues the unverified ones) in the device's state. Faults injected as
// "storage.snapshot" and "storage.evict" answer their texts.
namespace host_fs {

inline constexpr const char* kSystemSocket = "/run/kalu/fs-storage.sock";

// The device's socket; an error when the simulated device's needs
// XDG_RUNTIME_DIR and it is not an absolute path.
kalu_ui::Result<std::filesystem::path> device_socket_path();

class StorageClient {
 public:
  // Connects to the service at `socket`.
  static ServiceResult<StorageClient> connect(const std::filesystem::path& socket);
  // Connects to the device's service (above).
  static ServiceResult<StorageClient> connect_device();

  StorageClient(StorageClient&& other) noexcept;
  StorageClient& operator=(StorageClient&& other) noexcept;
  StorageClient(const StorageClient&) = delete;
  StorageClient& operator=(const StorageClient&) = delete;
  ~StorageClient();  // closes the connection

  // The longest wait for an answer (30 seconds unless set).
  void set_timeout(std::chrono::milliseconds timeout) { timeout_ = timeout; }

  ServiceResult<SyncedSnapshot> snapshot();
  ServiceResult<ReclamationReport> evict(std::span<const EvictionSelection> files);

 private:
  explicit StorageClient(int fd) : fd_(fd) {}
  // Sends one request line and reads the answer line.
  ServiceResult<std::string> exchange(const std::string& request);

  int fd_ = -1;
  std::string pending_;  // bytes read past the last answer
  std::chrono::milliseconds timeout_ = std::chrono::seconds(30);
};

}  // namespace host_fs
