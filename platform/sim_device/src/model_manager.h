#pragma once

#include <vector>

#include "sim_device/shape.h"
#include "sim_device/simdev.h"

// The simulated local model manager: its section of the device ("models") and
// the program simdev answers as ("kalu-model-manager").
//
// The section holds what the manager would report: the hardware judgement, the
// package it recommends, the installed models with their phases, and the
// accelerator setup. Work that takes time in a real manager (a download and
// install, staging the accelerator stack) is a "job" beside the phase: its
// start time and length. Every run of the program first moves each job's phase
// along by the time passed and writes it back, so later snapshots show a
// download advancing to ready without anything running in between. The length
// comes from the delays "kalu-model-manager.install" and
// "kalu-model-manager.stage-accelerator" when the job starts; without a delay
// the job is done by the next run.
namespace sim_device::detail {

Json seed_models();
const Shape& models_shape();

}  // namespace sim_device::detail

namespace sim_device::simdev {

// kalu-model-manager snapshot --format json | install --model ID --revision
// REV --accept-license | start --model ID | stop --model ID | remove --model
// ID | stage-accelerator. Faults are answered before it runs (program()).
Outcome kalu_model_manager(const std::vector<std::string>& args, const Json& state);

}  // namespace sim_device::simdev
