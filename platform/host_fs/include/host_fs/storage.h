#pragma once

#include <cstdint>
#include <expected>
#include <string>
#include <vector>

// The records of the synced-file storage service: how much synced data the
// device holds, which local copies may be freed because verified copies live
// on other devices, and what a reclamation freed.
namespace host_fs {

// The usage of one synced folder (or account).
struct StorageUsage {
  std::string name;
  std::uint64_t total_bytes = 0;         // everything synced
  std::uint64_t local_bytes = 0;         // held on this device
  std::uint64_t remote_only_bytes = 0;   // held on other devices only
  std::uint64_t safe_to_free_bytes = 0;  // local copies verified elsewhere

  bool operator==(const StorageUsage&) const = default;
};

// One synced file and the bytes a reclamation would free on this device.
// A file whose copy elsewhere is not verified yet is only queued by an
// eviction: its bytes are reclaimable later, but not safe to free now.
struct SyncedFileState {
  std::string id;    // the service's own id, handed back in an eviction
  std::string name;  // for people
  std::uint64_t reclaimable_bytes = 0;
  bool awaits_verification = false;

  bool operator==(const SyncedFileState&) const = default;
};

struct SyncedSnapshot {
  std::vector<StorageUsage> usage;
  std::vector<SyncedFileState> files;
  bool online = false;

  bool operator==(const SyncedSnapshot&) const = default;
};

// A file the person asked to free, with the bytes the snapshot promised.
struct EvictionSelection {
  std::string id;
  std::uint64_t bytes = 0;

  static EvictionSelection from(const SyncedFileState& file) {
    return EvictionSelection{file.id, file.reclaimable_bytes};
  }
  bool operator==(const EvictionSelection&) const = default;
};

// What an eviction did: files freed at once and their bytes, and files
// queued for reclamation once their remote copies are verified.
struct ReclamationReport {
  std::uint64_t files_freed = 0;
  std::uint64_t bytes_freed = 0;
  std::uint64_t files_queued = 0;

  bool operator==(const ReclamationReport&) const = default;
};

// Why a request to the service has no answer. `Closed`: the service ended
// the connection before it answered (it may have stopped in the middle of
// the work); `Failed`: anything else, with the service's own error text
// when it sent one.
struct ServiceError {
  enum class Kind { Failed, Closed };
  Kind kind = Kind::Failed;
  std::string message;
};

template <typename T>
using ServiceResult = std::expected<T, ServiceError>;

}  // namespace host_fs
