#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_file/applications.h"
#include "kalu_ui/result.h"

// The installed applications. A package is an application entry of the
// desktop folders (desktop_file/applications.h: the first file of a desktop
// id wins, Hidden entries are deleted ones and never listed) and its id is
// the desktop id without ".desktop". Lists come from the desktop-entry cache
// (desktop_file/cache.h), so asking again is cheap until a folder changes.
// The functions without roots read the folders of the environment.
namespace app_launcher::registry {

struct InstalledPackage {
  std::string id;              // "org.example.Editor"
  std::string desktop_id;      // "org.example.Editor.desktop"
  std::filesystem::path path;  // its desktop entry
};

// Every installed application, sorted by desktop id. Fails only when no
// application folder is known at all.
kalu_ui::Result<std::vector<InstalledPackage>> list_installed();
kalu_ui::Result<std::vector<InstalledPackage>> list_installed(
    const desktop_file::ApplicationRoots& roots);

// The name to show for a package id: the Name of the installed application
// with that id; for an id that is not installed (a stored rule of an
// application since removed), a name made from the id's last dot-separated
// part with "-" and "_" as spaces and each word capitalised
// ("org.example.text-editor" gives "Text Editor"); the id itself when that
// leaves nothing.
std::string display_name_for_package_id(std::string_view id);
std::string display_name_for_package_id(std::string_view id,
                                        const desktop_file::ApplicationRoots& roots);

}  // namespace app_launcher::registry
