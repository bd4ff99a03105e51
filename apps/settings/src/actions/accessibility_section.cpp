#include "actions/accessibility_section.h"

#include <array>
#include <span>
#include <string>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "vocabulary/accessibility_labels.h"
#include "vocabulary/appearance_labels.h"

namespace settings::actions {

using kalu_actions::Resource;
using stored::AccessibilityPrefs;
using stored::SettingsPrefs;

namespace a11y = panes::accessibility;

namespace {

struct SwitchRow {
  std::string_view name;
  std::string_view label;
  std::string_view key;
};

constexpr std::array<SwitchRow, 9> kSwitches = {{
    {"high-contrast", "Set high contrast", "a11y.high_contrast"},
    {"reduce-motion", "Set reduced motion", "a11y.reduce_motion"},
    {"large-cursor", "Set large cursor", "a11y.large_cursor"},
    {"sticky-keys", "Set sticky keys", "a11y.sticky_keys"},
    {"slow-keys", "Set slow keys", "a11y.slow_keys"},
    {"visual-alerts", "Set visual alerts", "a11y.visual_alerts"},
    {"pointer-crosshair", "Set pointer crosshair", "a11y.cursor_crosshair"},
    {"thick-text-caret", "Set thicker text cursor", "a11y.thick_text_caret"},
    {"switch-control", "Set switch control", "a11y.switch_control"},
}};
constexpr SwitchRow kKeyboardSwitch = {"on-screen-keyboard", "Set on-screen keyboard",
                                       "a11y.on_screen_keyboard"};
constexpr SwitchRow kReaderSwitch = {"screen-reader", "Set screen reader", "a11y.screen_reader"};

// A choice: its action, label, key, values (which are also its
// description, joined) and the label of the stored preference.
struct ChoiceRow {
  std::string_view name;
  std::string_view label;
  std::string_view key;
  std::span<const std::string_view> (*values)();
  std::string_view (*stored)(const SettingsPrefs&);
};

const std::array<ChoiceRow, 6> kChoices = {{
    {"text-size", "Set text size", "a11y.text_size", panes::appearance::text_size_labels,
     [](const SettingsPrefs& p) {
       return panes::appearance::text_size_label(p.appearance.text_scale);
     }},
    {"cursor-size", "Set cursor size", "a11y.cursor_size", a11y::cursor_size_labels,
     [](const SettingsPrefs& p) { return a11y::cursor_size_label(p.accessibility.cursor_size); }},
    {"colour-filter", "Set colour filter", "a11y.color_filter", a11y::color_filter_labels,
     [](const SettingsPrefs& p) { return a11y::color_filter_label(p.accessibility.color_filter); }},
    {"magnifier", "Set magnifier lens", "a11y.magnifier", a11y::magnifier_labels,
     [](const SettingsPrefs& p) { return a11y::magnifier_label(p.accessibility.magnifier_zoom); }},
    {"switch-keys", "Set switch keys", "a11y.switch_keys", a11y::switch_keys_labels,
     [](const SettingsPrefs& p) {
       return a11y::switch_keys_label(p.accessibility.switch_key_pair);
     }},
    {"switch-scan", "Set automatic switch scan", "a11y.switch_scan", a11y::switch_scan_labels,
     [](const SettingsPrefs& p) {
       return a11y::switch_scan_label(p.accessibility.switch_scan_ms);
     }},
}};

const std::array<ChoiceRow, 2> kSpeechChoices = {{
    {"speech-rate", "Set screen-reader speech rate", "a11y.reader_rate", a11y::reader_rate_labels,
     [](const SettingsPrefs& p) {
       return a11y::reader_rate_label(p.accessibility.screen_reader_rate);
     }},
    {"speech-voice", "Set screen-reader voice", "a11y.reader_voice", a11y::reader_voice_labels,
     [](const SettingsPrefs& p) {
       return a11y::reader_voice_label(p.accessibility.screen_reader_voice);
     }},
}};

kalu_actions::ActionSpec switch_spec(const SwitchRow& row) {
  return setting_toggle_spec(std::string(row.name), std::string(row.label), std::string(row.key));
}

kalu_actions::ActionSpec choice_spec(const ChoiceRow& row, const SettingsPrefs& prefs) {
  const auto values = row.values();
  std::string description;
  for (const std::string_view value : values) {
    if (!description.empty()) description += ", ";
    description += value;
  }
  return setting_choice_spec(std::string(row.name), std::string(row.label), std::string(row.key),
                             std::move(description), values, row.stored(prefs));
}

}  // namespace

AccessibilityDevice AccessibilityDevice::probe() {
  return {.on_screen_keyboard = a11y::on_screen_keyboard_installed(),
          .speech_engine = a11y::speech_engine_available()};
}

Resource accessibility_resource(const SettingsPrefs& prefs, AccessibilityDevice device) {
  Resource section = Resource::create("settings.section:accessibility",
                                      std::string(kSectionResourceKind), "Accessibility");
  section.actions.reserve(kSwitches.size() + 2 + kChoices.size() + kSpeechChoices.size());
  for (const SwitchRow& row : kSwitches) section.actions.push_back(switch_spec(row));
  if (device.on_screen_keyboard) section.actions.push_back(switch_spec(kKeyboardSwitch));
  if (device.speech_engine) section.actions.push_back(switch_spec(kReaderSwitch));
  for (const ChoiceRow& row : kChoices) section.actions.push_back(choice_spec(row, prefs));
  if (device.speech_engine) {
    for (const ChoiceRow& row : kSpeechChoices) {
      section.actions.push_back(choice_spec(row, prefs));
    }
  }
  return section;
}

Resource accessibility_resource(const SettingsPrefs& prefs) {
  return accessibility_resource(prefs, AccessibilityDevice::probe());
}

std::optional<kalu_actions::ActionBinding> accessibility_toggle_binding(
    std::string_view action_name, AccessibilityDevice device) {
  return bind_toggle(accessibility_resource(SettingsPrefs{}, device), action_name);
}

std::optional<kalu_actions::ActionBinding> accessibility_choice_binding(
    std::string_view action_name, AccessibilityDevice device) {
  return bind_action(accessibility_resource(SettingsPrefs{}, device), action_name,
                     choice_arguments());
}

// The page binds every control once per build: only the actions that depend
// on the device ask it (the keyboard check reads every application entry).
std::optional<kalu_actions::ActionBinding> accessibility_toggle_binding(
    std::string_view action_name) {
  AccessibilityDevice device;
  if (action_name == kKeyboardSwitch.name) {
    device.on_screen_keyboard = a11y::on_screen_keyboard_installed();
  } else if (action_name == kReaderSwitch.name) {
    device.speech_engine = a11y::speech_engine_available();
  }
  return accessibility_toggle_binding(action_name, device);
}

std::optional<kalu_actions::ActionBinding> accessibility_choice_binding(
    std::string_view action_name) {
  AccessibilityDevice device;
  for (const ChoiceRow& row : kSpeechChoices) {
    if (row.name == action_name) device.speech_engine = a11y::speech_engine_available();
  }
  return accessibility_choice_binding(action_name, device);
}

}  // namespace settings::actions
