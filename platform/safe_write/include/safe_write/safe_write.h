#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string_view>

#include "kalu_ui/result.h"

// Replaces a file so that a crash, a full disk or a killed process leaves
// either the previous content or the new one, never a mix: the bytes go to a
// temporary file in the same directory, which is flushed to disk, renamed over
// the target, and the directory is flushed so the rename itself survives a
// power loss. On any failure the temporary file is removed and the target is
// left as it was.
//
// A target that is a symbolic link is resolved first, so the link stays a
// link and the file it points to is replaced, but only when that file exists,
// is a regular file and is owned by the user the process runs as; any other
// link is refused with a message and nothing is written.
namespace safe_write {

// Writes `bytes` to `path`. An existing file keeps its permission bits; a new
// one gets the process defaults (0666 less the umask). The parent directory
// must exist.
kalu_ui::Status write(const std::filesystem::path& path, std::string_view bytes);

// As `write`, but the file ends up with exactly `mode` (not filtered by the
// umask), whether it existed before or not. Use it for secrets (0600).
kalu_ui::Status write_with_mode(const std::filesystem::path& path, std::string_view bytes,
                                mode_t mode);

// As `write_with_mode` for a file that must not exist yet: a file already at
// `path` is never replaced, and the answer is then false. A copy that must
// not overwrite an earlier one (a document kept aside) is written this way.
kalu_ui::Result<bool> write_new_with_mode(const std::filesystem::path& path, std::string_view bytes,
                                          mode_t mode);

// As `write_with_mode`, creating the missing parent directories first. The
// directories it creates are private (0700) when `mode` gives nothing to group
// or others, else they get the process defaults.
kalu_ui::Status write_creating_parent_with_mode(const std::filesystem::path& path,
                                                std::string_view bytes, mode_t mode);

// Removes from `dir` the temporary files that writes of a process no longer
// running left behind (a write cut off by kill -9 or a power loss):
// ".<name>.<pid>-<n>.tmp" whose pid is not a live process. Only this
// library's own names are touched; answers how many were removed.
std::size_t remove_stale_temporaries(const std::filesystem::path& dir);

namespace testing {

// The step that moves the finished temporary file over the target. Returns 0
// or an errno value.
using RenameHook =
    std::function<int(const std::filesystem::path& from, const std::filesystem::path& to)>;

// Replaces the rename step for the guard's lifetime, so a test can stop a
// write between "data on disk" and "file replaced" (as a crash would) and
// check that the previous file survives. Process-wide; not for concurrent use.
class ScopedRenameHook {
 public:
  explicit ScopedRenameHook(RenameHook hook);
  ~ScopedRenameHook();
  ScopedRenameHook(const ScopedRenameHook&) = delete;
  ScopedRenameHook& operator=(const ScopedRenameHook&) = delete;

 private:
  RenameHook previous_;
};

}  // namespace testing
}  // namespace safe_write
