#pragma once

// The Printers pane (Pane::kPrinters, "printers"): the configured print queues, the
// current jobs, driverless printers found nearby and the scanners.
//
// What the pane promises:
// - Reading the device never blocks the UI thread: the queues, jobs and
//   scanners are read on "kalu-printer-status" (at construction, after every
//   change, and when the device changes: a worker watches the simulated
//   device's file, or, where it cannot, every 3 seconds), nearby printers on
//   "kalu-printer-discovery"; `sync` polls their answers. One of each runs
//   at a time. A failed read keeps the last good list and says so in the
//   attention notice. A read the pane starts on its own changes the page
//   only when its answer differs from what is shown ("Refreshing…" is shown
//   for a read the person or a client asked for).
// - The page's buttons are one-shot triggers in the state document (model.h
//   control ids); `sync` takes each once and runs its handler on the UI
//   thread.
// - A printer operation from the executor (request tag 7) runs the same
//   handlers and completes exactly once, under its own key only: a change
//   when the printing service answers it, Refresh when the next status read
//   answers ("Printer status refreshed."), Discover when discovery answers.
//   A page press completes nothing; its outcome shows as the notice.
// - SetEnabled applies the state it asks for; the page's Pause/Resume
//   toggles what the page shows. Remove from the executor removes at once;
//   on the page it takes a second press ("Remove printer").

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "lib/device_notices.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/printers/backend.h"
#include "panes/printers/model.h"
#include "panes/printers/page.h"
#include "panes/printers/workers.h"
#include "vocabulary/registry.h"

namespace settings::panes::printers {

using operations::PrinterOperation;

// How old the shown status may grow before it is read again.
inline constexpr std::chrono::seconds kStatusInterval{3};

class PrintersPane : public lib::PagePane,
                     public operations::WithOperationLink<PrintersPane, PrinterOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kPrinters).type_name;
  using Clock = std::function<kalu_ui::Instant()>;

  // On the device's printing service; starts the first status read.
  PrintersPane();
  // On `backend`, with `clock` in place of the monotonic clock (tests).
  explicit PrintersPane(std::shared_ptr<PrintingBackend> backend, Clock clock = {});
  ~PrintersPane() override;
  PrintersPane(PrintersPane&&) noexcept;
  PrintersPane& operator=(PrintersPane&&) noexcept;

  // Starts a status read unless one runs.
  void refresh();
  // After a change: the notice follows the outcome, the pending operation
  // under `key` (when the change came from one) is completed with it, and
  // the status is read again.
  // A change finished: `said` is what was done, for the operation of `key`.
  void end_change(const kalu_ui::Result<std::string>& said, const std::optional<std::string>& key);
  void end_change(const kalu_ui::Status& outcome, const std::optional<std::string>& key);

  // The model, as the page shows it.
  const std::vector<PrintQueue>& queues() const { return queues_; }
  const std::vector<PrintJob>& jobs() const { return jobs_; }
  const std::vector<DriverlessPrinter>& candidates() const { return candidates_; }
  const std::vector<Scanner>& scanners() const { return scanners_; }
  // The trigger id part of each queue and nearby printer, in list order.
  const std::vector<std::string>& queue_trigger_ids() const { return queue_ids_; }
  const std::vector<std::string>& candidate_trigger_ids() const { return candidate_ids_; }
  const std::optional<std::string>& pending_removal() const { return pending_removal_; }
  const std::optional<std::string>& notice() const { return notice_; }
  bool refreshing() const { return status_receiver_.has_value(); }
  // A read that someone asked for runs (the Refresh button says so).
  bool refresh_shown() const { return refreshing() && !quiet_read_; }
  bool discovering() const { return discovery_receiver_.has_value(); }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // Without a watch of the device, the next status read is due 3 seconds
  // after the last one answered; with one, none.
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;

 private:
  kalu_ui::Instant now() const { return clock_ ? clock_() : kalu_ui::Instant::now(); }
  // sync's steps.
  void take_request();
  // A status read of the pane's own, unless one runs.
  void refresh_quietly();
  void poll_status();
  void poll_discovery();
  void run_page_triggers(kalu_ui::doc::Document& document);
  // The handlers both roads share; `key` names the operation that asked.
  void start_discovery(std::optional<std::string> key);
  void request_refresh(std::string key);
  void apply_status(StatusResult result);
  // The notice is the last change's failure, the last discovery's and the
  // last status read's, as far as each is present.
  void update_notice();

  std::shared_ptr<PrintingBackend> backend_;
  Clock clock_;
  std::optional<StatusReceiver> status_receiver_;
  std::optional<DiscoveryReceiver> discovery_receiver_;
  std::vector<PrintQueue> queues_;
  std::vector<PrintJob> jobs_;
  std::vector<DriverlessPrinter> candidates_;
  std::vector<Scanner> scanners_;
  std::vector<std::string> queue_ids_;
  std::vector<std::string> candidate_ids_;
  std::optional<std::string> pending_removal_;
  std::optional<std::string> change_error_;
  std::optional<std::string> discovery_error_;
  std::optional<std::string> read_notice_;
  std::optional<std::string> notice_;
  kalu_ui::Instant last_status_;
  // Refresh operations: one waits for the next read to start, one for the
  // read that runs now; Discover waits for the discovery that runs.
  std::optional<std::string> refresh_key_waiting_;
  std::optional<std::string> refresh_key_running_;
  std::optional<std::string> discovery_key_;
  // A change came while a read ran: another read follows it.
  bool refresh_again_ = false;
  // The read that runs was started by the pane itself.
  bool quiet_read_ = false;
  // Changes of the device, where they can be watched (the device's pane only).
  std::unique_ptr<lib::DeviceNotices> notices_;
  // The page's header buttons, whose labels follow the workers in place.
  PageButtons buttons_;
};

}  // namespace settings::panes::printers
