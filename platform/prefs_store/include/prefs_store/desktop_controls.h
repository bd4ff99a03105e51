#pragma once

#include <filesystem>
#include <optional>

#include "kalu_ui/result.h"

// How the desktop itself is driven from the keyboard, kept in
// "<config dir>/kalu/desktop-controls.json", which the desktop reads:
//
//   {"vim_mode": false}
//
// Loading never fails: a missing file, one that cannot be read, one that is
// not JSON and a member of the wrong type give the defaults. Saving sets its
// members and keeps every other key of the file where it is; it is atomic
// (safe_write) and refuses to replace a file that exists but cannot be read.
namespace prefs_store {

struct DesktopControlsConfig {
  // Vim-style navigation: H, J, K and L with the navigation modifiers move
  // around the desktop like the arrow keys.
  bool vim_mode = false;

  static DesktopControlsConfig load();
  static DesktopControlsConfig load_at(const std::filesystem::path& path);

  // "<config dir>/kalu/desktop-controls.json"; nothing without a
  // configuration folder.
  static std::optional<std::filesystem::path> path();

  // "no config dir" without a configuration folder; on failure the file keeps
  // its previous content.
  kalu_ui::Status save() const;
  kalu_ui::Status save_at(const std::filesystem::path& path) const;

  bool operator==(const DesktopControlsConfig&) const = default;
};

}  // namespace prefs_store
