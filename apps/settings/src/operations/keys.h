#pragma once

// Operation keys: "<action id>:<record as compact JSON>". The record is
// parsed and written again, so spacing, number spelling and member order in
// the client's payload never change the key; the executor, the panes and the
// poller compare these strings exactly.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "operations/records.h"

namespace settings::operations {

// The action ids of the device-local operations, in the order they are matched.
inline constexpr std::array<std::string_view, 14> kDeviceLocalActionIds = {
    "settings.update-operation",      "settings.keyboard-source-operation",
    "settings.input-operation",       "settings.time-date-operation",
    "settings.power-operation",       "settings.network-operation",
    "settings.bluetooth-operation",   "settings.storage-operation",
    "settings.audio-operation",       "settings.display-operation",
    "settings.printer-operation",     "settings.user-operation",
    "settings.agent-model-operation", "settings.device-mesh-operation",
};

// The key of a parsed record under `action_id`. Defined for the fourteen
// device-local records and the account operation (its form submissions are
// completed under their key as well).
template <typename R>
std::string operation_key(std::string_view action_id, const R& operation);

// The key of a payload for one of kDeviceLocalActionIds: the payload is read
// as that action's record and written again. Refused with the reader's text
// when the payload does not read, and with "unknown device-local operation
// type" when the id is not a device-local one.
kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::span<const std::uint8_t> payload);
kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::string_view payload);

}  // namespace settings::operations
