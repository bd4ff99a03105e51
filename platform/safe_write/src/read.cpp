#include "safe_write/read.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

namespace safe_write {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::string error_text(int err) { return std::error_code(err, std::generic_category()).message(); }

std::string_view kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISLNK(mode)) return "a symbolic link";
  return "something else";
}

bool past(const struct stat& st, std::size_t max_bytes) {
  return st.st_size > 0 && static_cast<std::uint64_t>(st.st_size) > max_bytes;
}

}  // namespace

std::string read_error(std::string_view what, std::string_view reason) {
  return fmt::format("{} could not be read: {}", what, reason);
}

std::string too_large(std::size_t max_bytes) {
  return fmt::format("larger than {} bytes", max_bytes);
}

Result<std::optional<ReadableFile>> ReadableFile::open(const fs::path& path, Links links) {
  int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
  if (links == Links::kRefuse) flags |= O_NOFOLLOW;
  const int fd = ::open(path.c_str(), flags);
  if (fd < 0) {
    const int err = errno;
    if (err == ENOENT) return std::optional<ReadableFile>();
    if (err == ELOOP && links == Links::kRefuse) {
      struct stat st {};
      if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        return fail("not a regular file (a symbolic link)");
      }
    }
    return fail(error_text(err));
  }
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    const int err = errno;
    ::close(fd);
    return fail(error_text(err));
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(fd);
    return fail("not a regular file ({})", kind_of(st.st_mode));
  }
  return std::optional<ReadableFile>(ReadableFile(fd, st));
}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), status_(other.status_) {}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    status_ = other.status_;
  }
  return *this;
}

ReadableFile::~ReadableFile() {
  if (fd_ >= 0) ::close(fd_);
}

Status ReadableFile::read_into(std::size_t max_bytes,
                               const std::function<void(std::string_view chunk)>& sink) {
  if (past(status_, max_bytes)) return fail(too_large(max_bytes));
  char buffer[16384];
  std::size_t total = 0;
  Status outcome;
  for (;;) {
    // Never more than one byte past the limit, to tell "at the limit" from
    // "beyond it" without reading a huge file whole.
    const std::size_t room = max_bytes - total;
    const std::size_t want = room >= sizeof buffer ? sizeof buffer : room + 1;
    const ssize_t n = ::read(fd_, buffer, want);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      outcome = fail(error_text(errno));
      break;
    }
    total += static_cast<std::size_t>(n);
    if (total > max_bytes) {
      outcome = fail(too_large(max_bytes));
      break;
    }
    sink(std::string_view(buffer, static_cast<std::size_t>(n)));
  }
  ::explicit_bzero(buffer, sizeof buffer);
  return outcome;
}

Result<std::string> ReadableFile::read_to_end(std::size_t max_bytes) {
  std::string text;
  if (status_.st_size > 0 && static_cast<std::uint64_t>(status_.st_size) <= max_bytes) {
    text.reserve(static_cast<std::size_t>(status_.st_size));
  }
  auto read = read_into(max_bytes, [&](std::string_view chunk) { text.append(chunk); });
  if (!read) return fail(read.error());
  return text;
}

Result<std::optional<std::string>> read_bounded(const fs::path& path, std::size_t max_bytes,
                                                Links links) {
  auto file = ReadableFile::open(path, links);
  if (!file) return fail(file.error());
  if (!*file) return std::optional<std::string>();
  auto text = (*file)->read_to_end(max_bytes);
  if (!text) return fail(text.error());
  return std::optional<std::string>(std::move(*text));
}

// ---- the stamp and the cache ----

FileStamp FileStamp::of(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool FileStamp::operator==(const FileStamp& other) const {
  const auto same = [](const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
  };
  return device == other.device && inode == other.inode && size == other.size &&
         same(modified, other.modified) && same(changed, other.changed);
}

bool FileStamp::settled() const {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec - modified.tv_sec > 1;
}

struct ReadCache::State {
  struct Entry {
    fs::path path;
    FileStamp stamp;
    std::shared_ptr<const std::string> text;
  };
  std::size_t max_entries = 8;
  std::mutex mutex;
  std::deque<Entry> entries;

  Entry* find(const fs::path& path) {
    for (Entry& entry : entries) {
      if (entry.path == path) return &entry;
    }
    return nullptr;
  }
};

ReadCache::ReadCache(std::size_t max_entries) : state_(std::make_unique<State>()) {
  state_->max_entries = max_entries == 0 ? 1 : max_entries;
}

ReadCache::~ReadCache() = default;

Result<std::shared_ptr<const std::string>> ReadCache::read(const fs::path& path,
                                                           std::size_t max_bytes) {
  auto file = ReadableFile::open(path);
  if (!file) return fail(file.error());
  if (!*file) return std::shared_ptr<const std::string>();
  const FileStamp stamp = FileStamp::of((*file)->status());
  if (past((*file)->status(), max_bytes)) return fail(too_large(max_bytes));
  {
    std::lock_guard lock(state_->mutex);
    if (State::Entry* entry = state_->find(path);
        entry != nullptr && entry->stamp == stamp && entry->text->size() <= max_bytes) {
      return entry->text;
    }
  }
  auto text = (*file)->read_to_end(max_bytes);
  if (!text) return fail(text.error());
  auto shared = std::make_shared<const std::string>(std::move(*text));
  std::lock_guard lock(state_->mutex);
  State::Entry* entry = state_->find(path);
  if (!stamp.settled()) {
    // Not trusted: read again next time.
    if (entry != nullptr) std::erase_if(state_->entries, [&](auto& e) { return e.path == path; });
    return shared;
  }
  if (entry == nullptr) {
    state_->entries.push_front(State::Entry{path, stamp, shared});
    if (state_->entries.size() > state_->max_entries) state_->entries.pop_back();
  } else {
    entry->stamp = stamp;
    entry->text = shared;
  }
  return shared;
}

}  // namespace safe_write
