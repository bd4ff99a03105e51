// The Updates pane's handlers, in the order they run, and the answers of the
// work they start; the firmware handlers are in firmware_operations.cpp. A
// handler reads its key of the working document, acts only when the value
// differs from the model or a one-shot key is set, and reports the outcome
// of its update operation under that operation's exact key. The handlers
// that change the system start the change on the action worker and finish
// when it answers; while one runs the others leave their keys as they are,
// so they act once it has answered.

#include <fmt/format.h>

#include <utility>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "panes/updates/updates_pane.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::updates {

namespace {

using kalu_ui::doc::kRoot;
using Op = operations::UpdateOperation;

void put(kalu_ui::doc::Document& document, std::string_view key, kalu_ui::doc::Scalar value) {
  (void)document.put(kRoot, key, std::move(value));
}

void warn(std::string_view message, std::string_view op, std::string_view error) {
  kalu_ui::log::warn("kalu::settings", "settings::panes::updates", message,
                     {{"op", std::string(op)}, {"error", std::string(error)}});
}

kalu_ui::Result<std::string> done(std::string_view message) { return std::string(message); }

constexpr std::string_view kRolledBack =
    "Done. The previous image is what this machine will boot next. Restart when you are ready — "
    "nothing has been removed, so this is reversible.";

}  // namespace

void UpdatesPane::run_handlers(kalu_ui::doc::Document& document) {
  handle_check(document);
  handle_firmware_refresh(document);
  handle_firmware_install(document);
  handle_restart(document);
  handle_automatic(document);
  handle_schedule(document);
  handle_metered(document);
  handle_rollback(document);
}

void UpdatesPane::fail_notice(std::string text) { notice_ = Notice{std::move(text), true}; }

void UpdatesPane::apply_image(ImageStatus image) {
  os_ = std::move(image.os);
  rollback_image_ = std::move(image.rollback_image);
  deployment_ = std::move(image.deployment);
}

// ---- Check for updates ------------------------------------------------------------

void UpdatesPane::handle_check(kalu_ui::doc::Document& document) {
  if (!take_doc_flag(document, kCheckKey)) return;
  mark_dirty();
  if (check_answer_) {
    link_.complete(Op::Check{}, kalu_ui::fail("an update check is already running"));
    return;
  }
  Started<CheckResult> started = start_update_check(deps_.services);
  if (!started.started) {
    fail_notice("Updates could not be checked: worker could not start");
    link_.complete(Op::Check{}, kalu_ui::fail("update check worker could not start"));
    return;
  }
  // The operation stays pending until the worker answers.
  check_answer_.emplace(std::move(started.answer));
}

void UpdatesPane::finish_check(const CheckResult& result) {
  mark_dirty();
  if (!result) {
    std::string text = fmt::format("Updates could not be checked: {}", result.error());
    fail_notice(text);
    link_.complete(Op::Check{}, kalu_ui::fail(std::move(text)));
    return;
  }
  // What the check found, from the image it read, not the page's model.
  std::string found = result->os.staged_update
                          ? fmt::format("Update check finished: {} is staged; restart to apply it.",
                                        *result->os.staged_update)
                          : std::string("Update check finished: no update is staged.");
  apply_image(*result);
  stored_.last_checked = deps_.services->clock_text();
  model_.last_checked = stored_.last_checked;
  notice_.reset();
  persist_update_prefs();
  link_.complete(Op::Check{}, done(std::move(found)));
}

// ---- The action worker ------------------------------------------------------------

void UpdatesPane::start_job(kalu_ui::doc::Document& document, action::Job job) {
  Started<action::Answer> started = start_action(deps_.services, job);
  if (!started.started) {
    action::Answer answer = action::failed(job, "update action worker could not start");
    std::visit([&](auto& done) { finish(document, std::move(done)); }, answer);
    return;
  }
  action_answer_.emplace(std::move(started.answer));
  action_job_ = std::move(job);
}

// ---- Restart and update ---------------------------------------------------------

void UpdatesPane::handle_restart(kalu_ui::doc::Document& document) {
  if (action_answer_) return;
  if (!take_doc_flag(document, kRestartKey)) return;
  if (restart_requested_) {
    // This pane asked for its restart already: never a second reboot, but
    // the request is answered as the first one ended.
    if (restart_outcome_) {
      link_.complete(Op::Restart{},
                     *restart_outcome_ ? done("restart was already requested") : *restart_outcome_);
    }
    return;
  }
  restart_requested_ = true;
  start_job(document, action::Reboot{});
}

void UpdatesPane::finish(kalu_ui::doc::Document&, action::RebootDone answer) {
  if (answer.result) {
    restart_outcome_ = done("restart command accepted by the system");
    link_.complete(Op::Restart{}, *restart_outcome_);
    return;
  }
  warn("restart & update failed", "reboot", answer.result.error());
  std::string text =
      fmt::format("Restarting into the staged update failed: {}", answer.result.error());
  fail_notice(text);
  restart_outcome_ = kalu_ui::fail(text);
  link_.complete(Op::Restart{}, *restart_outcome_);
  mark_dirty();
}

// ---- Automatic updates -----------------------------------------------------------

void UpdatesPane::handle_automatic(kalu_ui::doc::Document& document) {
  if (action_answer_) return;
  const std::optional<bool> wanted = actions::read_doc_bool(document, kRoot, kAutoKey);
  if (!wanted) return;
  // Compared with the timer the system reports: the stored preference may be
  // out of date.
  if (*wanted == effective_auto()) {
    link_.complete(Op::SetAutomatic{*wanted}, done("automatic-update timer was already selected"));
    return;
  }
  model_.auto_ = *wanted;
  start_job(document, action::SetAutomatic{*wanted});
}

void UpdatesPane::finish(kalu_ui::doc::Document& document, action::AutomaticDone answer) {
  mark_dirty();
  const Op operation = Op::SetAutomatic{answer.requested};
  automatic_ = answer.read_back;
  const bool known = answer.read_back != AutomaticUpdates::Unknown;
  const bool timer_on = answer.read_back == AutomaticUpdates::Enabled;
  if (!answer.result) {
    warn("automatic updates could not be changed", "set_update_timer", answer.result.error());
    std::string text =
        fmt::format("Automatic updates could not be changed: {}", answer.result.error());
    fail_notice(text);
    const bool actual = known ? timer_on : stored_.auto_;
    stored_.auto_ = model_.auto_ = actual;
    put(document, kAutoKey, actual);
    link_.complete(operation, kalu_ui::fail(std::move(text)));
    return;
  }
  const bool actual = known ? timer_on : answer.requested;
  stored_.auto_ = model_.auto_ = actual;
  put(document, kAutoKey, actual);
  if (actual != answer.requested) {
    fail_notice(fmt::format("Automatic updates are still {}. The system did not accept the change.",
                            actual ? "on" : "off"));
    persist_update_prefs();
    link_.complete(operation,
                   kalu_ui::fail("the system did not accept the automatic-update timer change"));
    return;
  }
  notice_.reset();
  persist_update_prefs();
  link_.complete(operation, done("automatic-update timer changed"));
}

// ---- Download schedule ---------------------------------------------------------

void UpdatesPane::handle_schedule(kalu_ui::doc::Document& document) {
  if (action_answer_ || !schedule_) return;
  std::optional<std::string> wanted = actions::read_doc_text(document, kRoot, kScheduleKey);
  if (!wanted) return;
  const Op operation = Op::SetSchedule{*wanted};
  if (*wanted == *schedule_) {
    link_.complete(operation, done("update schedule was already selected"));
    return;
  }
  if (!schedule_action(*wanted)) {
    // The control goes back to the schedule in force.
    put(document, kScheduleKey, *schedule_);
    link_.complete(operation, kalu_ui::fail("unsupported update schedule"));
    return;
  }
  start_job(document, action::SetSchedule{std::move(*wanted)});
}

void UpdatesPane::finish(kalu_ui::doc::Document& document, action::ScheduleDone answer) {
  mark_dirty();
  const Op operation = Op::SetSchedule{answer.requested};
  if (!answer.result) {
    std::string text =
        fmt::format("Download schedule could not be changed: {}", answer.result.error());
    fail_notice(text);
    if (schedule_) put(document, kScheduleKey, *schedule_);
    link_.complete(operation, kalu_ui::fail(std::move(text)));
    return;
  }
  schedule_ = answer.read_back ? std::move(answer.read_back) : answer.requested;
  notice_.reset();
  put(document, kScheduleKey, *schedule_);
  link_.complete(operation, done("update schedule changed"));
}

// ---- Metered connections -------------------------------------------------------

void UpdatesPane::handle_metered(kalu_ui::doc::Document& document) {
  if (action_answer_ || metered_ == MeteredDownloads::Unknown) return;
  const std::optional<bool> wanted = actions::read_doc_bool(document, kRoot, kMeteredKey);
  if (!wanted) return;
  if (*wanted == (metered_ == MeteredDownloads::Allowed)) {
    link_.complete(Op::SetMetered{*wanted}, done("metered-network policy was already selected"));
    return;
  }
  start_job(document, action::SetMetered{*wanted});
}

void UpdatesPane::finish(kalu_ui::doc::Document& document, action::MeteredDone answer) {
  mark_dirty();
  const Op operation = Op::SetMetered{answer.requested};
  if (!answer.result) {
    std::string text =
        fmt::format("Metered-network policy could not be changed: {}", answer.result.error());
    fail_notice(text);
    if (metered_ != MeteredDownloads::Unknown) {
      put(document, kMeteredKey, metered_ == MeteredDownloads::Allowed);
    }
    link_.complete(operation, kalu_ui::fail(std::move(text)));
    return;
  }
  metered_ = answer.read_back != MeteredDownloads::Unknown ? answer.read_back
             : answer.requested                            ? MeteredDownloads::Allowed
                                                           : MeteredDownloads::NotAllowed;
  notice_.reset();
  put(document, kMeteredKey, metered_ == MeteredDownloads::Allowed);
  link_.complete(operation, done("metered-network policy changed"));
}

// ---- Rollback ---------------------------------------------------------------------

void UpdatesPane::handle_rollback(kalu_ui::doc::Document& document) {
  if (take_doc_flag(document, kReviewKey)) open_review();
  if (action_answer_) return;
  if (!take_doc_flag(document, kRollbackKey)) return;
  start_job(document, action::Rollback{});
}

void UpdatesPane::open_review() {
  review_open_ = true;
  notice_.reset();
  link_.complete(Op::ReviewRollback{}, done("rollback details opened"));
  mark_dirty();
}

void UpdatesPane::finish(kalu_ui::doc::Document&, action::RollbackDone answer) {
  mark_dirty();
  if (!answer.result) {
    warn("rollback failed", "rollback", answer.result.error());
    std::string text = fmt::format("Rolling back failed: {}", answer.result.error());
    fail_notice(text);
    // The review stays open, so the confirmation can be tried again.
    link_.complete(Op::Rollback{}, kalu_ui::fail(std::move(text)));
    return;
  }
  review_open_ = false;
  notice_ = Notice{std::string(kRolledBack), false};
  if (answer.image) apply_image(std::move(*answer.image));
  link_.complete(Op::Rollback{}, done("previous system image selected for next boot"));
}

}  // namespace settings::panes::updates
