#pragma once

// The Keyboard Shortcuts page: "System" (the shortcuts of actions 0 to 4)
// and "Desktop navigation" (the Vim switch, then the others), one recorder
// per shortcut showing the configured chord, with the default beside it.
// Each recorder writes what it records under its shortcut's edit key, the
// switch its value under the edit key of "shortcuts.vim_mode"; the switch
// also records the section's "vim-mode" action when the section offers it.

#include <optional>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "prefs_store/shortcuts.h"

namespace settings::panes::keyboard_shortcuts {

inline constexpr std::string_view kVimModeKey = "shortcuts.vim_mode";
inline constexpr std::string_view kVimToggleName = "settings.shortcuts.vim_mode";

// The text of an action's chord: its canonical display, or the empty text.
std::string chord_text(const prefs_store::ShortcutConfig& config, std::uint8_t action);

ui_rows::WidgetBox build_page(const prefs_store::ShortcutConfig& config,
                              std::optional<kalu_actions::ActionBinding> vim_binding);

}  // namespace settings::panes::keyboard_shortcuts
