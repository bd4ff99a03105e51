#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sim_device/simdev.h"

// The account programs simdev answers as (simdev_users.cpp).
namespace sim_device::simdev_detail {

using AccountProgram = simdev::Outcome (*)(const std::vector<std::string>& args,
                                           std::string_view input);

// The account program named `base` (useradd, chpasswd, userdel, gpasswd,
// kalu-autologin), or nullptr.
AccountProgram account_program(std::string_view base);

}  // namespace sim_device::simdev_detail
