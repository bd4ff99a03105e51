#pragma once

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string_view>
#include <vector>

// For tests: puts in a file's place the things a reader must refuse without
// blocking, without exhausting memory and without taking long.
namespace safe_write::testing {

enum class BadFile {
  kFifo,         // a FIFO with no writer: a blocking open never returns
  kDevZeroLink,  // a symbolic link to /dev/zero: a read never ends
  kHuge,         // a sparse 300 MB regular file
  kDirectory,
  kNoPermission,  // mode 000 (reads anyway when run as root)
};

struct BadFileCase {
  BadFile kind;
  std::string_view name;
};

inline const std::vector<BadFileCase>& bad_files() {
  static const std::vector<BadFileCase> cases = {
      {BadFile::kFifo, "a FIFO"},           {BadFile::kDevZeroLink, "a link to /dev/zero"},
      {BadFile::kHuge, "a 300 MB file"},    {BadFile::kDirectory, "a directory"},
      {BadFile::kNoPermission, "mode 000"},
  };
  return cases;
}

// Puts `kind` at `path` (whose parent exists and where nothing is yet).
// False when this kind cannot be shown here: mode 000 does not keep root out.
inline bool make_bad_file(const std::filesystem::path& path, BadFile kind) {
  switch (kind) {
    case BadFile::kFifo:
      return ::mkfifo(path.c_str(), 0600) == 0;
    case BadFile::kDevZeroLink:
      return ::symlink("/dev/zero", path.c_str()) == 0;
    case BadFile::kHuge: {
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0) return false;
      const bool ok = ::ftruncate(fd, off_t{300} << 20) == 0;
      ::close(fd);
      return ok;
    }
    case BadFile::kDirectory:
      return ::mkdir(path.c_str(), 0700) == 0;
    case BadFile::kNoPermission: {
      if (::geteuid() == 0) return false;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
      if (fd < 0) return false;
      const bool ok = ::write(fd, "{}", 2) == 2;
      ::close(fd);
      return ok && ::chmod(path.c_str(), 0) == 0;
    }
  }
  return false;
}

}  // namespace safe_write::testing
