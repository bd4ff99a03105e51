#include "panes/agent_models/backend.h"

#include <fmt/format.h>

#include <string>
#include <vector>

namespace settings::panes::agent_models {

namespace {

// Runs the manager; any exit status but 0 is answered with `refusal`, whatever
// the service printed.
kalu_ui::Status run_request(const std::vector<std::string>& args, std::chrono::seconds limit,
                            std::string_view refusal) {
  auto output = run_model_manager(args, limit);
  if (!output) return kalu_ui::fail(std::move(output.error()));
  if (!output->success()) return kalu_ui::fail(std::string(refusal));
  return {};
}

}  // namespace

kalu_ui::Result<LocalModelSnapshot> ModelManagerBackend::snapshot() {
  return model_service_snapshot();
}

kalu_ui::Status ModelManagerBackend::install(const LocalModelPackage& package) {
  return run_request(
      {"install", "--model", package.id, "--revision", package.revision, "--accept-license"},
      kInstallTimeLimit, "model service refused the installation");
}

kalu_ui::Status ModelManagerBackend::start(const std::string& model_id) {
  return run_model_command("start", model_id);
}

kalu_ui::Status ModelManagerBackend::stop(const std::string& model_id) {
  return run_model_command("stop", model_id);
}

kalu_ui::Status ModelManagerBackend::remove(const std::string& model_id) {
  return run_model_command("remove", model_id);
}

kalu_ui::Status ModelManagerBackend::stage_accelerator() {
  return run_request({"stage-accelerator"}, kStageAcceleratorTimeLimit,
                     "accelerator setup service refused the request");
}

std::shared_ptr<ModelServiceBackend> model_manager_backend() {
  return std::make_shared<ModelManagerBackend>();
}

kalu_ui::Status run_model_command(std::string_view command, const std::string& model_id) {
  return run_request({std::string(command), "--model", model_id}, kModelCommandTimeLimit,
                     fmt::format("model service refused {}", command));
}

kalu_ui::Result<LocalModelSnapshot> model_service_snapshot(ModelServiceBackend& backend) {
  return backend.snapshot();
}

}  // namespace settings::panes::agent_models
