#pragma once

// The Bluetooth section of the automation surface,
// "settings.section:bluetooth": the power toggle, "scan" and "refresh", and
// one item "settings.bluetooth-device:<object path>" per device the
// Bluetooth service lists (at most kMaxItems; none when the list cannot be
// read). An item carries exactly one of "pair" (not paired), "connect"
// (paired, not connected) and "disconnect" (connected), then the destructive
// "forget" when paired. All are effects carried by
// "settings.bluetooth-operation". The Bluetooth page binds its power toggle
// with bluetooth_toggle_binding("bluetooth").

#include <optional>
#include <span>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "system_ops/bluez.h"

namespace settings::actions {

// The section with the devices read from the device's Bluetooth service.
kalu_actions::Resource bluetooth_resource();
// The section with these devices as its items, in order.
kalu_actions::Resource bluetooth_resource(
    std::span<const system_ops::bluez::BluetoothDevice> devices);

// A fresh section's action, the control's bool becoming "value"; none when
// the section has no such action.
std::optional<kalu_actions::ActionBinding> bluetooth_toggle_binding(std::string_view action_name);

}  // namespace settings::actions
