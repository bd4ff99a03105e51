#pragma once

#include <optional>
#include <string>
#include <vector>

#include "desktop_file/applications.h"

// The process's last scan of the application folders, kept until one of the
// folders it read changes. A folder changes when a file is added, removed or
// renamed in it (how packages install and remove entries); an entry edited
// in place keeps the old answer until its folder changes. Checking costs one
// stat per folder; a changed folder means a full scan. Safe to call from any
// thread; concurrent callers wait for one scan.
namespace desktop_file::cache {

// One application entry of the scan.
struct CachedEntry {
  std::string desktop_id;             // "org.example.Editor.desktop"
  std::optional<std::string> app_id;  // the desktop id without ".desktop"
  std::string name;
};

// The entries of `scan` (applications that are not Hidden) for the folders
// of the environment, or for `roots`.
std::vector<CachedEntry> cached_scan();
std::vector<CachedEntry> cached_scan(const ApplicationRoots& roots);

// The full entries behind the same cache (what the application registry
// lists), sorted by desktop id.
std::vector<DesktopEntry> cached_entries(const ApplicationRoots& roots);

}  // namespace desktop_file::cache
