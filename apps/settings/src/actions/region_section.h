#pragma once

// The Region & Formats section of the automation surface,
// "settings.section:region_formats": six set-setting choices ("currency",
// "date", "time", "measurement", "number", "first-day"), each among the
// labels of the Region & Formats pane (vocabulary/region_formats.h) and setting
// the "region." key the pane reads back. The current value is the label in
// the state document, else the first label ("USD", "ISO (2023-03-15)" ...),
// which is what a missing choice sets.
//
// The Region & Formats page binds its dropdowns with region_choice_binding.

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/document.h"

namespace settings::actions {

kalu_actions::Resource region_resource(const kalu_ui::doc::Document& document);

// The control's text becomes "choice" of the action `action_name` of a
// section built from an empty document; none for a name it does not carry.
std::optional<kalu_actions::ActionBinding> region_choice_binding(std::string_view action_name);

}  // namespace settings::actions
