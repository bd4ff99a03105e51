#include "vocabulary/shortcut_keys.h"

#include <fmt/format.h>

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

std::string shortcut_action_label(prefs_store::ShortcutAction action) {
  for (const ShortcutKey& row : kShortcutKeys) {
    if (row.action == static_cast<std::uint8_t>(action)) return std::string(row.label);
  }
  std::string words(prefs_store::shortcut_action_name(action));
  std::ranges::replace(words, '_', ' ');
  if (!words.empty() && words[0] >= 'a' && words[0] <= 'z') words[0] = char(words[0] - 'a' + 'A');
  return words;
}

std::optional<std::string> chord_refusal(const prefs_store::ShortcutConfig& config,
                                         std::uint8_t action, std::string_view text) {
  const auto chord = prefs_store::KeyChord::parse(text);
  if (!chord) {
    if (text.empty()) return std::string("An empty text is not a key combination");
    return fmt::format("{} is not a key combination", text);
  }
  prefs_store::ShortcutConfig trial = config;
  const auto id = static_cast<prefs_store::ShortcutAction>(action);
  switch (trial.set(id, *chord)) {
    case prefs_store::SetChordResult::Success:
      return std::nullopt;
    case prefs_store::SetChordResult::Reserved:
      return fmt::format("{} is kept for the desktop guide", chord->display());
    case prefs_store::SetChordResult::UnknownAction:
      return std::string("No such shortcut");
    case prefs_store::SetChordResult::InUse:
      break;
  }
  for (std::size_t i = 0; i < prefs_store::kShortcutActionCount; ++i) {
    const auto other = static_cast<prefs_store::ShortcutAction>(i);
    if (other != id && config.chord(other) == *chord) {
      return fmt::format("{} is already used by {}", chord->display(),
                         shortcut_action_label(other));
    }
  }
  return fmt::format("{} is already used", chord->display());
}

}  // namespace settings::panes::keyboard_shortcuts
