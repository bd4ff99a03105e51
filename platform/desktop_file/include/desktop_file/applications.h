#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The desktop entries of the installed applications, as the freedesktop
// rules lay them out: every "applications" folder below the user's data
// directory ($XDG_DATA_HOME) and then below each system data directory
// ($XDG_DATA_DIRS), in that order of precedence. A file's desktop id is its
// path below its folder with "/" turned into "-" ("org/Example.desktop" is
// "org-Example.desktop"); the first folder that holds a desktop id decides
// it, so a user's copy replaces the system's, and a user's copy marked
// Hidden removes the application.
//
// An entry counts when its file is a readable key file (at most 1 MiB, no
// malformed line) with a "Desktop Entry" group whose Type is "Application"
// and that names the application (Name). Entries with Hidden=true are
// deleted ones and are never listed. Symbolic links to files are followed;
// links to folders are not entered. Every call reads the folders afresh
// (cache.h keeps the last answer).
namespace desktop_file {

// The "applications" folders to read, most important first.
struct ApplicationRoots {
  std::vector<std::filesystem::path> dirs;

  // "<dir>/applications" for $XDG_DATA_HOME (when known) and each
  // $XDG_DATA_DIRS entry.
  static ApplicationRoots from_environment();
  // "<dir>/applications" for each of `data_dirs`, in order (tests).
  static ApplicationRoots under(const std::vector<std::filesystem::path>& data_dirs);

  bool operator==(const ApplicationRoots&) const = default;
};

// The fields of one application's "Desktop Entry" group that the platform
// uses.
struct DesktopEntry {
  std::string desktop_id;  // "org.example.Editor.desktop"
  std::filesystem::path path;
  std::string name;                      // Name (not localised)
  std::optional<std::string> exec;       // Exec, the whole command line, unescaped
  bool no_display = false;               // NoDisplay=true
  bool hidden = false;                   // Hidden=true
  std::vector<std::string> mime_types;   // MimeType, as declared
  std::optional<std::string> kalu_kind;  // X-Kalu-Kind

  // The application id: the desktop id without ".desktop"; nothing when
  // that leaves no text.
  std::optional<std::string> app_id() const;
};

// Reads the desktop entry at `path` under `desktop_id`; an error says why the
// file is no application entry (unreadable, malformed line N, no "Desktop
// Entry" group, another Type, no Name). An entry read before from a file
// that has not changed since (same identity, size and times: one stat) is
// answered from memory; a file changed in the last two seconds is always
// read, since a change within one tick of the file clock keeps the times.
kalu_ui::Result<DesktopEntry> read_entry(const std::filesystem::path& path, std::string desktop_id);

// The same, from the file's text.
kalu_ui::Result<DesktopEntry> parse_entry(std::string_view text, std::filesystem::path path,
                                          std::string desktop_id);

// Every application entry that is not Hidden, one per desktop id (the first
// folder's file wins, readable or not), sorted by desktop id. Folders that
// are missing or cannot be read add nothing.
std::vector<DesktopEntry> scan(const ApplicationRoots& roots);

// The program an Exec command line runs: its first word, with the quoting
// of desktop entries undone; nothing for an empty command line or a broken
// quote.
std::optional<std::string> exec_program(std::string_view exec);

}  // namespace desktop_file
