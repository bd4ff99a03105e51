#include "panes/shortcut_keys.h"

#include <algorithm>
#include <array>

namespace settings::panes::keyboard_shortcuts {

namespace {

// Rows 0 to 4 are the system shortcuts, the rest move around the desktop.
constexpr std::array<ShortcutKey, 17> kShortcutKeys = {{
    {"shortcuts.search", "Open search"},
    {"shortcuts.overview", "Workspace overview"},
    {"shortcuts.lock", "Lock the screen"},
    {"shortcuts.quick_settings", "Quick Settings"},
    {"shortcuts.help", "Desktop help"},
    {"shortcuts.focus_previous_window", "Focus previous window"},
    {"shortcuts.focus_next_window", "Focus next window"},
    {"shortcuts.previous_tab", "Previous tab"},
    {"shortcuts.next_tab", "Next tab"},
    {"shortcuts.previous_strip", "Previous strip"},
    {"shortcuts.next_strip", "Next strip"},
    {"shortcuts.previous_workspace", "Previous workspace"},
    {"shortcuts.next_workspace", "Next workspace"},
    {"shortcuts.move_group_left", "Move group left"},
    {"shortcuts.move_group_right", "Move group right"},
    {"shortcuts.resize_narrower", "Make window narrower"},
    {"shortcuts.resize_wider", "Make window wider"},
}};

}  // namespace

std::span<const ShortcutKey> shortcut_keys() { return kShortcutKeys; }

bool is_shortcut_key(std::string_view id) {
  return std::ranges::any_of(kShortcutKeys, [id](const ShortcutKey& row) { return row.id == id; });
}

}  // namespace settings::panes::keyboard_shortcuts
