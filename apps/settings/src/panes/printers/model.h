#pragma once

// The Printers pane's plain data: the control ids of its one-shot triggers,
// the ids that tell queues, nearby printers and jobs apart inside them, and
// the texts its page shows for queues and jobs. Pure functions, tested
// without a window.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "system_ops/printing.h"

namespace settings::panes::printers {

using system_ops::printing::DriverlessPrinter;
using system_ops::printing::JobState;
using system_ops::printing::PrintJob;
using system_ops::printing::PrintQueue;
using system_ops::printing::QueueState;
using system_ops::printing::Scanner;

// ---- Control ids (one-shot triggers, bool) ---------------------------------

inline constexpr std::string_view kRefreshId = "settings.printers.refresh";
inline constexpr std::string_view kDiscoverId = "settings.printers.discover";

// Every ASCII letter lower-cased, every ASCII digit kept, every other byte
// "_": "Office Printer (2nd)" is "office_printer__2nd_".
std::string sanitize_id(std::string_view name);

// The id part of each name, in order: its sanitized form, unless another
// name of the list sanitizes alike; then the form followed by "_" and eight
// hex digits of a hash of the exact name, so one press acts on one queue.
std::vector<std::string> distinct_ids(const std::vector<std::string_view>& names);
std::vector<std::string> queue_ids(const std::vector<PrintQueue>& queues);
std::vector<std::string> candidate_ids(const std::vector<DriverlessPrinter>& candidates);

std::string add_id(std::string_view id);             // "settings.printers.add.{}"
std::string default_id(std::string_view id);         // "settings.printers.default.{}"
std::string enabled_id(std::string_view id);         // "settings.printers.enabled.{}"
std::string remove_id(std::string_view id);          // "settings.printers.remove.{}"
std::string confirm_remove_id(std::string_view id);  // "settings.printers.confirm_remove.{}"
std::string job_cancel_id(const PrintJob& job);      // "settings.printers.job.cancel.{}"
std::string job_retry_id(const PrintJob& job);       // "settings.printers.job.retry.{}"

// A job's id as operations and item resources carry it: its decimal number.
std::string job_id_text(const PrintJob& job);
// The platform's job id of that text; nothing for anything but a decimal
// number that fits.
std::optional<std::uint32_t> parse_job_id(std::string_view text);

// ---- Status reads -----------------------------------------------------------

// What the status worker reads, in this order.
struct StatusResult {
  kalu_ui::Result<std::vector<PrintQueue>> queues;
  kalu_ui::Result<std::vector<PrintJob>> jobs;
  kalu_ui::Result<std::vector<Scanner>> scanners;
};

// What discovery answers.
using DiscoveryResult = kalu_ui::Result<std::vector<DriverlessPrinter>>;

// "Printers: {}", "Jobs: {}", "Scanners: {}" for the reads that failed,
// joined with " · "; nothing when all three succeeded.
std::optional<std::string> status_notice(const StatusResult& result);

// ---- Queue texts -------------------------------------------------------------

// "Ready", "Printing", "Paused", "Offline".
std::string_view queue_state_label(QueueState state);
// The badge tone of a state (kalu_ui/theme.h tones).
std::uint8_t queue_state_tone(QueueState state);
// The line under the queue's name: whether it takes jobs, or its role and detail.
std::string queue_status_line(const PrintQueue& queue);
// What the queue reports about its supplies.
std::string supplies_line(const PrintQueue& queue);
// The label of the Pause/Resume button.
std::string_view enabled_button_label(const PrintQueue& queue);

// ---- Job texts -----------------------------------------------------------------

// "State not reported" without a state; "Waiting", "Held", "Printing",
// "Stopped", "Canceled", "Failed", "Completed"; "Unknown state" otherwise.
std::string_view job_state_label(std::optional<JobState> state);
// "{id} → {destination}".
std::string job_title(const PrintJob& job);
// "{title} · {size in SI units} · {owner}".
std::string job_detail_line(const PrintJob& job);
// "Page progress not reported", "{done} of {expected} impressions · {p}%",
// or "{done} impressions completed".
std::string job_progress_text(const PrintJob& job);
// "{state} · {progress}" and " · {extra}" when the job has one.
std::string job_state_line(const PrintJob& job);
// Which buttons a job offers.
bool job_offers_retry(std::optional<JobState> state);
bool job_offers_cancel(std::optional<JobState> state);

}  // namespace settings::panes::printers
