#pragma once

// The Appearance section of the automation surface,
// "settings.section:appearance": "theme", "high_contrast", "reduce_motion",
// "text_size" and "ui_scale", set-setting actions of the "appearance." keys
// the Appearance pane reads back. The two switches flip the current value
// ("Turn on high contrast" while it is off); the choices offer the pane's
// labels (vocabulary/appearance_labels.h). Current values are the look as
// stored (vocabulary/look.h), whoever set it and whichever pane is shown.
//
// The Appearance page binds its switches with appearance_toggle_binding
// ("high_contrast", "reduce_motion": the control's bool is set) and its
// dropdowns with appearance_choice_binding ("theme", "text_size",
// "ui_scale").

#include <optional>
#include <string_view>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "stored/sections.h"

namespace settings::actions {

kalu_actions::Resource appearance_resource(const stored::AppearancePrefs& look);

std::optional<kalu_actions::ActionBinding> appearance_toggle_binding(std::string_view action_name);
std::optional<kalu_actions::ActionBinding> appearance_choice_binding(std::string_view action_name);

}  // namespace settings::actions
