#include "stored/model_service.h"

#include <fmt/format.h>

#include <string>
#include <vector>

#include "limited_exec/limited_exec.h"
#include "limited_exec/text.h"

namespace settings::stored {

namespace {
constexpr std::size_t kOutputCap = 1'048'576;
}  // namespace

kalu_ui::Result<LocalModelSnapshot> model_service_snapshot() {
  static const std::vector<std::string> kArgs = {"snapshot", "--format", "json"};
  auto output = limited_exec::run(kModelManager, kArgs, kSnapshotTimeLimit, kOutputCap);
  if (!output)
    return kalu_ui::fail(fmt::format("model service is unavailable: {}", output.error()));
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
