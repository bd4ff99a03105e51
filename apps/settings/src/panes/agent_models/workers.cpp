#include "panes/agent_models/workers.h"

#include <utility>

#include "lib/worker.h"
#include "panes/agent_models/model.h"

namespace settings::panes::agent_models {
namespace {

constexpr std::string_view kFailed = "the local model service call failed";

}  // namespace

ServiceAnswer run_service_job(ModelServiceBackend& backend, const ServiceJob& job) {
  ServiceAnswer answer;
  if (job.command) {
    answer.command = lib::guarded<void>([&] { return job.command(backend); }, kFailed);
    if (!*answer.command) return answer;
  }
  answer.snapshot = lib::guarded<LocalModelSnapshot>([&] { return backend.snapshot(); }, kFailed);
  if (*answer.snapshot && job.after_snapshot) {
    (void)lib::guarded<void>(
        [&] {
          job.after_snapshot((*answer.snapshot)->models);
          return kalu_ui::Status{};
        },
        kFailed);
  }
  if (!*answer.snapshot && job.fallback_meminfo) {
    answer.fallback = fallback_snapshot(*job.fallback_meminfo);
  }
  return answer;
}

kalu_ui::Result<ServiceReceiver> start_service_job(std::shared_ptr<ModelServiceBackend> backend,
                                                   ServiceJob job) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<ServiceAnswer>();
  auto started = lib::try_spawn_worker(
      kServiceWorkerName,
      [sender = std::move(sender), backend = std::move(backend), job = std::move(job)]() mutable {
        (void)sender.send(run_service_job(*backend, job));
      });
  if (!started) return kalu_ui::fail(started.error());
  return std::move(receiver);
}

}  // namespace settings::panes::agent_models
