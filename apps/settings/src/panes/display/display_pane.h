#pragma once

// The Displays pane (Pane::kDisplays, "displays"). Built afresh each time the pane is
// selected, it reads the display hardware, the saved layout and the display
// preferences, starts a probe of the backlight and the light sensor and a
// worker that applies brightness changes, and on every frame keeps its model
// and its state document in step. Every change reaches it as a value under a
// control id of that document, written by a page control or by the pane
// itself from a display operation the executor handed over (request tag 5);
// the handlers compare the document with the model and act on differences.
//
// Every display operation it takes completes exactly once: with its handler's
// outcome; with "Display setting is already in place." when it changes
// nothing; a brightness change that arrives while an earlier one is still
// being applied is sent after it and completes with its own result; Apply
// completes when its transaction is being tested (or was rejected); Keep and
// Revert when the transaction reaches its final state. A transaction that
// ends with nothing pending (the restore at the deadline) only reloads the
// layout and rebuilds the page.
//
// Everything runs on the UI thread but the two workers (workers.h) and the
// watch of the hardware snapshot's file (lib/device_notices.h), which wakes
// the page only when the file changes; without it the pane looks at the
// file's time every second.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/channel.h"
#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "lib/device_notices.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/display/backend.h"
#include "panes/display/model.h"
#include "panes/display/page.h"
#include "panes/display/workers.h"
#include "prefs_store/display.h"
#include "stored/sections.h"
#include "system_ops/dispatcher.h"
#include "vocabulary/registry.h"

namespace settings::panes::display {

class DisplayPane
    : public lib::PagePane,
      public operations::WithOperationLink<DisplayPane, operations::DisplayOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kDisplays).type_name;

  // What the pane works with; the device's own where left empty.
  struct Dependencies {
    std::shared_ptr<DisplayBackend> backend;
    std::shared_ptr<system_ops::Dispatcher> dispatcher;
    // False: brightness changes are applied on the UI thread (no worker).
    bool brightness_worker = true;
    // A builder left empty is the Displays section's (section_bindings).
    DisplayBindings bindings;
  };

  DisplayPane();
  explicit DisplayPane(Dependencies dependencies);
  ~DisplayPane() override;
  DisplayPane(DisplayPane&&) noexcept;
  DisplayPane& operator=(DisplayPane&&) = delete;

  // ---- The handlers (operations.cpp) ----

  // Resets the document to the model, then writes the operation's value.
  void apply_request_to_document(kalu_ui::doc::Document& document,
                                 const operations::DisplayOperation& operation);
  void apply_brightness_change(kalu_ui::doc::Document& document);
  void apply_display_prefs(kalu_ui::doc::Document& document, bool handle_scale_and_auto);
  void stage_output_changes(kalu_ui::doc::Document& document,
                            const std::vector<DisplayOutput>& outputs);
  void apply_keep_revert(kalu_ui::doc::Document& document);

  // ---- Reading the model (tests, the page) ----

  const std::vector<DisplayOutput>& outputs() const { return outputs_; }
  const prefs_store::DisplayConfig& config() const { return config_; }
  const std::optional<prefs_store::DisplayConfig>& staged() const { return staged_; }
  const stored::DisplayPrefs& prefs() const { return prefs_; }
  const stored::DisplayPrefs& applied_prefs() const { return applied_prefs_; }
  float level() const { return level_; }
  bool has_light_sensor() const { return has_light_sensor_; }
  // The probe has not answered yet.
  bool probing() const { return probe_results_.has_value(); }
  bool apply_in_flight() const { return apply_in_flight_; }

  // ---- The widget contract ----

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // The next snapshot check (none while a worker watches the file),
  // transaction poll or countdown tick.
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;

 private:
  // ---- sync's steps (display_pane.cpp) ----
  void take_brightness_result(kalu_ui::doc::Document& document);
  void take_probe_result(kalu_ui::doc::Document& document);
  void check_snapshot(kalu_ui::doc::Document& document);
  void push_model(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  // Step 7: answers whether a display operation is pending.
  bool read_pending_operation(kalu_ui::doc::Document& document);
  void run_handlers(kalu_ui::doc::Document& document, bool restricted);
  void complete_unchanged();
  void follow_countdown();
  void rebuild_page(kalu_ui::doc::Document& document);
  void make_page();

  // ---- Model helpers (operations.cpp) ----
  void load_outputs();
  // The layout the pane edits and shows: the staged one while it exists.
  const prefs_store::DisplayConfig& layout() const { return staged_ ? *staged_ : config_; }
  void model_changed();
  const std::vector<DocEntry>& layout_entries();
  // The reset set: brightness, automatic brightness, scale, the commands and
  // every output's values.
  void reset_document(kalu_ui::doc::Document& document);
  // A brightness operation is pending while the probe has not answered: the
  // level is still a stand-in, so the operation waits for the real one.
  bool brightness_waits_for_probe() const;
  void save_pref_failed(const kalu_ui::Status& status);
  // apply_keep_revert's outcome step: looks at the transaction when one of
  // the pane's commands or a poll asks for it.
  void check_transaction(kalu_ui::doc::Document& document);
  void report_transaction(const prefs_store::DisplayTransaction& transaction);
  void schedule_transaction_poll(const std::optional<prefs_store::DisplayTransaction>& t);

  Dependencies deps_;
  std::optional<prefs_store::DisplayConfig> staged_;
  std::optional<kalu_ui::channel::Receiver<ProbeResult>> probe_results_;
  std::optional<kalu_ui::channel::Sender<float>> brightness_requests_;
  std::optional<kalu_ui::channel::Receiver<BrightnessResult>> brightness_results_;
  std::vector<DisplayOutput> outputs_;
  kalu_ui::Instant snapshot_seen_at_;
  // Changes to the snapshot's file, where it can be watched.
  std::unique_ptr<lib::DeviceNotices> snapshot_notices_;
  std::optional<std::filesystem::file_time_type> snapshot_modified_;
  stored::DisplayPrefs prefs_;
  stored::DisplayPrefs applied_prefs_;
  // The identity and state of the transaction last reported.
  std::optional<std::pair<std::uint64_t, std::uint8_t>> seen_transaction_;
  prefs_store::DisplayConfig config_;

  float level_ = kUnknownLevel;
  float probed_level_ = kUnknownLevel;
  float previous_level_ = kUnknownLevel;
  float requested_level_ = kUnknownLevel;
  bool apply_in_flight_ = false;
  bool has_light_sensor_ = false;
  bool needs_push_ = true;

  // The key of the operation the brightness in flight belongs to.
  std::optional<std::string> in_flight_key_;
  // The pending operation already written into the document: written once.
  std::optional<std::string> written_key_;
  // The display operation pending this frame.
  std::optional<std::string> pending_key_;
  std::optional<operations::DisplayOperation> pending_operation_;
  // Apply asked for a transaction that is not yet being tested.
  bool awaiting_apply_ = false;

  // The transaction as last loaded, what the page shows.
  std::optional<prefs_store::DisplayTransaction> transaction_;
  bool transaction_dirty_ = true;
  std::optional<kalu_ui::Instant> next_transaction_poll_;
  std::optional<kalu_ui::Instant> next_countdown_tick_;
  std::optional<std::int64_t> shown_countdown_;

  std::optional<std::vector<DocEntry>> layout_entries_;
  // The page must be built anew (the model changed).
  bool page_stale_ = true;
};

}  // namespace settings::panes::display
