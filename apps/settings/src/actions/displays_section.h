#pragma once

// The Displays section of the automation surface,
// "settings.section:displays": automatic brightness, Night Light and its
// warmth, the brightness, the desktop scale, then "apply", "confirm" and
// "revert" of the staged layout; below it one item
// "settings.display-output:<connector>" per output of the hardware snapshot
// (at most kMaxItems) with "enabled", "scale", "position", "mirror",
// "primary", "mode", "transform", "hdr" and "vrr" where the compositor
// controls them, and "color-profile". Every action is an effect carried by
// "settings.display-operation"; the executor checks a record against the
// hardware, so a choice that went stale is refused there.
//
// The section reads the display hardware snapshot each time it is built (a
// snapshot without live capabilities gives no items); it reads no document.
// Its position, mirroring, scale, warmth, orientation and colour-profile
// choices are the Displays pane's (vocabulary/display_vocabulary.h).
//
// The Displays page binds its controls with the seven builders below.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "prefs_store/display.h"

namespace settings::actions {

// The section from the device's hardware snapshot.
kalu_actions::Resource displays_resource();
// The section from this snapshot.
kalu_actions::Resource displays_resource(const prefs_store::DisplayHardwareSnapshot& snapshot);

// "settings.section:displays" ("Displays") holding only `spec`.
kalu_actions::Resource displays_single_action_section(kalu_actions::ActionSpec spec);
// "settings.display-output:<connector>" labelled with the connector, holding
// only `spec`.
kalu_actions::Resource display_output_single_action_resource(std::string connector,
                                                             kalu_actions::ActionSpec spec);

// The page's bindings, on one-action resources unless said otherwise; none
// for a name the builder does not serve.
// "auto_brightness" or "night_light": the control's bool becomes "value".
std::optional<kalu_actions::ActionBinding> display_toggle_binding(std::string_view action_name);
// "brightness": the control's number becomes "value".
std::optional<kalu_actions::ActionBinding> brightness_binding(std::string_view action_name);
// "night_light_temperature" among the three warmth labels.
std::optional<kalu_actions::ActionBinding> night_light_warmth_binding(std::string_view action_name);
// A button: "apply", "confirm" or "revert" of the full section (the
// snapshot is read).
std::optional<kalu_actions::ActionBinding> display_command_binding(std::string_view action_name);
// "enabled", "primary", "hdr" or "vrr" of the output; the hardware is not
// consulted.
std::optional<kalu_actions::ActionBinding> display_output_toggle_binding(
    std::string_view action_name, std::string_view connector);
// "scale", "position", "mirror", "mode", "transform" or "color-profile" of
// the output among `choices`; none when the list is empty or longer than
// kMaxChoices.
std::optional<kalu_actions::ActionBinding> display_output_choice_binding(
    std::string_view action_name, std::string_view connector, std::vector<std::string> choices);

}  // namespace settings::actions
