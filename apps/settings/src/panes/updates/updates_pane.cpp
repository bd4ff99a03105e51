#include "panes/updates/updates_pane.h"

#include <fmt/format.h>

#include <utility>

#include "actions/doc_readers.h"
#include "actions/updates_section.h"
#include "kalu_ui/log.h"
#include "operations/keys.h"

namespace settings::panes::updates {

namespace {

using kalu_ui::doc::kRoot;
using operations::UpdateOperation;

void put(kalu_ui::doc::Document& document, std::string_view key, kalu_ui::doc::Scalar value) {
  // A refused write leaves the control showing its last value; nothing to do.
  (void)document.put(kRoot, key, std::move(value));
}

void warn(std::string_view message, std::string_view op, std::string_view error) {
  kalu_ui::log::warn("kalu::settings", "settings::panes::updates", message,
                     {{"op", std::string(op)}, {"error", std::string(error)}});
}

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault, and the page still shows with the
// control unbound.
UpdatesBindings::Binding published(UpdatesBindings::Binding binding, std::string_view message,
                                   std::string_view op) {
  if (!binding) warn(message, op, "the Updates section does not offer it");
  return binding;
}

}  // namespace

UpdatesBindings section_bindings() {
  UpdatesBindings b;
  b.command = [](std::string_view action) {
    return published(actions::updates_command_binding(action),
                     fmt::format("Updates action {} must be published", action),
                     "updates_command_binding");
  };
  b.toggle = [](std::string_view action) {
    return published(actions::updates_toggle_binding(action),
                     action == kAutomaticAction
                         ? "automatic updates are part of the static resource contract"
                         : "metered update policy is part of the static resource contract",
                     "updates_toggle_binding");
  };
  b.schedule = [] {
    return published(actions::updates_choice_binding(),
                     "update schedule is part of the static resource contract",
                     "updates_choice_binding");
  };
  return b;
}

UpdatesPane::UpdatesPane() : UpdatesPane(Dependencies{}) {}

UpdatesPane::UpdatesPane(Dependencies dependencies) : deps_(std::move(dependencies)) {
  if (!deps_.services) deps_.services = device_update_services();
  if (!deps_.bindings.command && !deps_.bindings.toggle && !deps_.bindings.schedule) {
    deps_.bindings = section_bindings();
  }
  // The settings document and the policy file are small files; everything
  // that runs a command goes to the status worker.
  stored_ = load_update_prefs();
  schedule_ = deps_.services->backend->schedule();
  metered_ = deps_.services->backend->metered_allowed();
  // A worker that cannot start closes the channel: the first sync then shows
  // what cannot be read, as when the worker stops.
  status_answer_.emplace(start_status_read(deps_.services).answer);
  // model_ starts at the section's defaults until the first sync seeds it.
}

UpdatesPane::~UpdatesPane() = default;
UpdatesPane::UpdatesPane(UpdatesPane&&) noexcept = default;

void UpdatesPane::persist_update_prefs() {
  if (auto saved = save_update_prefs(stored_); !saved) {
    warn("failed to persist update prefs", "update_prefs_save", saved.error());
  }
}

// ---- sync --------------------------------------------------------------------

void UpdatesPane::sync(kalu_ui::doc::Document& toolkit_document) {
  // Hosted, the pane works on a document of its own; the controls' values
  // reach it only through operations.
  kalu_ui::doc::Document& document = link_.working(toolkit_document);
  take_status(document);
  take_check_result();
  take_firmware_refresh();
  take_install_events();
  take_action_answer(document);
  if (seed_pending_) seed(document);
  take_request(document);
  take_review_click();
  if (link_.reporting()) {
    report_step(document);
  } else if (!waiting()) {
    run_handlers(document);
  }
  if (page() != nullptr && page_stale_) {
    // Built here rather than at the next layout, so the new page is synced
    // with the document before it is first drawn.
    make_page();
    request_rebuild();
  }
  PagePane::sync(document);
}

void UpdatesPane::take_status(kalu_ui::doc::Document& document) {
  if (!status_answer_) return;
  auto got = status_answer_->try_recv();
  if (got.is_empty()) return;
  status_answer_.reset();
  ImageStatus status;
  if (got.is_ready()) {
    FirstReading reading = std::move(got).value();
    status = std::move(reading.image);
    firmware_updates_ = std::move(reading.firmware_updates);
    firmware_history_ = std::move(reading.firmware_history);
  } else {
    warn("update status could not be read", "read_image_status", "the status worker stopped");
    status = unreadable_image_status();
    firmware_updates_ = kalu_ui::fail("the status worker stopped");
    firmware_history_ = kalu_ui::fail("the status worker stopped");
  }
  automatic_ = status.automatic;
  apply_image(std::move(status));
  // The control follows the timer now that its state is known.
  put(document, kAutoKey, effective_auto());
  mark_dirty();
}

void UpdatesPane::take_check_result() {
  if (!check_answer_) return;
  auto got = check_answer_->try_recv();
  if (got.is_empty()) return;
  check_answer_.reset();
  if (got.is_disconnected()) {
    fail_notice("Updates could not be checked: worker stopped");
    link_.complete(UpdateOperation::Check{}, kalu_ui::fail("update check worker stopped"));
    mark_dirty();
    return;
  }
  finish_check(got.value());
}

void UpdatesPane::take_action_answer(kalu_ui::doc::Document& document) {
  if (!action_answer_) return;
  auto got = action_answer_->try_recv();
  if (got.is_empty()) return;
  action_answer_.reset();
  action::Job job = std::move(*action_job_);
  action_job_.reset();
  action::Answer answer =
      got.is_ready() ? std::move(got).value() : action::failed(job, "update action worker stopped");
  std::visit([&](auto& done) { finish(document, std::move(done)); }, answer);
}

void UpdatesPane::seed(kalu_ui::doc::Document& document) {
  write_model(document);
  model_ = stored_;
  seed_pending_ = false;
}

void UpdatesPane::take_request(kalu_ui::doc::Document& document) {
  if (waiting()) return;
  // Another pane's request stays in the cell for its pane.
  const std::optional<UpdateOperation> taken = link_.take();
  if (!taken) return;
  const UpdateOperation& operation = *taken;
  write_operation_to_document(document, operation);
  taken_key_ = operations::operation_key(operation);
  run_handlers(document);
}

void UpdatesPane::take_review_click() {
  if (!std::exchange(*review_clicked_, false)) return;
  open_review();
}

void UpdatesPane::report_step(kalu_ui::doc::Document& document) {
  const std::optional<std::string> pending_key = link_.pending_key();
  const std::optional<UpdateOperation> operation = link_.pending_record();
  if (!operation) {
    taken_key_.reset();
    write_model(document);
    return;
  }
  // Taken here already: being carried out, or finished and waiting for
  // the poll.
  if (pending_key == taken_key_) return;
  // A job of this pane in progress answers its own operation.
  if (std::holds_alternative<UpdateOperation::Check>(*operation) && check_answer_) return;
  if (std::holds_alternative<UpdateOperation::RefreshFirmware>(*operation) && refresh_answer_) {
    return;
  }
  if (std::holds_alternative<UpdateOperation::InstallFirmware>(*operation) && install_events_) {
    return;
  }
  // Still in the cell: the request step takes it when the pane is free.
  if (waiting() || link_.waiting()) return;
  write_operation_to_document(document, *operation);
  taken_key_ = pending_key;
  run_handlers(document);
}

void UpdatesPane::write_model(kalu_ui::doc::Document& document) const {
  for (std::string_view key : kOneShotKeys) put(document, key, false);
  put(document, kAutoKey, effective_auto());
  if (schedule_) put(document, kScheduleKey, *schedule_);
  if (metered_ != MeteredDownloads::Unknown) {
    put(document, kMeteredKey, metered_ == MeteredDownloads::Allowed);
  }
}

void UpdatesPane::write_operation_to_document(kalu_ui::doc::Document& document,
                                              const UpdateOperation& operation) const {
  write_model(document);
  std::visit(
      [&](const auto& op) {
        using Op = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<Op, UpdateOperation::Check>) {
          put(document, kCheckKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::Restart>) {
          put(document, kRestartKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::ReviewRollback>) {
          put(document, kReviewKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::Rollback>) {
          put(document, kRollbackKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::RefreshFirmware>) {
          put(document, kFirmwareRefreshKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::InstallFirmware>) {
          put(document, kFirmwareInstallKey, true);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::SetAutomatic>) {
          put(document, kAutoKey, op.enabled);
        } else if constexpr (std::is_same_v<Op, UpdateOperation::SetSchedule>) {
          put(document, kScheduleKey, op.schedule);
        } else {
          static_assert(std::is_same_v<Op, UpdateOperation::SetMetered>);
          put(document, kMeteredKey, op.allowed);
        }
      },
      static_cast<const UpdateOperation::variant&>(operation));
}

bool UpdatesPane::effective_auto() const {
  if (automatic_ == AutomaticUpdates::Unknown) return stored_.auto_;
  return automatic_ == AutomaticUpdates::Enabled;
}

void UpdatesPane::make_page() {
  PageModel model;
  model.status_known = status_known();
  model.os = os_;
  model.deployment = deployment_;
  model.rollback_image = rollback_image_;
  model.review_open = review_open_;
  model.check_running = check_running();
  model.last_checked = stored_.last_checked;
  model.automatic = automatic_;
  model.schedule = schedule_;
  model.metered = metered_;
  model.notice = notice_;
  model.firmware_updates = firmware_updates_;
  model.firmware_history = firmware_history_;
  model.install = install_;
  model.firmware_refresh_running = firmware_refresh_running();
  set_page(build_page(model, deps_.bindings, [clicked = review_clicked_] { *clicked = true; }));
  page_stale_ = false;
}

// ---- the widget ----------------------------------------------------------------

kalu_ui::layout::NodeId UpdatesPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                  const kalu_ui::RenderContext& context,
                                                  kalu_ui::layout::NodeRegistry& registry) {
  if (page() == nullptr || page_stale_) make_page();
  return lay_out_page(tree, context, registry);
}

bool UpdatesPane::needs_redraw() const {
  if (check_answer_ || refresh_answer_ || install_events_) return true;
  const kalu_ui::Widget* page = shown_page();
  return page != nullptr && page->needs_redraw();
}

}  // namespace settings::panes::updates
