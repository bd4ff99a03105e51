#pragma once

// The Time & Date section of the automation surface,
// "settings.section:time_date": automatic time, the 24-hour clock and the
// time zone (free text; the executor checks it against the installed
// zones), all effects carried by "settings.time-date-operation". It reads
// nothing: every build is the same.
//
// The Time & Date page binds "automatic-time" and "24-hour" with
// time_date_toggle_binding and its zone with time_date_choice_binding
// ("timezone").

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

namespace settings::actions {

kalu_actions::Resource time_date_resource();

// A fresh section's action, the control's bool becoming "value"; none when
// the section has no such action.
std::optional<kalu_actions::ActionBinding> time_date_toggle_binding(std::string_view action_name);
// The same with the control's text becoming "choice".
std::optional<kalu_actions::ActionBinding> time_date_choice_binding(std::string_view action_name);

}  // namespace settings::actions
