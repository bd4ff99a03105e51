#pragma once

// The Agent Models pane's worker, "kalu-model-service": every call to the
// local model service runs there, never on the UI thread, since a call may
// take up to 30 minutes. A job is one command (or none) and, after a command
// the service accepted, the snapshot that shows its effect, read in the same
// job so the pane needs no second round trip. The job sends one answer over
// a one-place channel and ends; it is never joined. The pane starts one job
// at a time and polls the answer in `sync`; a pane that went first leaves
// the job to finish on its own and its send fails quietly.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/agent_models/backend.h"

namespace settings::panes::agent_models {

// As the kernel shows it: the first 15 bytes.
inline constexpr std::string_view kServiceWorkerName = "kalu-model-service";

// A call of the backend other than snapshot.
using ServiceCommand = std::function<kalu_ui::Status(ModelServiceBackend&)>;

struct ServiceJob {
  // Absent: the job only reads the snapshot.
  ServiceCommand command;
  // When the snapshot cannot be read: the fallback judged from this meminfo
  // file comes with the error (the pane's first read).
  std::optional<std::filesystem::path> fallback_meminfo;
  // Run here after a snapshot was read (the local provider profile sync,
  // which writes a file); empty: nothing.
  std::function<void(std::span<const stored::InstalledLocalModel>)> after_snapshot;
};

struct ServiceAnswer {
  // The command's outcome; absent when the job had none.
  std::optional<kalu_ui::Status> command;
  // The snapshot read after the command succeeded, or as the whole job;
  // absent after a refused command.
  std::optional<kalu_ui::Result<LocalModelSnapshot>> snapshot;
  // With a failed snapshot of a job that asked for it.
  std::optional<LocalModelSnapshot> fallback;
};

using ServiceReceiver = kalu_ui::channel::Receiver<ServiceAnswer>;

// Runs `job` against the backend; what the worker does, callable directly.
ServiceAnswer run_service_job(ModelServiceBackend& backend, const ServiceJob& job);

// Starts `job` on the worker thread. The error is why no thread could start.
kalu_ui::Result<ServiceReceiver> start_service_job(std::shared_ptr<ModelServiceBackend> backend,
                                                   ServiceJob job);

}  // namespace settings::panes::agent_models
