#pragma once

// A local model service for the Agent Models pane's tests: a scripted
// snapshot and answers, a log of every call with the thread it ran on, and a
// gate that holds every call until the test opens it. The worker calls it
// from its thread, so everything is under one lock.

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "panes/agent_models/backend.h"

namespace settings::panes::agent_models::testing {

class FakeBackend : public ModelServiceBackend {
 public:
  kalu_ui::Result<LocalModelSnapshot> snapshot() override {
    std::unique_lock lock = enter("snapshot");
    return snapshot_;
  }
  kalu_ui::Status install(const LocalModelPackage& package) override {
    return command("install " + package.id + " " + package.revision);
  }
  kalu_ui::Status start(const std::string& id) override { return command("start " + id); }
  kalu_ui::Status stop(const std::string& id) override { return command("stop " + id); }
  kalu_ui::Status remove(const std::string& id) override { return command("remove " + id); }
  kalu_ui::Status stage_accelerator() override { return command("stage-accelerator"); }

  // Scripting, from the test's thread.
  template <typename F>
  void edit(F f) {
    std::lock_guard lock(mutex_);
    f(*this);
  }
  void hold(bool held) {
    {
      std::lock_guard lock(mutex_);
      open_ = !held;
    }
    cv_.notify_all();
  }
  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  // The calls other than snapshot, in order.
  std::vector<std::string> commands() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    std::ranges::copy_if(calls_, std::back_inserter(out),
                         [](const std::string& c) { return c != "snapshot"; });
    return out;
  }
  long snapshots() const {
    std::lock_guard lock(mutex_);
    return std::ranges::count(calls_, std::string("snapshot"));
  }
  bool called_on(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    return std::ranges::find(threads_, thread) != threads_.end();
  }

  // Under edit().
  kalu_ui::Result<LocalModelSnapshot> snapshot_ = LocalModelSnapshot{};
  // The answer of a command by its first word; success when absent.
  std::map<std::string, kalu_ui::Status> answers_;

 private:
  std::unique_lock<std::mutex> enter(std::string call) {
    std::unique_lock lock(mutex_);
    calls_.push_back(std::move(call));
    threads_.push_back(std::this_thread::get_id());
    cv_.wait(lock, [&] { return open_; });
    return lock;
  }
  kalu_ui::Status command(std::string call) {
    const std::string word = call.substr(0, call.find(' '));
    std::unique_lock lock = enter(std::move(call));
    const auto found = answers_.find(word);
    return found == answers_.end() ? kalu_ui::Status{} : found->second;
  }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = true;
  std::vector<std::string> calls_;
  std::vector<std::thread::id> threads_;
};

}  // namespace settings::panes::agent_models::testing
