#pragma once

// The Power pane's plain data: the labels its controls show and store (power
// profiles, idle timeouts, lid and power-key actions, charge caps), the
// parsers that turn a stored label back into a value, and what the pane reads
// from the device when it is built. Everything here is pure except
// `read_power_readings`, which asks the device.
//
// Labels are both what the page shows and what the state document holds
// under the control ids, so a label that does not parse is never applied.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_power_mgmt/history.h"
#include "kalu_ui/result.h"
#include "stored/sections.h"
#include "system_ops/power.h"
#include "vocabulary/power_vocabulary.h"

namespace settings::panes::power {

using stored::PowerAction;
using system_ops::PowerProfile;

// The control ids: keys of the state document (texts unless stated).
inline constexpr std::string_view kProfileKey = "power.profile";
inline constexpr std::string_view kAutoSuspendKey = "power.auto_suspend";  // bool
inline constexpr std::string_view kSuspendKey = "power.suspend";
inline constexpr std::string_view kBlankKey = "power.blank";
inline constexpr std::string_view kLockKey = "power.lock";
inline constexpr std::string_view kSaverSuspendKey = "power.profile_idle.saver";
inline constexpr std::string_view kBalancedSuspendKey = "power.profile_idle.balanced";
inline constexpr std::string_view kPerformanceSuspendKey = "power.profile_idle.performance";
inline constexpr std::string_view kLidKey = "power.lid";
inline constexpr std::string_view kPowerKeyKey = "power.power_key";
inline constexpr std::string_view kCriticalKey = "power.critical";
inline constexpr std::string_view kChargeLimitKey = "power.charge_limit";

// ---- Profiles and actions -------------------------------------------------

// "Power Saver", "Balanced", "Performance"; any other value reads "Balanced".
std::string_view profile_label(PowerProfile profile);
// The profile whose label is exactly `label`.
std::optional<PowerProfile> parse_profile(std::string_view label);

// "Suspend", "Lock screen", "Do nothing" (kPowerActionLabels).
std::string_view action_label(PowerAction action);
std::optional<PowerAction> parse_action(std::string_view label);

// ---- Timeouts (minutes; 0 is never) ---------------------------------------

struct TimeoutChoice {
  std::string_view label;
  std::uint32_t minutes;
};

// Screen blank and automatic lock, in the order the page offers them (the
// labels of kScreenDelayLabels).
inline constexpr std::array<TimeoutChoice, 6> kBlankLockTimeouts = {{{"1 minute", 1},
                                                                     {"5 minutes", 5},
                                                                     {"10 minutes", 10},
                                                                     {"15 minutes", 15},
                                                                     {"30 minutes", 30},
                                                                     {"Never", 0}}};
// Suspend, general and per profile (the labels of kSuspendDelayLabels).
inline constexpr std::array<TimeoutChoice, 7> kSuspendTimeouts = {{{"5 minutes", 5},
                                                                   {"10 minutes", 10},
                                                                   {"15 minutes", 15},
                                                                   {"30 minutes", 30},
                                                                   {"45 minutes", 45},
                                                                   {"1 hour", 60},
                                                                   {"Never", 0}}};

// The label of `minutes`; a value missing from the table reads as the
// control's fallback: "10 minutes" for blank, "5 minutes" for lock,
// "15 minutes" for suspend.
std::string_view blank_label(std::uint32_t minutes);
std::string_view lock_label(std::uint32_t minutes);
std::string_view suspend_label(std::uint32_t minutes);
// The minutes of a label of that table, exactly as written.
std::optional<std::uint32_t> parse_blank_lock(std::string_view label);
std::optional<std::uint32_t> parse_suspend(std::string_view label);

// The labels of a table, in its order (for a dropdown's options).
std::vector<std::string> blank_lock_labels();
std::vector<std::string> suspend_labels();
std::vector<std::string> action_labels();

// ---- Charge cap -----------------------------------------------------------

// "80%".
std::string charge_limit_text(std::uint32_t percent);
// The cap of a text of decimal digits followed by one "%", fitting 32 bits:
// "80%" is 80; "80", "80.5%", "+80%", "%" are nothing.
std::optional<std::uint32_t> parse_charge_limit(std::string_view text);
// What the page says about how the hardware holds the cap.
std::string_view charge_cap_caption(const system_ops::battery::ChargeCapability& capability);

// ---- What the pane reads at construction ----------------------------------

// The profile list, the active profile and the service's message, from the
// two answers of the profile service.
struct ProfileState {
  std::vector<PowerProfile> profiles;
  PowerProfile current = PowerProfile::Balanced;
  // "Power-profile service is unavailable: {}." when either call failed.
  std::optional<std::string> message;

  bool operator==(const ProfileState&) const = default;
};
// The offered list is the available one (empty when that call failed); the
// active profile, when read, is appended to it when missing; without it the
// first offered profile, else Balanced, is current.
ProfileState profile_state(const kalu_ui::Result<PowerProfile>& active,
                           const kalu_ui::Result<std::vector<PowerProfile>>& available);

struct PowerReadings {
  system_ops::battery::BatteryInfo battery;
  std::vector<system_ops::battery::PowerDevice> power_devices;
  std::vector<kalu_power_mgmt::history::ChargeSample> battery_history;
  std::optional<system_ops::battery::ChargeCapability> charge_capability;
  ProfileState profiles;
};

// Asks the device (the profile service, the battery, its power devices, its
// history and its charge-cap control). Never fails; what cannot be read is
// absent or empty, and the profile service's failure is in its message.
PowerReadings read_power_readings();

// "Battery" or "UPS".
std::string_view power_device_kind_label(system_ops::battery::PowerDeviceKind kind);

}  // namespace settings::panes::power
