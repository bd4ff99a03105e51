#include "panes/display/display_pane.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <utility>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "lib/dispatcher.h"
#include "operations/keys.h"

namespace settings::panes::display {

namespace {

using namespace std::chrono_literals;
using kalu_ui::doc::kRoot;
using operations::OperationCompletion;

constexpr auto kSnapshotCheckInterval = 1s;

// A builder left empty is the Displays section's own.
void fill_bindings(DisplayBindings& bindings) {
  DisplayBindings section = section_bindings();
  if (!bindings.brightness) bindings.brightness = std::move(section.brightness);
  if (!bindings.toggle) bindings.toggle = std::move(section.toggle);
  if (!bindings.night_light_warmth) {
    bindings.night_light_warmth = std::move(section.night_light_warmth);
  }
  if (!bindings.command) bindings.command = std::move(section.command);
  if (!bindings.output_toggle) bindings.output_toggle = std::move(section.output_toggle);
  if (!bindings.output_choice) bindings.output_choice = std::move(section.output_choice);
}

void put(kalu_ui::doc::Document& document, std::string_view key, kalu_ui::doc::Scalar value) {
  // A refused write leaves the control showing its last value; nothing to do.
  (void)document.put(kRoot, key, std::move(value));
}

}  // namespace

DisplayPane::DisplayPane() : DisplayPane(Dependencies{}) {}

DisplayPane::DisplayPane(Dependencies dependencies) : deps_(std::move(dependencies)) {
  if (!deps_.backend) deps_.backend = device_display_backend();
  fill_bindings(deps_.bindings);
  probe_results_ = start_probe(deps_.backend);
  deps_.dispatcher = lib::dispatcher_or_default(std::move(deps_.dispatcher));
  if (deps_.brightness_worker) {
    BrightnessWorker worker = start_brightness_worker(deps_.dispatcher);
    brightness_requests_.emplace(std::move(worker.requests));
    brightness_results_.emplace(std::move(worker.results));
  }
  load_outputs();
  prefs_ = deps_.backend->load_prefs();
  config_ = deps_.backend->load_config();
  snapshot_seen_at_ = deps_.backend->now();
  if (std::optional<std::filesystem::path> path = deps_.backend->snapshot_path()) {
    // Told of a change by a worker, the pane reads the file only then and
    // needs no frame in between.
    snapshot_notices_ = std::make_unique<lib::DeviceNotices>(*path);
    if (!snapshot_notices_->watching()) snapshot_notices_.reset();
  }
  snapshot_modified_ = deps_.backend->snapshot_modified();
  // applied_prefs_ starts at the section's defaults: scale 1, 3700 K, both off.
}

DisplayPane::~DisplayPane() = default;
DisplayPane::DisplayPane(DisplayPane&&) noexcept = default;

// ---- sync --------------------------------------------------------------------

void DisplayPane::sync(kalu_ui::doc::Document& toolkit_document) {
  // Hosted, the pane works on a document of its own; the controls' values
  // reach it only through operations.
  kalu_ui::doc::Document& document = link_.working(toolkit_document);
  take_brightness_result(document);
  take_probe_result(document);
  check_snapshot(document);
  if (needs_push_) push_model(document);
  // Judged against the stand-in level, a brightness asked for before the
  // probe answers could pass for "already in place" (or the probe's level
  // could overwrite it); it is taken once the real level is known.
  if (!brightness_waits_for_probe()) {
    take_request(document);
    const bool pending = read_pending_operation(document);
    run_handlers(document, link_.reporting() && !pending);
    complete_unchanged();
  }
  follow_countdown();
  rebuild_page(document);
  PagePane::sync(document);
}

void DisplayPane::take_brightness_result(kalu_ui::doc::Document& document) {
  if (!brightness_results_) return;
  auto got = brightness_results_->try_recv();
  if (!got.is_ready()) return;
  if (!std::exchange(apply_in_flight_, false)) return;
  const std::optional<std::string> key = std::exchange(in_flight_key_, std::nullopt);
  const std::optional<std::string> pending = link_.pending_key();
  // The result belongs to the operation that sent it. Another operation that
  // arrived meanwhile is written into the document again, so its own change
  // goes out next.
  const bool own = key && pending && *key == *pending;
  if (pending && !own) written_key_.reset();
  BrightnessResult result = std::move(got).value();
  if (!result.level) {
    level_ = previous_level_;
    put(document, kBrightnessId, static_cast<double>(level_));
    kalu_ui::log::warn("kalu::settings", "settings::panes::display",
                       "display worker dispatch failed",
                       {{"op", "set_brightness"},
                        {"error", result.error},
                        {"requested", fmt::format("{}", requested_level_)}});
    if (own)
      link_.complete(*key, kalu_ui::fail("Brightness could not be changed: {}", result.error));
    return;
  }
  level_ = *result.level;
  if (own) link_.complete(*key, std::string(brightness_message(*result.level * 100.0f)));
}

void DisplayPane::take_probe_result(kalu_ui::doc::Document& document) {
  if (!probe_results_) return;
  auto got = probe_results_->try_recv();
  if (got.is_empty()) return;
  if (got.is_ready()) {
    const ProbeResult probe = got.value();
    probed_level_ = probe.level;
    level_ = probe.level;
    has_light_sensor_ = probe.light_sensor;
    put(document, kBrightnessId, static_cast<double>(level_));
    page_stale_ = true;
  }
  probe_results_.reset();
}

void DisplayPane::check_snapshot(kalu_ui::doc::Document&) {
  if (snapshot_notices_) {
    if (!snapshot_notices_->take()) return;
  } else {
    const kalu_ui::Instant now = deps_.backend->now();
    if (now - snapshot_seen_at_ < kSnapshotCheckInterval) return;
    snapshot_seen_at_ = now;
  }
  std::optional<std::filesystem::file_time_type> modified = deps_.backend->snapshot_modified();
  if (modified == snapshot_modified_) return;
  snapshot_modified_ = modified;
  load_outputs();
  config_ = deps_.backend->load_config();
  needs_push_ = true;
  // Another writer may have changed the layout: look at the transaction too.
  transaction_dirty_ = true;
  model_changed();
}

void DisplayPane::push_model(kalu_ui::doc::Document& document) {
  // The level in force, not the probe's: after a probe they are equal, and a
  // snapshot change must not send an old level back to the backlight.
  put(document, kBrightnessId, static_cast<double>(level_));
  put(document, kAutoBrightnessId, prefs_.auto_brightness);
  put(document, kNightLightId, prefs_.night_light);
  put(document, kNightLightTemperatureId,
      std::string(warmth_label(prefs_.night_light_temperature)));
  put(document, kScaleId, std::string(scale_label(prefs_.scale)));
  for (std::string_view command : {kApplyId, kKeepId, kRevertId}) put(document, command, false);
  bool inserted = false;
  for (std::size_t i = 0; i < outputs_.size(); ++i) {
    inserted |= config_.outputs.try_emplace(outputs_[i].connector, default_output_config(i)).second;
  }
  if (inserted) model_changed();
  for (const DocEntry& entry : layout_entries()) put(document, entry.key, entry.value);
  applied_prefs_ = prefs_;
  needs_push_ = false;
}

void DisplayPane::take_request(kalu_ui::doc::Document& document) {
  // Another pane's request stays in the cell for its pane.
  const std::optional<operations::DisplayOperation> taken = link_.take();
  if (!taken) return;
  const operations::DisplayOperation& operation = *taken;
  apply_request_to_document(document, operation);
  written_key_ = operations::operation_key(operation);
  pending_operation_ = operation;
  apply_brightness_change(document);
  apply_display_prefs(document, true);
  stage_output_changes(document, std::vector<DisplayOutput>(outputs_));
  apply_keep_revert(document);
}

bool DisplayPane::read_pending_operation(kalu_ui::doc::Document& document) {
  pending_key_.reset();
  if (!link_.reporting()) return false;
  if (std::optional<std::string> key = link_.pending_key()) {
    if (key == written_key_ && pending_operation_) {
      pending_key_ = std::move(key);
      return true;
    }
    if (auto operation = link_.pending_record()) {
      // Written once per operation: a command must not be requested again
      // on every frame while its operation is pending.
      apply_request_to_document(document, *operation);
      written_key_ = key;
      pending_operation_ = std::move(*operation);
      pending_key_ = std::move(key);
      return true;
    }
  }
  written_key_.reset();
  pending_operation_.reset();
  awaiting_apply_ = false;
  reset_document(document);
  return false;
}

void DisplayPane::run_handlers(kalu_ui::doc::Document& document, bool restricted) {
  if (!restricted) apply_brightness_change(document);
  apply_display_prefs(document, !restricted);
  if (restricted) {
    // The transaction still ends on its own (the restore at the deadline).
    check_transaction(document);
    return;
  }
  stage_output_changes(document, std::vector<DisplayOutput>(outputs_));
  apply_keep_revert(document);
}

void DisplayPane::complete_unchanged() {
  if (!pending_key_ || apply_in_flight_ || awaiting_apply_) return;
  link_.complete(*pending_key_, std::string("Display setting is already in place."));
}

void DisplayPane::follow_countdown() {
  next_countdown_tick_.reset();
  if (!transaction_ || transaction_->state != prefs_store::DisplayTransaction::kTesting) {
    shown_countdown_.reset();
    return;
  }
  const std::int64_t now_ms = deps_.backend->unix_ms();
  const std::int64_t seconds = countdown_seconds(*transaction_, now_ms);
  if (shown_countdown_ != seconds) page_stale_ = true;
  if (seconds > 0) {
    // The moment the number shown drops by one.
    const std::int64_t until = *transaction_->deadline_unix_ms - now_ms - (seconds - 1) * 1000;
    next_countdown_tick_ =
        deps_.backend->now() + std::chrono::milliseconds(std::max<std::int64_t>(until, 1));
  }
}

void DisplayPane::rebuild_page(kalu_ui::doc::Document&) {
  // Before the first layout the page is built there. Built here, the new page
  // is synced with the document before it is first drawn.
  if (page() == nullptr || !page_stale_) return;
  make_page();
  request_rebuild();
}

void DisplayPane::make_page() {
  PageModel model;
  model.outputs = &outputs_;
  model.layout = &layout();
  model.staged = staged_.has_value();
  model.night_light_temperature = applied_prefs_.night_light_temperature;
  model.has_light_sensor = has_light_sensor_;
  model.level = level_;
  model.transaction = &transaction_;
  model.now_unix_ms = deps_.backend->unix_ms();
  set_page(build_page(model, deps_.bindings));
  page_stale_ = false;
  shown_countdown_.reset();
  if (transaction_ && transaction_->state == prefs_store::DisplayTransaction::kTesting) {
    shown_countdown_ = countdown_seconds(*transaction_, model.now_unix_ms);
  }
}

// ---- the widget ----------------------------------------------------------------

kalu_ui::layout::NodeId DisplayPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                  const kalu_ui::RenderContext& context,
                                                  kalu_ui::layout::NodeRegistry& registry) {
  if (page() == nullptr || page_stale_) make_page();
  return lay_out_page(tree, context, registry);
}

std::optional<kalu_ui::Instant> DisplayPane::own_wake_deadline() const {
  std::optional<kalu_ui::Instant> due = next_transaction_poll_;
  // A snapshot file no worker watches: look again in a second.
  if (snapshot_modified_ && !snapshot_notices_) {
    due = kalu_ui::earliest(due, snapshot_seen_at_ + kSnapshotCheckInterval);
  }
  return kalu_ui::earliest(due, next_countdown_tick_);
}

}  // namespace settings::panes::display
