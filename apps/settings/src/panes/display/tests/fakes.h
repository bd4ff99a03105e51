#pragma once

// Fakes for the Displays pane's tests: a backend holding the hardware, the
// layout, one transaction, the backlight and the preferences in memory with
// both clocks set by hand; a dispatcher that records the percentages it is
// given, answers a scripted result and can hold the brightness worker until
// the test lets it go; and the cells and waits the pane tests share.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kalu_ui/result.h"
#include "operations/keys.h"
#include "operations/mailbox_cells.h"
#include "panes/display/backend.h"
#include "panes/display/display_pane.h"
#include "system_ops/dispatcher.h"

namespace settings::panes::display::testing {

using prefs_store::DisplayConfig;
using prefs_store::DisplayHardwareSnapshot;
using prefs_store::DisplayTransaction;
using prefs_store::OutputConfig;
using prefs_store::OutputDescriptor;
using prefs_store::OutputMode;

inline OutputDescriptor panel(std::string connector = "eDP-1") {
  OutputDescriptor d;
  d.connector = std::move(connector);
  d.name = "Laptop panel";
  d.internal = true;
  d.modes = {{2560, 1600, 60000}, {1920, 1200, 60000}};
  d.current_mode = OutputMode{2560, 1600, 60000};
  d.color_profiles = {"built-in"};
  d.color_profile_names = {{"built-in", "Built-in sRGB"}};
  d.hdr_note = "The built-in panel does not report HDR metadata.";
  return d;
}

inline OutputDescriptor monitor(std::string connector = "DP-2", std::string name = "Studio 27") {
  OutputDescriptor d;
  d.connector = std::move(connector);
  d.name = std::move(name);
  d.modes = {{3840, 2160, 60000}, {2560, 1440, 144000}, {1920, 1080, 60000}};
  d.current_mode = OutputMode{3840, 2160, 60000};
  d.color_profiles = {"display-p3", "srgb"};
  d.color_profile_names = {{"display-p3", "Display P3"}, {"srgb", "sRGB"}};
  d.hdr_controllable = d.hdr_capable = true;
  d.vrr_controllable = d.vrr_capable = true;
  return d;
}

inline DisplayHardwareSnapshot snapshot_of(std::vector<OutputDescriptor> outputs) {
  DisplayHardwareSnapshot s;
  s.live_capabilities = true;
  s.cards.push_back({"card0", std::move(outputs)});
  return s;
}

inline OutputConfig entry(bool primary, std::int32_t x, double scale = 1.0) {
  OutputConfig c;
  c.primary = primary;
  c.position = {x, 0};
  c.scale = scale;
  return c;
}

class FakeBackend : public DisplayBackend {
 public:
  FakeBackend() {
    snapshot = snapshot_of({panel(), monitor()});
    config.outputs["eDP-1"] = entry(true, 0);
    config.outputs["DP-2"] = entry(false, 2560);
  }

  prefs_store::DisplayHardwareSnapshot load_snapshot() override {
    ++snapshot_loads;
    return snapshot;
  }
  std::optional<std::filesystem::file_time_type> snapshot_modified() override {
    ++snapshot_looks;
    return modified;
  }
  DisplayConfig load_config() override { return config; }

  std::optional<DisplayTransaction> load_transaction() override {
    ++transaction_loads;
    // As the platform does: a test past its deadline ends reverted.
    if (transaction && transaction->state == DisplayTransaction::kTesting &&
        transaction->deadline_unix_ms && clock_ms >= *transaction->deadline_unix_ms) {
      config = transaction->previous;
      transaction->state = DisplayTransaction::kReverted;
    }
    return transaction;
  }
  kalu_ui::Result<DisplayTransaction> request_transaction(const DisplayConfig& requested) override {
    ++requests;
    if (request_error) return kalu_ui::fail(*request_error);
    DisplayTransaction t;
    t.id = next_id++;
    t.previous = config;
    t.requested = requested;
    if (reject_with) {
      t.state = DisplayTransaction::kRejected;
      t.message = *reject_with;
    } else {
      t.state = DisplayTransaction::kTesting;
      t.deadline_unix_ms = clock_ms + DisplayTransaction::kTestMillis;
      config = requested;
    }
    transaction = t;
    return t;
  }
  kalu_ui::Status confirm_transaction(const DisplayTransaction& t) override {
    if (confirm_error) return kalu_ui::fail(*confirm_error);
    if (!transaction || transaction->id != t.id ||
        transaction->state != DisplayTransaction::kTesting) {
      return kalu_ui::fail("that display change is no longer being tested");
    }
    transaction->state = DisplayTransaction::kKept;
    return {};
  }
  kalu_ui::Status revert_transaction(const DisplayTransaction& t) override {
    if (!transaction || transaction->id != t.id ||
        transaction->state != DisplayTransaction::kTesting) {
      return kalu_ui::fail("that display change is no longer being tested");
    }
    config = transaction->previous;
    transaction->state = DisplayTransaction::kReverted;
    return {};
  }

  kalu_ui::Result<float> get_brightness() override {
    std::lock_guard lock(mutex);
    if (brightness_error) return kalu_ui::fail(*brightness_error);
    return brightness;
  }
  bool has_ambient_light_sensor() override {
    std::lock_guard lock(mutex);
    return light_sensor;
  }

  stored::DisplayPrefs load_prefs() override { return prefs; }
  kalu_ui::Status save_prefs(const std::function<void(stored::DisplayPrefs&)>& edit) override {
    ++saves;
    if (save_error) return kalu_ui::fail(*save_error);
    edit(prefs);
    return {};
  }

  std::int64_t unix_ms() override { return clock_ms; }
  kalu_ui::Instant now() override { return instant; }

  // Moves both clocks on.
  void advance(std::chrono::milliseconds by) {
    clock_ms += by.count();
    instant = instant + by;
  }

  // Read by the probe worker: under the mutex.
  std::mutex mutex;
  float brightness = 0.5f;
  std::optional<std::string> brightness_error;
  bool light_sensor = true;

  DisplayHardwareSnapshot snapshot;
  DisplayConfig config;
  std::optional<std::filesystem::file_time_type> modified;
  std::optional<DisplayTransaction> transaction;
  std::optional<std::string> request_error;
  std::optional<std::string> reject_with;
  std::optional<std::string> confirm_error;
  std::uint64_t next_id = 1;
  stored::DisplayPrefs prefs;
  std::optional<std::string> save_error;
  std::int64_t clock_ms = 1'700'000'000'000;
  kalu_ui::Instant instant{1000, 0};
  int snapshot_loads = 0;
  int snapshot_looks = 0;
  int transaction_loads = 0;
  int requests = 0;
  int saves = 0;
};

class FakeDispatcher : public system_ops::Dispatcher {
 public:
  kalu_ui::Status set_brightness(float percent) override {
    std::unique_lock lock(mutex_);
    percents_.push_back(percent);
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
    if (!failures_.empty()) {
      std::string error = failures_.front();
      failures_.pop_front();
      return kalu_ui::fail(error);
    }
    return {};
  }
  kalu_ui::Status set_volume(float) override { return {}; }
  kalu_ui::Status set_wifi(bool) override { return {}; }
  kalu_ui::Status set_bluetooth(bool) override { return {}; }
  kalu_ui::Status connect_bluetooth(const std::string&) override { return {}; }
  kalu_ui::Status disconnect_bluetooth(const std::string&) override { return {}; }
  kalu_ui::Status set_wired(bool) override { return {}; }
  kalu_ui::Status connect_wifi(const std::string&, const std::optional<std::string>&) override {
    return {};
  }
  kalu_ui::Status set_power_profile(system_ops::PowerProfile) override { return {}; }
  kalu_ui::Status toggle_mute() override { return {}; }

  // The next call fails with `error`.
  void fail_next(std::string error) {
    std::lock_guard lock(mutex_);
    failures_.push_back(std::move(error));
  }
  // Calls wait until release().
  void hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  std::vector<float> percents() const {
    std::lock_guard lock(mutex_);
    return percents_;
  }
  // Waits (a while at most) until `count` calls have arrived.
  bool wait_for_calls(std::size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60),
                             [&] { return percents_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<float> percents_;
  std::deque<std::string> failures_;
  bool held_ = false;
};

// A pane on the fakes, hosted and reporting to cells of the test's own.
struct PaneFixture {
  explicit PaneFixture(bool hosted = true, bool worker = true,
                       std::function<void(FakeBackend&)> setup = {})
      : backend(std::make_shared<FakeBackend>()), dispatcher(std::make_shared<FakeDispatcher>()) {
    if (setup) setup(*backend);
    DisplayPane::Dependencies deps;
    deps.backend = backend;
    deps.dispatcher = dispatcher;
    deps.brightness_worker = worker;
    pane = hosted ? std::make_unique<DisplayPane>(DisplayPane(std::move(deps))
                                                      .with_operation_requests(requests)
                                                      .with_operation_completion(completion))
                  : std::make_unique<DisplayPane>(std::move(deps));
  }

  // The document the pane works on.
  kalu_ui::doc::Document& doc() {
    return pane->link().hosted() ? pane->link().own_document() : toolkit;
  }

  void sync() { pane->sync(toolkit); }

  // Runs frames until `done` answers true (or a long while passed).
  bool sync_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sync();
    }
    return true;
  }
  // Until the probe answered.
  bool settle() {
    return sync_until([&] { return !pane->probing(); });
  }

  // Hands an operation over as the executor does: the request and Pending.
  std::string start(const operations::DisplayOperation& operation) {
    std::string key = operations::operation_key(operation);
    completion->publish(operations::OperationCompletion::Pending{key});
    requests->publish(operations::DeviceLocalRequest(
        std::in_place_type<operations::DisplayOperation>, operation));
    return key;
  }
  operations::OperationCompletion outcome() const { return completion->get(); }
  // The poll's collection: back to idle.
  void collect() { completion->publish(operations::OperationCompletion::Idle{}); }

  std::shared_ptr<FakeBackend> backend;
  std::shared_ptr<FakeDispatcher> dispatcher;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  kalu_ui::doc::Document toolkit;
  std::unique_ptr<DisplayPane> pane;
};

inline operations::OperationCompletion succeeded(const std::string& key, std::string message) {
  return operations::OperationCompletion::Succeeded{key, std::move(message)};
}
inline operations::OperationCompletion failed(const std::string& key, std::string message) {
  return operations::OperationCompletion::Failed{key, std::move(message)};
}

}  // namespace settings::panes::display::testing
