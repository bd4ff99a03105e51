#pragma once

// The account branch of the operation entry points:
// "settings.account-operation" in all its variants. Forms are opened,
// submitted and closed in the External Accounts pane through the
// account-request cell; a client's form or replacement save is an operation
// the pane completes in the account completion cell, one at a time, polled
// by its operation id like a device-local one (an OperationSlot with the
// same bound); Test runs the connection check of a saved account on a
// worker thread (account_check.h), polled by its operation id; Remove
// removes the account at once.
//
// UI thread only. The branch knows the application only through
// AccountShell, so its tests drive it with cells of their own.

#include <functional>
#include <optional>
#include <string>

#include "kalu_ui/result.h"
#include "operations/records.h"
#include "settings_app/account_check.h"
#include "settings_app/executor.h"
#include "settings_app/executor_slot.h"
#include "settings_app/pane_table.h"
#include "widget_contract/records.h"

namespace settings::settings_app {

// What the branch asks of the application around it.
struct AccountShell {
  // Shows External Accounts, where every account operation is carried out.
  std::function<void()> show_accounts;
  // An account was removed: the list is read again and the page rebuilt.
  std::function<void()> accounts_changed;
};

class AccountBranch {
 public:
  // Works on the account cells and the probe of `cells`, which must outlive
  // the branch; the accounts live under `cells.accounts_root`.
  AccountBranch(const PaneCells& cells, AccountShell shell);

  // The start of an account operation of `kind`: a save accepted (polled
  // until the pane completes it), a form moved or an account removed
  // (completed), the connection check started (accepted), or the refusal.
  kalu_ui::DeviceLocalOutcome start(const kalu_ui::ResourceOperationId& operation_id,
                                    kalu_ui::OperationKind kind, kalu_ui::Payload payload);
  // The invocation at once: the request published into the account-request
  // cell, or the refusal of a payload or kind that does not fit.
  kalu_ui::Result<std::string> invoke(kalu_ui::OperationKind kind, kalu_ui::Payload payload);
  // The poll (or, with `cancel`, the cancellation) of `operation_id`: owned
  // when it is the save in flight, a kept save outcome, the check in flight
  // or the kept outcome of the last one. A cancel answers a final outcome
  // as a poll would; it withdraws a save the pane has not taken yet, and
  // lets one the pane is carrying out run on (no status: still running).
  DeviceLocalPoll poll(const kalu_ui::ResourceOperationId& operation_id, bool cancel);
  // Frees the save slot once the pane completed the save (past its bound,
  // failing it first), and takes a finished connection check's answer.
  void settle();
  // Whether a save is in flight: External Accounts carries it out, and the
  // application keeps that pane alive until the save is final.
  bool saving() const { return form_.busy(); }

  // The operation id of the connection check in flight.
  std::optional<kalu_ui::ResourceOperationId> check_id() const {
    return check_ ? std::optional(check_->id) : std::nullopt;
  }
  // How a connection check's worker thread is started (tests: a starter that
  // fails, or drops the thread's body unrun).
  void set_thread_starter(ThreadStarter start_thread) { start_thread_ = std::move(start_thread); }
  // The clock the save's bound reads.
  void use_clock(ExecutorClock clock) { clock_ = std::move(clock); }

 private:
  kalu_ui::DeviceLocalOutcome start_operation(const kalu_ui::ResourceOperationId& id,
                                              kalu_ui::OperationKind kind,
                                              const operations::AccountOperation& op);
  kalu_ui::DeviceLocalOutcome start_form_submission(const kalu_ui::ResourceOperationId& id,
                                                    const operations::AccountOperation& op);
  // Refuses a check of account `id` before it runs, with the reason on its row.
  kalu_ui::DeviceLocalOutcome refuse_check(const std::string& id, std::string reason,
                                           bool busy = false);
  kalu_ui::DeviceLocalOutcome start_connection_check(const kalu_ui::ResourceOperationId& id,
                                                     const std::string& account_id);
  kalu_ui::DeviceLocalOutcome remove_account(const std::string& account_id);
  // Publishes what `op` asks of the pane under `kind` into the request cell.
  kalu_ui::Result<bool> publish_request(kalu_ui::OperationKind kind,
                                        const operations::AccountOperation& op);
  // Takes the running check's answer when it has come: its outcome is kept
  // for its poll and shown on the account's row; the next check may start.
  void settle_check();
  std::optional<kalu_ui::ResourceOperationStatus> poll_check(
      const kalu_ui::ResourceOperationId& operation_id, bool cancel);

  const PaneCells& cells_;
  AccountShell shell_;
  // A client's account form or replacement save in flight (External
  // Accounts completes it) and the outcomes not yet polled.
  OperationSlot form_;
  // The account connection check in flight, the outcome of the last one
  // until it is polled, and how its thread starts.
  std::optional<AccountCheck> check_;
  std::optional<ReleasedOperation> check_done_;
  ThreadStarter start_thread_ = &start_detached;
  ExecutorClock clock_ = &kalu_ui::Instant::now;
};

}  // namespace settings::settings_app
