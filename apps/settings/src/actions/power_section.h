#pragma once

// The Power section of the automation surface, "settings.section:power":
// automatic suspend, the power profile, the idle delays (overall and per
// profile), the lid, power-key and critical-battery actions, and, only on a
// battery whose charge cap can be set, the privileged "set-charge-cap". All
// are effects carried by "settings.power-operation". The section reads the
// battery's charge capability from the device on every build.
//
// The Power page binds "power.auto_suspend" with power_toggle_binding
// ("auto_suspend"), its dropdowns with power_choice_binding ("profile",
// "suspend-after", "blank-after", "lock-after", "saver-suspend",
// "balanced-suspend", "performance-suspend", "lid", "power_key",
// "critical") and, when it shows the charge cap, "power.charge_limit" with
// charge_cap_binding.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "system_ops/power.h"

namespace settings::actions {

// The section with the capability read from the device.
kalu_actions::Resource power_resource();
// The section for a given capability (none: eleven actions, no charge cap).
kalu_actions::Resource power_resource(
    const std::optional<system_ops::battery::ChargeCapability>& capability);

// "set-charge-cap": the text "percent", one of the supported caps' digits
// ("80"); the argument check refuses any other.
kalu_actions::ActionSpec charge_cap_spec(std::span<const std::uint32_t> supported,
                                         std::uint32_t current);

// A fresh section's action, the control's bool becoming "value".
std::optional<kalu_actions::ActionBinding> power_toggle_binding(std::string_view action_name);
// A fresh section's action, the control's text becoming "choice".
std::optional<kalu_actions::ActionBinding> power_choice_binding(std::string_view action_name);
// "set-charge-cap" alone on a Power section, the control's text ("80%")
// becoming "percent" ("80").
std::optional<kalu_actions::ActionBinding> charge_cap_binding(
    std::span<const std::uint32_t> supported, std::uint32_t current);

}  // namespace settings::actions
