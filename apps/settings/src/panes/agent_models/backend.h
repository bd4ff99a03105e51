#pragma once

// The local model service as the Agent Models pane uses it: six calls, each
// one run of "kalu-model-manager" (vocabulary/model_service.h: no shell, each
// argument one element of the argument vector, no standard input, 1 MiB kept
// of each output stream). A call blocks for as long as the service takes, up
// to 30 minutes for an install, so the pane makes every call on its worker
// thread, never on the UI thread.
//
// A backend keeps nothing of the pane and no state between calls: every call
// starts a new process, answers once, and may be made from any thread. The
// pane holds it as a shared ModelServiceBackend so that its tests can give it
// a fake. A call's effect shows in the next snapshot; the success of install,
// start, stop, remove and stage_accelerator means only that the service
// accepted the request.

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "stored/local_models.h"
#include "vocabulary/model_service.h"

namespace settings::panes::agent_models {

using stored::LocalModelPackage;
using stored::LocalModelSnapshot;

// How long each call may take before the runner gives up on it. A service
// that runs over keeps working on its own; nothing here cancels it
// (kSnapshotTimeLimit: vocabulary/model_service.h).
inline constexpr std::chrono::seconds kInstallTimeLimit{1800};
inline constexpr std::chrono::seconds kModelCommandTimeLimit{600};
inline constexpr std::chrono::seconds kStageAcceleratorTimeLimit{1800};

class ModelServiceBackend {
 public:
  virtual ~ModelServiceBackend() = default;

  // The service's status: hardware, recommendation, installed models and
  // accelerator setup.
  virtual kalu_ui::Result<LocalModelSnapshot> snapshot() = 0;
  // Downloads and installs the package at its pinned revision, accepting its
  // licence (also how a failed install is retried).
  virtual kalu_ui::Status install(const LocalModelPackage& package) = 0;
  virtual kalu_ui::Status start(const std::string& model_id) = 0;
  virtual kalu_ui::Status stop(const std::string& model_id) = 0;
  virtual kalu_ui::Status remove(const std::string& model_id) = 0;
  // Stages the matched accelerator stack into the next system image.
  virtual kalu_ui::Status stage_accelerator() = 0;
};

// The one real backend: runs "kalu-model-manager" through the runner's
// program table (the simulated manager unless KALU_DEVICE=system).
//   snapshot            snapshot --format json                      10 s
//   install             install --model ID --revision REV --accept-license  1800 s
//   start, stop, remove <command> --model ID                        600 s
//   stage_accelerator   stage-accelerator                           1800 s
// Failures: "model service is unavailable: {}" when it cannot run or runs
// over; a non-zero exit gives "model service refused the installation",
// "model service refused {}" (the command word) or "accelerator setup service
// refused the request", without reading the output; snapshot answers as
// model_service_snapshot().
class ModelManagerBackend final : public ModelServiceBackend {
 public:
  kalu_ui::Result<LocalModelSnapshot> snapshot() override;
  kalu_ui::Status install(const LocalModelPackage& package) override;
  kalu_ui::Status start(const std::string& model_id) override;
  kalu_ui::Status stop(const std::string& model_id) override;
  kalu_ui::Status remove(const std::string& model_id) override;
  kalu_ui::Status stage_accelerator() override;
};

std::shared_ptr<ModelServiceBackend> model_manager_backend();

// The shared body of start, stop and remove: "<command> --model <id>".
kalu_ui::Status run_model_command(std::string_view command, const std::string& model_id);

// The snapshot as `backend` reads it; the automation surface reads the real
// manager's through model_service_snapshot() (vocabulary/model_service.h).
kalu_ui::Result<LocalModelSnapshot> model_service_snapshot(ModelServiceBackend& backend);

}  // namespace settings::panes::agent_models
