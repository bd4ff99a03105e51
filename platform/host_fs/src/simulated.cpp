#include "simulated.h"

#include <limits>
#include <memory>
#include <mutex>

#include "host_fs/server.h"
#include "sim_device/state.h"

namespace host_fs::detail {
namespace {

using sim_device::Json;

std::uint64_t add(std::uint64_t a, std::uint64_t b) {
  return b > std::numeric_limits<std::uint64_t>::max() - a
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

// What the service reports of the "storage" section of the simulated device
// (its shape is checked before it gets here). A local file may be freed once
// another device holds a copy: at once when that copy is verified, after
// verification in the background when it is not yet. Offline, no copy can be
// checked and nothing is reclaimable.
SyncedSnapshot snapshot_of(const Json& storage) {
  SyncedSnapshot snapshot;
  snapshot.online = storage["online"].get<bool>();
  for (const Json& folder : storage["folders"]) {
    StorageUsage usage;
    usage.name = folder["name"].get<std::string>();
    for (const Json& file : folder["files"]) {
      const auto bytes = file["bytes"].get<std::uint64_t>();
      const bool local = file["local"].get<bool>();
      const std::string remote = file["remote"].get<std::string>();
      const bool queued = file.value("queued", false);
      usage.total_bytes = add(usage.total_bytes, bytes);
      if (local) {
        usage.local_bytes = add(usage.local_bytes, bytes);
      } else if (remote != "none") {
        usage.remote_only_bytes = add(usage.remote_only_bytes, bytes);
      }
      if (!local) continue;
      if (snapshot.online && remote == "verified") {
        usage.safe_to_free_bytes = add(usage.safe_to_free_bytes, bytes);
      }
      const bool reclaimable = snapshot.online && remote != "none" && !queued;
      snapshot.files.push_back(SyncedFileState{file["id"].get<std::string>(),
                                               file["name"].get<std::string>(),
                                               reclaimable ? bytes : 0, remote == "unverified"});
    }
    snapshot.usage.push_back(std::move(usage));
  }
  return snapshot;
}

Json* find_file(Json& storage, const std::string& id) {
  for (Json& folder : storage["folders"]) {
    for (Json& file : folder["files"]) {
      if (file["id"] == id) return &file;
    }
  }
  return nullptr;
}

class SimulatedBackend : public StorageBackend {
 public:
  kalu_ui::Result<SyncedSnapshot> snapshot() override {
    auto storage = sim_device::section("storage.snapshot", "storage");
    if (!storage) return std::unexpected(storage.error());
    return snapshot_of(*storage);
  }

  // Files whose copy elsewhere is verified leave this device at once; those
  // still being verified are queued. Unknown ids and files no longer held
  // here are passed over.
  kalu_ui::Result<ReclamationReport> evict(const std::vector<EvictionSelection>& files) override {
    return sim_device::update_with<ReclamationReport>(
        "storage.evict", [&](Json& state) -> kalu_ui::Result<ReclamationReport> {
          Json& storage = state["storage"];
          if (!storage["online"].get<bool>()) {
            return kalu_ui::fail("the device is offline, so no remote copy can be verified");
          }
          ReclamationReport report;
          for (const EvictionSelection& selection : files) {
            Json* file = find_file(storage, selection.id);
            if (file == nullptr || !(*file)["local"].get<bool>()) continue;
            const std::string remote = (*file)["remote"].get<std::string>();
            if (remote == "verified") {
              (*file)["local"] = false;
              file->erase("queued");
              report.files_freed += 1;
              report.bytes_freed = add(report.bytes_freed, (*file)["bytes"].get<std::uint64_t>());
            } else if (remote == "unverified" && !file->value("queued", false)) {
              (*file)["queued"] = true;
              report.files_queued += 1;
            }
          }
          return report;
        });
  }
};

}  // namespace

kalu_ui::Status ensure_simulated_service(const std::filesystem::path& socket) {
  static std::mutex mutex;
  static std::unique_ptr<StorageServer> server;
  std::lock_guard lock(mutex);
  if (server && server->path() == socket) return {};
  auto started = StorageServer::start(socket, std::make_shared<SimulatedBackend>());
  if (!started) return std::unexpected(started.error());
  server = std::move(*started);
  return {};
}

}  // namespace host_fs::detail
