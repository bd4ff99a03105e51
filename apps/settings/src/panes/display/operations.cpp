// The Displays pane's handlers: what a control's change and a display
// operation share. Each compares the document with the model, acts on a
// difference and completes the pending operation through the link.

#include <fmt/format.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <type_traits>
#include <utility>
#include <variant>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "panes/display/display_pane.h"
#include "panes/display/staging.h"

namespace settings::panes::display {

namespace {

using namespace std::chrono_literals;
using kalu_ui::doc::kRoot;
using operations::DisplayOperation;
using operations::OperationCompletion;
using prefs_store::DisplayTransaction;

constexpr std::string_view kTarget = "kalu::settings";
constexpr std::string_view kModule = "settings::panes::display";
// How often a transaction that is being applied is looked at again.
constexpr auto kApplyingPoll = 250ms;
// While one is tested: at most a second between looks, and at its deadline.
constexpr std::int64_t kTestingPollMs = 1000;

void put(kalu_ui::doc::Document& document, std::string_view key, kalu_ui::doc::Scalar value) {
  (void)document.put(kRoot, key, std::move(value));
}

std::optional<bool> read_bool(const kalu_ui::doc::Document& document, std::string_view key) {
  return actions::read_doc_bool(document, kRoot, key);
}

std::optional<std::string> read_text(const kalu_ui::doc::Document& document, std::string_view key) {
  return actions::read_doc_text(document, kRoot, key);
}

void warn(std::string_view message, std::vector<kalu_ui::log::Field> fields) {
  kalu_ui::log::warn(std::string(kTarget), std::string(kModule), std::string(message),
                     std::move(fields));
}

bool is_transaction_command(const std::optional<DisplayOperation>& operation) {
  return operation && (std::holds_alternative<DisplayOperation::Apply>(*operation) ||
                       std::holds_alternative<DisplayOperation::Confirm>(*operation) ||
                       std::holds_alternative<DisplayOperation::Revert>(*operation));
}

// What the page shows of a transaction changed.
bool page_differs(const std::optional<DisplayTransaction>& a,
                  const std::optional<DisplayTransaction>& b) {
  if (a.has_value() != b.has_value()) return true;
  if (!a) return false;
  return a->id != b->id || a->state != b->state || a->message != b->message ||
         a->deadline_unix_ms != b->deadline_unix_ms;
}

}  // namespace

// ---- The model -------------------------------------------------------------------

void DisplayPane::load_outputs() {
  outputs_ = outputs_of(deps_.backend->load_snapshot());
  model_changed();
}

void DisplayPane::model_changed() {
  layout_entries_.reset();
  page_stale_ = true;
}

const std::vector<DocEntry>& DisplayPane::layout_entries() {
  if (!layout_entries_) layout_entries_ = output_entries(layout(), outputs_);
  return *layout_entries_;
}

void DisplayPane::reset_document(kalu_ui::doc::Document& document) {
  put(document, kBrightnessId, static_cast<double>(level_));
  put(document, kAutoBrightnessId, applied_prefs_.auto_brightness);
  put(document, kScaleId, std::string(scale_label(applied_prefs_.scale)));
  for (std::string_view command : {kApplyId, kKeepId, kRevertId}) put(document, command, false);
  for (const DocEntry& entry : layout_entries()) put(document, entry.key, entry.value);
}

bool DisplayPane::brightness_waits_for_probe() const {
  if (!probing()) return false;
  const std::optional<DisplayOperation> operation = link_.pending_record();
  return operation && std::holds_alternative<DisplayOperation::SetBrightness>(*operation);
}

// ---- The document from an operation ------------------------------------------------

void DisplayPane::apply_request_to_document(kalu_ui::doc::Document& document,
                                            const DisplayOperation& operation) {
  reset_document(document);
  const auto output_field = [&](const std::string& connector, std::string_view name,
                                kalu_ui::doc::Scalar value) {
    put(document, output_control_id(connector, name), std::move(value));
  };
  std::visit(
      [&](const auto& op) {
        using Op = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<Op, DisplayOperation::SetBrightness>) {
          put(document, kBrightnessId, op.value);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetAutoBrightness>) {
          put(document, kAutoBrightnessId, op.enabled);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetNightLight>) {
          put(document, kNightLightId, op.enabled);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetNightLightTemperature>) {
          put(document, kNightLightTemperatureId, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetScale>) {
          put(document, kScaleId, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetPrimary>) {
          output_field(op.connector, field::kPrimary, op.primary);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetOutputScale>) {
          output_field(op.connector, field::kScale, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetPosition>) {
          output_field(op.connector, field::kPosition, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetMirror>) {
          output_field(op.connector, field::kMirror, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetModeLabel>) {
          output_field(op.connector, field::kMode, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetTransformLabel>) {
          output_field(op.connector, field::kTransform, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetColorProfileLabel>) {
          output_field(op.connector, field::kColorProfile, op.label);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetEnabled>) {
          output_field(op.connector, field::kEnabled, op.enabled);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetMode>) {
          output_field(op.connector, field::kMode, to_store(op.mode).label());
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetTransform>) {
          output_field(op.connector, field::kTransform,
                       std::string(transform_label(to_store(op.transform))));
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetHdr>) {
          output_field(op.connector, field::kHdr, op.enabled);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetVrr>) {
          output_field(op.connector, field::kVrr, op.enabled);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::SetColorProfile>) {
          output_field(
              op.connector, field::kColorProfile,
              profile_label(op.profile, find_output(outputs_, op.connector), UnnamedProfile::kId));
        } else if constexpr (std::is_same_v<Op, DisplayOperation::Apply>) {
          put(document, kApplyId, true);
        } else if constexpr (std::is_same_v<Op, DisplayOperation::Confirm>) {
          put(document, kKeepId, true);
        } else {
          static_assert(std::is_same_v<Op, DisplayOperation::Revert>);
          put(document, kRevertId, true);
        }
      },
      static_cast<const DisplayOperation::variant&>(operation));
}

// ---- Brightness ---------------------------------------------------------------------

void DisplayPane::apply_brightness_change(kalu_ui::doc::Document& document) {
  const std::optional<double> value = actions::read_doc_f64(document, kRoot, kBrightnessId);
  if (!value) return;
  const float requested = static_cast<float>(*value);
  if (std::abs(requested - level_) <= 0.001f || apply_in_flight_) return;
  const float percent = percent_of(requested);
  if (brightness_requests_) {
    if (brightness_requests_->send(percent)) {
      apply_in_flight_ = true;
      previous_level_ = level_;
      requested_level_ = requested;
      in_flight_key_ = link_.pending_key();
      return;
    }
    put(document, kBrightnessId, static_cast<double>(level_));
    link_.complete(kalu_ui::fail("Brightness worker is unavailable; the display was not changed."));
    return;
  }
  if (auto status = deps_.dispatcher->set_brightness(percent); !status) {
    put(document, kBrightnessId, static_cast<double>(level_));
    link_.complete(kalu_ui::fail("Brightness could not be changed: {}", status.error()));
    warn("display pane dispatch failed", {{"op", "set_brightness"}, {"error", status.error()}});
    return;
  }
  level_ = requested;
  link_.complete(std::string(brightness_message(percent)));
}

// ---- Preferences ---------------------------------------------------------------------

void DisplayPane::save_pref_failed(const kalu_ui::Status& status) {
  warn("failed to persist display prefs",
       {{"op", "display_prefs_save"}, {"error", status.error()}});
  link_.complete(kalu_ui::fail("Display preference could not be saved: {}", status.error()));
}

void DisplayPane::apply_display_prefs(kalu_ui::doc::Document& document,
                                      bool handle_scale_and_auto) {
  if (handle_scale_and_auto) {
    const std::optional<bool> on = read_bool(document, kAutoBrightnessId);
    if (on && *on != applied_prefs_.auto_brightness) {
      if (*on && !has_light_sensor_) {
        put(document, kAutoBrightnessId, false);
        link_.complete(
            kalu_ui::fail("Automatic brightness is unavailable because this device has no "
                          "ambient-light sensor."));
      } else if (auto saved = deps_.backend->save_prefs(
                     [&](stored::DisplayPrefs& p) { p.auto_brightness = *on; })) {
        applied_prefs_.auto_brightness = prefs_.auto_brightness = *on;
        link_.complete(
            std::string(*on ? "Automatic brightness enabled." : "Automatic brightness disabled."));
      } else {
        put(document, kAutoBrightnessId, applied_prefs_.auto_brightness);
        save_pref_failed(saved);
      }
    }
  }

  const std::optional<bool> night = read_bool(document, kNightLightId);
  if (night && *night != applied_prefs_.night_light) {
    // In effect at once; a failed save is reported and the change stays.
    applied_prefs_.night_light = prefs_.night_light = *night;
    if (auto saved =
            deps_.backend->save_prefs([&](stored::DisplayPrefs& p) { p.night_light = *night; })) {
      link_.complete(std::string(*night ? "Night light enabled." : "Night light disabled."));
    } else {
      save_pref_failed(saved);
    }
  }

  if (const std::optional<std::string> label = read_text(document, kNightLightTemperatureId)) {
    const std::optional<std::uint32_t> kelvin = warmth_of(*label);
    if (kelvin && *kelvin != applied_prefs_.night_light_temperature) {
      applied_prefs_.night_light_temperature = prefs_.night_light_temperature = *kelvin;
      model_changed();  // the warmth dropdown's placeholder
      if (auto saved = deps_.backend->save_prefs(
              [&](stored::DisplayPrefs& p) { p.night_light_temperature = *kelvin; })) {
        link_.complete(fmt::format("Night light warmth set to {}.", *label));
      } else {
        save_pref_failed(saved);
      }
    }
  }

  if (!handle_scale_and_auto) return;
  const std::optional<std::string> label = read_text(document, kScaleId);
  if (!label) return;
  const std::optional<double> scale = scale_of(*label);
  if (!scale || std::abs(*scale - applied_prefs_.scale) <= std::numeric_limits<double>::epsilon()) {
    return;
  }
  if (auto saved = deps_.backend->save_prefs([&](stored::DisplayPrefs& p) { p.scale = *scale; })) {
    applied_prefs_.scale = prefs_.scale = *scale;
    link_.complete(fmt::format("Display scale set to {}.", *label));
  } else {
    put(document, kScaleId, std::string(scale_label(applied_prefs_.scale)));
    save_pref_failed(saved);
  }
}

// ---- Output configuration -------------------------------------------------------------

void DisplayPane::stage_output_changes(kalu_ui::doc::Document& document,
                                       const std::vector<DisplayOutput>& outputs) {
  std::vector<OutputFieldValues> fields;
  fields.reserve(outputs.size());
  for (const DisplayOutput& output : outputs) {
    const auto id = [&](std::string_view name) {
      return output_control_id(output.connector, name);
    };
    OutputFieldValues f;
    f.enabled = read_bool(document, id(field::kEnabled));
    f.primary = read_bool(document, id(field::kPrimary));
    f.scale = read_text(document, id(field::kScale));
    f.mode = read_text(document, id(field::kMode));
    f.transform = read_text(document, id(field::kTransform));
    f.hdr = read_bool(document, id(field::kHdr));
    f.vrr = read_bool(document, id(field::kVrr));
    f.color_profile = read_text(document, id(field::kColorProfile));
    f.mirror = read_text(document, id(field::kMirror));
    f.position = read_text(document, id(field::kPosition));
    fields.push_back(std::move(f));
  }
  // Edits build on the layout staged so far, so several edits apply together.
  StagedOutputs result = stage_outputs(layout(), outputs, fields);
  for (const auto& [connector, primary] : result.primary) {
    put(document, output_control_id(connector, field::kPrimary), primary);
  }
  if (!result.changed) return;
  if (auto valid = result.config.validate_for(hardware_view_of(outputs)); !valid) {
    warn("rejected invalid display configuration", {{"error", valid.error()}});
    link_.complete(kalu_ui::fail("Display configuration is not valid: {}", valid.error()));
    return;
  }
  // Staged back to the layout in use: nothing is left to apply or to test.
  if (result.config == config_) {
    staged_.reset();
    model_changed();
    link_.complete(
        std::string("The display layout is the one in use again; there is nothing to apply."));
    return;
  }
  staged_ = std::move(result.config);
  model_changed();
  link_.complete(std::string("Display change staged. Apply it to preview the new configuration."));
}

// ---- Apply, keep, revert ------------------------------------------------------------------

void DisplayPane::apply_keep_revert(kalu_ui::doc::Document& document) {
  if (read_bool(document, kApplyId) == true) {
    put(document, kApplyId, false);
    if (!staged_) {
      link_.complete(kalu_ui::fail("There are no staged display changes to apply."));
    } else if (auto requested = deps_.backend->request_transaction(*staged_); !requested) {
      warn("failed to stage display configuration", {{"error", requested.error()}});
      link_.complete(
          kalu_ui::fail("Display configuration could not be staged: {}", requested.error()));
    } else {
      // Reported once the transaction is being tested, or rejected.
      awaiting_apply_ = pending_key_.has_value() || link_.pending_key().has_value();
      transaction_dirty_ = true;
    }
  }
  if (read_bool(document, kKeepId) == true) {
    put(document, kKeepId, false);
    if (const std::optional<DisplayTransaction> t = deps_.backend->load_transaction(); !t) {
      link_.complete(kalu_ui::fail("There is no display transaction to keep."));
    } else if (auto kept = deps_.backend->confirm_transaction(*t); !kept) {
      warn("failed to confirm display configuration", {{"error", kept.error()}});
      link_.complete(kalu_ui::fail("Display configuration could not be kept: {}", kept.error()));
    }
    transaction_dirty_ = true;
  }
  if (read_bool(document, kRevertId) == true) {
    put(document, kRevertId, false);
    if (const std::optional<DisplayTransaction> t = deps_.backend->load_transaction(); !t) {
      link_.complete(kalu_ui::fail("There is no display transaction to revert."));
    } else if (auto reverted = deps_.backend->revert_transaction(*t); !reverted) {
      warn("failed to revert display configuration", {{"error", reverted.error()}});
      link_.complete(
          kalu_ui::fail("Display configuration could not be reverted: {}", reverted.error()));
    }
    transaction_dirty_ = true;
  }
  check_transaction(document);
}

void DisplayPane::schedule_transaction_poll(const std::optional<DisplayTransaction>& t) {
  next_transaction_poll_.reset();
  if (!t || t->state >= DisplayTransaction::kKept) return;
  const kalu_ui::Instant now = deps_.backend->now();
  if (t->state != DisplayTransaction::kTesting) {
    next_transaction_poll_ = now + kApplyingPoll;
    return;
  }
  std::int64_t wait = kTestingPollMs;
  if (t->deadline_unix_ms) {
    wait = std::clamp<std::int64_t>(*t->deadline_unix_ms - deps_.backend->unix_ms(), 0, wait);
  }
  next_transaction_poll_ = now + std::chrono::milliseconds(wait);
}

void DisplayPane::check_transaction(kalu_ui::doc::Document& document) {
  const bool due = transaction_dirty_ ||
                   (next_transaction_poll_ && deps_.backend->now() >= *next_transaction_poll_);
  if (!due) return;
  transaction_dirty_ = false;
  std::optional<DisplayTransaction> t = deps_.backend->load_transaction();
  schedule_transaction_poll(t);
  if (page_differs(transaction_, t)) page_stale_ = true;
  transaction_ = t;
  if (!t) {
    if (std::exchange(awaiting_apply_, false)) {
      link_.complete(
          kalu_ui::fail("Display configuration could not be staged: the display transaction "
                        "is no longer available."));
    }
    return;
  }
  const std::pair<std::uint64_t, std::uint8_t> current{t->id, t->state};
  if (seen_transaction_ == current) return;
  const bool first_look = !seen_transaction_;
  seen_transaction_ = current;
  if (t->state < DisplayTransaction::kKept) {
    if (t->state == DisplayTransaction::kTesting && std::exchange(awaiting_apply_, false)) {
      link_.complete(
          std::string("Display change is being tested; keep it or it will be reverted."));
    }
    return;
  }
  // Final: the layout in force is the device's now.
  config_ = deps_.backend->load_config();
  model_changed();
  if (first_look && !is_transaction_command(pending_operation_)) {
    // It ended before this pane was opened: a layout staged here since (a
    // client's first operation may come with the pane's first sync) is not
    // the one it tested, and stays staged.
    return;
  }
  staged_.reset();
  for (const DocEntry& entry : layout_entries()) put(document, entry.key, entry.value);
  report_transaction(*t);
}

void DisplayPane::report_transaction(const DisplayTransaction& t) {
  awaiting_apply_ = false;
  // Only the pane's own commands learn how the transaction ended; the
  // restore at the deadline reports to nobody.
  if (!is_transaction_command(pending_operation_) || !link_.pending_key()) return;
  switch (t.state) {
    case DisplayTransaction::kKept:
      link_.complete(std::string("Display changes kept."));
      break;
    case DisplayTransaction::kReverted:
      link_.complete(std::string("Display changes reverted."));
      break;
    case DisplayTransaction::kRejected:
      link_.complete(kalu_ui::fail(t.message.value_or("Display configuration was rejected.")));
      break;
    default:
      break;
  }
}

}  // namespace settings::panes::display
