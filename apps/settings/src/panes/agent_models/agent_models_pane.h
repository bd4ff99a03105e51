#pragma once

// The Agent Models pane (Pane::kAgentModels, "agent_models"): local models through the
// local model service, and accelerator support staged into the next system
// image.
//
// What the pane promises:
// - No call of the model service runs on the UI thread. Every call runs on
//   the worker "kalu-model-service" (workers.h), one at a time: the first
//   snapshot at construction (the page says "Reading the local model
//   service…" until it answers; when it fails, the hardware is judged from
//   the memory the meminfo file reports), each operation with the snapshot
//   that follows its success, and the polling read.
// - `sync` runs its steps in a fixed order: the worker's answer; the status
//   cell (the provider jobs' last sentence becomes the notice); the
//   providers-changed flag (raised: the page is rebuilt); the first
//   reset of every trigger; the request of the executor (tag 9), turned into
//   the trigger its button sets; the accelerator, setup, cancel and confirm
//   triggers; the model triggers in list and action order; the page. While a
//   call runs, a new request stays in its cell and the triggers that call the
//   service stay in the document until the worker is free.
// - Every operation the pane takes completes exactly once, under the key of
//   the record the pane rebuilds from the snapshot, when the service answers:
//   accepted after a success, "... could not start: ..." or "... failed: ..."
//   after a refusal. Start of a running model and Stop of a stopped one
//   succeed at once ("... is already running" / "... is already stopped"); a
//   model that is gone or an action its phase does not offer fails ("local
//   model is no longer available"), and so does an Install or a Retry for a
//   release that is not the current one. A page click completes nothing; its
//   outcome shows as the notice: a model action's (and the question before a
//   removal) in that model's card, under its buttons, brought into view.
// - While a download, an install or accelerator staging is in progress the
//   service is read again at most every 750 ms (an injectable clock); the
//   reading stops after the read that sees the work finished. A failed read
//   keeps the last list but marks the service unavailable.
//
// The page is built by a PageBuilder from a const view of the pane (its
// accessors below); until the page is built in full, the interim page says
// so.

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/agent_models/backend.h"
#include "panes/agent_models/model.h"
#include "panes/agent_models/page.h"
#include "panes/agent_models/workers.h"
#include "vocabulary/registry.h"
#include "widget_contract/widget.h"

namespace settings::panes::agent_models {

using operations::AgentModelOperation;
using operations::AgentModelsStatusCell;
// The least time between two polling reads while work is in progress.
inline constexpr std::chrono::milliseconds kPollInterval{750};

class AgentModelsPane;

// Builds the page from what the pane shows; called by build_layout each time
// the pane's structure changed.
using PageBuilder = std::function<kalu_ui::WidgetBox(const AgentModelsPane&)>;

// Keeps the local provider profile in step with a snapshot's models; runs
// on the worker after each snapshot it read.
using ProfileSync = std::function<void(std::span<const stored::InstalledLocalModel>)>;

// The Agent Models page (page.h) of the pane: one AgentModelsPage kept across
// rebuilds (the provider drafts live as long as the pane), its provider jobs
// publishing into the pane's status cell.
PageBuilder agent_models_page(AgentModelsPage::Options options = {});

class AgentModelsPane : public lib::PagePane,
                        public operations::WithOperationLink<AgentModelsPane, AgentModelOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kAgentModels).type_name;
  using Clock = std::function<kalu_ui::Instant()>;

  struct Dependencies {
    std::shared_ptr<ModelServiceBackend> backend;
    std::filesystem::path meminfo{kMeminfoPath};
    // Empty: the monotonic clock.
    Clock clock;
    // Empty: agent_models_page() on the stored provider configuration.
    PageBuilder page;
    // Empty: the local provider profile is left alone. The pane made on the
    // device keeps it in step (sync_local_profile).
    ProfileSync local_profile;
  };

  // On the device's model service; starts the first snapshot read.
  AgentModelsPane();
  explicit AgentModelsPane(Dependencies dependencies);
  ~AgentModelsPane() override;
  AgentModelsPane(AgentModelsPane&&) noexcept;
  AgentModelsPane& operator=(AgentModelsPane&&) noexcept;

  // The application's status cell, into which the provider jobs publish.
  AgentModelsPane&& with_status_cell(const std::shared_ptr<AgentModelsStatusCell>& cell) &&;
  // The application's flag, raised after it changed the provider configuration.
  AgentModelsPane&& with_providers_changed_cell(
      const std::shared_ptr<operations::AgentModelsProvidersChangedCell>& cell) &&;

  // Starts a snapshot read unless a call runs; answers whether one started.
  bool refresh();
  // A model downloads or installs, or accelerator setup is queued or staging.
  bool work_in_progress() const;

  // ---- What the page shows ----
  PageView page_view() const {
    return {snapshot_,          notice_,  pending_install_, pending_remove_,
            service_available_, reading_, notice_model_};
  }
  const LocalModelSnapshot& snapshot() const { return snapshot_; }
  const std::optional<std::string>& notice() const { return notice_; }
  // The model the notice is about (its card shows it), none for the service.
  const std::optional<std::string>& notice_model() const { return notice_model_; }
  // The recommended model whose licence step is shown.
  const std::optional<std::string>& pending_install() const { return pending_install_; }
  // The model whose removal waits for the second click ("Confirm remove").
  const std::optional<std::string>& pending_remove() const { return pending_remove_; }
  // The last snapshot read answered.
  bool service_available() const { return service_available_; }
  // The first snapshot has not answered yet.
  bool reading() const { return reading_; }
  // A call of the model service runs on the worker.
  bool busy() const { return receiver_.has_value(); }
  const std::shared_ptr<AgentModelsStatusCell>& status_cell() const { return status_; }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  // Polling: starts a read when work is in progress and the last read is
  // kPollInterval old; answers whether work is in progress.
  bool update() override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // The next polling read, while work is in progress and no call runs (a
  // call's answer wakes the loop itself).
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;

 private:
  // What the call on the worker was for, so its answer can be finished.
  enum class CallKind : std::uint8_t { Refresh, Accelerator, Install, ModelAction };
  struct Call {
    CallKind kind = CallKind::Refresh;
    std::optional<AgentModelOperation> operation;
    // The model action's label, for its messages.
    std::string_view label;
    // The model a model action is for.
    std::optional<std::string> model;
  };
  // The request taken in this sync and whether a handler carried it out.
  struct TakenRequest {
    AgentModelOperation operation;
    std::string control;
    bool handled = false;
  };

  kalu_ui::Instant now() const { return clock_ ? clock_() : kalu_ui::Instant::now(); }
  // sync's steps (pane_steps.cpp).
  void poll_call();
  void take_status();
  void take_providers_changed();
  void reset_controls(kalu_ui::doc::Document& document);
  std::optional<TakenRequest> take_request(kalu_ui::doc::Document& document);
  void run_accelerator_trigger(kalu_ui::doc::Document& document,
                               std::optional<TakenRequest>& taken);
  void run_setup_triggers(kalu_ui::doc::Document& document);
  void run_confirm_trigger(kalu_ui::doc::Document& document, std::optional<TakenRequest>& taken);
  void run_model_triggers(kalu_ui::doc::Document& document, std::optional<TakenRequest>& taken);
  void run_model_action(const stored::InstalledLocalModel& model, ModelAction action,
                        const AgentModelOperation& operation);
  void settle_request(kalu_ui::doc::Document& document, std::optional<TakenRequest> taken);
  // The calls.
  void start_call(Call call, ServiceJob job);
  void finish_call(Call call, ServiceAnswer answer);
  void apply_snapshot(const kalu_ui::Result<LocalModelSnapshot>& read);
  // `model`: the model whose card shows it (brought into view), none for
  // the service card.
  void set_notice(std::optional<std::string> notice, std::optional<std::string> model = {});

  std::shared_ptr<ModelServiceBackend> backend_;
  std::filesystem::path meminfo_;
  Clock clock_;
  PageBuilder page_builder_;
  ProfileSync local_profile_;
  LocalModelSnapshot snapshot_;
  std::optional<std::string> pending_install_;
  std::optional<std::string> pending_remove_;
  std::optional<std::string> notice_;
  std::optional<std::string> notice_model_;
  kalu_ui::Instant last_refresh_;
  std::optional<ServiceReceiver> receiver_;
  Call call_;
  std::shared_ptr<AgentModelsStatusCell> status_;
  std::shared_ptr<operations::AgentModelsProvidersChangedCell> providers_changed_;
  bool service_available_ = false;
  bool reading_ = true;
  bool controls_need_reset_ = true;
};

}  // namespace settings::panes::agent_models
