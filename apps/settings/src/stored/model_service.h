#pragma once

#include <chrono>
#include <string_view>

#include "kalu_ui/result.h"
#include "stored/local_models.h"

namespace settings::stored {

inline constexpr std::string_view kModelManager = "kalu-model-manager";
inline constexpr std::chrono::seconds kSnapshotTimeLimit{10};

// Asks the local model manager for its snapshot and reads it. Fails with
// "model service is unavailable: {}" when it cannot run, with its error output
// (or "model service exited with status {}" when that is empty) when it exits
// unsuccessfully, and with "model service returned invalid status: {}" when
// its output does not read.
kalu_ui::Result<LocalModelSnapshot> model_service_snapshot();

}  // namespace settings::stored
