#include "kalu_power_mgmt/history.h"

#include "sim_device/state.h"

namespace kalu_power_mgmt::history {

std::vector<ChargeSample> load_battery_history() {
  std::vector<ChargeSample> out;
  auto battery = sim_device::section("battery.load_battery_history", "battery");
  if (!battery) return out;
  for (const auto& sample : (*battery)["history"]) {
    out.push_back(
        {sample["unix_secs"].get<std::uint64_t>(), sample["percentage"].get<std::uint32_t>()});
  }
  return out;
}

}  // namespace kalu_power_mgmt::history
