#include "panes/storage/workers.h"

#include <exception>
#include <utility>

#include "lib/worker.h"

namespace settings::panes::storage {
namespace {

template <typename T, typename Call>
kalu_ui::Result<T> guarded(Call call) {
  return lib::guarded<T>(std::move(call), "the storage worker failed");
}

// A service answer as the pane takes it: the value, the error's text, or
// nothing when the service closed the connection without answering.
template <typename T>
std::optional<kalu_ui::Result<T>> message_of(host_fs::ServiceResult<T> answer) {
  if (answer) return kalu_ui::Result<T>(std::move(*answer));
  if (answer.error().kind == host_fs::ServiceError::Kind::Closed) return std::nullopt;
  return kalu_ui::Result<T>(kalu_ui::fail(std::move(answer.error().message)));
}

// Connects, asks, and sends what the pane takes: the answer or the error's
// text; nothing when the service closed the connection without answering.
template <typename T, typename Ask>
void ask_service(const StorageServices::Connect& connect, Ask ask,
                 kalu_ui::channel::OneshotSender<kalu_ui::Result<T>>& sender) {
  auto message = lib::guarded<std::optional<kalu_ui::Result<T>>>(
      [&]() -> kalu_ui::Result<std::optional<kalu_ui::Result<T>>> {
        auto client = connect();
        if (!client) return message_of<T>(std::unexpected(std::move(client.error())));
        return message_of(ask(*client));
      },
      "the storage service request failed");
  if (!message) {
    (void)sender.send(kalu_ui::fail(std::move(message.error())));
  } else if (*message) {
    (void)sender.send(std::move(**message));
  }
}

template <typename T, typename Job>
kalu_ui::Result<kalu_ui::channel::Receiver<T>> start(const StorageServices& services,
                                                     std::string_view name, Job job) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<T>();
  auto started = services.spawn(
      name, [sender = std::move(sender), job = std::move(job)]() mutable { job(sender); });
  if (!started) return kalu_ui::fail(started.error());
  return std::move(receiver);
}

}  // namespace

StorageServices StorageServices::completed() && {
  if (!connect) connect = [] { return host_fs::StorageClient::connect_device(); };
  if (!open_tool)
    open_tool = [](ToolIntent intent) { return system_ops::tool_intent::open_tool(intent); };
  if (!spawn) {
    spawn = [](std::string_view name, std::move_only_function<void()> body) {
      return lib::try_spawn_worker(name, std::move(body));
    };
  }
  if (!roots) roots = StorageRoots::discover();
  return std::move(*this);
}

kalu_ui::Result<SnapshotReceiver> start_snapshot_worker(const StorageServices& services) {
  using Message = kalu_ui::Result<host_fs::SyncedSnapshot>;
  return start<Message>(
      services, kSyncWorkerName,
      [connect = services.connect](kalu_ui::channel::OneshotSender<Message>& sender) {
        ask_service<host_fs::SyncedSnapshot>(
            connect, [](host_fs::StorageClient& client) { return client.snapshot(); }, sender);
      });
}

kalu_ui::Result<EvictionReceiver> start_eviction_worker(
    const StorageServices& services, std::vector<host_fs::EvictionSelection> selection) {
  using Message = kalu_ui::Result<host_fs::ReclamationReport>;
  return start<Message>(
      services, kSyncWorkerName,
      [connect = services.connect,
       selection = std::move(selection)](kalu_ui::channel::OneshotSender<Message>& sender) {
        ask_service<host_fs::ReclamationReport>(
            connect, [&](host_fs::StorageClient& client) { return client.evict(selection); },
            sender);
      });
}

kalu_ui::Result<ScanReceiver> start_scan_worker(const StorageServices& services,
                                                StorageRoots roots) {
  return start<LocalScan>(
      services, kScanWorkerName,
      [roots = std::move(roots)](kalu_ui::channel::OneshotSender<LocalScan>& sender) {
        auto scanned = guarded<LocalScan>([&] { return scan_local(roots); });
        // A scan that threw sends nothing; the pane shows the rows as not available.
        if (scanned) (void)sender.send(std::move(*scanned));
      });
}

kalu_ui::Result<CleanupReceiver> start_cleanup_worker(const StorageServices& services,
                                                      StorageRoots roots, CleanupPreview preview) {
  return start<CleanupAnswer>(
      services, kScanWorkerName,
      [roots = std::move(roots),
       preview = std::move(preview)](kalu_ui::channel::OneshotSender<CleanupAnswer>& sender) {
        CleanupAnswer answer;
        auto outcome = guarded<kalu_ui::Status>([&] {
          return kalu_ui::Result<kalu_ui::Status>(desktop_rules::storage::apply_cleanup(preview));
        });
        answer.outcome = outcome ? *outcome : kalu_ui::Status(kalu_ui::fail(outcome.error()));
        auto after = guarded<LocalScan>([&] { return scan_local(roots); });
        if (after) answer.after = std::move(*after);
        (void)sender.send(std::move(answer));
      });
}

kalu_ui::Result<ToolReceiver> start_tool_worker(const StorageServices& services,
                                                ToolIntent intent) {
  return start<kalu_ui::Status>(
      services, kToolWorkerName,
      [open_tool = services.open_tool,
       intent](kalu_ui::channel::OneshotSender<kalu_ui::Status>& sender) {
        auto opened = guarded<kalu_ui::Status>(
            [&] { return kalu_ui::Result<kalu_ui::Status>(open_tool(intent)); });
        (void)sender.send(opened ? *opened : kalu_ui::Status(kalu_ui::fail(opened.error())));
      });
}

}  // namespace settings::panes::storage
