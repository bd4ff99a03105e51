#include "tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace desktop_rules::tree {
namespace {

std::string removal_error(const std::string& display, int error) {
  return fmt::format("could not remove {}: {}", display, std::strerror(error));
}

std::uint64_t measure_dir(int dir, int depth) {
  if (depth > kMaxDepth) return 0;
  auto names = names_in(dir);
  if (!names) return 0;
  std::uint64_t total = 0;
  for (const std::string& name : *names) {
    struct stat st {};
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      const Fd child = open_dir_at(dir, name.c_str());
      if (child) total += measure_dir(child.get(), depth + 1);
    } else if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) {
      total += static_cast<std::uint64_t>(st.st_size);
    }
  }
  return total;
}

kalu_ui::Status remove_entry(int dir, const std::string& name, dev_t device,
                             const std::string& display, int depth);

// Empties the folder `name` (already checked to be a folder on `device`).
kalu_ui::Status empty_dir(int dir, const std::string& name, const struct stat& seen,
                          const std::string& display, int depth) {
  if (depth > kMaxDepth) return kalu_ui::fail("{} is nested too deeply", display);
  const Fd child = open_dir_at(dir, name.c_str());
  if (!child) {
    if (errno == ENOENT) return {};
    return kalu_ui::fail(removal_error(display, errno));
  }
  // The folder opened must be the one looked at: not something put in its
  // place in between.
  struct stat opened {};
  if (::fstat(child.get(), &opened) != 0 || opened.st_dev != seen.st_dev ||
      opened.st_ino != seen.st_ino) {
    return kalu_ui::fail("{} changed while it was being removed", display);
  }
  auto names = names_in(child.get());
  if (!names) return kalu_ui::fail("could not remove {}: {}", display, names.error());
  for (const std::string& inner : *names) {
    auto removed = remove_entry(child.get(), inner, seen.st_dev,
                                fmt::format("{}/{}", display, inner), depth + 1);
    if (!removed) return removed;
  }
  return {};
}

kalu_ui::Status remove_entry(int dir, const std::string& name, dev_t device,
                             const std::string& display, int depth) {
  struct stat st {};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno == ENOENT) return {};
    return kalu_ui::fail(removal_error(display, errno));
  }
  if (S_ISDIR(st.st_mode)) {
    if (st.st_dev != device) {
      return kalu_ui::fail("{} is on another file system", display);
    }
    if (auto emptied = empty_dir(dir, name, st, display, depth); !emptied) return emptied;
    if (::unlinkat(dir, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
      return kalu_ui::fail(removal_error(display, errno));
    }
    return {};
  }
  if (::unlinkat(dir, name.c_str(), 0) != 0 && errno != ENOENT) {
    return kalu_ui::fail(removal_error(display, errno));
  }
  return {};
}

}  // namespace

Fd open_dir_at(int dir, const char* name) {
  return Fd(::openat(dir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

kalu_ui::Result<std::vector<std::string>> names_in(int dir) {
  // fdopendir takes the descriptor over, so it gets a copy of its own.
  const int copy = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
  if (copy < 0) return kalu_ui::fail(std::strerror(errno));
  DIR* stream = ::fdopendir(copy);
  if (stream == nullptr) {
    const int error = errno;
    ::close(copy);
    return kalu_ui::fail(std::strerror(error));
  }
  // The copy shares its read position with `dir`: start from the beginning.
  ::rewinddir(stream);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(stream)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
    errno = 0;
  }
  const int error = errno;
  ::closedir(stream);
  if (error != 0) return kalu_ui::fail(std::strerror(error));
  return names;
}

std::uint64_t measure_at(int dir, const std::string& name) {
  struct stat st {};
  if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return 0;
  if (S_ISDIR(st.st_mode)) {
    const Fd child = open_dir_at(dir, name.c_str());
    return child ? measure_dir(child.get(), 1) : 0;
  }
  return S_ISREG(st.st_mode) || S_ISLNK(st.st_mode) ? static_cast<std::uint64_t>(st.st_size) : 0;
}

kalu_ui::Status remove_at(int dir, const std::string& name, dev_t device,
                          const std::string& display) {
  return remove_entry(dir, name, device, display, 0);
}

}  // namespace desktop_rules::tree
