#pragma once

#include <optional>
#include <string>
#include <vector>

#include "app_launcher/registry.h"
#include "kalu_ui/result.h"

// What a package declares about itself, read afresh from its desktop entry:
//
//   app_id        the desktop id without ".desktop"
//   display_name  Name (not localised)
//   entrypoint    gui_bin: the program of Exec (its first word, quoting
//                 undone); absent when the entry has NoDisplay=true or no
//                 usable Exec, as such entries are no graphical application
//                 of their own (helpers, handlers started by others)
//   mime_types    the MimeType entries, without the link handlers
//   link_schemes  "<s>" for every MimeType entry "x-scheme-handler/<s>",
//                 lower-cased
//   kind          X-Kalu-Kind, the platform's own second identifying field
//                 (what sort of package this is); absent when not declared
namespace app_launcher::manifest {

struct Entrypoint {
  std::optional<std::string> gui_bin;
};

struct Manifest {
  std::string app_id;
  std::string display_name;
  Entrypoint entrypoint;
  std::vector<std::string> mime_types;
  std::vector<std::string> link_schemes;
  std::optional<std::string> kind;
};

// The manifest of an installed package; an error says why its entry cannot
// be read (gone since it was listed, unreadable, malformed).
kalu_ui::Result<Manifest> read_manifest(const registry::InstalledPackage& package);

// The manifest of an already read desktop entry.
Manifest manifest_of(const desktop_file::DesktopEntry& entry);

}  // namespace app_launcher::manifest
