#pragma once

// The Network section of the automation surface, "settings.section:network":
// the Wi-Fi power toggle and ten parameterless commands (refresh,
// diagnostics, and each direction of wired networking, airplane mode, the
// hotspot and mobile broadband), all carried by "settings.network-operation".
// It reads nothing: every build is the same. The Network page binds its
// Wi-Fi toggle through network_toggle_binding("wifi").

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

namespace settings::actions {

kalu_actions::Resource network_resource();

// A fresh section's action `action_name`, bound so that the control's bool
// becomes the argument "value"; none when the section has no such action.
std::optional<kalu_actions::ActionBinding> network_toggle_binding(std::string_view action_name);

}  // namespace settings::actions
