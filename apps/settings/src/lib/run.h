#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "limited_exec/limited_exec.h"

namespace settings::lib {

// The output cap of every command run through run_limited_command.
inline constexpr std::size_t kCommandOutputCap = 1'048'576;

// Runs a system program with a time limit and a 1 MiB cap on each output
// stream. The exit status is not judged here: callers read it from the output.
// A command that cannot be run or overruns its limit fails with
// "{program} command failed: {the runner's reason}".
kalu_ui::Result<limited_exec::Output> run_limited_command(std::string_view program,
                                                          std::span<const std::string> args,
                                                          std::uint64_t timeout_secs);

}  // namespace settings::lib
