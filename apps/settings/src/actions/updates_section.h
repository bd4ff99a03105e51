#pragma once

// The Updates section of the automation surface, "settings.section:updates":
// automatic updates, the checks, restarting into a staged image, rollback and
// its review, firmware, the download schedule and the metered-network
// policy, all carried by "settings.update-operation". "restart", "rollback"
// and "install-firmware" are destructive; "review-rollback" is answered by
// the application at once (kind 2) and has no contract. It reads nothing:
// every build is the same.
//
// The Updates page binds "automatic" and "metered" with
// updates_toggle_binding, its schedule dropdown with updates_choice_binding
// and its buttons ("check", "restart", "refresh-firmware",
// "install-firmware") with updates_command_binding.

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

namespace settings::actions {

kalu_actions::Resource updates_resource();

// A fresh section's boolean action `action_name` (the control's bool becomes
// "value"); none when the section has no such action.
std::optional<kalu_actions::ActionBinding> updates_toggle_binding(std::string_view action_name);
// "schedule", the chosen label becoming "choice".
std::optional<kalu_actions::ActionBinding> updates_choice_binding();
// A parameterless action for a button; none when absent.
std::optional<kalu_actions::ActionBinding> updates_command_binding(std::string_view action_name);

}  // namespace settings::actions
