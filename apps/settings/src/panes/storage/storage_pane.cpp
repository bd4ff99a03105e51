#include "panes/storage/storage_pane.h"

#include <utility>
#include <variant>

#include "operations/keys.h"
#include "panes/storage/page.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::storage {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::StorageOperationCases;

const StorageOperation kCleanup{C::CleanupCaches{}};
const StorageOperation kFree{C::FreeSyncedFiles{}};
const StorageOperation kDisks{C::OpenDisks{}};
const StorageOperation kBackups{C::OpenBackups{}};

}  // namespace

StoragePane::StoragePane() : StoragePane(StorageServices{}) {}

StoragePane::StoragePane(StorageServices services)
    : services_(std::move(services).completed()), roots_(*services_.roots) {
  start_scan();
  request_snapshot();
}

StoragePane::~StoragePane() = default;
StoragePane::StoragePane(StoragePane&&) noexcept = default;
StoragePane& StoragePane::operator=(StoragePane&&) noexcept = default;

// ---- sync -----------------------------------------------------------------------

void StoragePane::sync(doc::Document& toolkit_document) {
  doc::Document& work = link_.working(toolkit_document);
  take_request(work);
  poll_snapshot();
  run_waiting_free();
  poll_eviction();
  poll_scan();
  poll_cleanup();
  poll_tools();
  run_triggers(work);
  PagePane::sync(work);
}

void StoragePane::take_request(doc::Document& work) {
  const std::optional<StorageOperation> taken = link_.take();
  if (!taken) return;
  const StorageOperation& operation = *taken;
  // Writing under a key of the root cannot fail.
  (void)work.put(doc::kRoot, flag_of(operation), doc::Scalar(true));
}

void StoragePane::poll_snapshot() {
  if (!snapshot_receiver_) return;
  auto received = snapshot_receiver_->try_recv();
  if (received.is_empty()) return;
  snapshot_receiver_.reset();
  request_rebuild();
  if (received.is_disconnected()) {
    synced_.reset();
    set_status(std::string(text::kServiceEnded));
    return;
  }
  auto answer = std::move(received).value();
  if (!answer) {
    synced_.reset();
    set_status(text::service_unavailable(answer.error()));
    return;
  }
  synced_ = std::move(*answer);
  if (status_ == text::kLoadingSynced) set_status(std::nullopt);
}

void StoragePane::run_waiting_free() {
  // Judged on the snapshot being loaded, never on none or an older one.
  if (!free_waiting_ || loading_snapshot()) return;
  free_waiting_ = false;
  free_synced_files();
}

void StoragePane::poll_eviction() {
  if (!eviction_receiver_) return;
  auto received = eviction_receiver_->try_recv();
  if (received.is_empty()) return;
  eviction_receiver_.reset();
  request_rebuild();
  if (received.is_disconnected()) {
    set_status(std::string(text::kEvictionEnded));
    link_.complete(kFree, kalu_ui::fail(std::string(text::kServiceEnded)));
    return;
  }
  auto answer = std::move(received).value();
  if (!answer) {
    set_status(text::nothing_removed(answer.error()));
    link_.complete(kFree, kalu_ui::fail(text::nothing_removed(answer.error())));
    return;
  }
  request_snapshot();
  set_status(reclamation_status(*answer));
  // The files were gone or already queued by the time the service looked:
  // nothing was reclaimed, and the answer must not say it was.
  if (answer->files_freed == 0 && answer->files_queued == 0) {
    link_.complete(kFree, kalu_ui::fail(std::string(text::kNoSyncedFiles)));
    return;
  }
  link_.complete(kFree, std::string(text::kReclaimed));
}

void StoragePane::poll_scan() {
  if (!scan_receiver_) return;
  auto received = scan_receiver_->try_recv();
  if (received.is_empty()) return;
  scan_receiver_.reset();
  request_rebuild();
  if (received.is_disconnected()) {
    // Nothing to show: the rows say so rather than measuring for ever.
    if (!scan_) scan_failed_ = true;
    return;
  }
  LocalScan local = std::move(received).value();
  scan_ = std::move(local.scan);
  scan_failed_ = false;
  preview_ = std::move(local.preview);
}

void StoragePane::poll_cleanup() {
  if (!cleanup_receiver_) return;
  auto received = cleanup_receiver_->try_recv();
  if (received.is_empty()) return;
  cleanup_receiver_.reset();
  request_rebuild();
  if (received.is_disconnected()) {
    link_.complete(kCleanup,
                   kalu_ui::fail(text::cleanup_failed("the clean-up stopped unexpectedly")));
    start_scan();
    return;
  }
  CleanupAnswer answer = std::move(received).value();
  if (answer.after) {
    scan_ = std::move(answer.after->scan);
    scan_failed_ = false;
    preview_ = std::move(answer.after->preview);
  }
  if (answer.outcome) {
    link_.complete(kCleanup, std::string(text::kCachesCleaned));
  } else {
    link_.complete(kCleanup, kalu_ui::fail(text::cleanup_failed(answer.outcome.error())));
  }
}

void StoragePane::poll_tools() {
  std::erase_if(tool_jobs_, [&](ToolJob& job) {
    auto received = job.receiver.try_recv();
    if (received.is_empty()) return false;
    const bool disks = std::holds_alternative<C::OpenDisks>(job.operation);
    if (received.is_disconnected()) {
      link_.complete(job.operation, kalu_ui::fail(disks ? "Disks could not be opened"
                                                        : "Backups could not be opened"));
    } else if (const kalu_ui::Status& opened = received.value(); !opened) {
      link_.complete(job.operation, kalu_ui::fail(opened.error()));
    } else {
      link_.complete(job.operation, std::string(disks ? text::kOpenedDisks : text::kOpenedBackups));
    }
    return true;
  });
}

void StoragePane::run_triggers(doc::Document& work) {
  if (take_doc_flag(work, control::kCleanFlag)) cleanup_waiting_ = true;
  // A clean-up runs on the preview of the latest scan, so it waits for a
  // scan or clean-up that is still walking.
  if (cleanup_waiting_ && !scanning()) {
    cleanup_waiting_ = false;
    clean_caches();
  }
  if (take_doc_flag(work, control::kFreeFlag)) {
    free_waiting_ = true;
    run_waiting_free();
  }
  if (take_doc_flag(work, control::kDisksFlag)) open_tool(kDisks, ToolIntent::Disks);
  if (take_doc_flag(work, control::kBackupsFlag)) open_tool(kBackups, ToolIntent::Backups);
}

// ---- handlers ---------------------------------------------------------------------

void StoragePane::start_scan() {
  auto started = start_scan_worker(services_, roots_);
  if (!started) {
    if (!scan_) scan_failed_ = true;
    request_rebuild();
    return;
  }
  scan_receiver_ = std::move(*started);
}

void StoragePane::request_snapshot() {
  auto started = start_snapshot_worker(services_);
  if (!started) {
    // An older request's answer would only be replaced by this one's.
    snapshot_receiver_.reset();
    if (!synced_) set_status(text::service_unavailable(started.error()));
    request_rebuild();
    return;
  }
  snapshot_receiver_ = std::move(*started);
  if (!synced_) set_status(std::string(text::kLoadingSynced));
}

void StoragePane::clean_caches() {
  if (!preview_ || preview_->items.empty()) {
    link_.complete(kCleanup, kalu_ui::fail(std::string(text::kNoCache)));
    return;
  }
  auto started = start_cleanup_worker(services_, roots_, *preview_);
  if (!started) {
    link_.complete(kCleanup, kalu_ui::fail(text::cleanup_failed(started.error())));
    return;
  }
  cleanup_receiver_ = std::move(*started);
  request_rebuild();
}

void StoragePane::free_synced_files() {
  auto selection = synced_ && !evicting() ? eviction_selection(*synced_)
                                          : std::vector<host_fs::EvictionSelection>{};
  if (selection.empty()) {
    link_.complete(kFree, kalu_ui::fail(std::string(text::kNoSyncedFiles)));
    return;
  }
  auto started = start_eviction_worker(services_, std::move(selection));
  if (!started) {
    set_status(text::nothing_removed(started.error()));
    link_.complete(kFree, kalu_ui::fail(text::nothing_removed(started.error())));
    return;
  }
  eviction_receiver_ = std::move(*started);
  request_rebuild();
}

void StoragePane::open_tool(const StorageOperation& operation, ToolIntent intent) {
  auto started = start_tool_worker(services_, intent);
  if (!started) {
    link_.complete(operation, kalu_ui::fail(started.error()));
    return;
  }
  tool_jobs_.push_back(ToolJob{operation, std::move(*started)});
}

void StoragePane::set_status(std::optional<std::string> status) {
  if (status == status_) return;
  status_ = std::move(status);
  request_rebuild();
}

// ---- the widget -------------------------------------------------------------------

kalu_ui::layout::NodeId StoragePane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                  const kalu_ui::RenderContext& context,
                                                  kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(*this));
}

}  // namespace settings::panes::storage
