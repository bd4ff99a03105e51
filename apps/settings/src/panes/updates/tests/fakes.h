#pragma once

// Fakes for the Updates pane's tests: a system (backend, readers, clock and
// reboot) held in memory, whose calls are recorded and can be held until the
// test lets them go; and a pane on it, hosted and reporting to cells of the
// test's own, with a settings file of its own.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "kalu_ui/result.h"
#include "operations/keys.h"
#include "operations/mailbox_cells.h"
#include "panes/updates/services.h"
#include "panes/updates/updates_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::updates::testing {

inline constexpr const char* kStaged = "quay.io/kalu/os:43";
inline constexpr const char* kPrevious = "quay.io/kalu/os:41";
inline constexpr const char* kNow = "Tuesday, 3 March 2026 14:05";

// The system the pane sees. Every call is recorded by name; while held, the
// calls named in `held` wait until release().
class FakeSystem : public UpdateBackend {
 public:
  // ---- What it answers (set before the pane uses it, or under lock()) ----
  mutable AutomaticUpdates timer = AutomaticUpdates::Enabled;
  // The timer takes enable/disable but keeps its state.
  bool timer_ignores_changes = false;
  std::optional<std::string> timer_error;
  std::optional<std::string> rollback_to = kPrevious;
  std::optional<std::string> rollback_error;
  mutable std::optional<std::string> schedule_label = std::string(kScheduleSystem);
  std::optional<std::string> schedule_error;
  mutable MeteredDownloads metered = MeteredDownloads::NotAllowed;
  std::optional<std::string> metered_error;
  std::optional<std::string> update_error;
  mutable std::optional<std::string> staged;
  std::optional<std::string> reboot_error;

  AutomaticUpdates automatic_updates_enabled() const override {
    auto lock = call("automatic_updates_enabled");
    return timer;
  }
  kalu_ui::Status set_automatic_updates(bool enabled) const override {
    auto lock = call(enabled ? "enable timer" : "disable timer");
    if (timer_error) return kalu_ui::fail(*timer_error);
    if (!timer_ignores_changes)
      timer = enabled ? AutomaticUpdates::Enabled : AutomaticUpdates::Disabled;
    return {};
  }
  std::optional<std::string> rollback_image() const override {
    auto lock = call("rollback_image");
    return rollback_to;
  }
  kalu_ui::Status rollback() const override {
    auto lock = call("rollback");
    if (rollback_error) return kalu_ui::fail(*rollback_error);
    staged.reset();
    return {};
  }
  std::optional<std::string> schedule() const override {
    auto lock = call("schedule");
    return schedule_label;
  }
  kalu_ui::Status set_schedule(std::string_view label) const override {
    auto lock = call("set_schedule " + std::string(label));
    if (schedule_error) return kalu_ui::fail(*schedule_error);
    schedule_label = std::string(label);
    return {};
  }
  MeteredDownloads metered_allowed() const override {
    auto lock = call("metered_allowed");
    return metered;
  }
  kalu_ui::Status set_metered(bool allowed) const override {
    auto lock = call(allowed ? "metered allow" : "metered avoid");
    if (metered_error) return kalu_ui::fail(*metered_error);
    metered = allowed ? MeteredDownloads::Allowed : MeteredDownloads::NotAllowed;
    return {};
  }
  kalu_ui::Status start_update() const override {
    auto lock = call("start_update");
    if (update_error) return kalu_ui::fail(*update_error);
    staged = kStaged;
    return {};
  }
  kalu_ui::Result<FirmwareLists> refresh_firmware() const override {
    auto lock = call("refresh_firmware");
    if (refresh_error) return kalu_ui::fail(*refresh_error);
    if (published) firmware_offers = std::move(*std::exchange(published, std::nullopt));
    FirmwareLists lists;
    if (firmware_offers) lists.updates = *firmware_offers;
    if (history_list) lists.history = *history_list;
    return lists;
  }

  // ---- Firmware (set before the pane uses it, or under lock()) ----
  mutable FirmwareUpdateList firmware_offers = std::vector<FirmwareUpdate>{};
  FirmwareHistoryList history_list = std::vector<FirmwareHistoryEntry>{};
  std::optional<std::string> refresh_error;
  // Offers a refresh brings, in place of the current ones.
  mutable std::optional<std::vector<FirmwareUpdate>> published;
  std::optional<std::string> install_error;

  FirmwareUpdateList firmware_updates() const {
    auto lock = call("firmware_updates");
    return firmware_offers;
  }
  FirmwareHistoryList firmware_history() const {
    auto lock = call("firmware_history");
    return history_list;
  }
  // The test plays the installation's job with the sender (take_install_job).
  kalu_ui::Result<system_ops::firmware::FirmwareInstallReceiver> start_firmware_install(
      const std::vector<FirmwareUpdate>& updates) const {
    auto lock = call("start_firmware_install");
    if (install_error) return kalu_ui::fail(*install_error);
    installing = updates;
    auto [sender, receiver] = system_ops::firmware::install_channel();
    install_job_.emplace(std::move(sender));
    return std::move(receiver);
  }
  // The job of the installation started last, once.
  std::optional<system_ops::firmware::FirmwareInstallSender> take_install_job() {
    std::lock_guard lock(mutex_);
    return std::exchange(install_job_, std::nullopt);
  }
  // What the last installation was given.
  mutable std::vector<FirmwareUpdate> installing;

  OsImageInfo read_os() const {
    auto lock = call("read_os");
    return OsImageInfo{"Kalu 42", staged};
  }
  DeploymentStatus read_deployment(const std::optional<std::string>& image) const {
    auto lock = call("read_deployment");
    DeploymentStatus status;
    status.journal_lines = {"2026-03-03T04:00:00+0000 bootc[1]: No update available."};
    status.release_notes_url = "https://kalu.example/notes";
    status.rollback_protection = rollback_protection_text(true, image);
    return status;
  }
  kalu_ui::Status reboot() const {
    auto lock = call("reboot");
    if (reboot_error) return kalu_ui::fail(*reboot_error);
    return {};
  }

  // The services the pane is given: this system's calls.
  std::shared_ptr<const UpdateServices> services(std::shared_ptr<FakeSystem> self) const {
    auto s = std::make_shared<UpdateServices>();
    s->backend = self;
    s->read_os = [self] { return self->read_os(); };
    s->read_deployment = [self](const std::optional<std::string>& image) {
      return self->read_deployment(image);
    };
    s->clock_text = [] { return std::string(kNow); };
    s->reboot = [self] { return self->reboot(); };
    s->firmware_updates = [self] { return self->firmware_updates(); };
    s->firmware_history = [self] { return self->firmware_history(); };
    s->start_firmware_install = [self](const std::vector<FirmwareUpdate>& updates) {
      return self->start_firmware_install(updates);
    };
    return s;
  }

  // ---- Watching and holding calls ----

  // The calls so far, in order.
  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int count(std::string_view name) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const auto& c : calls_) n += c == name;
    return n;
  }
  void clear_calls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }
  // Calls named `name` wait until release().
  void hold(std::string name) {
    std::lock_guard lock(mutex_);
    held_.push_back(std::move(name));
  }
  void release() {
    std::lock_guard lock(mutex_);
    held_.clear();
    changed_.notify_all();
  }
  // Waits (a while at most) until a call named `name` has arrived.
  bool wait_for_call(std::string_view name) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] {
      for (const auto& c : calls_) {
        if (c == name) return true;
      }
      return false;
    });
  }
  // Holds the system's state for a change made by a test.
  std::unique_lock<std::mutex> lock() { return std::unique_lock(mutex_); }

 private:
  std::unique_lock<std::mutex> call(std::string name) const {
    std::unique_lock lock(mutex_);
    calls_.push_back(name);
    changed_.notify_all();
    changed_.wait(lock, [&] {
      for (const auto& h : held_) {
        if (h == name) return false;
      }
      return true;
    });
    return lock;
  }

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  mutable std::vector<std::string> calls_;
  std::vector<std::string> held_;
  mutable std::optional<system_ops::firmware::FirmwareInstallSender> install_job_;
};

// A firmware offer as the service reports one.
inline FirmwareUpdate firmware_offer(std::string name, std::optional<std::string> from,
                                     std::optional<std::string> to) {
  FirmwareUpdate update;
  update.device_id = name;
  update.device_name = std::move(name);
  update.current_version = std::move(from);
  update.new_version = std::move(to);
  return update;
}

// A pane on a FakeSystem (or, `on_device`, on the device's own services)
// with a settings file of its own.
struct PaneFixture {
  enum class Mode { kHostedReporting, kAlone };

  explicit PaneFixture(std::function<void(FakeSystem&)> setup = {},
                       Mode mode = Mode::kHostedReporting, bool on_device = false)
      : config(device.dir() / "config"), system(std::make_shared<FakeSystem>()) {
    if (setup) setup(*system);
    UpdatesPane::Dependencies deps;
    deps.services = on_device ? device_update_services() : system->services(system);
    pane = mode == Mode::kAlone
               ? std::make_unique<UpdatesPane>(std::move(deps))
               : std::make_unique<UpdatesPane>(UpdatesPane(std::move(deps))
                                                   .with_operation_requests(requests)
                                                   .with_operation_completion(completion));
  }
  // On the device's own services.
  static std::unique_ptr<PaneFixture> on_device() {
    return std::make_unique<PaneFixture>(nullptr, Mode::kHostedReporting, true);
  }

  // The document the pane works on.
  kalu_ui::doc::Document& doc() {
    return pane->link().hosted() ? pane->link().own_document() : toolkit;
  }
  void sync() { pane->sync(toolkit); }

  // Runs frames until `done` answers true (or a long while passed).
  bool sync_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      sync();
    }
    return true;
  }
  // Until the first reading of the image answered.
  bool settle() {
    sync();
    return sync_until([&] { return pane->status_known(); });
  }

  // Hands an operation over as the executor does: Pending, then the request.
  std::string start(const operations::UpdateOperation& operation) {
    std::string key = operations::operation_key(operation);
    completion->publish(operations::OperationCompletion::Pending{key});
    requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<operations::UpdateOperation>, operation));
    return key;
  }
  operations::OperationCompletion outcome() const { return completion->get(); }
  bool pending() const {
    return std::holds_alternative<operations::OperationCompletion::Pending>(outcome());
  }
  // The poll's collection (or a cancel): back to idle.
  void collect() { completion->publish(operations::OperationCompletion::Idle{}); }

  // Starts `operation`, runs frames until it is final, collects it, and
  // checks that nothing more is ever reported for it.
  operations::OperationCompletion run(const operations::UpdateOperation& operation) {
    start(operation);
    sync_until([&] { return !pending(); });
    const operations::OperationCompletion final_state = outcome();
    collect();
    for (int i = 0; i < 3; ++i) sync();
    if (outcome() != operations::OperationCompletion(operations::OperationCompletion::Idle{})) {
      return operations::OperationCompletion::Failed{"", "reported twice"};
    }
    return final_state;
  }

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  std::shared_ptr<FakeSystem> system;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  kalu_ui::doc::Document toolkit;
  std::unique_ptr<UpdatesPane> pane;
};

inline operations::OperationCompletion succeeded(const operations::UpdateOperation& op,
                                                 std::string message) {
  return operations::OperationCompletion::Succeeded{operations::operation_key(op),
                                                    std::move(message)};
}
inline operations::OperationCompletion failed(const operations::UpdateOperation& op,
                                              std::string message) {
  return operations::OperationCompletion::Failed{operations::operation_key(op), std::move(message)};
}

}  // namespace settings::panes::updates::testing
