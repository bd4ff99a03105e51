#include "panes/printers/printers_pane.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <utility>
#include <variant>

#include "kalu_ui/layout.h"
#include "operations/keys.h"
#include "panes/printers/page.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::printers {
namespace {

namespace doc = kalu_ui::doc;
using kalu_ui::layout::NodeId;
using C = operations::PrinterOperationCases;

constexpr std::string_view kCompleted = "Printer operation completed.";
constexpr std::string_view kRefreshed = "Printer status refreshed.";

template <typename... F>
struct Overloaded : F... {
  using F::operator()...;
};

kalu_ui::Result<std::string> outcome_of(const kalu_ui::Status& status) {
  if (!status) return kalu_ui::fail(status.error());
  return std::string(kCompleted);
}

// What a finished change did, or its error.
kalu_ui::Result<std::string> said(const kalu_ui::Status& status, std::string text) {
  if (!status) return kalu_ui::fail(status.error());
  return text;
}
kalu_ui::Result<std::string> said(const kalu_ui::Result<bool>& changed, std::string text,
                                  std::string unchanged) {
  if (!changed) return kalu_ui::fail(changed.error());
  return *changed ? std::move(text) : std::move(unchanged);
}

std::string found_text(std::size_t count) {
  if (count == 1) return "Found 1 nearby printer.";
  return fmt::format("Found {} nearby printers.", count);
}

}  // namespace

PrintersPane::PrintersPane() : PrintersPane(system_printing_backend()) {
  notices_ = std::make_unique<lib::DeviceNotices>();
  if (!notices_->watching()) notices_.reset();
}

PrintersPane::PrintersPane(std::shared_ptr<PrintingBackend> backend, Clock clock)
    : backend_(std::move(backend)), clock_(std::move(clock)), last_status_(now()) {
  refresh();
}

PrintersPane::~PrintersPane() = default;
PrintersPane::PrintersPane(PrintersPane&&) noexcept = default;
PrintersPane& PrintersPane::operator=(PrintersPane&&) noexcept = default;

// ---- sync ---------------------------------------------------------------------

void PrintersPane::sync(doc::Document& toolkit_document) {
  doc::Document& work = link_.working(toolkit_document);
  take_request();
  poll_status();
  poll_discovery();
  if (notices_) {
    if (notices_->take()) refresh_quietly();
  } else if (!refreshing() && now() - last_status_ >= kStatusInterval) {
    refresh_quietly();
  }
  run_page_triggers(work);
  if (buttons_.refresh && buttons_.refresh->label() != refresh_label(refresh_shown())) {
    buttons_.refresh->set_label(std::string(refresh_label(refresh_shown())));
  }
  PagePane::sync(work);
}

void PrintersPane::take_request() {
  const std::optional<PrinterOperation> taken = link_.take();
  if (!taken) return;
  const PrinterOperation& operation = *taken;
  std::string key = operations::operation_key(operation);
  auto job_of = [&](const std::string& id) {
    const std::optional<std::uint32_t> job = parse_job_id(id);
    if (!job) link_.complete(key, kalu_ui::fail("print job is no longer available"));
    return job;
  };
  std::visit(
      Overloaded{
          [&](const C::Refresh&) { request_refresh(key); },
          [&](const C::Discover&) { start_discovery(key); },
          [&](const C::SetDefault& op) {
            end_change(said(backend_->set_default(op.name),
                            fmt::format("{} is now the default printer.", op.name),
                            fmt::format("{} is already the default printer.", op.name)),
                       key);
          },
          // The requested state, not a toggle of what the page last read.
          [&](const C::SetEnabled& op) {
            end_change(
                said(backend_->set_enabled(op.name, op.enabled),
                     fmt::format("{} {}.", op.name, op.enabled ? "accepts jobs" : "is paused")),
                key);
          },
          // An automation client has already confirmed a destructive action.
          [&](const C::Remove& op) {
            if (pending_removal_ == op.name) {
              pending_removal_.reset();
              request_rebuild();
            }
            end_change(said(backend_->remove_queue(op.name),
                            fmt::format("Removed printer {} and its jobs.", op.name)),
                       key);
          },
          [&](const C::CancelJob& op) {
            if (auto job = job_of(op.id)) {
              end_change(
                  said(backend_->cancel_job(*job), fmt::format("Cancelled print job {}.", op.id)),
                  key);
            }
          },
          [&](const C::RetryJob& op) {
            if (auto job = job_of(op.id)) {
              end_change(said(backend_->retry_job(*job),
                              fmt::format("Print job {} will print again.", op.id),
                              fmt::format("Print job {} is already printing or waiting to print; "
                                          "nothing to retry.",
                                          op.id)),
                         key);
            }
          },
      },
      static_cast<const PrinterOperation::variant&>(operation));
}

void PrintersPane::run_page_triggers(doc::Document& document) {
  if (take_doc_flag(document, kRefreshId)) refresh();
  if (take_doc_flag(document, kDiscoverId)) start_discovery(std::nullopt);
  // Handlers may change the lists; the triggers are matched against them as shown.
  const std::vector<DriverlessPrinter> candidates = candidates_;
  const std::vector<std::string> ids = candidate_ids_;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!take_doc_flag(document, add_id(ids[i]))) continue;
    const kalu_ui::Status added = backend_->add_driverless(candidates[i].name, candidates[i].uri);
    // The printer became a queue: it is no longer offered.
    if (added) std::erase(candidates_, candidates[i]);
    end_change(added, std::nullopt);
  }
  if (candidates_.size() != candidates.size()) {
    candidate_ids_ = candidate_ids(candidates_);
    request_rebuild();
  }
  for (std::size_t i = 0; i < queues_.size(); ++i) {
    const std::string& id = queue_ids_[i];
    const std::string name = queues_[i].name;
    if (take_doc_flag(document, default_id(id))) {
      end_change(said(backend_->set_default(name), "", ""), std::nullopt);
    }
    if (take_doc_flag(document, enabled_id(id))) {
      end_change(backend_->set_enabled(name, queues_[i].state == QueueState::Paused), std::nullopt);
    }
    if (take_doc_flag(document, remove_id(id))) {
      pending_removal_ = name;
      request_rebuild();
    }
    if (take_doc_flag(document, confirm_remove_id(id))) {
      pending_removal_.reset();
      request_rebuild();
      end_change(backend_->remove_queue(name), std::nullopt);
    }
  }
  for (const PrintJob& job : jobs_) {
    if (take_doc_flag(document, job_cancel_id(job))) {
      end_change(backend_->cancel_job(job.id), std::nullopt);
    }
    if (take_doc_flag(document, job_retry_id(job))) {
      end_change(said(backend_->retry_job(job.id), "", ""), std::nullopt);
    }
  }
}

// ---- the workers ------------------------------------------------------------------

void PrintersPane::refresh_quietly() {
  if (refreshing()) return;
  refresh();
  quiet_read_ = refreshing();
}

void PrintersPane::refresh() {
  quiet_read_ = false;
  if (status_receiver_) {
    // A read that started before now may miss the change that asked for
    // this one: another read follows it.
    refresh_again_ = true;
    return;
  }
  refresh_again_ = false;
  auto started = start_status_worker(backend_);
  if (!started) {
    read_notice_ = fmt::format("Could not start printer status worker: {}", started.error());
    // Tried again when the next read is due, not at every frame.
    last_status_ = now();
    update_notice();
    link_.complete(std::exchange(refresh_key_waiting_, std::nullopt), kalu_ui::fail(*read_notice_));
    return;
  }
  status_receiver_ = std::move(*started);
  refresh_key_running_ = std::exchange(refresh_key_waiting_, std::nullopt);
}

void PrintersPane::request_refresh(std::string key) {
  refresh_key_waiting_ = std::move(key);
  refresh();
}

void PrintersPane::poll_status() {
  if (!status_receiver_) return;
  auto received = status_receiver_->try_recv();
  if (received.is_empty()) return;
  status_receiver_.reset();
  if (received.is_ready()) {
    apply_status(std::move(received).value());
  } else {
    last_status_ = now();
    read_notice_ = "Printers: the status read ended without an answer";
    update_notice();
  }
  link_.complete(std::exchange(refresh_key_running_, std::nullopt),
                 read_notice_ ? kalu_ui::Result<std::string>(kalu_ui::fail(*read_notice_))
                              : kalu_ui::Result<std::string>(std::string(kRefreshed)));
  if (refresh_again_ || refresh_key_waiting_) refresh();
}

void PrintersPane::apply_status(StatusResult result) {
  last_status_ = now();
  read_notice_ = status_notice(result);
  if (result.queues && *result.queues != queues_) {
    queues_ = std::move(*result.queues);
    queue_ids_ = queue_ids(queues_);
    request_rebuild();
  }
  if (result.jobs && *result.jobs != jobs_) {
    jobs_ = std::move(*result.jobs);
    request_rebuild();
  }
  if (result.scanners && *result.scanners != scanners_) {
    scanners_ = std::move(*result.scanners);
    request_rebuild();
  }
  update_notice();
}

void PrintersPane::start_discovery(std::optional<std::string> key) {
  if (discovery_receiver_) {
    // One discovery at a time; an operation waits for the one that runs.
    if (key) discovery_key_ = std::move(key);
    return;
  }
  auto started = start_discovery_worker(backend_);
  if (!started) {
    discovery_error_ = fmt::format("Could not start printer discovery: {}", started.error());
    update_notice();
    link_.complete(key, kalu_ui::fail(*discovery_error_));
    return;
  }
  discovery_receiver_ = std::move(*started);
  discovery_key_ = std::move(key);
  request_rebuild();
}

void PrintersPane::poll_discovery() {
  if (!discovery_receiver_) return;
  auto received = discovery_receiver_->try_recv();
  if (received.is_empty()) return;
  discovery_receiver_.reset();
  request_rebuild();
  DiscoveryResult result =
      received.is_ready() ? std::move(received).value()
                          : DiscoveryResult(kalu_ui::fail("discovery ended without an answer"));
  const std::optional<std::string> key = std::exchange(discovery_key_, std::nullopt);
  if (!result) {
    discovery_error_ = result.error();
    update_notice();
    link_.complete(key, kalu_ui::fail(result.error()));
    return;
  }
  candidates_ = std::move(*result);
  candidate_ids_ = candidate_ids(candidates_);
  discovery_error_.reset();
  update_notice();
  link_.complete(key, found_text(candidates_.size()));
}

// ---- completing ---------------------------------------------------------------

void PrintersPane::end_change(const kalu_ui::Result<std::string>& said,
                              const std::optional<std::string>& key) {
  link_.complete(key, said);
  change_error_ = said ? std::nullopt : std::optional<std::string>(said.error());
  update_notice();
  refresh();
}

void PrintersPane::end_change(const kalu_ui::Status& outcome,
                              const std::optional<std::string>& key) {
  end_change(outcome_of(outcome), key);
}

void PrintersPane::update_notice() {
  std::vector<std::string_view> parts;
  for (const auto* part : {&change_error_, &discovery_error_, &read_notice_}) {
    if (*part) parts.push_back(**part);
  }
  std::optional<std::string> notice;
  if (!parts.empty()) notice = fmt::format("{}", fmt::join(parts, " · "));
  if (notice != notice_) {
    notice_ = std::move(notice);
    request_rebuild();
  }
}

// ---- the widget -------------------------------------------------------------------

NodeId PrintersPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                  const kalu_ui::RenderContext& context,
                                  kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(*this, buttons_));
}

std::optional<kalu_ui::Instant> PrintersPane::own_wake_deadline() const {
  // While a read runs, its answer wakes the loop; a watched device wakes it
  // when it changes.
  if (refreshing() || notices_) return std::nullopt;
  return last_status_ + kStatusInterval;
}

}  // namespace settings::panes::printers
