#pragma once

// The Keyboard Shortcuts section of the automation surface,
// "settings.section:keyboard_shortcuts": "vim-mode", a set-setting switch of
// "shortcuts.vim_mode" that flips the value the desktop-controls file holds,
// then one free-text
// action per shortcut of the catalogue (vocabulary/shortcut_keys.h), in catalogue
// order, named after its id ("shortcuts.quick_settings" is
// "quick-settings"): its "choice" is the chord, set under the shortcut id
// (a missing chord sets the empty text, which the set-setting handler
// refuses).
//
// The Keyboard Shortcuts page binds its switch with shortcut_toggle_binding
// ("vim-mode": the control's bool is set) and each chord field with
// shortcut_text_binding (the action name, or shortcut_action_name of the id).

#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

namespace settings::actions {

// With the Vim switch as stored now, or as `vim_mode`.
kalu_actions::Resource keyboard_shortcuts_resource();
kalu_actions::Resource keyboard_shortcuts_resource(bool vim_mode);

// The action of a shortcut id: without "shortcuts.", every '_' as '-'.
std::string shortcut_action_name(std::string_view shortcut_id);

std::optional<kalu_actions::ActionBinding> shortcut_toggle_binding(std::string_view action_name);
// The control's text becomes "choice".
std::optional<kalu_actions::ActionBinding> shortcut_text_binding(std::string_view action_name);

}  // namespace settings::actions
