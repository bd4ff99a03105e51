#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// Local storage of the platform's applications: how much each one uses, and
// the clean-up of their caches.
//
// Layout (one folder per application, or per synced folder, in each root):
//
//   <data home>/kalu/apps/<app>/        installed applications   "Installed apps"
//   <data home>/kalu/app-data/<app>/    their data               "App data"
//   <cache home>/kalu/app-cache/<app>/  their caches             "Cache"
//   <data home>/kalu/synced/<folder>/   local copies of synced   "Synced files"
//                                       folders
//
// <data home> is $XDG_DATA_HOME (else ~/.local/share), <cache home> is
// $XDG_CACHE_HOME (else ~/.cache). A root whose home is unknown is absent; a
// root folder that does not exist holds nothing.
//
// Sizes are the apparent sizes (st_size) of the regular files and symbolic
// links below a folder; symbolic links are never followed, and folders
// nested deeper than 128 levels are not counted. Every call reads the disk
// and may take long for large trees: call it off the UI thread.
//
// Clean-up removes exactly what a preview listed, each path only while it
// still lies inside the cache root: the path is walked from the root one
// folder at a time with openat(O_NOFOLLOW), so a folder replaced by a
// symbolic link since the preview is refused rather than followed, a
// symbolic link is removed as a link (its target stays), and nothing on
// another file system is entered.
namespace desktop_rules::storage {

enum class Category : std::uint8_t { InstalledApps = 0, AppData = 1, Cache = 2, SyncedFiles = 3 };
inline constexpr std::size_t kCategoryCount = 4;

struct StorageRoots {
  std::optional<std::filesystem::path> installed_apps;
  std::optional<std::filesystem::path> app_data;
  std::optional<std::filesystem::path> cache;
  std::optional<std::filesystem::path> synced;

  // The roots of the environment's data and cache homes.
  static StorageRoots discover();
  // The roots below the given homes (tests).
  static StorageRoots discover(const std::optional<std::filesystem::path>& data_home,
                               const std::optional<std::filesystem::path>& cache_home);

  const std::optional<std::filesystem::path>& root(Category category) const;
};

// One entry directly inside a root: an application's folder (or a stray
// file), named by its file name (bytes that are not UTF-8 shown as U+FFFD).
struct StorageItem {
  std::string name;
  std::filesystem::path path;
  std::uint64_t size = 0;
  Category category = Category::InstalledApps;
};

// What `scan_storage` found.
struct StorageSnapshot {
  std::vector<StorageItem> items;      // by category, then by name
  std::vector<Category> not_measured;  // roots absent or unreadable

  // Bytes per category (indexed by the category's value); 0 for a category
  // that was not measured.
  std::array<std::uint64_t, kCategoryCount> totals() const;
  bool measured(Category category) const;
};

StorageSnapshot scan_storage(const StorageRoots& roots);

struct CleanupItem {
  std::filesystem::path path;
  std::uint64_t size = 0;
};

struct CleanupPreview {
  std::filesystem::path root;
  std::vector<CleanupItem> items;  // largest first, then by name
  std::uint64_t total_bytes = 0;
};

// Every entry directly inside the cache root, with its size. A root that
// does not exist gives an empty preview; one that cannot be read an error.
kalu_ui::Result<CleanupPreview> preview_cache_cleanup(const std::filesystem::path& cache_root);

// Removes the preview's items (folders with all they hold). Refused before
// anything is removed when an item does not lie inside the preview's root.
// An item already gone counts as removed. A failure does not stop the other
// items; the first one is reported ("could not remove <path>: <reason>").
kalu_ui::Status apply_cleanup(const CleanupPreview& preview);

}  // namespace desktop_rules::storage
