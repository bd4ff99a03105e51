#pragma once

// The shared cells that carry the mailbox values between the executor, the
// application object and the panes. The application owns one of each; a pane
// built alone makes its own, and the page frame hands it the application's.

#include <memory>
#include <optional>

#include "kalu_ui/wake_slot.h"
#include "operations/mailbox.h"
#include "operations/records.h"

namespace settings::operations {

using DeviceLocalRequestCell = kalu_ui::WakeSlot<DeviceLocalRequest>;
// Devices & Sync's own mailbox; none is the empty value.
using DeviceMeshRequestCell = kalu_ui::WakeSlot<std::optional<DeviceMeshOperation>>;
using OperationCompletionCell = kalu_ui::WakeSlot<OperationCompletion>;
using AccountRequestCell = kalu_ui::WakeSlot<AccountPaneRequest>;

}  // namespace settings::operations
