#pragma once

#include <cstdint>
#include <functional>

#include "sim_device/shape.h"

// The simulated device's clock, in unix milliseconds. Whatever the device
// judges against a start time (a model installation's phase, a staged
// accelerator, a display safety test's deadline) reads it, so a test can
// hold time still and move it by hand instead of racing the machine's
// speed. Process-wide; any thread.
namespace sim_device {

// The system clock, or the one a ScopedClock installed in this process.
std::int64_t clock_unix_ms();

// Makes clock_unix_ms read `clock` for the guard's lifetime (tests).
class ScopedClock {
 public:
  explicit ScopedClock(std::function<std::int64_t()> clock);
  ~ScopedClock();
  ScopedClock(const ScopedClock&) = delete;
  ScopedClock& operator=(const ScopedClock&) = delete;

 private:
  std::function<std::int64_t()> previous_;
};

// The device's own notion of now: "time.clock_unix_ms" when the state sets
// it (a test froze the device's clock, and every process that serves the
// device, simdev included, reads the same instant), else clock_unix_ms().
std::int64_t device_clock_unix_ms(const Json& state);

}  // namespace sim_device
