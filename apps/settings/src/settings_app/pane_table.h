#pragma once

// The pane table: how the page frame builds each pane, one row per pane in
// the order of panes::Pane (checked where it is compiled), and what it hands
// the constructors. The only room besides the application
// object that includes pane headers; a pane issue that builds its pane
// changes its row here (settings_app/pane_table.cpp).

#include <array>
#include <filesystem>
#include <memory>
#include <optional>

#include "account_probe/account_probe.h"
#include "operations/mailbox_cells.h"
#include "vocabulary/registry.h"
#include "widget_contract/widget.h"

namespace settings::settings_app {

// Shares of the application's cells, the account probe, the accounts-root
// override and, for Region & Formats, the width hint. A pane keeps a clone of
// each handle it takes in place of a cell of its own, so a completion it
// publishes after its page is replaced still lands in the application's cell.
struct PaneCells {
  std::shared_ptr<operations::DeviceLocalRequestCell> device_local_request;
  std::shared_ptr<operations::OperationCompletionCell> operation_completion;
  std::shared_ptr<operations::AccountRequestCell> account_requests;
  // Where External Accounts completes a client's form or replacement save.
  std::shared_ptr<operations::OperationCompletionCell> account_completion;
  // What the last connection check of a saved account came to.
  std::shared_ptr<operations::AccountCheckNoteCell> account_check_note;
  account_probe::SharedAccountProbe account_probe;
  // The Agent Models status line the provider jobs publish into.
  std::shared_ptr<operations::AgentModelsStatusCell> agent_models_status;
  // Raised after the application's own provider operations.
  std::shared_ptr<operations::AgentModelsProvidersChangedCell> agent_models_providers_changed;
  // Where the account store, vault and journal live; absent: the platform's place.
  std::optional<std::filesystem::path> accounts_root;
  // The width Region & Formats may lay its page out in; absent while unknown.
  std::optional<float> content_width_hint;
};

// Builds a pane's widget wired to the cells it takes.
using PaneConstructor = kalu_ui::WidgetBox (*)(const PaneCells& cells);

// The pane widget of `pane` built with its row.
kalu_ui::WidgetBox build_pane(panes::Pane pane, const PaneCells& cells);

}  // namespace settings::settings_app
