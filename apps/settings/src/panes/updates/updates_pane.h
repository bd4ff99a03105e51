#pragma once

// The Updates pane (Pane::kUpdates, "updates"): the system image, the update timer
// and policy, device firmware, restart and rollback. Built afresh each time the pane is
// selected; every change reaches it as a value under a key of its state
// document (controls.h), written by a page control or by the pane itself from
// an update operation the executor handed over (request tag 0), and its
// handlers act where the document differs from the model or a one-shot key
// is set.
//
// Nothing that runs a command runs on the UI thread. Construction reads only
// the settings document and the policy file, then a "kalu-update-status"
// worker reads the image, the timer, the journal and the firmware lists;
// until it answers the rows it feeds say "Checking…" and requests wait in
// their cell. The update
// check runs on "kalu-update-check"; the timer, the policy actions, the
// rollback and the restart run one at a time on "kalu-update-action", and a
// request that arrives meanwhile stays in its cell until the answer is in.
//
// Firmware: the status worker reads the offers and the history from the
// firmware service with the image. A metadata refresh runs on
// "kalu-firmware-refresh"; an installation runs in the service's own job,
// whose events the pane takes at every sync. Firmware work is single-flight:
// while a refresh runs or an installation's channel is held, another
// refresh or installation is refused ("firmware work is already in
// progress"). A channel that ends without Finished or Failed counts as
// Failed "firmware installation stopped unexpectedly", so firmware work is
// never left busy.
//
// Every update operation the pane takes completes exactly once, under its
// exact key: at once when nothing has to run ("... was already selected"),
// else when its worker answers. A page replaced first has the application
// fail it.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/channel.h"
#include "kalu_ui/document.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/updates/controls.h"
#include "panes/updates/page.h"
#include "panes/updates/services.h"
#include "panes/updates/workers.h"
#include "stored/sections.h"
#include "vocabulary/registry.h"

namespace settings::panes::updates {

// The page's controls bound to the Updates section's actions, so using one
// comes back to the pane as an update operation.
UpdatesBindings section_bindings();

class UpdatesPane : public lib::PagePane,
                    public operations::WithOperationLink<UpdatesPane, operations::UpdateOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kUpdates).type_name;

  // What the pane works with; the device's own services and the section's
  // bindings where left empty.
  struct Dependencies {
    std::shared_ptr<const UpdateServices> services;
    UpdatesBindings bindings;
  };

  UpdatesPane();
  explicit UpdatesPane(Dependencies dependencies);
  ~UpdatesPane() override;
  UpdatesPane(UpdatesPane&&) noexcept;
  UpdatesPane& operator=(UpdatesPane&&) = delete;

  // Saves the stored preferences into the "updates" section of the settings
  // document; a failure is logged.
  void persist_update_prefs();

  // ---- Reading the model (tests, the page) ----

  bool status_known() const { return !status_answer_; }
  const OsImageInfo& os() const { return os_; }
  const DeploymentStatus& deployment() const { return deployment_; }
  const std::optional<std::string>& rollback_image() const { return rollback_image_; }
  AutomaticUpdates automatic() const { return automatic_; }
  const std::optional<std::string>& schedule() const { return schedule_; }
  MeteredDownloads metered() const { return metered_; }
  const stored::UpdatePrefs& stored_prefs() const { return stored_; }
  const std::optional<Notice>& notice() const { return notice_; }
  bool check_running() const { return check_answer_.has_value(); }
  const FirmwareUpdateList& firmware_updates() const { return firmware_updates_; }
  const FirmwareHistoryList& firmware_history() const { return firmware_history_; }
  const FirmwareInstallState& install_state() const { return install_; }
  bool firmware_refresh_running() const { return refresh_answer_.has_value(); }
  // An installation's channel is held: its job has not ended yet.
  bool firmware_installing() const { return install_events_.has_value(); }
  bool action_running() const { return action_answer_.has_value(); }
  bool review_open() const { return review_open_; }
  bool restart_requested() const { return restart_requested_; }

  // ---- The widget contract ----

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // While a worker's answer is awaited, and whenever the page asks.
  bool needs_redraw() const override;

 private:
  // ---- sync's steps (updates_pane.cpp) ----
  void take_status(kalu_ui::doc::Document& document);
  void take_check_result();
  void take_firmware_refresh();
  void take_install_events();
  void take_action_answer(kalu_ui::doc::Document& document);
  void seed(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  void take_review_click();
  void report_step(kalu_ui::doc::Document& document);
  // Requests wait in their cell, and handlers do not run, until the image
  // has been read and while a change is being carried out.
  bool waiting() const { return status_answer_ || action_answer_; }
  void write_model(kalu_ui::doc::Document& document) const;
  void write_operation_to_document(kalu_ui::doc::Document& document,
                                   const operations::UpdateOperation& operation) const;
  void make_page();

  // ---- The handlers, in the order they run (operations.cpp) ----
  void run_handlers(kalu_ui::doc::Document& document);
  void handle_check(kalu_ui::doc::Document& document);
  void handle_firmware_refresh(kalu_ui::doc::Document& document);
  void handle_firmware_install(kalu_ui::doc::Document& document);
  void handle_restart(kalu_ui::doc::Document& document);
  void handle_automatic(kalu_ui::doc::Document& document);
  void handle_schedule(kalu_ui::doc::Document& document);
  void handle_metered(kalu_ui::doc::Document& document);
  void handle_rollback(kalu_ui::doc::Document& document);
  void open_review();

  // ---- Answers of the action worker (operations.cpp) ----
  void start_job(kalu_ui::doc::Document& document, action::Job job);
  void finish(kalu_ui::doc::Document& document, action::AutomaticDone done);
  void finish(kalu_ui::doc::Document& document, action::ScheduleDone done);
  void finish(kalu_ui::doc::Document& document, action::MeteredDone done);
  void finish(kalu_ui::doc::Document& document, action::RollbackDone done);
  void finish(kalu_ui::doc::Document& document, action::RebootDone done);
  void finish_check(const CheckResult& result);
  void finish_firmware_refresh(FirmwareRefreshResult result);
  void apply_install_event(const FirmwareInstallEvent& event);
  // Whether a refresh or an installation holds the firmware side.
  bool firmware_busy() const { return refresh_answer_ || install_events_; }
  void apply_image(ImageStatus image);

  // The timer's state as the system reported it when known, else the stored
  // preference: what the automatic-updates control shows and is compared
  // with.
  bool effective_auto() const;
  void fail_notice(std::string text);
  void mark_dirty() { page_stale_ = true; }

  Dependencies deps_;

  // Present until the first reading of the image answers.
  std::optional<kalu_ui::channel::Receiver<FirstReading>> status_answer_;
  // Present while an update check runs.
  std::optional<kalu_ui::channel::Receiver<CheckResult>> check_answer_;
  // Present while a change runs on the action worker.
  std::optional<kalu_ui::channel::Receiver<action::Answer>> action_answer_;
  std::optional<action::Job> action_job_;
  // Present while a firmware refresh runs.
  std::optional<kalu_ui::channel::Receiver<FirmwareRefreshResult>> refresh_answer_;
  // Present from an installation's start until its last event was taken.
  std::optional<system_ops::firmware::FirmwareInstallReceiver> install_events_;

  OsImageInfo os_;
  DeploymentStatus deployment_;
  std::optional<std::string> rollback_image_;
  std::optional<std::string> schedule_;
  AutomaticUpdates automatic_ = AutomaticUpdates::Unknown;
  MeteredDownloads metered_ = MeteredDownloads::Unknown;
  FirmwareUpdateList firmware_updates_;
  FirmwareHistoryList firmware_history_;
  FirmwareInstallState install_;
  // As read from the settings document and saved back; and what the pane
  // last wrote into its document.
  stored::UpdatePrefs stored_;
  stored::UpdatePrefs model_;
  std::optional<Notice> notice_;

  // "Roll back…" was pressed; shared with the button's click handler.
  std::shared_ptr<bool> review_clicked_ = std::make_shared<bool>(false);
  bool review_open_ = false;
  bool restart_requested_ = false;
  // How the first restart ended: accepted, or its failure text.
  std::optional<kalu_ui::Result<std::string>> restart_outcome_;
  bool seed_pending_ = true;
  // The key of the operation last taken from the request cell; the report
  // step leaves it to whoever is carrying it out.
  std::optional<std::string> taken_key_;

  bool page_stale_ = true;
};

}  // namespace settings::panes::updates
