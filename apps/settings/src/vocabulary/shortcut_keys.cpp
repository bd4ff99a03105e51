#include "vocabulary/shortcut_keys.h"

#include <algorithm>
#include <array>

namespace settings::panes::keyboard_shortcuts {

namespace {

// Rows 0 to 4 are the system shortcuts, the rest move around the desktop.
constexpr std::array<ShortcutKey, 17> kShortcutKeys = {{
    {"shortcuts.search", "Open search", 0},
    {"shortcuts.overview", "Workspace overview", 1},
    {"shortcuts.lock", "Lock the screen", 2},
    {"shortcuts.quick_settings", "Quick Settings", 3},
    {"shortcuts.help", "Desktop help", 4},
    {"shortcuts.focus_previous_window", "Focus previous window", 5},
    {"shortcuts.focus_next_window", "Focus next window", 6},
    {"shortcuts.previous_tab", "Previous tab", 7},
    {"shortcuts.next_tab", "Next tab", 8},
    {"shortcuts.previous_strip", "Previous strip", 9},
    {"shortcuts.next_strip", "Next strip", 10},
    {"shortcuts.previous_workspace", "Previous workspace", 11},
    {"shortcuts.next_workspace", "Next workspace", 12},
    {"shortcuts.move_group_left", "Move group left", 17},
    {"shortcuts.move_group_right", "Move group right", 18},
    {"shortcuts.resize_narrower", "Make window narrower", 19},
    {"shortcuts.resize_wider", "Make window wider", 20},
}};

}  // namespace

std::span<const ShortcutKey> shortcut_keys() { return kShortcutKeys; }

bool is_shortcut_key(std::string_view id) {
  return std::ranges::any_of(kShortcutKeys, [id](const ShortcutKey& row) { return row.id == id; });
}

}  // namespace settings::panes::keyboard_shortcuts
