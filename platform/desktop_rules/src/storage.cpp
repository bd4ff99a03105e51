#include "desktop_rules/storage.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "limited_exec/text.h"
#include "prefs_store/paths.h"
#include "tree.h"

namespace desktop_rules::storage {
namespace {

namespace fs = std::filesystem;

constexpr Category kCategories[] = {Category::InstalledApps, Category::AppData, Category::Cache,
                                    Category::SyncedFiles};

struct Listed {
  std::string name;  // the raw file name
  std::uint64_t size = 0;
};

// The entries directly inside `root` with their sizes: nothing when the root
// does not exist, an error when it cannot be read.
kalu_ui::Result<std::vector<Listed>> list_root(const fs::path& root) {
  const tree::Fd dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) {
    if (errno == ENOENT) return std::vector<Listed>();
    return kalu_ui::fail("cannot read {}: {}", root.string(), std::strerror(errno));
  }
  auto names = tree::names_in(dir.get());
  if (!names) return kalu_ui::fail("cannot read {}: {}", root.string(), names.error());
  std::vector<Listed> listed;
  listed.reserve(names->size());
  for (std::string& name : *names) {
    const std::uint64_t size = tree::measure_at(dir.get(), name);
    listed.push_back(Listed{std::move(name), size});
  }
  return listed;
}

// The preview item's path below the root, as single names; nothing when it
// does not lie inside the root.
std::optional<std::vector<std::string>> steps_below(const fs::path& root, const fs::path& path) {
  const fs::path relative = path.lexically_normal().lexically_relative(root.lexically_normal());
  if (relative.empty() || relative == ".") return std::nullopt;
  std::vector<std::string> steps;
  for (const fs::path& part : relative) {
    if (part == ".." || part == "." || part.empty()) return std::nullopt;
    steps.push_back(part.string());
  }
  return steps;
}

// Removes one item, walking to it from the open root.
kalu_ui::Status remove_item(int root, dev_t device, const CleanupItem& item,
                            const std::vector<std::string>& steps) {
  tree::Fd parent(::fcntl(root, F_DUPFD_CLOEXEC, 0));
  if (!parent)
    return kalu_ui::fail("could not remove {}: {}", item.path.string(), std::strerror(errno));
  for (std::size_t i = 0; i + 1 < steps.size(); ++i) {
    tree::Fd next = tree::open_dir_at(parent.get(), steps[i].c_str());
    if (!next) {
      if (errno == ENOENT) return {};  // already gone with its folder
      if (errno == ELOOP || errno == ENOTDIR) {
        return kalu_ui::fail("{} no longer lies inside the cache folder", item.path.string());
      }
      return kalu_ui::fail("could not remove {}: {}", item.path.string(), std::strerror(errno));
    }
    parent = std::move(next);
  }
  return tree::remove_at(parent.get(), steps.back(), device, item.path.string());
}

}  // namespace

StorageRoots StorageRoots::discover(const std::optional<fs::path>& data_home,
                                    const std::optional<fs::path>& cache_home) {
  StorageRoots roots;
  if (data_home) {
    roots.installed_apps = *data_home / "kalu" / "apps";
    roots.app_data = *data_home / "kalu" / "app-data";
    roots.synced = *data_home / "kalu" / "synced";
  }
  if (cache_home) roots.cache = *cache_home / "kalu" / "app-cache";
  return roots;
}

StorageRoots StorageRoots::discover() {
  return discover(prefs_store::data_dir(), prefs_store::cache_dir());
}

const std::optional<fs::path>& StorageRoots::root(Category category) const {
  switch (category) {
    case Category::InstalledApps:
      return installed_apps;
    case Category::AppData:
      return app_data;
    case Category::Cache:
      return cache;
    case Category::SyncedFiles:
      break;
  }
  return synced;
}

std::array<std::uint64_t, kCategoryCount> StorageSnapshot::totals() const {
  std::array<std::uint64_t, kCategoryCount> totals{};
  for (const StorageItem& item : items)
    totals[static_cast<std::size_t>(item.category)] += item.size;
  return totals;
}

bool StorageSnapshot::measured(Category category) const {
  return std::find(not_measured.begin(), not_measured.end(), category) == not_measured.end();
}

StorageSnapshot scan_storage(const StorageRoots& roots) {
  StorageSnapshot snapshot;
  for (const Category category : kCategories) {
    const auto& root = roots.root(category);
    auto listed = root ? list_root(*root) : kalu_ui::fail("no root");
    if (!listed) {
      snapshot.not_measured.push_back(category);
      continue;
    }
    std::sort(listed->begin(), listed->end(),
              [](const Listed& a, const Listed& b) { return a.name < b.name; });
    for (Listed& entry : *listed) {
      snapshot.items.push_back(StorageItem{limited_exec::decode_lossy(entry.name),
                                           *root / entry.name, entry.size, category});
    }
  }
  return snapshot;
}

kalu_ui::Result<CleanupPreview> preview_cache_cleanup(const fs::path& cache_root) {
  auto listed = list_root(cache_root);
  if (!listed) return std::unexpected(listed.error());
  std::sort(listed->begin(), listed->end(), [](const Listed& a, const Listed& b) {
    return a.size != b.size ? a.size > b.size : a.name < b.name;
  });
  CleanupPreview preview;
  preview.root = cache_root;
  for (const Listed& entry : *listed) {
    preview.items.push_back(CleanupItem{cache_root / entry.name, entry.size});
    preview.total_bytes += entry.size;
  }
  return preview;
}

kalu_ui::Status apply_cleanup(const CleanupPreview& preview) {
  if (preview.root.empty() || !preview.root.is_absolute()) {
    return kalu_ui::fail("\"{}\" is no cache folder", preview.root.string());
  }
  std::vector<std::vector<std::string>> steps;
  for (const CleanupItem& item : preview.items) {
    auto below = steps_below(preview.root, item.path);
    if (!below) {
      return kalu_ui::fail("{} is not inside the cache folder {}", item.path.string(),
                           preview.root.string());
    }
    steps.push_back(std::move(*below));
  }
  if (steps.empty()) return {};

  const tree::Fd root(
      ::open(preview.root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!root) {
    if (errno == ENOENT) return {};  // the whole cache is gone already
    return kalu_ui::fail("cannot open the cache folder {}: {}", preview.root.string(),
                         std::strerror(errno));
  }
  struct stat st {};
  if (::fstat(root.get(), &st) != 0) {
    return kalu_ui::fail("cannot open the cache folder {}: {}", preview.root.string(),
                         std::strerror(errno));
  }
  kalu_ui::Status first;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    auto removed = remove_item(root.get(), st.st_dev, preview.items[i], steps[i]);
    if (!removed && first) first = std::move(removed);
  }
  return first;
}

}  // namespace desktop_rules::storage
