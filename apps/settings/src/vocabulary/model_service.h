#pragma once

#include <chrono>
#include <memory>
#include <optional>
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
namespace settings::panes::agent_models {

using stored::LocalModelSnapshot;

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

// What the model manager said last, for callers on the UI thread (the
// resource tree is built there for every automation request, and a run of
// the manager may take kSnapshotTimeLimit). `get` never waits: it answers the
// last snapshot read, or nothing before the first read answers and after a
// read failed, and starts a read on a worker when the last one is older than
// the age given at construction and none runs. So the first request after
// start shows no local models, and a later one what that read found.
class RecentModelSnapshot {
 public:
  explicit RecentModelSnapshot(std::chrono::milliseconds max_age);

  std::optional<LocalModelSnapshot> get();
  // Marks what was read as old, so the next `get` starts a new read (it still
  // answers the old snapshot until that read ends).
  void expire();
  // Blocks until no read runs: for tests, and for callers already on a worker.
  void wait_idle();

 private:
  struct State;
  std::shared_ptr<State> state_;
};

// The process's reader, refreshed at most every two seconds.
RecentModelSnapshot& recent_model_snapshot();

}  // namespace settings::panes::agent_models
