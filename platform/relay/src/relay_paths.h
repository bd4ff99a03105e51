#pragma once

// Whether this process works on the real system (KALU_DEVICE=system) or on
// the simulated device.
namespace kalu_relay::detail {

bool system_device();

}  // namespace kalu_relay::detail
