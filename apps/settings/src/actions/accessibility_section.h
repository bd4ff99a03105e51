#pragma once

// The Accessibility section of the automation surface,
// "settings.section:accessibility": set-setting switches of the "a11y." keys
// (the control's bool is set, "value"), "on-screen-keyboard" only on a
// device with the on-screen keyboard, "screen-reader" only with a speech
// engine, then six choices ("text-size", "cursor-size", "colour-filter",
// "magnifier", "switch-keys", "switch-scan") and, with a speech engine,
// "speech-rate" and "speech-voice". The choices offer the Accessibility
// pane's labels (vocabulary/accessibility_labels.h), so every value a client
// picks is one the pane maps; the current value is the label of the stored
// preference (the comforts: of the look, vocabulary/look.h).
//
// The Accessibility page binds its switches with accessibility_toggle_binding
// and its dropdowns with accessibility_choice_binding.

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "stored/settings_prefs.h"

namespace settings::actions {

// What the device offers, asked each time the section is built.
struct AccessibilityDevice {
  bool on_screen_keyboard = false;
  bool speech_engine = false;

  // panes::accessibility::on_screen_keyboard_installed and
  // speech_engine_available.
  static AccessibilityDevice probe();
};

kalu_actions::Resource accessibility_resource(const stored::SettingsPrefs& prefs);
kalu_actions::Resource accessibility_resource(const stored::SettingsPrefs& prefs,
                                              AccessibilityDevice device);

// The first action of that name of a section built from the default
// settings and the device; none when it has none (a speech
// action without a speech engine).
std::optional<kalu_actions::ActionBinding> accessibility_toggle_binding(
    std::string_view action_name);
std::optional<kalu_actions::ActionBinding> accessibility_choice_binding(
    std::string_view action_name);
// The same on a device described by `device`.
std::optional<kalu_actions::ActionBinding> accessibility_toggle_binding(
    std::string_view action_name, AccessibilityDevice device);
std::optional<kalu_actions::ActionBinding> accessibility_choice_binding(
    std::string_view action_name, AccessibilityDevice device);

}  // namespace settings::actions
