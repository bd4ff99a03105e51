#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "kalu_ui/unique_fd.h"

// Folder trees walked through descriptors, never through a symbolic link.
namespace desktop_rules::tree {

using Fd = kalu_ui::UniqueFd;

inline constexpr int kMaxDepth = 128;

// Opens the folder `name` inside `dir` without following a symbolic link
// (errno set on failure: ELOOP or ENOTDIR for a link or a file).
Fd open_dir_at(int dir, const char* name);

// The names inside an open folder, without "." and "..". The descriptor
// stays open and usable.
kalu_ui::Result<std::vector<std::string>> names_in(int dir);

// The size of the entry `name` inside `dir`: a file's or link's own size, a
// folder's contents added up (see storage.h). Unreadable parts count 0.
std::uint64_t measure_at(int dir, const std::string& name);

// Removes the entry `name` inside `dir`, a folder with everything in it;
// `display` names it in messages. Entries on a device other than `device`
// are not entered. A missing entry is no failure. Stops at the first failure.
kalu_ui::Status remove_at(int dir, const std::string& name, dev_t device,
                          const std::string& display);

}  // namespace desktop_rules::tree
