// The device-local executor's steps (executor.h).

#include "settings_app/executor.h"

#include <fmt/format.h>

#include <string>
#include <type_traits>
#include <utility>

#include "kalu_ui/log.h"
#include "media_kit/audio.h"
#include "operations/keys.h"
#include "operations/mailbox.h"
#include "operations/table.h"
#include "prefs_store/display.h"
#include "settings_app/executor_checks.h"

namespace settings::settings_app {
namespace {

namespace op = operations;
using kalu_ui::DeviceLocalOutcome;
using Completion = op::OperationCompletion;

DeviceLocalOutcome not_taken() {
  return DeviceLocalOutcome::rejected(std::string(kOperationNotTaken));
}

// The checks of a handed-over record; storage, user, agent-model and
// device-mesh operations have none. `graph` is read for audio only.
template <typename R>
kalu_ui::Status check_record(const R& record,
                             const std::optional<kalu_ui::Result<media_kit::AudioGraph>>& graph) {
  if constexpr (std::is_same_v<R, op::AudioOperation>) {
    return check_operation(record, *graph);
  } else if constexpr (std::is_same_v<R, op::DisplayOperation>) {
    return check_operation(record, prefs_store::DisplayHardwareSnapshot::load());
  } else if constexpr (requires { check_operation(record); }) {
    return check_operation(record);
  } else {
    return {};
  }
}

// How long the pane may take: longer for the work whose progress its page
// shows while it runs.
template <typename R>
std::chrono::seconds completion_bound(const R& record) {
  bool long_work = false;
  if constexpr (std::is_same_v<R, op::UpdateOperation>) {
    using U = op::UpdateOperation;
    long_work = std::holds_alternative<U::Check>(record) ||
                std::holds_alternative<U::Rollback>(record) ||
                std::holds_alternative<U::RefreshFirmware>(record) ||
                std::holds_alternative<U::InstallFirmware>(record);
  } else if constexpr (std::is_same_v<R, op::StorageOperation>) {
    long_work = std::holds_alternative<op::StorageOperation::CleanupCaches>(record) ||
                std::holds_alternative<op::StorageOperation::FreeSyncedFiles>(record);
  } else if constexpr (std::is_same_v<R, op::BluetoothOperation>) {
    long_work = std::holds_alternative<op::BluetoothOperation::Pair>(record);
  } else if constexpr (std::is_same_v<R, op::UserOperation>) {
    long_work = std::holds_alternative<op::UserOperation::Remove>(record);
  }
  return long_work ? kLongCompletionBound : kCompletionBound;
}

}  // namespace

// ---- Accepting --------------------------------------------------------------

DeviceLocalExecutor::DeviceLocalExecutor(const PaneCells& cells, ExecutorShell shell)
    : cells_(cells), shell_(std::move(shell)) {}

DeviceLocalOutcome DeviceLocalExecutor::accept(std::string_view action_id,
                                               kalu_ui::Payload payload) {
  settle();
  if (slot_.busy()) {
    return DeviceLocalOutcome::rejected_busy(fmt::format("{}{}", kDeviceLocalBusy, slot_.naming()));
  }
  return op::with_device_local_record(
             action_id, [&]<typename R>() { return accept_record<R>(action_id, payload); })
      .value_or(DeviceLocalOutcome::not_handled());
}

template <typename Record>
DeviceLocalOutcome DeviceLocalExecutor::accept_record(std::string_view action_id,
                                                      kalu_ui::Payload payload) {
  auto record = op::read_record<Record>(payload);
  if (!record) return DeviceLocalOutcome::rejected(std::move(record.error()));
  // Sound's checks judge the graph as it stood before its page was built.
  std::optional<kalu_ui::Result<media_kit::AudioGraph>> graph;
  if constexpr (std::is_same_v<Record, op::AudioOperation>) {
    graph = media_kit::AudioEnumerator().enumerate();
  }
  constexpr op::OperationRow kRow = op::kOperationRow<Record>;
  accepted_bound_ = completion_bound(*record);
  DeviceLocalOutcome outcome;
  if constexpr (kRow.carried_out == op::CarriedOut::kHere) {
    outcome = apply_here(action_id, payload, *record);
  } else {
    if (auto checked = check_record(*record, graph); !checked) {
      return DeviceLocalOutcome::rejected(std::move(checked.error()));
    }
    outcome = hand_over(action_id, *record);
  }
  // Only what was accepted moves the window; the pane takes a request
  // handed over in its first sync.
  if (std::holds_alternative<DeviceLocalOutcome::Accepted>(outcome.value)) {
    if constexpr (kRow.carried_out == op::CarriedOut::kByPane) carrier_ = kRow.pane;
    shell_.show_pane(kRow.pane);
  }
  return outcome;
}

template <typename Record>
DeviceLocalOutcome DeviceLocalExecutor::hand_over(std::string_view action_id,
                                                  const Record& record) {
  if (!cells_.device_local_request->publish(
          op::DeviceLocalRequest(std::in_place_type<Record>, record))) {
    return not_taken();
  }
  // The key of the record as read is the key of the payload: the same
  // record written again.
  std::string key = op::operation_key(action_id, record);
  if (!cells_.operation_completion->publish(Completion::Pending{key})) {
    // No one would hear of it: take the request back before a pane sees it.
    cells_.device_local_request->publish(op::DeviceLocalRequest{});
    return not_taken();
  }
  slot_.expect(std::move(key));
  return DeviceLocalOutcome::accepted();
}

template <typename Record>
DeviceLocalOutcome DeviceLocalExecutor::apply_here(std::string_view action_id,
                                                   kalu_ui::Payload payload, const Record& record) {
  // Asked before anything changes, so a refusal really leaves all as it was.
  if (!cells_.operation_completion->publish(
          Completion::Pending{op::operation_key(action_id, record)})) {
    return not_taken();
  }
  return finish_applied(action_id, payload, apply_operation(record));
}

DeviceLocalOutcome DeviceLocalExecutor::finish_applied(std::string_view action_id,
                                                       kalu_ui::Payload payload,
                                                       const AppliedResult& result) {
  auto key = op::device_local_operation_key(action_id, payload);
  if (!key) return DeviceLocalOutcome::rejected(std::move(key.error()));
  if (!cells_.operation_completion->publish(Completion::Pending{*key})) return not_taken();
  Completion final_state = result ? Completion(Completion::Succeeded{*key, *result})
                                  : Completion(Completion::Failed{*key, result.error()});
  if (!cells_.operation_completion->publish(std::move(final_state))) return not_taken();
  slot_.expect(std::move(*key));
  carrier_.reset();
  shell_.show_stored();
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome DeviceLocalExecutor::start(const kalu_ui::ResourceOperationId& operation_id,
                                              std::string_view action_id,
                                              kalu_ui::Payload payload) {
  DeviceLocalOutcome outcome = accept(action_id, payload);
  if (std::holds_alternative<DeviceLocalOutcome::Accepted>(outcome.value)) {
    slot_.begin(operation_id, action_id, clock_() + accepted_bound_);
    // An applied operation is final already: the executor is free at once.
    settle();
  }
  return outcome;
}

// ---- Reporting --------------------------------------------------------------

DeviceLocalPoll DeviceLocalExecutor::poll(const kalu_ui::ResourceOperationId& operation_id) {
  settle();
  return slot_.poll(operation_id);
}

DeviceLocalPoll DeviceLocalExecutor::cancel(const kalu_ui::ResourceOperationId& operation_id) {
  // What has ended is answered as it ended: a cancel never turns a known
  // outcome into "cancelled".
  settle();
  if (!slot_.busy() || operation_id != slot_.id()) return slot_.poll(operation_id);
  // A request still in the cell was never started: taking it back stops it.
  if (!cells_.device_local_request->get().empty()) {
    withdraw_requests();
    (void)slot_.cancel(operation_id, *cells_.operation_completion);
    carrier_.reset();
    return {true, kalu_ui::ResourceOperationStatus{kalu_ui::ResourceOperationStatus::Cancelled{
                      std::string(kWithdrawn), operation_id}}};
  }
  // A pane has it: its worker may still change the device, so it runs on to
  // its real outcome, which the next polls answer.
  return {true, std::nullopt};
}

void DeviceLocalExecutor::settle() {
  const std::string action_id = slot_.action_id();
  const bool failed_late = slot_.settle(*cells_.operation_completion, clock_());
  if (!slot_.busy()) carrier_.reset();
  if (!failed_late) return;
  // Failed for want of a completion: what no pane took is withdrawn.
  kalu_ui::log::warn("kalu::settings", "settings::settings_app::executor",
                     "device-local operation did not finish in time", {{"action_id", action_id}});
  withdraw_requests();
}

std::optional<panes::Pane> DeviceLocalExecutor::carrying_pane() const {
  return slot_.busy() ? carrier_ : std::nullopt;
}

void DeviceLocalExecutor::withdraw_requests() {
  if (!cells_.device_local_request->get().empty()) {
    cells_.device_local_request->publish(op::DeviceLocalRequest{});
  }
}

}  // namespace settings::settings_app
