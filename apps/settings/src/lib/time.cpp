#include "lib/time.h"

namespace settings::lib {

std::uint64_t unix_secs_at(std::chrono::system_clock::time_point when) {
  auto since = when.time_since_epoch();
  if (since < std::chrono::system_clock::duration::zero()) return 0;
  return static_cast<std::uint64_t>(std::chrono::floor<std::chrono::seconds>(since).count());
}

std::uint64_t unix_now_secs() { return unix_secs_at(std::chrono::system_clock::now()); }

}  // namespace settings::lib
