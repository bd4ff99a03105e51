#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_file/key_file.h"
#include "desktop_rules/resource_kind.h"
#include "kalu_ui/result.h"

// Default applications: which installed application opens a kind of file or
// link, after the freedesktop mimeapps.list rules.
//
// The person's own choices live in the [Default Applications] group of
// "$XDG_CONFIG_HOME/mimeapps.list", one line per kind: the MIME type (or
// "x-scheme-handler/<scheme>") and the desktop ids that open it, the first
// one preferred ("text/plain=org.example.Editor.desktop"). Other groups,
// comments and lines of the file are never touched: a save reads the file
// afresh, changes only the lines of the kinds that were set, and replaces
// the file atomically (safe_write), so a change another program made in the
// meantime is kept. System defaults are the same groups in "mimeapps.list"
// of each $XDG_CONFIG_DIRS entry and then of "applications" below each
// $XDG_DATA_DIRS entry.
//
// Applications are named by their package id, the desktop id without
// ".desktop" (app_launcher's registry).
namespace desktop_rules {

// An installed application that may be chosen: its package id, its name and
// the kinds it declares it opens.
struct AppCandidate {
  std::string id;
  std::string name;
  std::vector<ResourceKind> kinds;

  // "{} — {}" with the name and the id: tells two applications of one name
  // apart.
  std::string label() const;
  // Whether the application declares the kind.
  bool handles(const ResourceKind& kind) const;
};

class PersonalDefaults {
 public:
  // "mimeapps.list" in the user's configuration directory; nothing when no
  // configuration directory is known.
  static std::optional<std::filesystem::path> default_location();

  // The choices at the default location or at `path`: none when the file
  // does not exist; an error when it exists but cannot be read.
  static kalu_ui::Result<PersonalDefaults> load();
  static kalu_ui::Result<PersonalDefaults> load_at(const std::filesystem::path& path);

  // The package id the person chose for the kind (the first desktop id
  // listed), or nothing.
  std::optional<std::string> get(const ResourceKind& kind) const;

  // Makes `app_id` the kind's default. Refused, and nothing changed, when no
  // candidate with that id declares the kind, or when the id could not be
  // written as a desktop id (";", "\" or control characters).
  kalu_ui::Status set(const ResourceKind& kind, std::string_view app_id,
                      std::span<const AppCandidate> candidates);

  // Writes the kinds set since the last successful save into the file at the
  // default location or at `path` (its folder is made when missing).
  // Nothing set: nothing is written.
  kalu_ui::Status save();
  kalu_ui::Status save_at(const std::filesystem::path& path);

 private:
  desktop_file::KeyFile file_;
  std::map<std::string, std::string> changes_;  // mimeapps key -> raw value
};

// Finds the application that opens a kind: the person's default when an
// installed candidate declares the kind, else the first desktop id of the
// system defaults (in the order of the files) that names such a candidate,
// else none.
class DefaultAppResolver {
 public:
  // The system files, most important first; they are read now, once.
  explicit DefaultAppResolver(const std::vector<std::filesystem::path>& system_lists);
  static DefaultAppResolver from_environment();

  std::optional<std::string> resolve(std::span<const AppCandidate> candidates,
                                     const ResourceKind& kind,
                                     const PersonalDefaults& personal) const;

 private:
  std::vector<desktop_file::KeyFile> system_;
};

}  // namespace desktop_rules
