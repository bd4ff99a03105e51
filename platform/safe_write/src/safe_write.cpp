#include "safe_write/safe_write.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

namespace safe_write {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::mutex hook_mutex;
testing::RenameHook rename_hook;  // empty: the real rename(2)

int do_rename(const fs::path& from, const fs::path& to) {
  testing::RenameHook hook;
  {
    std::lock_guard lock(hook_mutex);
    hook = rename_hook;
  }
  if (hook) return hook(from, to);
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string error_text(int err) { return std::error_code(err, std::generic_category()).message(); }

// Closes a descriptor and removes the temporary file unless released.
class TempFile {
 public:
  TempFile(int fd, fs::path path) : fd_(fd), path_(std::move(path)) {}
  ~TempFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_; }
  const fs::path& path() const { return path_; }
  // Closes the descriptor; answers 0 or an errno value.
  int close() {
    int rc = ::close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }
  void release() { path_.clear(); }

 private:
  int fd_;
  fs::path path_;
};

// Follows symbolic links so that the file behind a link is replaced and the
// link itself stays in place.
fs::path resolve_links(fs::path path) {
  for (int depth = 0; depth < 40; ++depth) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(path, ec)) || ec) return path;
    fs::path target = fs::read_symlink(path, ec);
    if (ec) return path;
    path = target.is_absolute() ? target : path.parent_path() / target;
  }
  return path;
}

Status write_all(int fd, std::string_view bytes, const fs::path& path) {
  while (!bytes.empty()) {
    ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("could not write {}: {}", path.string(), error_text(errno));
    }
    bytes.remove_prefix(static_cast<size_t>(n));
  }
  return {};
}

Status sync_directory(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    return fail("could not open directory {}: {}", dir.string(), error_text(errno));
  }
  int rc = ::fsync(fd);
  int err = errno;
  ::close(fd);
  // Some file systems cannot flush a directory; the rename is as durable as
  // they make it.
  if (rc != 0 && err != EINVAL && err != EROFS) {
    return fail("could not flush directory {}: {}", dir.string(), error_text(err));
  }
  return {};
}

// Moves the finished temporary file to `path` only when nothing is there yet:
// 0, EEXIST, or another errno value.
int move_into_place_new(const fs::path& from, const fs::path& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // A file system without the flag: a second name, which is never made over
  // an existing file either, and the temporary one removed.
  if (::link(from.c_str(), to.c_str()) != 0) return errno;
  ::unlink(from.c_str());
  return 0;
}

enum class Existing { kReplace, kKeep };

// `mode`: the exact permission bits to give the file, or nothing to keep
// those of an existing file (process defaults for a new one). With
// Existing::kKeep a file already at the path is left alone and the answer is
// false.
Result<bool> put(const fs::path& requested, std::string_view bytes, std::optional<mode_t> mode,
                 Existing existing_file) {
  if (requested.empty() || !requested.has_filename()) {
    return fail("could not write \"{}\": not a file path", requested.string());
  }
  const fs::path path = resolve_links(requested);
  const fs::path dir = path.has_parent_path() ? path.parent_path() : fs::path(".");

  struct stat existing {};
  bool exists = ::stat(path.c_str(), &existing) == 0;
  if (path != requested &&
      (!exists || !S_ISREG(existing.st_mode) || existing.st_uid != ::geteuid())) {
    // A link is written through only to a file of this user's own: one to a
    // file of someone else's (or of the system's), to anything but a regular
    // file or to nothing must never make this program replace it.
    return fail(
        "could not write {}: it is a link to {}, which is not a regular file owned by "
        "this user; nothing was written",
        requested.string(), path.string());
  }
  if (exists && S_ISDIR(existing.st_mode)) {
    return fail("could not write {}: {}", path.string(), error_text(EISDIR));
  }
  std::optional<mode_t> final_mode = mode;
  if (!final_mode && exists) final_mode = existing.st_mode & 07777;
  // Created with the final permission bits (or the defaults) at most, so the
  // new content is never readable by more people than the target allows.
  mode_t create_mode = final_mode ? (*final_mode & 0666) : 0666;

  static std::atomic<unsigned> counter{0};
  int fd = -1;
  fs::path temp;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = dir /
           fmt::format(".{}.{}-{}.tmp", path.filename().string(), ::getpid(), counter.fetch_add(1));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, create_mode);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) {
    return fail("could not create a temporary file in {}: {}", dir.string(), error_text(errno));
  }
  TempFile file(fd, temp);

  if (final_mode && ::fchmod(file.fd(), *final_mode) != 0) {
    return fail("could not set the permissions of {}: {}", path.string(), error_text(errno));
  }
  if (exists && ::geteuid() == 0) {
    // Keep a user's file owned by that user when an administrator rewrites it.
    (void)::fchown(file.fd(), existing.st_uid, existing.st_gid);
  }
  if (auto written = write_all(file.fd(), bytes, path); !written) return fail(written.error());
  if (::fsync(file.fd()) != 0) {
    return fail("could not flush {} to disk: {}", path.string(), error_text(errno));
  }
  if (int err = file.close(); err != 0) {
    return fail("could not write {}: {}", path.string(), error_text(err));
  }
  if (existing_file == Existing::kKeep) {
    if (int err = move_into_place_new(file.path(), path); err != 0) {
      if (err == EEXIST) return false;
      return fail("could not write {}: {}", path.string(), error_text(err));
    }
  } else if (int err = do_rename(file.path(), path); err != 0) {
    return fail("could not replace {}: {}", path.string(), error_text(err));
  }
  file.release();
  if (auto synced = sync_directory(dir); !synced) return fail(synced.error());
  return true;
}

Status replace(const fs::path& path, std::string_view bytes, std::optional<mode_t> mode) {
  auto written = put(path, bytes, mode, Existing::kReplace);
  if (!written) return fail(written.error());
  return {};
}

}  // namespace

Status write(const fs::path& path, std::string_view bytes) {
  return replace(path, bytes, std::nullopt);
}

Status write_with_mode(const fs::path& path, std::string_view bytes, mode_t mode) {
  return replace(path, bytes, mode);
}

Result<bool> write_new_with_mode(const fs::path& path, std::string_view bytes, mode_t mode) {
  return put(path, bytes, mode, Existing::kKeep);
}

Status write_creating_parent_with_mode(const fs::path& path, std::string_view bytes, mode_t mode) {
  fs::path parent = resolve_links(path).parent_path();
  if (!parent.empty()) {
    // Walk down from the first missing ancestor so each new directory gets
    // the chosen permissions.
    std::vector<fs::path> missing;
    for (fs::path dir = parent; !dir.empty(); dir = dir.parent_path()) {
      std::error_code ec;
      if (fs::exists(dir, ec)) break;
      missing.push_back(dir);
      if (dir == dir.parent_path()) break;
    }
    const mode_t dir_mode = (mode & 077) == 0 ? 0700 : 0777;
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
      if (::mkdir(it->c_str(), dir_mode) != 0 && errno != EEXIST) {
        return fail("could not create directory {}: {}", it->string(), error_text(errno));
      }
    }
  }
  return replace(path, bytes, mode);
}

namespace {

// The writer's pid when `name` is one of put()'s temporary names.
std::optional<pid_t> temporary_owner(std::string_view name) {
  if (name.size() < 2 || name.front() != '.' || !name.ends_with(".tmp")) return std::nullopt;
  name.remove_suffix(4);
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::nullopt;
  const std::string_view tail = name.substr(dot + 1);  // "<pid>-<n>"
  const std::size_t dash = tail.find('-');
  if (dash == 0 || dash == std::string_view::npos || dash + 1 == tail.size()) return std::nullopt;
  const auto digits = [](std::string_view text) {
    return !text.empty() && text.size() < 10 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (!digits(tail.substr(0, dash)) || !digits(tail.substr(dash + 1))) return std::nullopt;
  return static_cast<pid_t>(std::stol(std::string(tail.substr(0, dash))));
}

}  // namespace

std::size_t remove_stale_temporaries(const fs::path& dir) {
  std::size_t removed = 0;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    const std::optional<pid_t> owner = temporary_owner(name);
    if (!owner || *owner == ::getpid()) continue;
    // A live writer (or one this process may not signal) is left alone.
    if (::kill(*owner, 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

namespace testing {

ScopedRenameHook::ScopedRenameHook(RenameHook hook) {
  std::lock_guard lock(hook_mutex);
  previous_ = std::exchange(rename_hook, std::move(hook));
}

ScopedRenameHook::~ScopedRenameHook() {
  std::lock_guard lock(hook_mutex);
  rename_hook = std::move(previous_);
}

}  // namespace testing
}  // namespace safe_write
