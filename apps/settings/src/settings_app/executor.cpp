// The device-local executor's steps as members of the application object,
// whose cells, selection and bookkeeping they change (executor.h).

#include "settings_app/executor.h"

#include <algorithm>
#include <tuple>
#include <type_traits>
#include <utility>

#include "media_kit/audio.h"
#include "operations/keys.h"
#include "operations/mailbox.h"
#include "prefs_store/display.h"
#include "settings_app/entry_points.h"
#include "settings_app/executor_checks.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

namespace op = operations;
using kalu_ui::DeviceLocalOutcome;
using Completion = op::OperationCompletion;

// The record of each row of kDeviceLocalRows, in the same order.
using RowRecords = std::tuple<op::InputOperation, op::KeyboardSourceOperation,
                              op::TimeDateOperation, op::UpdateOperation, op::PowerOperation,
                              op::NetworkOperation, op::BluetoothOperation, op::StorageOperation,
                              op::AudioOperation, op::DisplayOperation, op::PrinterOperation,
                              op::UserOperation, op::AgentModelOperation, op::DeviceMeshOperation>;
static_assert(std::tuple_size_v<RowRecords> == kDeviceLocalRows.size());

template <typename R>
constexpr bool kAppliedHere =
    std::is_same_v<R, op::InputOperation> || std::is_same_v<R, op::KeyboardSourceOperation> ||
    std::is_same_v<R, op::TimeDateOperation>;

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

// The poll's answer for a final state.
std::optional<kalu_ui::ResourceOperationStatus> final_status(
    const Completion& completion, const kalu_ui::ResourceOperationId& id) {
  if (const auto* done = std::get_if<Completion::Succeeded>(&completion)) {
    return succeeded_status(id, done->message);
  }
  if (const auto* failed = std::get_if<Completion::Failed>(&completion)) {
    return failed_status(id, std::string(kDeviceLocalFailedCode), failed->message, false);
  }
  return std::nullopt;
}

// The final state under `key`, if the cell holds one.
bool is_final_under(const Completion& completion, const std::optional<std::string>& key) {
  const auto tag = completion.tag();
  return key && (tag == 2 || tag == 3) && completion.key() == *key;
}

template <std::size_t I = 0>
DeviceLocalOutcome dispatch_row(std::size_t row, auto&& accept) {
  if constexpr (I == std::tuple_size_v<RowRecords>) {
    return DeviceLocalOutcome::not_handled();
  } else {
    if (row != I) return dispatch_row<I + 1>(row, accept);
    return accept.template operator()<std::tuple_element_t<I, RowRecords>>(
        kDeviceLocalRows[I].pane);
  }
}

}  // namespace

std::optional<std::size_t> device_local_row(std::string_view action_id) {
  for (std::size_t row = 0; row < kDeviceLocalRows.size(); ++row) {
    if (kDeviceLocalRows[row].action_id == action_id) return row;
  }
  return std::nullopt;
}

// ---- Accepting --------------------------------------------------------------

DeviceLocalOutcome SettingsApp::run_device_local_operation(std::string_view action_id,
                                                           kalu_ui::Payload payload) {
  release_uncollected_operation();
  if (device_local_busy_) return DeviceLocalOutcome::rejected(std::string(kDeviceLocalBusy));
  const auto row = device_local_row(action_id);
  if (!row) return DeviceLocalOutcome::not_handled();
  return dispatch_row(*row, [&]<typename R>(panes::PaneIndex pane) {
    return accept_device_local<R>(action_id, payload, pane);
  });
}

template <typename Record>
DeviceLocalOutcome SettingsApp::accept_device_local(std::string_view action_id,
                                                    kalu_ui::Payload payload,
                                                    panes::PaneIndex pane) {
  auto record = op::read_record<Record>(payload);
  if (!record) return DeviceLocalOutcome::rejected(std::move(record.error()));
  // Sound's checks judge the graph as it stood before its page was built.
  std::optional<kalu_ui::Result<media_kit::AudioGraph>> graph;
  if constexpr (std::is_same_v<Record, op::AudioOperation>) {
    graph = media_kit::AudioEnumerator().enumerate();
  }
  // Selected before the checks: a refused operation still shows its pane,
  // and the pane exists when the request is published.
  select_pane(pane);
  if constexpr (kAppliedHere<Record>) {
    return apply_here(action_id, payload, *record);
  } else {
    if (auto checked = check_record(*record, graph); !checked) {
      return DeviceLocalOutcome::rejected(std::move(checked.error()));
    }
    return hand_over(action_id, *record);
  }
}

template <typename Record>
DeviceLocalOutcome SettingsApp::hand_over(std::string_view action_id, const Record& record) {
  constexpr bool kMesh = std::is_same_v<Record, op::DeviceMeshOperation>;
  bool published = false;
  if constexpr (kMesh) {
    published = cells_.device_mesh_request->publish(record).has_value();
  } else {
    published = cells_.device_local_request
                    ->publish(op::DeviceLocalRequest(std::in_place_type<Record>, record))
                    .has_value();
  }
  if (!published) return not_taken();
  // The key of the record as read is the key of the payload: the same
  // record written again.
  std::string key = op::operation_key(action_id, record);
  if (!cells_.operation_completion->publish(Completion::Pending{key})) {
    // No one would hear of it: take the request back before a pane sees it.
    if constexpr (kMesh) {
      cells_.device_mesh_request->publish(std::nullopt);
    } else {
      cells_.device_local_request->publish(op::DeviceLocalRequest{});
    }
    return not_taken();
  }
  pending_operation_key_ = std::move(key);
  return DeviceLocalOutcome::accepted();
}

template <typename Record>
DeviceLocalOutcome SettingsApp::apply_here(std::string_view action_id, kalu_ui::Payload payload,
                                           const Record& record) {
  // Asked before anything changes, so a refusal really leaves all as it was.
  if (!cells_.operation_completion->publish(
          Completion::Pending{op::operation_key(action_id, record)})) {
    return not_taken();
  }
  return finish_device_local_operation(action_id, payload, apply_operation(record));
}

DeviceLocalOutcome SettingsApp::finish_device_local_operation(std::string_view action_id,
                                                              kalu_ui::Payload payload,
                                                              const AppliedResult& result) {
  auto key = op::device_local_operation_key(action_id, payload);
  if (!key) return DeviceLocalOutcome::rejected(std::move(key.error()));
  if (!cells_.operation_completion->publish(Completion::Pending{*key})) return not_taken();
  Completion final_state = result ? Completion(Completion::Succeeded{*key, *result})
                                  : Completion(Completion::Failed{*key, result.error()});
  if (!cells_.operation_completion->publish(std::move(final_state))) return not_taken();
  pending_operation_key_ = std::move(*key);
  // The page shows what is stored now.
  structure_dirty_ = true;
  rebuild_shell();
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome SettingsApp::start_device_local_operation(
    const kalu_ui::ResourceOperationId& operation_id, std::string_view action_id,
    kalu_ui::Payload payload) {
  DeviceLocalOutcome outcome = run_device_local_operation(action_id, payload);
  if (std::holds_alternative<DeviceLocalOutcome::Accepted>(outcome.value)) {
    device_local_busy_ = true;
    device_local_request_id_ = operation_id;
    final_since_.reset();
    // An applied operation is final already; its wait starts now.
    release_uncollected_operation();
  }
  return outcome;
}

// ---- Reporting --------------------------------------------------------------

DeviceLocalPoll SettingsApp::poll_device_local_operation(
    const kalu_ui::ResourceOperationId& operation_id) {
  if (device_local_busy_ && operation_id == device_local_request_id_) {
    const Completion completion = cells_.operation_completion->get();
    if (!is_final_under(completion, pending_operation_key_)) return {true, std::nullopt};
    auto status = final_status(completion, operation_id);
    device_local_busy_ = false;
    pending_operation_key_.reset();
    final_since_.reset();
    cells_.operation_completion->publish(Completion::Idle{});
    return {true, std::move(status)};
  }
  const auto released = std::ranges::find_if(
      released_, [&](const ReleasedOperation& r) { return r.id == operation_id; });
  if (released == released_.end()) return {};
  DeviceLocalPoll answer{true, std::move(released->status)};
  released_.erase(released);
  return answer;
}

void SettingsApp::release_uncollected_operation() {
  if (!device_local_busy_) return;
  const Completion completion = cells_.operation_completion->get();
  if (!is_final_under(completion, pending_operation_key_)) {
    final_since_.reset();
    return;
  }
  const kalu_ui::Instant now = executor_clock_();
  if (!final_since_) {
    final_since_ = now;
    return;
  }
  if (now - *final_since_ < kUncollectedRelease) return;
  if (released_.size() == kReleasedKept) released_.erase(released_.begin());
  released_.push_back(
      {device_local_request_id_, *final_status(completion, device_local_request_id_)});
  device_local_busy_ = false;
  pending_operation_key_.reset();
  final_since_.reset();
  cells_.operation_completion->publish(Completion::Idle{});
}

void SettingsApp::fail_operation_of_replaced_page() {
  if (!pending_operation_key_) return;
  const Completion completion = cells_.operation_completion->get();
  const auto* pending = std::get_if<Completion::Pending>(&completion);
  if (!pending || pending->key != *pending_operation_key_) return;
  cells_.operation_completion->publish(
      Completion::Failed{pending->key, std::string(kPaneClosedBeforeFinish)});
  if (!cells_.device_local_request->get().empty()) {
    cells_.device_local_request->publish(op::DeviceLocalRequest{});
  }
  if (cells_.device_mesh_request->get()) cells_.device_mesh_request->publish(std::nullopt);
}

}  // namespace settings::settings_app
