#pragma once

#include <cstdint>
#include <optional>

#include "system_ops/privacy.h"

// Handing the person over to a tool of the desktop (disks, backups, the
// workspace's own settings, the identity backup). The hand-over may touch
// files, so it runs on a short worker ("kalu-open-tool"); a failure is
// logged, as nobody is waiting for it.
namespace settings::lib {

void open_tool_in_background(system_ops::tool_intent::ToolIntent intent,
                             std::optional<std::uint8_t> page = std::nullopt);

}  // namespace settings::lib
