#pragma once

// A printing service for the Printers pane's tests: scripted lists and
// answers, a record of every change asked for, and gates that hold the
// status read or the discovery until the test opens them. Workers call it
// from their threads, so everything is under one lock.

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "panes/printers/backend.h"

namespace settings::panes::printers::testing {

class FakeBackend : public PrintingBackend {
 public:
  kalu_ui::Result<std::vector<PrintQueue>> queues() override {
    std::unique_lock lock(mutex_);
    ++status_reads_;
    readers_.push_back(std::this_thread::get_id());
    cv_.wait(lock, [&] { return status_open_; });
    return queues_;
  }
  kalu_ui::Result<std::vector<PrintJob>> jobs() override {
    std::lock_guard lock(mutex_);
    return jobs_;
  }
  kalu_ui::Result<std::vector<Scanner>> scanners() override {
    std::lock_guard lock(mutex_);
    ++scanner_reads_;
    return scanners_;
  }
  kalu_ui::Result<std::vector<DriverlessPrinter>> discover_driverless() override {
    std::unique_lock lock(mutex_);
    ++discoveries_;
    readers_.push_back(std::this_thread::get_id());
    cv_.wait(lock, [&] { return discovery_open_; });
    return nearby_;
  }
  kalu_ui::Status add_driverless(const std::string& name, const std::string& uri) override {
    return change("add " + name + " " + uri);
  }
  kalu_ui::Result<bool> set_default(const std::string& queue) override {
    return changed(change("default " + queue));
  }
  kalu_ui::Status set_enabled(const std::string& queue, bool enabled) override {
    return change((enabled ? "resume " : "pause ") + queue);
  }
  kalu_ui::Status remove_queue(const std::string& queue) override {
    return change("remove " + queue);
  }
  kalu_ui::Status cancel_job(std::uint32_t id) override {
    return change("cancel " + std::to_string(id));
  }
  kalu_ui::Result<bool> retry_job(std::uint32_t id) override {
    return changed(change("retry " + std::to_string(id)));
  }

  // Scripting, from the test's thread.
  template <typename F>
  void edit(F f) {
    std::lock_guard lock(mutex_);
    f(*this);
  }
  void hold_status(bool held) {
    {
      std::lock_guard lock(mutex_);
      status_open_ = !held;
    }
    cv_.notify_all();
  }
  void hold_discovery(bool held) {
    {
      std::lock_guard lock(mutex_);
      discovery_open_ = !held;
    }
    cv_.notify_all();
  }
  std::vector<std::string> changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
  }
  int status_reads() const {
    std::lock_guard lock(mutex_);
    return status_reads_;
  }
  // Status reads that got as far as their last call.
  int finished_status_reads() const {
    std::lock_guard lock(mutex_);
    return scanner_reads_;
  }
  // Whether a status read or a discovery ran on `thread`.
  bool read_on(std::thread::id thread) const {
    std::lock_guard lock(mutex_);
    return std::find(readers_.begin(), readers_.end(), thread) != readers_.end();
  }
  int discoveries() const {
    std::lock_guard lock(mutex_);
    return discoveries_;
  }

  // Under edit().
  kalu_ui::Result<std::vector<PrintQueue>> queues_ = std::vector<PrintQueue>{};
  kalu_ui::Result<std::vector<PrintJob>> jobs_ = std::vector<PrintJob>{};
  kalu_ui::Result<std::vector<Scanner>> scanners_ = std::vector<Scanner>{};
  kalu_ui::Result<std::vector<DriverlessPrinter>> nearby_ = std::vector<DriverlessPrinter>{};
  // The answer of every change.
  kalu_ui::Status change_answer_;
  // What a default or a retry that was answered without error did: false
  // when nothing needed doing.
  bool change_changed_ = true;

 private:
  kalu_ui::Result<bool> changed(const kalu_ui::Status& answer) const {
    if (!answer) return std::unexpected(answer.error());
    return change_changed_;
  }
  kalu_ui::Status change(std::string what) {
    std::lock_guard lock(mutex_);
    changes_.push_back(std::move(what));
    return change_answer_;
  }

  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool status_open_ = true;
  bool discovery_open_ = true;
  int status_reads_ = 0;
  int scanner_reads_ = 0;
  int discoveries_ = 0;
  std::vector<std::string> changes_;
  std::vector<std::thread::id> readers_;
};

}  // namespace settings::panes::printers::testing
