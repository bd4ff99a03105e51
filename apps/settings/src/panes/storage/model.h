#pragma once

// The Storage pane's plain data and the pure functions over it: the control
// ids its page writes, the category labels, what one local scan gives, the
// sums of a synced snapshot, the order of the largest items, the status
// sentences of a reclamation and the selection an eviction asks for. Only
// `scan_local` touches the disk, and only workers call it.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_rules/storage.h"
#include "host_fs/storage.h"
#include "operations/records.h"

namespace settings::panes::storage {

using desktop_rules::storage::Category;
using desktop_rules::storage::CleanupPreview;
using desktop_rules::storage::StorageItem;
using desktop_rules::storage::StorageRoots;
using desktop_rules::storage::StorageSnapshot;
using operations::StorageOperation;

// The page's buttons (widget ids) and the one-shot flags they write.
namespace control {
inline constexpr std::string_view kFree = "storage.sync.free";
inline constexpr std::string_view kFreeFlag = "storage.sync.free.edit";
inline constexpr std::string_view kClean = "storage.clean";
inline constexpr std::string_view kCleanFlag = "storage.cleanup.confirmed.edit";
inline constexpr std::string_view kDisks = "storage.disks";
inline constexpr std::string_view kDisksFlag = "storage.open.disks.edit";
inline constexpr std::string_view kBackups = "storage.backups";
inline constexpr std::string_view kBackupsFlag = "storage.open.backups.edit";
}  // namespace control

// The flag an operation of this variant sets.
std::string_view flag_of(const StorageOperation& operation);

// How many synced files, largest items and cache items the page lists.
inline constexpr std::size_t kListedRows = 8;

// The texts the pane shows and completes operations with.
namespace text {
inline constexpr std::string_view kLoadingSynced = "Loading synced storage…";
inline constexpr std::string_view kMeasuring = "Measuring…";
inline constexpr std::string_view kNotAvailable = "Not available";
inline constexpr std::string_view kServiceEnded = "Sync storage service ended unexpectedly.";
inline constexpr std::string_view kEvictionEnded =
    "The sync storage request ended unexpectedly; nothing was assumed removed.";
inline constexpr std::string_view kNoSyncedFiles = "No reclaimable synced files are available.";
inline constexpr std::string_view kNoCache = "No reclaimable application cache is available.";
inline constexpr std::string_view kReclaimed = "Synced-file reclamation completed.";
inline constexpr std::string_view kCachesCleaned = "Application caches cleaned.";
inline constexpr std::string_view kOpenedDisks = "Opened Disks.";
inline constexpr std::string_view kOpenedBackups = "Opened Backups.";
inline constexpr std::string_view kQueuedFiles =
    "Queued for verified background reclamation; not counted as safe to free:";
std::string service_unavailable(std::string_view reason);  // "Sync storage service unavailable: {}"
std::string nothing_removed(std::string_view reason);      // "Nothing was removed: {}"
std::string cleanup_failed(std::string_view reason);  // "Could not clean application caches: {}"
}  // namespace text

// "Installed apps", "App data", "Cache", "Synced files".
std::string_view category_label(Category category);

// One walk of the local storage: the scan of every root and the preview of
// the cache root's clean-up (none without a cache root, or when the cache
// root cannot be read).
struct LocalScan {
  StorageSnapshot scan;
  std::optional<CleanupPreview> preview;
};
LocalScan scan_local(const StorageRoots& roots);

// The synced snapshot's usage records added up.
struct SyncedTotals {
  std::uint64_t total = 0;
  std::uint64_t on_device = 0;
  std::uint64_t remote_only = 0;
  std::uint64_t safe_to_free = 0;
};
SyncedTotals synced_totals(const host_fs::SyncedSnapshot& snapshot);

// The files with reclaimable bytes the page lists, at most `limit` in all,
// each in snapshot order: first those a press frees at once (their bytes are
// what "Safe to free" adds up), then those it only queues until their copy
// elsewhere is verified.
struct ListedFiles {
  std::vector<const host_fs::SyncedFileState*> freed_at_once;
  std::vector<const host_fs::SyncedFileState*> queued;
};
ListedFiles listed_files(const host_fs::SyncedSnapshot& snapshot, std::size_t limit);

// Every file with reclaimable bytes, in snapshot order.
std::vector<host_fs::EvictionSelection> eviction_selection(const host_fs::SyncedSnapshot& snapshot);

// The status line after an eviction answered with `report`.
std::string reclamation_status(const host_fs::ReclamationReport& report);

// The scan's items largest first (equal sizes keep the scan's order), at
// most `limit`.
std::vector<const StorageItem*> largest_items(const StorageSnapshot& scan, std::size_t limit);

// A cache item's file name, or "Cache item" when it has none or the name is
// not valid text.
std::string cache_item_name(const std::filesystem::path& path);

}  // namespace settings::panes::storage
