#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// Power profiles and the battery of the device (simulated device, sections
// "power" and "battery"). Every call may be made from any thread. A fault
// injected as "power.<function>" or "battery.<function>" answers its text.
namespace system_ops {

enum class PowerProfile { PowerSaver = 0, Balanced = 1, Performance = 2 };

namespace power {

kalu_ui::Result<PowerProfile> get_power_profile();
kalu_ui::Result<std::vector<PowerProfile>> available_power_profiles();
// Fails for a profile the device does not offer.
kalu_ui::Status set_power_profile(PowerProfile profile);

}  // namespace power

namespace battery {

struct BatteryInfo {
  bool present = false;
  std::uint32_t percentage = 0;
  std::optional<std::uint32_t> cycle_count;
  std::optional<std::uint32_t> charge_limit;
  std::string state;  // "charging", "discharging", "fully-charged", ...
  double energy_full_wh = 0;
  double energy_full_design_wh = 0;
  std::optional<std::uint32_t> time_to_empty_min;

  // What the device reports; a device without a battery (or whose battery
  // cannot be read) reads as absent.
  static BatteryInfo from_system();
  // "78% · Discharging · about 5 h 12 min left", "No battery".
  std::string summary() const;
  // Full capacity against design capacity, 0 to 100; nothing when unknown.
  std::optional<std::uint32_t> health_percent() const;
  std::string health_explanation() const;
};

enum class PowerDeviceKind { Battery, Ups };

struct PowerDevice {
  PowerDeviceKind kind = PowerDeviceKind::Battery;
  std::string name;
  std::optional<std::string> model;
  std::uint32_t percentage = 0;
  std::string state;
};

struct ChargeCapability {
  std::vector<std::uint32_t> allowed;  // whole percentages, in the device's order
  std::uint32_t current = 100;
  bool start_threshold = false;
  std::uint8_t kind = 0;  // 0 stop threshold, 1 conservation mode, 2 start and end thresholds
};

std::vector<PowerDevice> power_devices();  // empty when unreadable
// Nothing when the battery has no charge limit control (or cannot be read).
std::optional<ChargeCapability> charge_capability();
// Sets the limit when the hardware allows it and answers what it reports then.
kalu_ui::Result<ChargeCapability> set_charge_limit_checked(std::uint32_t percent);

}  // namespace battery
}  // namespace system_ops
