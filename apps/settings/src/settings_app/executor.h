#pragma once

// The device-local executor: how an automation client's
// "settings.<x>-operation" reaches the pane that owns the setting, one
// operation at a time, and how its outcome gets back to the client.
//
// DeviceLocalExecutor::accept is given an effect operation with one of the
// device-local action ids of operations/table.h (the caller has filtered
// kind and id). It refuses at once, in this order: while another
// device-local operation is in flight; a payload that does not read as the
// action's record (the reader's text); a record the device no longer allows
// (executor_checks.h). A refusal changes nothing, not even the pane shown.
// Otherwise, as the operation's row says, it either hands the record to the
// pane through the request cell and leaves Pending under the operation key
// in the completion cell, or, for input, keyboard sources and time and date,
// applies it itself (executor_apply.h) and leaves the final state there at
// once; then it shows the row's pane. The pane publishes the final state
// under the key in its next syncs (operations/mailbox.h says how); the poll
// reports it once.
//
// An operation belongs to the executor, not to the page. While one handed
// to a pane is in flight, carrying_pane() names that pane: the application
// keeps that pane object alive and synced off screen whatever the person or
// another client shows, and shows that same object again when its pane is
// selected (settings_app.h), so the pane's worker runs to its real outcome
// and that outcome is what the client polls. Showing a pane never ends an
// operation.
//
// The executor is busy only while an operation runs: the moment its final
// state is in the completion cell (seen at the next start, poll or frame),
// the outcome is kept under the operation's id for its poll, reported once,
// and the next operation is taken, whether or not anyone polls. A refusal
// because one runs names it (kDeviceLocalBusy, its action and operation id).
// Nothing leaves the executor busy for good:
// - a request or Pending the cells refuse to take is refused
//   ("the Settings pane could not take the operation") with nothing pending;
// - an operation no pane has completed within its bound is failed with
//   kDidNotFinishInTime, the request cell emptied; a pane that finishes it
//   later finds nothing pending and drops its message (executor_slot.h);
// - a client that cancels an operation no pane has taken yet withdraws it.
// A cancel never hides a known outcome: an operation already final answers
// its final state, and one a pane is carrying out (its worker may still
// change the device) runs on and is polled as usual.
//
// Everything runs on the UI thread inside the toolkit's calls into the
// application object; there is no worker thread here. The executor knows
// the application only through ExecutorShell, so its tests drive it with
// cells of their own and no widget tree.

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/instant.h"
#include "settings_app/executor_apply.h"
#include "settings_app/executor_slot.h"
#include "settings_app/pane_table.h"
#include "vocabulary/registry.h"
#include "widget_contract/records.h"

namespace settings::settings_app {

// Followed by " (<action id>, operation <id>)" of the operation that runs.
inline constexpr std::string_view kDeviceLocalBusy =
    "another device-local Settings operation is still running";
inline constexpr std::string_view kOperationNotTaken =
    "the Settings pane could not take the operation";
// A cancelled operation that no pane had taken yet.
inline constexpr std::string_view kWithdrawn = "device-local operation cancelled before it started";

// How long a pane may take to complete an operation it was handed: a
// minute, and half an hour for the work whose progress its page shows while
// it runs (an update check, a rollback, firmware work, a storage clean-up, a
// Bluetooth pairing, the removal of a login account with its files).
inline constexpr std::chrono::seconds kCompletionBound{60};
inline constexpr std::chrono::seconds kLongCompletionBound{30 * 60};

// The monotonic clock the completion bound reads; tests hand in their own.
using ExecutorClock = std::function<kalu_ui::Instant()>;

// What the executor asks of the application around it.
struct ExecutorShell {
  // Shows the pane of an operation just accepted (its row's); a refused one
  // shows nothing.
  std::function<void(panes::Pane)> show_pane;
  // An applied operation changed what is stored: the page is built anew.
  std::function<void()> show_stored;
};

class DeviceLocalExecutor {
 public:
  // Works on the request and completion cells of `cells`, which must
  // outlive the executor (the application's own, or a test's).
  DeviceLocalExecutor(const PaneCells& cells, ExecutorShell shell);

  // Accepts or refuses one effect operation whose action id is a
  // device-local one (other ids: not handled). Accepted leaves Pending (a
  // handed-over operation) or the final state (an applied one) under the
  // operation key, and the key in pending_key(). It does not mark the
  // executor busy; start does.
  kalu_ui::DeviceLocalOutcome accept(std::string_view action_id, kalu_ui::Payload payload);
  // Accepts and, when accepted, runs the operation under `operation_id`
  // until it is final.
  kalu_ui::DeviceLocalOutcome start(const kalu_ui::ResourceOperationId& operation_id,
                                    std::string_view action_id, kalu_ui::Payload payload);
  // The final state of an operation that finished and was not yet polled
  // (once), or still pending for the one that runs.
  DeviceLocalPoll poll(const kalu_ui::ResourceOperationId& operation_id);
  // A client gives up on `operation_id`. A final outcome not yet polled is
  // answered (once), as a poll would; an operation no pane has taken yet is
  // withdrawn and answered cancelled; one a pane is carrying out cannot be
  // stopped and goes on (no status: still running). Not owned when the id
  // is not the executor's.
  DeviceLocalPoll cancel(const kalu_ui::ResourceOperationId& operation_id);
  // Frees the executor once the operation in flight is final, keeping its
  // outcome for its poll; past its completion bound, fails it first.
  void settle();
  // The pane carrying out the operation in flight, until it is final; none
  // when nothing runs or the executor applied it itself.
  std::optional<panes::Pane> carrying_pane() const;

  bool busy() const { return slot_.busy(); }
  // The operation id in flight, while busy.
  const kalu_ui::ResourceOperationId& running_id() const { return slot_.id(); }
  // The key of the operation accepted last; none once it is settled.
  const std::optional<std::string>& pending_key() const { return slot_.key(); }
  // The clock the completion bound reads.
  void use_clock(ExecutorClock clock) { clock_ = std::move(clock); }

 private:
  template <typename Record>
  kalu_ui::DeviceLocalOutcome accept_record(std::string_view action_id, kalu_ui::Payload payload);
  template <typename Record>
  kalu_ui::DeviceLocalOutcome hand_over(std::string_view action_id, const Record& record);
  template <typename Record>
  kalu_ui::DeviceLocalOutcome apply_here(std::string_view action_id, kalu_ui::Payload payload,
                                         const Record& record);
  // Pending, then the final state (`result`) under the key of `payload`, the
  // key kept, and the page rebuilt from what is stored. Accepted, also for a
  // failure; refused when the cell takes neither state.
  kalu_ui::DeviceLocalOutcome finish_applied(std::string_view action_id, kalu_ui::Payload payload,
                                             const AppliedResult& result);
  // Withdraws a request no pane has taken yet.
  void withdraw_requests();

  const PaneCells& cells_;
  ExecutorShell shell_;
  // The operation in flight and the outcomes not yet polled; the completion
  // bound of the one being accepted.
  OperationSlot slot_;
  std::chrono::seconds accepted_bound_ = kCompletionBound;
  // The pane of the operation in flight, when a pane carries it out.
  std::optional<panes::Pane> carrier_;
  ExecutorClock clock_ = &kalu_ui::Instant::now;
};

}  // namespace settings::settings_app
