#pragma once

#include <filesystem>

// Where the device keeps its files: the real system's folders with
// KALU_DEVICE=system, else the simulated device's folder.
namespace kalu_relay::detail {

// True when KALU_DEVICE is "system".
bool system_device();

// The folder of the simulated device's state file. The simulated device
// names that file itself; until its location can be asked of it, the same
// rule is applied here, in this one place.
std::filesystem::path simulated_device_dir();

}  // namespace kalu_relay::detail
