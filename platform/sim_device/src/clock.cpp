#include "sim_device/clock.h"

#include <chrono>
#include <mutex>
#include <utility>

namespace sim_device {
namespace {

// Never destroyed: detached workers may read the device while statics go.
std::mutex& clock_mutex = *new std::mutex;
std::function<std::int64_t()>& clock_override =
    *new std::function<std::int64_t()>;  // guarded by clock_mutex

}  // namespace

std::int64_t clock_unix_ms() {
  {
    std::lock_guard lock(clock_mutex);
    if (clock_override) return clock_override();
  }
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

ScopedClock::ScopedClock(std::function<std::int64_t()> clock) {
  std::lock_guard lock(clock_mutex);
  previous_ = std::exchange(clock_override, std::move(clock));
}

ScopedClock::~ScopedClock() {
  std::lock_guard lock(clock_mutex);
  clock_override = std::move(previous_);
}

std::int64_t device_clock_unix_ms(const Json& state) {
  const auto time = state.find("time");
  if (time != state.end() && time->is_object()) {
    const auto frozen = time->find("clock_unix_ms");
    if (frozen != time->end() && frozen->is_number_integer()) return frozen->get<std::int64_t>();
  }
  return clock_unix_ms();
}

}  // namespace sim_device
