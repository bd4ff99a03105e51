#pragma once

// The Region & Formats section of the automation surface,
// "settings.section:region_formats": six set-setting choices ("currency",
// "date", "time", "measurement", "number", "first-day"), each among the
// labels of the Region & Formats pane (vocabulary/region_formats.h) and setting
// the "region." key the pane reads back. The current value is the label of
// the stored locale record.
//
// The Region & Formats page binds its dropdowns with region_choice_binding.

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "stored/locale.h"

namespace settings::actions {

// With the locale record as stored now, or as `locale`.
kalu_actions::Resource region_resource();
kalu_actions::Resource region_resource(const stored::Locale& locale);

// The control's text becomes "choice" of the action `action_name` of a
// section built from the default locale; none for a name it does not carry.
std::optional<kalu_actions::ActionBinding> region_choice_binding(std::string_view action_name);

}  // namespace settings::actions
