#pragma once

// The desktop shortcuts the Keyboard Shortcuts pane configures: seventeen
// fixed rows in the order the pane shows them. The set-setting handler
// accepts exactly these ids as shortcut keys, and the action surface names
// one action after each, so the list is the single place that names them.
// Like the registry it is data and includes nothing of the program, so the
// pane and the rooms below the panes all read it from here. Texts live for
// the whole program; reading the list never allocates.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "prefs_store/shortcuts.h"

namespace settings::panes::keyboard_shortcuts {

struct ShortcutKey {
  std::string_view id;     // "shortcuts.search": the control id of the chord
  std::string_view label;  // "Open search": what the pane and the surface show
  // The desktop's shortcut action it configures (prefs_store::ShortcutAction;
  // 13 to 16 are not offered here).
  std::uint8_t action = 0;
};

// Rows whose action is below this form the "System" card.
inline constexpr std::uint8_t kFirstNavigationAction = 5;

// The catalogue in display order, "shortcuts.search" to "shortcuts.resize_wider".
std::span<const ShortcutKey> shortcut_keys();

// True when `id` is one of the catalogue's ids, byte for byte.
bool is_shortcut_key(std::string_view id);

// What a person reads for a shortcut action: its catalogue label
// ("Workspace overview"), or for an action the pane does not offer its file
// name in words ("Move group to next strip").
std::string shortcut_action_label(prefs_store::ShortcutAction action);

// Why `config` cannot give `action` the chord `text`, in words a person can
// act on: "Super+Foo is not a key combination", "Super+Tab is already used by
// Workspace overview", "F1 is kept for the desktop guide"; none when it can.
// The set-setting store refuses with it and the page shows it beside the
// recorder, so both say the same.
std::optional<std::string> chord_refusal(const prefs_store::ShortcutConfig& config,
                                         std::uint8_t action, std::string_view text);

}  // namespace settings::panes::keyboard_shortcuts
