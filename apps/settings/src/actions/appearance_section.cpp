#include "actions/appearance_section.h"

#include <array>
#include <string>

#include "actions/mouse_keyboard_section.h"
#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "vocabulary/appearance_labels.h"

namespace settings::actions {

using kalu_actions::Resource;

namespace {

constexpr std::string_view kThemeKey = "appearance.theme";
constexpr std::string_view kTextSizeKey = "appearance.text_size";
constexpr std::string_view kUiScaleKey = "appearance.ui_scale";

// The switches: action, key, what they turn on, the page's toggle label.
struct SwitchRow {
  std::string_view name;
  std::string_view key;
  std::string_view wording;
  std::string_view toggle_label;
  bool stored::AppearancePrefs::*field;
};

constexpr std::array<SwitchRow, 2> kSwitches = {{
    {"high_contrast", "appearance.high_contrast", "high contrast", "Set high contrast",
     &stored::AppearancePrefs::high_contrast},
    {"reduce_motion", "appearance.reduce_motion", "reduced motion", "Set reduced motion",
     &stored::AppearancePrefs::reduce_motion},
}};

Resource bare_section() {
  return Resource::create("settings.section:appearance", std::string(kSectionResourceKind),
                          "Appearance");
}

}  // namespace

Resource appearance_resource(const stored::AppearancePrefs& look) {
  namespace appearance = panes::appearance;
  Resource section = bare_section();
  section.actions.reserve(5);
  section.actions.push_back(setting_choice_spec("theme", "Set theme", std::string(kThemeKey),
                                                "Dark, Light, Dracula, Nord, Gruvbox, Solarized",
                                                appearance::theme_labels(), look.theme));
  for (const SwitchRow& row : kSwitches) {
    section.actions.push_back(
        text_assistance_spec(std::string(row.name), row.key, row.wording, look.*row.field));
  }
  section.actions.push_back(setting_choice_spec(
      "text_size", "Set text size", std::string(kTextSizeKey), "Small, Default, Large, Larger",
      appearance::text_size_labels(), appearance::text_size_label(look.text_scale)));
  section.actions.push_back(setting_choice_spec(
      "ui_scale", "Set UI scale", std::string(kUiScaleKey), "90%, 100%, 110%, 125%, 150%",
      appearance::ui_scale_labels(), appearance::ui_scale_label(look.ui_scale)));
  return section;
}

std::optional<kalu_actions::ActionBinding> appearance_toggle_binding(std::string_view action_name) {
  for (const SwitchRow& row : kSwitches) {
    if (row.name == action_name) {
      return bind_setting_toggle(bare_section(), std::string(row.name),
                                 std::string(row.toggle_label), std::string(row.key));
    }
  }
  return std::nullopt;
}

std::optional<kalu_actions::ActionBinding> appearance_choice_binding(std::string_view action_name) {
  if (action_name != "theme" && action_name != "text_size" && action_name != "ui_scale") {
    return std::nullopt;
  }
  return bind_action(appearance_resource(stored::AppearancePrefs{}), action_name,
                     choice_arguments());
}

}  // namespace settings::actions
