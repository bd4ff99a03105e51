#pragma once

#include <memory>

#include "system_ops/dispatcher.h"

namespace settings::lib {

// The given dispatcher, or a new shared handle to the device's real one.
std::shared_ptr<system_ops::Dispatcher> dispatcher_or_default(
    std::shared_ptr<system_ops::Dispatcher> dispatcher = nullptr);

}  // namespace settings::lib
