#pragma once

// The Agent Models page: built from a const view of the pane (its snapshot,
// notice, licence step, confirm-remove state, whether the service answered
// and whether the first read is still running) each time the pane's
// structure changed. Cards, 24 apart: "Private by design"; then either the
// unavailable card (the page ends with the providers), or the notice, the
// accelerator support, "Recommended for this device", one card per
// installed model (or "Models on this device" without any) and the hosted
// providers card (providers.h). While the first snapshot is read the page
// shows only the introduction, the reading caption and the providers.
//
// Buttons of the local part do not act themselves: each writes true under
// its control id in the pane's state document (lib::FlagButton) and the
// pane's sync runs the handler. Building the page starts no process: the
// Agent Models section the providers card binds to is built from the
// snapshot the pane already holds.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "actions/provider_jobs.h"
#include "model_provider/config.h"
#include "panes/agent_models/model.h"
#include "panes/agent_models/providers.h"
#include "stored/local_models.h"
#include "widget_contract/widget.h"

namespace settings::panes::agent_models {

// Shown while the first snapshot is read.
inline constexpr std::string_view kReadingCaption = "Reading the local model service…";

// What the page shows of the pane.
struct PageView {
  const stored::LocalModelSnapshot& snapshot;
  const std::optional<std::string>& notice;
  // The recommended model whose licence step is shown.
  const std::optional<std::string>& pending_install;
  // The model whose Remove waits for its confirmation.
  const std::optional<std::string>& pending_remove;
  bool service_available = false;
  // The first snapshot has not answered yet.
  bool reading = false;
  // The model whose card shows the notice, under its buttons; none (or a
  // model no longer listed): the "Local model service" card shows it.
  std::optional<std::string> notice_model;
};

// ---- Words ----------------------------------------------------------------

// "Excellent fit", "Good fit", "Will run, with limits", "Not enough memory".
std::string_view fit_label(stored::HardwareFit fit);
// "Downloading", "Installing", "Ready" or "Running", "Needs attention".
std::string_view phase_label(const stored::LocalModelPhase& phase);
// The bar's fraction: downloaded of total while downloading (none when the
// total is unknown), percent / 100 while installing with a percent; none
// otherwise.
std::optional<double> phase_progress(const stored::LocalModelPhase& phase);
// "Ready to set up", "Queued", "Staging", "Restart required", "Active",
// "Needs attention".
std::string_view accelerator_status_label(const stored::AcceleratorSetupState& status);
// "Set up on this device" is offered: the hardware fits and accelerator
// support is absent or active.
bool local_setup_enabled(const stored::LocalModelSnapshot& snapshot);
// "agent-models-{action}-{control}" with the whole control id.
std::string model_button_id(ModelAction action, std::string_view package_id);
// The id of a model card's notice line.
std::string model_notice_id(std::string_view package_id);

// ---- The page -------------------------------------------------------------

kalu_ui::WidgetBox build_page(const PageView& view, const ProvidersCard& providers);

// What the page keeps across its rebuilds while the pane lives: the
// provider drafts, the status cell the provider jobs publish into, and how
// the configuration is read.
class AgentModelsPage {
 public:
  struct Options {
    // Empty: a cell of the page's own, for builds that name none.
    actions::ProviderStatusCell status;
    // Empty: ProviderConfig::load.
    std::function<model_provider::ProviderConfig()> load_config;
    // Empty: the vault's own answer.
    KeyProbe key_probe;
  };

  AgentModelsPage();
  explicit AgentModelsPage(Options options);

  // Loads the configuration, builds the Agent Models section from it and
  // the view's snapshot (no program runs) and builds the page. The provider
  // jobs publish into `status` (the pane's cell, which it shows as its
  // notice), or into the page's own cell when none is given.
  kalu_ui::WidgetBox build(const PageView& view,
                           const actions::ProviderStatusCell& status = nullptr);

  const std::shared_ptr<ProviderDrafts>& drafts() const { return drafts_; }
  const actions::ProviderStatusCell& status() const { return status_; }

 private:
  actions::ProviderStatusCell status_;
  std::function<model_provider::ProviderConfig()> load_config_;
  KeyProbe key_probe_;
  std::shared_ptr<ProviderDrafts> drafts_ = std::make_shared<ProviderDrafts>();
};

}  // namespace settings::panes::agent_models
