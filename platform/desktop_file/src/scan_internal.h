#pragma once

#include <filesystem>
#include <vector>

#include "desktop_file/applications.h"

namespace desktop_file {

// What a folder looked like when it was read: the cache compares these to
// tell whether a scan is still current.
struct DirStamp {
  std::filesystem::path path;
  bool exists = false;
  std::filesystem::file_time_type mtime{};

  bool operator==(const DirStamp&) const = default;
};

// `scan`, noting the stamp of every folder it read (the roots included,
// present or not).
std::vector<DesktopEntry> scan_with_stamps(const ApplicationRoots& roots,
                                           std::vector<DirStamp>& stamps);

}  // namespace desktop_file
