#include "panes/storage/page.h"

#include <fmt/format.h>

#include <string>

#include "actions/storage_printers_section.h"
#include "kalu_ui/format.h"
#include "kalu_ui/log.h"
#include "lib/flag_button.h"
#include "lib/ui_rows.h"
#include "panes/storage/storage_pane.h"

namespace settings::panes::storage {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using ui_rows::WidgetList;

std::string size_text(std::uint64_t bytes) { return kalu_ui::format::bytes_si(bytes); }

// A button bound to one action of the Storage section: a press records the
// action, which the application carries out as it does a client's request,
// so the pane takes it once, under its own key. The section offers every
// action the page binds, so a missing one is a fault of the program: it is
// logged and the button writes its `flag` instead, which the pane acts on
// itself.
WidgetBox storage_button(std::string label, std::string_view id, std::string_view flag,
                         std::string_view action) {
  auto binding = actions::storage_command_binding(action);
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::storage", "storage action is missing",
                       {{"op", "build_page"}, {"action", std::string(action)}});
    return w::boxed(lib::FlagButton(std::move(label), std::string(id), std::string(flag)));
  }
  w::Button button(std::move(label));
  button.with_id(std::string(id)).on_action(std::move(*binding));
  return w::boxed(std::move(button));
}

// The value of a local category's row.
std::string local_value(const StoragePane& pane, Category category) {
  if (pane.measuring()) return std::string(text::kMeasuring);
  const auto& scan = pane.scan();
  if (!scan || !scan->measured(category)) return std::string(text::kNotAvailable);
  return size_text(scan->totals()[static_cast<std::size_t>(category)]);
}

WidgetBox usage_card(const StoragePane& pane) {
  WidgetList rows;
  for (Category category : {Category::InstalledApps, Category::AppData, Category::Cache}) {
    rows.push_back(ui_rows::info_row(category_label(category), local_value(pane, category)));
  }
  const std::string synced = pane.synced() ? size_text(synced_totals(*pane.synced()).total)
                                           : std::string(text::kNotAvailable);
  rows.push_back(ui_rows::info_row(category_label(Category::SyncedFiles), synced));
  return ui_rows::section_card("Storage use", ui_rows::rows_column(std::move(rows)));
}

// Why there is no "Free" button, shown in its place.
std::string_view nothing_to_free(const StoragePane& pane) {
  if (pane.evicting()) return "Verifying remote copies and freeing local space…";
  if (pane.synced()->online) {
    return "Nothing is safely reclaimable. Dirty, pinned, shared, and unverified content stays "
           "local.";
  }
  return "You are offline. Local synced content stays available and cannot be reclaimed.";
}

WidgetBox synced_card(const StoragePane& pane) {
  WidgetList rows;
  if (!pane.synced()) {
    rows.push_back(ui_rows::caption(pane.status() ? std::string_view(*pane.status())
                                                  : "Sync storage accounting is not available."));
    return ui_rows::section_card("Synced storage", ui_rows::rows_column(std::move(rows)));
  }
  const host_fs::SyncedSnapshot& synced = *pane.synced();
  const SyncedTotals totals = synced_totals(synced);
  rows.push_back(ui_rows::info_row("On this device", size_text(totals.on_device)));
  rows.push_back(ui_rows::info_row("On other devices only", size_text(totals.remote_only)));
  rows.push_back(ui_rows::info_row("Safe to free", size_text(totals.safe_to_free)));
  if (pane.status()) rows.push_back(ui_rows::caption(*pane.status()));
  const ListedFiles listed = listed_files(synced, kListedRows);
  for (const host_fs::SyncedFileState* file : listed.freed_at_once) {
    rows.push_back(ui_rows::info_row(file->name, size_text(file->reclaimable_bytes)));
  }
  // Listed apart, so the rows above add up to what is safe to free.
  if (!listed.queued.empty()) {
    rows.push_back(ui_rows::caption(text::kQueuedFiles));
    for (const host_fs::SyncedFileState* file : listed.queued) {
      rows.push_back(ui_rows::info_row(file->name, size_text(file->reclaimable_bytes)));
    }
  }
  if (totals.safe_to_free == 0 || pane.evicting()) {
    rows.push_back(ui_rows::caption(nothing_to_free(pane)));
    return ui_rows::section_card("Synced storage", ui_rows::rows_column(std::move(rows)));
  }
  return ui_rows::section_card_with_control(
      "Synced storage",
      storage_button(fmt::format("Free {}", size_text(totals.safe_to_free)), control::kFree,
                     control::kFreeFlag, "free-synced-files"),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox largest_card(const StoragePane& pane) {
  WidgetList rows;
  if (pane.measuring()) {
    rows.push_back(ui_rows::caption(text::kMeasuring));
  } else if (!pane.scan()) {
    rows.push_back(ui_rows::caption(text::kNotAvailable));
  } else {
    for (const StorageItem* item : largest_items(*pane.scan(), kListedRows)) {
      rows.push_back(
          ui_rows::info_row(fmt::format("{} · {}", item->name, category_label(item->category)),
                            size_text(item->size)));
    }
    if (rows.empty()) {
      rows.push_back(ui_rows::caption("No Kalu application storage was found on this device."));
    }
  }
  return ui_rows::section_card("Largest items", ui_rows::rows_column(std::move(rows)));
}

WidgetBox cleanup_card(const StoragePane& pane) {
  const auto& preview = pane.cleanup_preview();
  if (!preview || preview->items.empty()) {
    WidgetList rows;
    rows.push_back(ui_rows::caption(pane.measuring() ? text::kMeasuring
                                                     : "There is no application cache to clean."));
    return ui_rows::section_card("Cache cleanup", ui_rows::rows_column(std::move(rows)));
  }
  WidgetList rows;
  rows.push_back(
      ui_rows::caption("Only the cache items listed below will be removed. App data, synced "
                       "files, and installed packages are never part of this action."));
  const std::size_t listed = std::min(preview->items.size(), kListedRows);
  for (std::size_t i = 0; i < listed; ++i) {
    const auto& item = preview->items[i];
    rows.push_back(ui_rows::info_row(cache_item_name(item.path), size_text(item.size)));
  }
  // The button removes the whole preview, so the list says what it does not show.
  if (preview->items.size() > listed) {
    rows.push_back(ui_rows::caption(fmt::format("and {} more", preview->items.size() - listed)));
  }
  return ui_rows::section_card_with_control(
      "Cache cleanup preview",
      storage_button(fmt::format("Remove {}", size_text(preview->total_bytes)), control::kClean,
                     control::kCleanFlag, "cleanup-caches"),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox tools_card() {
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "Disks", "Partitions, formatting, drive health, and removable media",
      storage_button("Open Disks", control::kDisks, control::kDisksFlag, "open-disks")));
  rows.push_back(ui_rows::described_row(
      "Backups", "Backup history, schedules, retention, and restore",
      storage_button("Open Backups", control::kBackups, control::kBackupsFlag, "open-backups")));
  rows.push_back(
      ui_rows::caption("These open the exact specialist workspace through the shell. Settings "
                       "does not duplicate destructive disk or restore workflows."));
  return ui_rows::section_card("Storage tools", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

WidgetBox build_page(const StoragePane& pane) {
  WidgetList cards;
  cards.push_back(usage_card(pane));
  cards.push_back(synced_card(pane));
  cards.push_back(largest_card(pane));
  cards.push_back(cleanup_card(pane));
  cards.push_back(tools_card());
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::storage
