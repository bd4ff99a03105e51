#pragma once

// The Keyboard Shortcuts page: "System" (the shortcuts of actions 0 to 4)
// and "Desktop navigation" (the Vim switch, then the others), one recorder
// per shortcut showing the configured chord, with the default beside it.
// Each recorder shows its shortcut's edit key and records a new chord as the
// shortcut's action of the Keyboard Shortcuts section; the switch shows the
// edit key of "shortcuts.vim_mode" and records "vim-mode". A shortcut with a
// refusal shows it under its row.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "prefs_store/shortcuts.h"

namespace settings::panes::keyboard_shortcuts {

inline constexpr std::string_view kVimModeKey = "shortcuts.vim_mode";
inline constexpr std::string_view kVimToggleName = "settings.shortcuts.vim_mode";

// The text of an action's chord: its canonical display, or the empty text.
std::string chord_text(const prefs_store::ShortcutConfig& config, std::uint8_t action);

// The section's actions the controls record, none where absent: the
// switch's, and one a shortcut in catalogue order.
struct PageBindings {
  std::optional<kalu_actions::ActionBinding> vim;
  std::vector<std::optional<kalu_actions::ActionBinding>> chords;
};

// `refusals`: the reason beside a shortcut, by shortcut id.
ui_rows::WidgetBox build_page(const prefs_store::ShortcutConfig& config, PageBindings bindings,
                              const std::map<std::string, std::string, std::less<>>& refusals = {});

}  // namespace settings::panes::keyboard_shortcuts
