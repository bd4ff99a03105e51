#include "lib/run.h"

#include <fmt/format.h>

#include <chrono>

namespace settings::lib {

kalu_ui::Result<limited_exec::Output> run_limited_command(std::string_view program,
                                                          std::span<const std::string> args,
                                                          std::uint64_t timeout_secs) {
  // Nanoseconds hold about 292 years; a longer limit means no limit at all.
  constexpr std::uint64_t kLongest =
      static_cast<std::uint64_t>(std::chrono::nanoseconds::max().count() / 1'000'000'000);
  std::chrono::nanoseconds timeout =
      timeout_secs >= kLongest ? std::chrono::nanoseconds::max()
                               : std::chrono::seconds(static_cast<std::int64_t>(timeout_secs));
  auto output = limited_exec::run(program, args, timeout, kCommandOutputCap);
  if (!output) return kalu_ui::fail("{} command failed: {}", program, output.error());
  return output;
}

}  // namespace settings::lib
