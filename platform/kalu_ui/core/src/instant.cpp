#include "kalu_ui/instant.h"

#include <time.h>

namespace kalu_ui {

Instant Instant::now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return Instant{static_cast<std::int64_t>(ts.tv_sec), static_cast<std::uint32_t>(ts.tv_nsec)};
}

Instant Instant::from_duration(std::chrono::nanoseconds d) {
  auto count = d.count();
  std::int64_t secs = count / 1'000'000'000;
  std::int64_t nanos = count % 1'000'000'000;
  if (nanos < 0) {
    nanos += 1'000'000'000;
    secs -= 1;
  }
  return Instant{secs, static_cast<std::uint32_t>(nanos)};
}

}  // namespace kalu_ui
