#include "actions/keyboard_shortcuts_section.h"

#include <fmt/format.h>

#include <algorithm>

#include "actions/mouse_keyboard_section.h"
#include "actions/pane_actions.h"
#include "actions/settings_action.h"
#include "actions/specs.h"
#include "prefs_store/desktop_controls.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::actions {

using kalu_actions::ActionArgs;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::Resource;

namespace {

constexpr std::string_view kVimModeKey = "shortcuts.vim_mode";
constexpr std::string_view kShortcutPrefix = "shortcuts.";

Resource bare_section() {
  return Resource::create("settings.section:keyboard_shortcuts", std::string(kSectionResourceKind),
                          "Keyboard Shortcuts");
}

// A chord as free text: no list of values, the empty text when missing.
ActionSpec chord_spec(const panes::keyboard_shortcuts::ShortcutKey& shortcut) {
  std::vector<ActionParam> params;
  params.push_back(
      ActionParam::make(std::string(kChoiceParam), "Shortcut", kalu_actions::ParamKind::Text));
  return ActionSpec::typed(shortcut_action_name(shortcut.id),
                           fmt::format("Set {} shortcut", shortcut.label), "e.g. Super+K",
                           kalu_actions::kOperationSetting, std::nullopt, std::move(params),
                           [key = std::string(shortcut.id)](const ActionArgs& args) {
                             return settings_action_invocation(
                                 operations::SettingsAction::set_setting(key, arg_text(args)));
                           })
      .with_contract(configuration_contract());
}

}  // namespace

std::string shortcut_action_name(std::string_view shortcut_id) {
  if (shortcut_id.starts_with(kShortcutPrefix)) shortcut_id.remove_prefix(kShortcutPrefix.size());
  std::string name(shortcut_id);
  std::ranges::replace(name, '_', '-');
  return name;
}

Resource keyboard_shortcuts_resource() {
  return keyboard_shortcuts_resource(prefs_store::DesktopControlsConfig::load().vim_mode);
}

Resource keyboard_shortcuts_resource(bool vim_mode) {
  Resource section = bare_section();
  const auto shortcuts = panes::keyboard_shortcuts::shortcut_keys();
  section.actions.reserve(1 + shortcuts.size());
  section.actions.push_back(
      text_assistance_spec("vim-mode", kVimModeKey, "Vim-style desktop navigation", vim_mode));
  for (const auto& shortcut : shortcuts) section.actions.push_back(chord_spec(shortcut));
  return section;
}

std::optional<kalu_actions::ActionBinding> shortcut_toggle_binding(std::string_view action_name) {
  if (action_name != "vim-mode") return std::nullopt;
  return bind_setting_toggle(bare_section(), "vim-mode", "Set Vim-style desktop navigation",
                             std::string(kVimModeKey));
}

std::optional<kalu_actions::ActionBinding> shortcut_text_binding(std::string_view action_name) {
  if (action_name == "vim-mode") return std::nullopt;
  return bind_action(keyboard_shortcuts_resource(false), action_name, choice_arguments());
}

}  // namespace settings::actions
