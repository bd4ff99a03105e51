#pragma once

#include <chrono>
#include <cstdint>

namespace settings::lib {

// Whole seconds since 1970-01-01 00:00:00 UTC; 0 while the clock stands
// before that.
std::uint64_t unix_now_secs();
std::uint64_t unix_secs_at(std::chrono::system_clock::time_point when);

}  // namespace settings::lib
