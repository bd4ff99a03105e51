#pragma once

// One operation in flight over a completion cell, as the application object
// runs the device-local executor's and the account form's: the operation's
// id, its action and key, when it must be final by, and the outcomes that
// finished and were not yet polled.
//
// The slot is busy only while its operation runs. `settle` looks at the
// cell: a final state under the key frees the slot at once and keeps the
// outcome for the poll of its id (reported once); past the deadline the
// operation is failed with kDidNotFinishInTime first. So a client that never
// polls, or one that died, holds nobody up, and a pane that never completes
// frees the slot at its bound. UI thread only.

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/instant.h"
#include "operations/mailbox_cells.h"
#include "widget_contract/records.h"

namespace settings::settings_app {

inline constexpr std::string_view kDidNotFinishInTime = "the operation did not finish in time";
// The error code a poll gives a failed operation of the slot.
inline constexpr std::string_view kDeviceLocalFailedCode = "device_local_operation_failed";
// How many finished outcomes are kept for their polls, newest last (as many
// as the automation host remembers).
inline constexpr std::size_t kFinishedKept = 256;

// What the slot's part of a poll answers.
struct DeviceLocalPoll {
  // The id is the slot's operation in flight, or one finished and not yet
  // polled; when false the poll goes on to its other branches.
  bool owned = false;
  // The final status, reported once; none while the operation still runs.
  std::optional<kalu_ui::ResourceOperationStatus> status;
};

// A finished outcome not yet polled, kept for the poll of its id.
struct ReleasedOperation {
  kalu_ui::ResourceOperationId id;
  kalu_ui::ResourceOperationStatus status;
};

// The id as clients see it: 32 lower-case hexadecimal digits.
std::string hex_id(const kalu_ui::ResourceOperationId& id);

class OperationSlot {
 public:
  bool busy() const { return busy_; }
  const kalu_ui::ResourceOperationId& id() const { return id_; }
  const std::string& action_id() const { return action_id_; }
  // The key of the operation accepted last; none once it is settled.
  const std::optional<std::string>& key() const { return key_; }

  // The key the operation being accepted completes under.
  void expect(std::string key) { key_ = std::move(key); }
  // The accepted operation runs under `id` and must be final by `deadline`.
  void begin(const kalu_ui::ResourceOperationId& id, std::string_view action_id,
             kalu_ui::Instant deadline);
  // " (<action id>, operation <id>)": what runs, for a refusal.
  std::string naming() const;

  // Frees the slot when `cell` holds the final state under the key, keeping
  // the outcome and setting the cell back to Idle; at `now` past the
  // deadline, fails it first. Answers true when it was failed so.
  bool settle(operations::OperationCompletionCell& cell, kalu_ui::Instant now);
  // The poll of `id`: pending while it runs, else its kept outcome, once.
  DeviceLocalPoll poll(const kalu_ui::ResourceOperationId& id);
  // A client gives up on `id`: the operation in flight is dropped (the cell
  // set back to Idle) or a kept outcome forgotten. Answers whether `id` was
  // the slot's.
  bool cancel(const kalu_ui::ResourceOperationId& id, operations::OperationCompletionCell& cell);

 private:
  void keep(kalu_ui::ResourceOperationStatus status);

  bool busy_ = false;
  kalu_ui::ResourceOperationId id_;
  std::string action_id_;
  std::optional<std::string> key_;
  kalu_ui::Instant deadline_;
  std::vector<ReleasedOperation> finished_;
};

}  // namespace settings::settings_app
