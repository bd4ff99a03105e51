#pragma once

// The shared cells that carry the mailbox values between the executor, the
// application object and the panes. The application owns one of each; a pane
// built alone makes its own, and the page frame hands it the application's.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "kalu_ui/wake_slot.h"
#include "operations/mailbox.h"
#include "operations/records.h"

namespace settings::operations {

using DeviceLocalRequestCell = kalu_ui::WakeSlot<DeviceLocalRequest>;
using OperationCompletionCell = kalu_ui::WakeSlot<OperationCompletion>;
using AccountRequestCell = kalu_ui::WakeSlot<AccountPaneRequest>;
// What the last connection check of a saved account came to, for the
// External Accounts page to show on the account's row: the check running,
// "Signed in.", or the check's failure text. The application publishes it
// when a check starts and when it ends; the pane empties it when the account
// changes. None: nothing to show.
struct AccountCheckNote {
  std::string id;
  std::string text;
  bool running = false;
  bool failed = false;

  bool operator==(const AccountCheckNote&) const = default;
};
using AccountCheckNoteCell = kalu_ui::WakeSlot<std::optional<AccountCheckNote>>;
// The Agent Models status line: nothing, or the sentence of the last
// provider job, which the pane shows in its next sync.
using AgentModelsStatusCell = kalu_ui::WakeSlot<std::optional<std::string>>;
// Raised by the application after it changed the provider configuration; the
// pane shown takes it in its next sync and rebuilds its page from the file.
using AgentModelsProvidersChangedCell = kalu_ui::WakeSlot<bool>;

// Completes the operation carried out under `key` (mailbox.h): while `cell`
// holds Pending with exactly `key`, publishes Succeeded with the success
// message or Failed with the failure's. Answers whether it did; a message for
// an operation that is not the pending one is dropped. Panes complete through
// their link (link.h); the account form's saves here.
bool complete(OperationCompletionCell& cell, std::string_view key,
              const kalu_ui::Result<std::string>& result);

}  // namespace settings::operations
