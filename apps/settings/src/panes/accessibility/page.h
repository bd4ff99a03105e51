#pragma once

// The Accessibility page, built from the pane's model at each layout: five
// cards ("Vision", "Pointer", "Typing", "More assistive technology",
// "Shared with your apps") of switches and dropdowns that keep their values
// in the state document under the controls' "a11y." ids, each bound to the
// Accessibility section's action of the same meaning. What the device
// offers decides two rows: the on-screen keyboard switch, and the screen
// reader with its engine, rate and voice.

#include <optional>
#include <string_view>

#include "actions/accessibility_section.h"
#include "lib/ui_rows.h"
#include "vocabulary/accessibility_controls.h"

namespace settings::panes::accessibility {

// The two facts of the device the page depends on.
struct Device {
  std::optional<std::string_view> speech_engine;  // its name
  bool on_screen_keyboard = false;

  // speech_engine_name and on_screen_keyboard_installed.
  static Device probe();
  actions::AccessibilityDevice section_device() const {
    return {.on_screen_keyboard = on_screen_keyboard, .speech_engine = speech_engine.has_value()};
  }
};

inline constexpr std::string_view kNoKeyboard =
    "Not installed \u2014 add the signed kalu.osk system package";
inline constexpr std::string_view kNoSpeechEngine =
    "Unavailable \u2014 install Speech Dispatcher or eSpeak NG";

ui_rows::WidgetBox build_page(const Model& model, const Device& device);

}  // namespace settings::panes::accessibility
