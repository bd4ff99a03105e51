#pragma once

#include <cstdint>
#include <vector>

// The battery's charge history as the power manager records it: one sample
// per interval, oldest first (simulated device, "battery.history"). Reading
// never fails: an unreadable history is empty. Callable from any thread.
namespace kalu_power_mgmt::history {

struct ChargeSample {
  std::uint64_t unix_secs = 0;
  std::uint32_t percentage = 0;
};

std::vector<ChargeSample> load_battery_history();

}  // namespace kalu_power_mgmt::history
