#pragma once

// What the Storage pane's tests share: a temporary home with the storage
// roots, a storage service on a loopback socket in it answering what the
// test scripted, a worker starter that can hold or refuse a worker by name,
// and the pane's services wired to them (tools opened through a recorder).

#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "host_fs/client.h"
#include "host_fs/protocol.h"
#include "host_fs/server.h"
#include "lib/worker.h"
#include "panes/storage/storage_pane.h"

namespace settings::panes::storage::testing {

namespace fs = std::filesystem;
using host_fs::EvictionSelection;
using host_fs::ReclamationReport;
using host_fs::SyncedSnapshot;

// Documents: 3 MB local, 1 MB of it safe to free; Photos: only elsewhere.
inline SyncedSnapshot sample_snapshot(bool online = true) {
  SyncedSnapshot snapshot;
  snapshot.usage = {{"Documents", 4000000, 3000000, 1000000, online ? 1000000u : 0u},
                    {"Photos", 2500000, 0, 2500000, 0}};
  snapshot.files = {{"d/report.pdf", "report.pdf", online ? 600000u : 0u},
                    {"d/notes.md", "notes.md", 0},
                    {"d/slides.odp", "slides.odp", online ? 400000u : 0u}};
  snapshot.online = online;
  return snapshot;
}

class ScriptedService {
 public:
  // Answer: the scripted value or error; Close: end the connection unanswered.
  enum class Mode { Answer, Close };
  struct Script {
    kalu_ui::Result<SyncedSnapshot> snapshot = sample_snapshot();
    Mode snapshot_mode = Mode::Answer;
    kalu_ui::Result<ReclamationReport> report = ReclamationReport{};
    Mode evict_mode = Mode::Answer;
  };

  explicit ScriptedService(fs::path socket) : socket_(std::move(socket)) {
    auto server = host_fs::StorageServer::start(
        socket_, [state = state_](std::string_view line) { return state->answer(line); });
    if (server) server_ = std::move(*server);
  }
  bool serving() const { return server_ != nullptr; }
  const fs::path& socket() const { return socket_; }

  void edit(const std::function<void(Script&)>& change) {
    std::lock_guard lock(state_->mutex);
    change(state_->script);
  }
  std::vector<std::vector<EvictionSelection>> evictions() const {
    std::lock_guard lock(state_->mutex);
    return state_->evictions;
  }
  int snapshots() const {
    std::lock_guard lock(state_->mutex);
    return state_->snapshots;
  }

 private:
  struct State {
    std::optional<std::string> answer(std::string_view line) {
      auto request = host_fs::protocol::decode_request(line);
      if (!request) return host_fs::protocol::encode_error(request.error());
      std::lock_guard lock(mutex);
      if (const auto* evict = std::get_if<host_fs::protocol::EvictRequest>(&*request)) {
        evictions.push_back(evict->files);
        if (script.evict_mode == Mode::Close) return std::nullopt;
        return host_fs::protocol::encode_answer(script.report);
      }
      ++snapshots;
      if (script.snapshot_mode == Mode::Close) return std::nullopt;
      return host_fs::protocol::encode_answer(script.snapshot);
    }

    mutable std::mutex mutex;
    Script script;
    std::vector<std::vector<EvictionSelection>> evictions;
    int snapshots = 0;
  };

  fs::path socket_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  std::unique_ptr<host_fs::StorageServer> server_;
};

// Starts workers as lib::try_spawn_worker does, except those the test holds
// (started when released) or refuses (with a reason).
class Spawner {
 public:
  StorageServices::Spawn spawn() const {
    return [state = state_](std::string_view name, std::move_only_function<void()> body) {
      std::unique_lock lock(state->mutex);
      ++state->started[std::string(name)];
      if (auto refused = state->refused.find(std::string(name)); refused != state->refused.end()) {
        return kalu_ui::Status(kalu_ui::fail(refused->second));
      }
      if (state->held.contains(std::string(name))) {
        state->waiting.emplace_back(std::string(name), std::move(body));
        return kalu_ui::Status{};
      }
      lock.unlock();
      return lib::try_spawn_worker(name, std::move(body));
    };
  }
  void hold(const std::string& name) {
    std::lock_guard lock(state_->mutex);
    state_->held.insert(name);
  }
  void refuse(const std::string& name, const std::string& reason) {
    std::lock_guard lock(state_->mutex);
    state_->refused[name] = reason;
  }
  // Starts the held workers of `name` and no longer holds it.
  void release(const std::string& name) {
    std::vector<std::move_only_function<void()>> bodies;
    {
      std::lock_guard lock(state_->mutex);
      state_->held.erase(name);
      std::erase_if(state_->waiting, [&](auto& waiting) {
        if (waiting.first != name) return false;
        bodies.push_back(std::move(waiting.second));
        return true;
      });
    }
    for (auto& body : bodies) (void)lib::try_spawn_worker(name, std::move(body));
  }
  int started(const std::string& name) const {
    std::lock_guard lock(state_->mutex);
    auto found = state_->started.find(name);
    return found == state_->started.end() ? 0 : found->second;
  }

 private:
  struct State {
    mutable std::mutex mutex;
    std::set<std::string> held;
    std::map<std::string, std::string> refused;
    std::map<std::string, int> started;
    std::vector<std::pair<std::string, std::move_only_function<void()>>> waiting;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

// The tools opened, and the thread of every call that reached a service.
struct Calls {
  std::mutex mutex;
  std::vector<ToolIntent> tools;
  std::optional<std::string> tool_error;
  std::set<std::thread::id> threads;
  int connects = 0;

  void on_thread() {
    std::lock_guard lock(mutex);
    threads.insert(std::this_thread::get_id());
  }
  bool reached_from(std::thread::id thread) {
    std::lock_guard lock(mutex);
    return threads.contains(thread);
  }
};

// A temporary home: data and cache folders, and the service's socket.
class StorageHome {
 public:
  StorageHome() {
    char pattern[] = "/tmp/storage_pane_test.XXXXXX";
    dir_ = ::mkdtemp(pattern);
    fs::create_directories(data());
    fs::create_directories(cache());
  }
  ~StorageHome() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  StorageHome(const StorageHome&) = delete;
  StorageHome& operator=(const StorageHome&) = delete;

  fs::path data() const { return dir_ / "data"; }
  fs::path cache() const { return dir_ / "cache"; }
  fs::path cache_root() const { return cache() / "kalu" / "app-cache"; }
  fs::path app_data_root() const { return data() / "kalu" / "app-data"; }
  fs::path installed_root() const { return data() / "kalu" / "apps"; }
  fs::path socket() const { return dir_ / "run" / "fs-storage.sock"; }
  StorageRoots roots() const { return StorageRoots::discover(data(), cache()); }

  // A file of `bytes` bytes at `path`, its folders made.
  static void write(const fs::path& path, std::size_t bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(bytes, 'x');
  }

 private:
  fs::path dir_;
};

// Services on the home, the scripted service and the spawner; tools recorded.
inline StorageServices services_for(const StorageHome& home, const Spawner& spawner,
                                    const std::shared_ptr<Calls>& calls) {
  StorageServices services;
  services.roots = home.roots();
  services.spawn = spawner.spawn();
  services.connect = [socket = home.socket(), calls] {
    {
      std::lock_guard lock(calls->mutex);
      ++calls->connects;
    }
    calls->on_thread();
    return host_fs::StorageClient::connect(socket);
  };
  services.open_tool = [calls](ToolIntent intent) -> kalu_ui::Status {
    calls->on_thread();
    std::lock_guard lock(calls->mutex);
    calls->tools.push_back(intent);
    if (calls->tool_error) return kalu_ui::fail(*calls->tool_error);
    return {};
  };
  return services;
}

// Syncs `pane` on `document` until no worker's answer is awaited (or a long
// while passed); answers whether it settled.
inline bool settle(StoragePane& pane, kalu_ui::doc::Document& document) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  pane.sync(document);
  while (pane.busy() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pane.sync(document);
  }
  return !pane.busy();
}

}  // namespace settings::panes::storage::testing
