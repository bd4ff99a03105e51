#pragma once

// The Storage pane (Pane::kStorage, "storage"): how the device's storage is used,
// cleaning the applications' caches, freeing local copies of synced files the
// storage service verified elsewhere, and the Disks and Backups tools.
//
// What the pane promises:
// - Nothing slow runs on the UI thread. The local scan and the cache clean-up
//   preview walk folders of unknown size on "kalu-storage-scan" (at
//   construction, and again after every clean-up, which runs there too);
//   until the first scan answers the local rows read "Measuring…". The
//   synced-file snapshot and evictions go through the storage service on
//   "kalu-storage-sync"; opening a tool updates the device on
//   "kalu-storage-tool". `sync` polls the answers without blocking.
// - The one-shot flags in the state document (model.h, control) start the
//   work; `sync` takes each once. A storage operation from the executor
//   (request tag 6) writes its button's flag and is handled by the same step
//   in the same `sync`. The page's buttons record the Storage section's
//   actions, which reach the pane that way.
// - Every storage operation completes exactly once, under the key of its own
//   variant only: CleanupCaches when the clean-up worker answers (a clean-up
//   asked while a scan runs waits for it), FreeSyncedFiles when the eviction
//   answers, OpenDisks and OpenBackups when the tool opened. FreeSyncedFiles
//   asked while a snapshot is loading (the first one after the pane is
//   built, or the one after an eviction) waits for it and is judged on
//   what it lists; with no snapshot to be had, or while an eviction runs,
//   it fails at once.
// - A worker thread that cannot start is reported, never fatal: the scan's
//   rows read "Not available", the snapshot's reason and the eviction's
//   appear in the "Synced storage" card, and the operation fails with it.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host_fs/storage.h"
#include "kalu_ui/document.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/storage/model.h"
#include "panes/storage/workers.h"
#include "vocabulary/registry.h"

namespace settings::panes::storage {

class StoragePane final : public lib::PagePane,
                          public operations::WithOperationLink<StoragePane, StorageOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kStorage).type_name;

  // On the device's storage, storage service and tools.
  StoragePane();
  // On `services` (tests); empty members are the device's own.
  explicit StoragePane(StorageServices services);
  ~StoragePane() override;
  StoragePane(StoragePane&&) noexcept;
  StoragePane& operator=(StoragePane&&) noexcept;

  // Asks the storage service for a fresh snapshot; the one shown stays until
  // it answers.
  void request_snapshot();

  // The model, as the page shows it.
  const StorageRoots& roots() const { return roots_; }
  // None until the first scan answers (or when it could not run).
  const std::optional<StorageSnapshot>& scan() const { return scan_; }
  bool measuring() const { return !scan_ && !scan_failed_; }
  const std::optional<CleanupPreview>& cleanup_preview() const { return preview_; }
  const std::optional<host_fs::SyncedSnapshot>& synced() const { return synced_; }
  const std::optional<std::string>& status() const { return status_; }
  bool evicting() const { return eviction_receiver_.has_value(); }
  bool scanning() const { return scan_receiver_.has_value() || cleanup_receiver_.has_value(); }
  bool loading_snapshot() const { return snapshot_receiver_.has_value(); }
  bool opening_tool() const { return !tool_jobs_.empty(); }
  // Whether any worker's answer is still awaited.
  bool busy() const { return evicting() || scanning() || loading_snapshot() || opening_tool(); }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;

 private:
  struct ToolJob {
    StorageOperation operation;
    ToolReceiver receiver;
  };

  // sync's steps.
  void take_request(kalu_ui::doc::Document& work);
  void poll_snapshot();
  void poll_eviction();
  void poll_scan();
  void poll_cleanup();
  void poll_tools();
  void run_triggers(kalu_ui::doc::Document& work);
  // Frees the synced files asked for once no snapshot is loading.
  void run_waiting_free();
  // The handlers both roads share.
  void start_scan();
  void clean_caches();
  void free_synced_files();
  void open_tool(const StorageOperation& operation, ToolIntent intent);
  void set_status(std::optional<std::string> status);

  StorageServices services_;
  StorageRoots roots_;
  std::optional<StorageSnapshot> scan_;
  bool scan_failed_ = false;
  std::optional<CleanupPreview> preview_;
  std::optional<host_fs::SyncedSnapshot> synced_;
  std::optional<std::string> status_;
  std::optional<SnapshotReceiver> snapshot_receiver_;
  std::optional<EvictionReceiver> eviction_receiver_;
  std::optional<ScanReceiver> scan_receiver_;
  std::optional<CleanupReceiver> cleanup_receiver_;
  std::vector<ToolJob> tool_jobs_;
  // A clean-up asked while the scan or another clean-up ran: it runs on the
  // preview that scan answers with.
  bool cleanup_waiting_ = false;
  // Synced files asked to be freed while the snapshot was loading.
  bool free_waiting_ = false;
};

}  // namespace settings::panes::storage
