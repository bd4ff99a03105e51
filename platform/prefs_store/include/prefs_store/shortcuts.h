#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "kalu_ui/result.h"
#include "prefs_store/key_chord.h"

// The desktop's shortcut configuration: for each shortcut action the key
// chord that triggers it, or none. It lives in "<config dir>/kalu/shortcuts.json",
// which the desktop reads:
//
//   {"shortcuts": {"open_search": "Super+Space", "lock_screen": null, ...}}
//
// Every action is written on save, in action order, as its canonical chord
// text or null for "no chord". Loading starts from the defaults below and
// takes each member it understands: a chord text replaces the default, null
// clears it; a text that is not a chord, a value of another type and unknown
// members leave the default (and a save keeps unknown members and every other
// key of the file where they are).
//
// Loading never fails: a missing file, one that cannot be read and one that is
// not JSON give the defaults. Saving is atomic (safe_write) and refuses to
// replace a file that exists but cannot be read, so a passing fault never
// throws the user's chords away; a file that is not a JSON object is replaced.
//
// Default chords (ours). They avoid Super with H, J, K and L, which Vim
// navigation gives to moving around the desktop, and no two are the same:
//
//   #  action                             chord
//   0  open_search                        Super+Space
//   1  workspace_overview                 Super+Tab
//   2  lock_screen                        Ctrl+Alt+L
//   3  quick_settings                     Super+S
//   4  desktop_help                       Super+Shift+Slash
//   5  focus_previous_window              Super+Left
//   6  focus_next_window                  Super+Right
//   7  previous_tab                       Super+BracketLeft
//   8  next_tab                           Super+BracketRight
//   9  previous_strip                     Super+Up
//  10  next_strip                         Super+Down
//  11  previous_workspace                 Super+PageUp
//  12  next_workspace                     Super+PageDown
//  13  move_group_to_previous_strip       Super+Shift+Up
//  14  move_group_to_next_strip           Super+Shift+Down
//  15  move_group_to_previous_workspace   Super+Shift+PageUp
//  16  move_group_to_next_workspace       Super+Shift+PageDown
//  17  move_group_left                    Super+Shift+Left
//  18  move_group_right                   Super+Shift+Right
//  19  resize_narrower                    Super+Minus
//  20  resize_wider                       Super+Equal
//
// F1 alone is the desktop guide's own key and cannot be given to an action.
namespace prefs_store {

// The desktop's shortcut actions; the number is the one byte the desktop
// knows them by.
enum class ShortcutAction : std::uint8_t {
  OpenSearch = 0,
  WorkspaceOverview = 1,
  LockScreen = 2,
  QuickSettings = 3,
  DesktopHelp = 4,
  FocusPreviousWindow = 5,
  FocusNextWindow = 6,
  PreviousTab = 7,
  NextTab = 8,
  PreviousStrip = 9,
  NextStrip = 10,
  PreviousWorkspace = 11,
  NextWorkspace = 12,
  MoveGroupToPreviousStrip = 13,
  MoveGroupToNextStrip = 14,
  MoveGroupToPreviousWorkspace = 15,
  MoveGroupToNextWorkspace = 16,
  MoveGroupLeft = 17,
  MoveGroupRight = 18,
  ResizeNarrower = 19,
  ResizeWider = 20,
};

inline constexpr std::size_t kShortcutActionCount = 21;

// The action's member name in the file ("open_search"); empty for a number
// that is no action.
std::string_view shortcut_action_name(ShortcutAction action);

// What `ShortcutConfig::set` answers.
enum class SetChordResult : std::uint8_t {
  Success,        // the action has the chord (also when it had it already)
  UnknownAction,  // the number names no action
  InUse,          // another action has the chord; neither changes
  Reserved,       // the chord belongs to the desktop itself (F1 alone)
};

class ShortcutConfig {
 public:
  // The defaults (the table above).
  ShortcutConfig();

  // The configuration in the shortcut file; the defaults when it is missing,
  // cannot be read or is not JSON, or when there is no configuration folder.
  static ShortcutConfig load();
  static ShortcutConfig load_at(const std::filesystem::path& path);

  // "<config dir>/kalu/shortcuts.json"; nothing without a configuration folder.
  static std::optional<std::filesystem::path> path();

  // The chord of an action; none when it has none or the number names no
  // action.
  std::optional<KeyChord> chord(ShortcutAction action) const;

  // The action that has `chord`, if any (the first in action order).
  std::optional<ShortcutAction> action_with(const KeyChord& chord) const;

  // Gives `action` the chord, unless the answer says why not.
  SetChordResult set(ShortcutAction action, const KeyChord& chord);

  // Writes the whole configuration into the shortcut file, creating its
  // folder; "no config dir" without a configuration folder. On failure the
  // file keeps its previous content.
  kalu_ui::Status save() const;
  kalu_ui::Status save_at(const std::filesystem::path& path) const;

  bool operator==(const ShortcutConfig&) const = default;

 private:
  std::array<std::optional<KeyChord>, kShortcutActionCount> chords_;
};

}  // namespace prefs_store
