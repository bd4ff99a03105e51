#include "panes/agent_models/agent_models_pane.h"

#include <fmt/format.h>

#include <utility>

#include "kalu_ui/layout.h"
#include "lib/ui_rows.h"
#include "operations/keys.h"
#include "panes/agent_models/local_profile.h"

namespace settings::panes::agent_models {
namespace {

using kalu_ui::layout::NodeId;

// The answer of a job that never ran or never answered: the call it was
// for fails with `error`.
ServiceAnswer failed_answer(bool had_command, const std::optional<std::filesystem::path>& meminfo,
                            const std::string& error) {
  ServiceAnswer answer;
  if (had_command) {
    answer.command = kalu_ui::fail(error);
    return answer;
  }
  answer.snapshot = kalu_ui::fail(error);
  if (meminfo) answer.fallback = fallback_snapshot(*meminfo);
  return answer;
}

}  // namespace

PageBuilder agent_models_page(AgentModelsPage::Options options) {
  auto page = std::make_shared<AgentModelsPage>(std::move(options));
  return [page](const AgentModelsPane& pane) {
    return page->build(pane.page_view(), pane.status_cell());
  };
}

AgentModelsPane::AgentModelsPane()
    : AgentModelsPane(Dependencies{model_manager_backend(),
                                   kMeminfoPath,
                                   {},
                                   {},
                                   [](std::span<const stored::InstalledLocalModel> models) {
                                     (void)sync_local_profile(models);
                                   }}) {}

AgentModelsPane::AgentModelsPane(Dependencies dependencies)
    : backend_(std::move(dependencies.backend)),
      meminfo_(std::move(dependencies.meminfo)),
      clock_(std::move(dependencies.clock)),
      page_builder_(dependencies.page ? std::move(dependencies.page) : agent_models_page()),
      local_profile_(std::move(dependencies.local_profile)),
      last_refresh_(now()),
      status_(AgentModelsStatusCell::create(std::nullopt)),
      providers_changed_(operations::AgentModelsProvidersChangedCell::create(false)) {
  ServiceJob first;
  first.fallback_meminfo = meminfo_;
  start_call(Call{}, std::move(first));
}

AgentModelsPane::~AgentModelsPane() = default;
AgentModelsPane::AgentModelsPane(AgentModelsPane&&) noexcept = default;
AgentModelsPane& AgentModelsPane::operator=(AgentModelsPane&&) noexcept = default;

AgentModelsPane&& AgentModelsPane::with_status_cell(
    const std::shared_ptr<AgentModelsStatusCell>& cell) && {
  status_ = cell;
  return std::move(*this);
}

AgentModelsPane&& AgentModelsPane::with_providers_changed_cell(
    const std::shared_ptr<operations::AgentModelsProvidersChangedCell>& cell) && {
  providers_changed_ = cell;
  return std::move(*this);
}

// ---- The model service ------------------------------------------------------------

bool AgentModelsPane::work_in_progress() const { return stored::work_in_progress(snapshot_); }

bool AgentModelsPane::refresh() {
  if (busy()) return false;
  start_call(Call{}, ServiceJob{});
  return true;
}

bool AgentModelsPane::update() {
  const bool working = work_in_progress();
  if (working && !busy() && now() - last_refresh_ >= kPollInterval) {
    (void)refresh();
    return true;
  }
  return working;
}

void AgentModelsPane::start_call(Call call, ServiceJob job) {
  // A failed save of the local profile is left for the next snapshot.
  job.after_snapshot = local_profile_;
  const bool had_command = static_cast<bool>(job.command);
  const std::optional<std::filesystem::path> meminfo = job.fallback_meminfo;
  auto started = start_service_job(backend_, std::move(job));
  if (!started) {
    finish_call(call, failed_answer(had_command, meminfo,
                                    fmt::format("the model service worker could not start: {}",
                                                started.error())));
    return;
  }
  receiver_ = std::move(*started);
  call_ = std::move(call);
}

void AgentModelsPane::poll_call() {
  if (!receiver_) return;
  auto received = receiver_->try_recv();
  if (received.is_empty()) return;
  receiver_.reset();
  Call call = std::exchange(call_, Call{});
  if (received.is_ready()) {
    finish_call(call, std::move(received).value());
    return;
  }
  finish_call(call, failed_answer(call.kind != CallKind::Refresh,
                                  reading_ ? std::optional(meminfo_) : std::nullopt,
                                  "the model service worker stopped without an answer"));
}

void AgentModelsPane::finish_call(Call call, ServiceAnswer answer) {
  if (call.kind == CallKind::Refresh) {
    const kalu_ui::Result<LocalModelSnapshot> read =
        answer.snapshot ? std::move(*answer.snapshot)
                        : kalu_ui::Result<LocalModelSnapshot>(kalu_ui::fail("no snapshot"));
    if (!std::exchange(reading_, false)) {
      apply_snapshot(read);
      return;
    }
    // The first read: the triggers of the models it lists are reset too.
    controls_need_reset_ = true;
    if (read) {
      apply_snapshot(read);
      return;
    }
    snapshot_ = answer.fallback ? std::move(*answer.fallback) : fallback_snapshot(meminfo_);
    service_available_ = false;
    last_refresh_ = now();
    set_notice(unavailable_notice(read.error()));
    return;
  }
  const AgentModelOperation& operation = *call.operation;
  const kalu_ui::Status& outcome = *answer.command;
  if (!outcome) {
    std::string message;
    switch (call.kind) {
      case CallKind::Accelerator:
        message = fmt::format("Accelerator setup could not start: {}", outcome.error());
        break;
      case CallKind::Install:
        message = fmt::format("Installation could not start: {}", outcome.error());
        break;
      default:
        message = fmt::format("{} failed: {}", call.label, outcome.error());
        break;
    }
    link_.complete(operation, kalu_ui::fail(message));
    set_notice(std::move(message), call.model);
    return;
  }
  if (answer.snapshot) apply_snapshot(*answer.snapshot);
  switch (call.kind) {
    case CallKind::Accelerator:
      link_.complete(operation,
                     std::string("Accelerator setup request accepted by the local model manager"));
      break;
    case CallKind::Install:
      link_.complete(operation,
                     std::string("Model installation request accepted by the local model manager"));
      break;
    default:
      link_.complete(operation,
                     fmt::format("{} request accepted by the local model manager", call.label));
      break;
  }
}

void AgentModelsPane::apply_snapshot(const kalu_ui::Result<LocalModelSnapshot>& read) {
  if (read) {
    snapshot_ = *read;
    service_available_ = true;
    notice_.reset();
    notice_model_.reset();
  } else {
    service_available_ = false;
    notice_ = fmt::format("Could not refresh local models: {}", read.error());
    notice_model_.reset();
  }
  last_refresh_ = now();
  request_rebuild();
}

void AgentModelsPane::set_notice(std::optional<std::string> notice,
                                 std::optional<std::string> model) {
  notice_ = std::move(notice);
  notice_model_ = std::move(model);
  if (notice_ && notice_model_) request_reveal(model_notice_id(*notice_model_));
  request_rebuild();
}

// ---- The widget -----------------------------------------------------------------------

NodeId AgentModelsPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                     const kalu_ui::RenderContext& context,
                                     kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, page_builder_(*this));
}

std::optional<kalu_ui::Instant> AgentModelsPane::own_wake_deadline() const {
  if (busy() || !work_in_progress()) return std::nullopt;
  return last_refresh_ + kPollInterval;
}

}  // namespace settings::panes::agent_models
