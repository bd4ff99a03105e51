#include "panes/printers/model.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <map>

#include "kalu_ui/format.h"
#include "kalu_ui/theme.h"
#include "lib/decimal.h"

namespace settings::panes::printers {
namespace {

// FNV-1a, 32 bits: stable across runs, so an id a client saw stays valid.
std::uint32_t name_hash(std::string_view name) {
  std::uint32_t hash = 2166136261u;
  for (unsigned char byte : name) {
    hash ^= byte;
    hash *= 16777619u;
  }
  return hash;
}

template <typename T, typename Name>
std::vector<std::string> ids_of(const std::vector<T>& items, Name name) {
  std::vector<std::string_view> names;
  names.reserve(items.size());
  for (const T& item : items) names.push_back(name(item));
  return distinct_ids(names);
}

std::string with_prefix(std::string_view prefix, std::string_view id) {
  std::string out(prefix);
  out += id;
  return out;
}

}  // namespace

std::string sanitize_id(std::string_view name) {
  std::string id;
  id.reserve(name.size());
  for (char c : name) {
    if (c >= 'A' && c <= 'Z') {
      id.push_back(static_cast<char>(c - 'A' + 'a'));
    } else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      id.push_back(c);
    } else {
      id.push_back('_');
    }
  }
  return id;
}

std::vector<std::string> distinct_ids(const std::vector<std::string_view>& names) {
  std::vector<std::string> ids;
  ids.reserve(names.size());
  std::map<std::string, int, std::less<>> uses;
  for (std::string_view name : names) ++uses[ids.emplace_back(sanitize_id(name))];
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (uses[ids[i]] > 1) ids[i] += fmt::format("_{:08x}", name_hash(names[i]));
  }
  // A hashed id can still meet a name that sanitizes to exactly it (or two
  // exact names can hash alike); such ids take their position as well.
  std::map<std::string, int, std::less<>> final_uses;
  for (const std::string& id : ids) ++final_uses[id];
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (final_uses[ids[i]] > 1) ids[i] += fmt::format("_{}", i);
  }
  return ids;
}

std::vector<std::string> queue_ids(const std::vector<PrintQueue>& queues) {
  return ids_of(queues, [](const PrintQueue& q) -> std::string_view { return q.name; });
}

std::vector<std::string> candidate_ids(const std::vector<DriverlessPrinter>& candidates) {
  return ids_of(candidates, [](const DriverlessPrinter& p) -> std::string_view { return p.name; });
}

std::string add_id(std::string_view id) { return with_prefix("settings.printers.add.", id); }
std::string default_id(std::string_view id) {
  return with_prefix("settings.printers.default.", id);
}
std::string enabled_id(std::string_view id) {
  return with_prefix("settings.printers.enabled.", id);
}
std::string remove_id(std::string_view id) { return with_prefix("settings.printers.remove.", id); }
std::string confirm_remove_id(std::string_view id) {
  return with_prefix("settings.printers.confirm_remove.", id);
}
std::string job_cancel_id(const PrintJob& job) {
  return with_prefix("settings.printers.job.cancel.", job_id_text(job));
}
std::string job_retry_id(const PrintJob& job) {
  return with_prefix("settings.printers.job.retry.", job_id_text(job));
}

std::string job_id_text(const PrintJob& job) { return fmt::format("{}", job.id); }

std::optional<std::uint32_t> parse_job_id(std::string_view text) {
  return lib::parse_decimal_u32(text);
}

std::optional<std::string> status_notice(const StatusResult& result) {
  std::vector<std::string> failures;
  if (!result.queues) failures.push_back(fmt::format("Printers: {}", result.queues.error()));
  if (!result.jobs) failures.push_back(fmt::format("Jobs: {}", result.jobs.error()));
  if (!result.scanners) failures.push_back(fmt::format("Scanners: {}", result.scanners.error()));
  if (failures.empty()) return std::nullopt;
  return fmt::format("{}", fmt::join(failures, " · "));
}

std::string_view queue_state_label(QueueState state) {
  switch (state) {
    case QueueState::Ready:
      return "Ready";
    case QueueState::Printing:
      return "Printing";
    case QueueState::Paused:
      return "Paused";
    case QueueState::Offline:
      return "Offline";
  }
  return "Ready";
}

std::uint8_t queue_state_tone(QueueState state) {
  switch (state) {
    case QueueState::Ready:
      return kalu_ui::kToneSuccess;
    case QueueState::Printing:
      return kalu_ui::kToneInfo;
    case QueueState::Paused:
      return kalu_ui::kToneWarning;
    case QueueState::Offline:
      return kalu_ui::kToneNeutral;
  }
  return kalu_ui::kToneNeutral;
}

std::string queue_status_line(const PrintQueue& queue) {
  if (queue.detail.empty() && !queue.detail2) {
    if (!queue.accepting_jobs) return "Not accepting new jobs";
    return queue.is_default ? "Default · accepting jobs" : "Accepting jobs";
  }
  const std::string_view detail =
      !queue.detail.empty() ? std::string_view(queue.detail) : std::string_view(*queue.detail2);
  return fmt::format("{} · {}", queue.is_default ? "Default" : "Configured", detail);
}

std::string supplies_line(const PrintQueue& queue) {
  if (!queue.live) {
    return queue.supply_levels_unreported ? "Supply levels not reported by this printer"
                                          : "Live IPP details unavailable";
  }
  if (queue.live->supplies.empty()) return "Supplies: none installed";
  std::vector<std::string> supplies;
  for (const auto& supply : queue.live->supplies) {
    supplies.push_back(supply.level ? fmt::format("{} {}%", supply.name, *supply.level)
                                    : fmt::format("{} — level not reported", supply.name));
  }
  return fmt::format("Supplies: {}", fmt::join(supplies, " · "));
}

std::string_view enabled_button_label(const PrintQueue& queue) {
  return queue.state == QueueState::Paused ? "Resume" : "Pause";
}

std::string_view job_state_label(std::optional<JobState> state) {
  if (!state) return "State not reported";
  switch (*state) {
    case JobState::Pending:
      return "Waiting";
    case JobState::Held:
      return "Held";
    case JobState::Processing:
      return "Printing";
    case JobState::Stopped:
      return "Stopped";
    case JobState::Canceled:
      return "Canceled";
    case JobState::Aborted:
      return "Failed";
    case JobState::Completed:
      return "Completed";
    case JobState::Unrecognized:
      break;
  }
  return "Unknown state";
}

std::string job_title(const PrintJob& job) {
  return fmt::format("{} → {}", job.id, job.destination);
}

std::string job_detail_line(const PrintJob& job) {
  return fmt::format("{} · {} · {}", job.title, kalu_ui::format::bytes_si(job.size_bytes),
                     job.owner);
}

std::string job_progress_text(const PrintJob& job) {
  if (job.pages_completed == 0 && job.pages_expected == 0) return "Page progress not reported";
  if (job.pages_expected != 0) {
    return fmt::format("{} of {} impressions · {}%", job.pages_completed, job.pages_expected,
                       job.progress_percent().value_or(0));
  }
  return fmt::format("{} impressions completed", job.pages_completed);
}

std::string job_state_line(const PrintJob& job) {
  std::string line = fmt::format("{} · {}", job_state_label(job.state), job_progress_text(job));
  if (job.extra) line += fmt::format(" · {}", *job.extra);
  return line;
}

// Only what the printing service restarts: a cancelled job has ended and is
// refused, a queued or printing one is already going.
bool job_offers_retry(std::optional<JobState> state) {
  return system_ops::printing::can_retry(state);
}

bool job_offers_cancel(std::optional<JobState> state) {
  return !state || state == JobState::Pending || state == JobState::Held ||
         state == JobState::Processing || state == JobState::Stopped;
}

}  // namespace settings::panes::printers
