#include "vocabulary/model_service.h"

#include <fmt/format.h>

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "kalu_ui/log.h"
#include "lib/run.h"
#include "lib/worker.h"
#include "limited_exec/text.h"

namespace settings::panes::agent_models {

kalu_ui::Result<limited_exec::Output> run_model_manager(std::span<const std::string> args,
                                                        std::chrono::seconds limit) {
  const auto secs = std::max(limit.count(), std::chrono::seconds::rep{0});
  auto output = lib::run_limited_command(kModelManager, args, static_cast<std::uint64_t>(secs));
  if (!output) return kalu_ui::fail("model service is unavailable: {}", output.error());
  return output;
}

kalu_ui::Result<LocalModelSnapshot> model_service_snapshot() {
  // Built per call: a read on a detached worker may still run while statics are destroyed at exit.
  const std::vector<std::string> kArgs = {"snapshot", "--format", "json"};
  auto output = run_model_manager(kArgs, kSnapshotTimeLimit);
  if (!output) return kalu_ui::fail(std::move(output.error()));
  if (!output->success()) {
    std::string message = limited_exec::command_error_text(output->stderr_bytes);
    // An empty message would read as no failure at all.
    if (message.empty())
      message = fmt::format("model service exited with status {}", output->status);
    return kalu_ui::fail(std::move(message));
  }
  auto snapshot = stored::read_local_model_snapshot(output->stdout_bytes);
  if (!snapshot) {
    return kalu_ui::fail("model service returned invalid status: {}", snapshot.error());
  }
  return snapshot;
}

struct RecentModelSnapshot::State {
  explicit State(std::chrono::milliseconds age) : max_age(age) {}

  const std::chrono::milliseconds max_age;
  std::mutex mutex;
  std::condition_variable idle;
  std::optional<LocalModelSnapshot> last;
  std::optional<std::chrono::steady_clock::time_point> read_at;
  bool reading = false;

  bool stale(std::chrono::steady_clock::time_point now) const {
    return !read_at || now - *read_at >= max_age;
  }
};

RecentModelSnapshot::RecentModelSnapshot(std::chrono::milliseconds max_age)
    : state_(std::make_shared<State>(max_age)) {}

std::optional<LocalModelSnapshot> RecentModelSnapshot::get() {
  std::lock_guard lock(state_->mutex);
  if (state_->reading || !state_->stale(std::chrono::steady_clock::now())) return state_->last;
  state_->reading = true;
  // The worker keeps the state alive, so a reader dropped mid-read is safe.
  const bool started = lib::spawn_worker("kalu-model-snap", [state = state_] {
    auto snapshot = model_service_snapshot();
    std::lock_guard done(state->mutex);
    state->last = snapshot ? std::optional(std::move(*snapshot)) : std::nullopt;
    state->read_at = std::chrono::steady_clock::now();
    state->reading = false;
    state->idle.notify_all();
  });
  if (!started) {
    state_->reading = false;
    kalu_ui::log::warn("kalu::settings", "settings::panes::agent_models::model_service",
                       "the local model snapshot could not be read: no worker could start");
  }
  return state_->last;
}

void RecentModelSnapshot::expire() {
  std::lock_guard lock(state_->mutex);
  state_->read_at.reset();
}

void RecentModelSnapshot::wait_idle() {
  std::unique_lock lock(state_->mutex);
  state_->idle.wait(lock, [&] { return !state_->reading; });
}

RecentModelSnapshot& recent_model_snapshot() {
  // Never destroyed: a read may still run while the process exits.
  static auto* const reader = new RecentModelSnapshot(std::chrono::seconds(2));
  return *reader;
}

}  // namespace settings::panes::agent_models
