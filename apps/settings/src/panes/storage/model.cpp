#include "panes/storage/model.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <variant>

#include "kalu_ui/format.h"

namespace settings::panes::storage {
namespace {

using C = operations::StorageOperationCases;

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

// Well-formed UTF-8: no stray continuation bytes, no overlong forms, no
// surrogates, nothing past U+10FFFF.
bool valid_utf8(std::string_view bytes) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    std::size_t length = 0;
    char32_t point = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      point = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > bytes.size()) return false;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      point = (point << 6) | (next & 0x3F);
    }
    const bool overlong = (length == 3 && point < 0x800) || (length == 4 && point < 0x10000);
    if (overlong || (point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF) return false;
    i += length;
  }
  return true;
}

}  // namespace

std::string_view flag_of(const StorageOperation& operation) {
  return std::visit(Overloaded{
                        [](const C::CleanupCaches&) { return control::kCleanFlag; },
                        [](const C::FreeSyncedFiles&) { return control::kFreeFlag; },
                        [](const C::OpenDisks&) { return control::kDisksFlag; },
                        [](const C::OpenBackups&) { return control::kBackupsFlag; },
                    },
                    static_cast<const StorageOperation::variant&>(operation));
}

namespace text {

std::string service_unavailable(std::string_view reason) {
  return fmt::format("Sync storage service unavailable: {}", reason);
}

std::string nothing_removed(std::string_view reason) {
  return fmt::format("Nothing was removed: {}", reason);
}

std::string cleanup_failed(std::string_view reason) {
  return fmt::format("Could not clean application caches: {}", reason);
}

}  // namespace text

std::string_view category_label(Category category) {
  static constexpr std::array<std::string_view, desktop_rules::storage::kCategoryCount> kLabels = {
      "Installed apps", "App data", "Cache", "Synced files"};
  const auto index = static_cast<std::size_t>(category);
  return index < kLabels.size() ? kLabels[index] : std::string_view("Storage");
}

LocalScan scan_local(const StorageRoots& roots) {
  LocalScan local;
  local.scan = desktop_rules::storage::scan_storage(roots);
  if (roots.cache) {
    auto preview = desktop_rules::storage::preview_cache_cleanup(*roots.cache);
    if (preview) local.preview = std::move(*preview);
  }
  return local;
}

SyncedTotals synced_totals(const host_fs::SyncedSnapshot& snapshot) {
  SyncedTotals totals;
  for (const host_fs::StorageUsage& usage : snapshot.usage) {
    totals.total += usage.total_bytes;
    totals.on_device += usage.local_bytes;
    totals.remote_only += usage.remote_only_bytes;
    totals.safe_to_free += usage.safe_to_free_bytes;
  }
  return totals;
}

ListedFiles listed_files(const host_fs::SyncedSnapshot& snapshot, std::size_t limit) {
  ListedFiles listed;
  for (const bool awaiting : {false, true}) {
    auto& rows = awaiting ? listed.queued : listed.freed_at_once;
    for (const host_fs::SyncedFileState& file : snapshot.files) {
      if (listed.freed_at_once.size() + listed.queued.size() == limit) return listed;
      if (file.reclaimable_bytes > 0 && file.awaits_verification == awaiting) {
        rows.push_back(&file);
      }
    }
  }
  return listed;
}

std::vector<host_fs::EvictionSelection> eviction_selection(
    const host_fs::SyncedSnapshot& snapshot) {
  std::vector<host_fs::EvictionSelection> selection;
  for (const host_fs::SyncedFileState& file : snapshot.files) {
    if (file.reclaimable_bytes > 0) selection.push_back(host_fs::EvictionSelection::from(file));
  }
  return selection;
}

std::string reclamation_status(const host_fs::ReclamationReport& report) {
  const std::string freed = kalu_ui::format::bytes_si(report.bytes_freed);
  if (report.files_queued > 0 && report.files_freed > 0) {
    return fmt::format(
        "Freed {} from {} synced file(s); {} more queued for verified background reclamation.",
        freed, report.files_freed, report.files_queued);
  }
  if (report.files_queued > 0) {
    return fmt::format(
        "{} synced file(s) queued for verified background reclamation; nothing is counted as "
        "free until GC confirms it.",
        report.files_queued);
  }
  return fmt::format("Freed {} from {} synced files.", freed, report.files_freed);
}

std::vector<const StorageItem*> largest_items(const StorageSnapshot& scan, std::size_t limit) {
  std::vector<const StorageItem*> items;
  items.reserve(scan.items.size());
  for (const StorageItem& item : scan.items) items.push_back(&item);
  std::ranges::stable_sort(
      items, [](const StorageItem* a, const StorageItem* b) { return a->size > b->size; });
  if (items.size() > limit) items.resize(limit);
  return items;
}

std::string cache_item_name(const std::filesystem::path& path) {
  std::string name = path.filename().native();
  if (name.empty() || name == "." || name == ".." || !valid_utf8(name)) return "Cache item";
  return name;
}

}  // namespace settings::panes::storage
