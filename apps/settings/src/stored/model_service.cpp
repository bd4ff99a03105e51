#include "stored/model_service.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "lib/run.h"
#include "limited_exec/text.h"

namespace settings::stored {

kalu_ui::Result<limited_exec::Output> run_model_manager(std::span<const std::string> args,
                                                        std::chrono::seconds limit) {
  const auto secs = std::max(limit.count(), std::chrono::seconds::rep{0});
  auto output = lib::run_limited_command(kModelManager, args, static_cast<std::uint64_t>(secs));
  if (!output)
    return kalu_ui::fail(fmt::format("model service is unavailable: {}", output.error()));
  return output;
}

kalu_ui::Result<LocalModelSnapshot> model_service_snapshot() {
  static const std::vector<std::string> kArgs = {"snapshot", "--format", "json"};
  auto output = run_model_manager(kArgs, kSnapshotTimeLimit);
  if (!output) return kalu_ui::fail(std::move(output.error()));
  if (!output->success()) {
    std::string message = limited_exec::command_error_text(output->stderr_bytes);
    // An empty message would read as no failure at all.
    if (message.empty())
      message = fmt::format("model service exited with status {}", output->status);
    return kalu_ui::fail(std::move(message));
  }
  auto snapshot = read_local_model_snapshot(output->stdout_bytes);
  if (!snapshot) {
    return kalu_ui::fail(
        fmt::format("model service returned invalid status: {}", snapshot.error()));
  }
  return snapshot;
}

}  // namespace settings::stored
