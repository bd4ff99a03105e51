#pragma once

#include <chrono>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "limited_exec/limited_exec.h"
#include "stored/local_models.h"

// The local model manager, a program of its own: everything this program
// learns about local models comes from running it. Every run goes through the
// bounded runner (no shell, no standard input, 1 MiB kept of each output
// stream) and blocks its caller until the manager ends or the limit passes,
// so only worker threads call these.
namespace settings::stored {

inline constexpr std::string_view kModelManager = "kalu-model-manager";
inline constexpr std::chrono::seconds kSnapshotTimeLimit{10};

// Runs the manager once with `args`, each one element of its argument vector.
// A run that cannot start or overruns `limit` fails with "model service is
// unavailable: {}" and the runner's text; any exit status is an answer, for
// the caller to judge.
kalu_ui::Result<limited_exec::Output> run_model_manager(std::span<const std::string> args,
                                                        std::chrono::seconds limit);

// Asks the local model manager for its snapshot and reads it. Fails with
// "model service is unavailable: {}" when it cannot run, with its error output
// (or "model service exited with status {}" when that is empty) when it exits
// unsuccessfully, and with "model service returned invalid status: {}" when
// its output does not read.
kalu_ui::Result<LocalModelSnapshot> model_service_snapshot();

}  // namespace settings::stored
