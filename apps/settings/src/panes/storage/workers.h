#pragma once

// The Storage pane's workers and what they call. Each does one job on a
// thread of its own, sends its one answer over a one-place channel and ends;
// none is joined. The pane polls the receiving ends in `sync`; when the pane
// goes first, a worker's send fails quietly.
//
// - "kalu-storage-scan": the local scan with the cache clean-up preview, and
//   the clean-up itself followed by a fresh scan; both walk folders of
//   unknown size.
// - "kalu-storage-sync": one snapshot or one eviction through the synced-file
//   storage service. A service that closed the connection before answering
//   sends nothing: the pane sees the channel close.
// - "kalu-storage-tool": opening the Disks or Backups tool.

#include <functional>
#include <string_view>
#include <vector>

#include "host_fs/client.h"
#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/storage/model.h"
#include "system_ops/privacy.h"

namespace settings::panes::storage {

inline constexpr std::string_view kScanWorkerName = "kalu-storage-scan";
inline constexpr std::string_view kSyncWorkerName = "kalu-storage-sync";
inline constexpr std::string_view kToolWorkerName = "kalu-storage-tool";

using system_ops::tool_intent::ToolIntent;

// What the pane and its workers reach; an empty member is the device's own.
struct StorageServices {
  using Connect = std::function<host_fs::ServiceResult<host_fs::StorageClient>()>;
  using OpenTool = std::function<kalu_ui::Status(ToolIntent)>;
  // Starts `body` on a thread named `name`; the error is why none started.
  using Spawn =
      std::function<kalu_ui::Status(std::string_view name, std::move_only_function<void()> body)>;

  // The storage service (host_fs::StorageClient::connect_device).
  Connect connect;
  // system_ops::tool_intent::open_tool.
  OpenTool open_tool;
  // lib::try_spawn_worker.
  Spawn spawn;
  // StorageRoots::discover when none.
  std::optional<StorageRoots> roots;

  // Every member filled in.
  StorageServices completed() &&;
};

// The service's answer, or the text to show; nothing sent when it closed.
using SnapshotReceiver = kalu_ui::channel::Receiver<kalu_ui::Result<host_fs::SyncedSnapshot>>;
using EvictionReceiver = kalu_ui::channel::Receiver<kalu_ui::Result<host_fs::ReclamationReport>>;
using ScanReceiver = kalu_ui::channel::Receiver<LocalScan>;
// A clean-up's outcome and the scan taken after it.
struct CleanupAnswer {
  kalu_ui::Status outcome;
  std::optional<LocalScan> after;  // none when the scan itself failed
};
using CleanupReceiver = kalu_ui::channel::Receiver<CleanupAnswer>;
using ToolReceiver = kalu_ui::channel::Receiver<kalu_ui::Status>;

// Each answers the receiving end, or why no thread could be started.
kalu_ui::Result<SnapshotReceiver> start_snapshot_worker(const StorageServices& services);
kalu_ui::Result<EvictionReceiver> start_eviction_worker(
    const StorageServices& services, std::vector<host_fs::EvictionSelection> selection);
kalu_ui::Result<ScanReceiver> start_scan_worker(const StorageServices& services,
                                                StorageRoots roots);
kalu_ui::Result<CleanupReceiver> start_cleanup_worker(const StorageServices& services,
                                                      StorageRoots roots, CleanupPreview preview);
kalu_ui::Result<ToolReceiver> start_tool_worker(const StorageServices& services, ToolIntent intent);

}  // namespace settings::panes::storage
