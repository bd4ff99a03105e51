#include "files.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

#include "prefs_store/paths.h"

namespace prefs_store::detail {
namespace {

using kalu_ui::fail;
using kalu_ui::Result;

std::string error_text(int err) { return std::error_code(err, std::generic_category()).message(); }

std::string_view kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "something else";
}

}  // namespace

std::string too_large(std::size_t max_bytes) {
  return fmt::format("larger than {} bytes", max_bytes);
}

Fd::~Fd() {
  if (fd >= 0) ::close(fd);
}

Result<std::optional<struct stat>> open_regular(const std::filesystem::path& path, Fd& file) {
  file.fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (file.fd < 0) {
    if (errno == ENOENT) return std::optional<struct stat>();
    return fail(error_text(errno));
  }
  struct stat st {};
  if (::fstat(file.fd, &st) != 0) return fail(error_text(errno));
  if (!S_ISREG(st.st_mode)) {
    return fail("not a regular file ({})", kind_of(st.st_mode));
  }
  return std::optional<struct stat>(st);
}

Result<std::string> read_to_end(int fd, std::size_t max_bytes) {
  std::string text;
  char buffer[16384];
  for (;;) {
    // Never more than one byte past the limit, to tell "at the limit" from
    // "beyond it" without reading a huge file whole.
    const std::size_t room = max_bytes - text.size();
    const std::size_t want = room >= sizeof buffer ? sizeof buffer : room + 1;
    ssize_t n = ::read(fd, buffer, want);
    if (n == 0) return text;
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(error_text(errno));
    }
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > max_bytes) return fail(too_large(max_bytes));
  }
}

Result<std::optional<std::string>> read_file(const std::filesystem::path& path,
                                             std::size_t max_bytes) {
  Fd file;
  auto opened = open_regular(path, file);
  if (!opened) return fail(opened.error());
  if (!*opened) return std::optional<std::string>();
  if (static_cast<std::uint64_t>((*opened)->st_size) > max_bytes) return fail(too_large(max_bytes));
  auto text = read_to_end(file.fd, max_bytes);
  if (!text) return fail(text.error());
  return std::optional<std::string>(std::move(*text));
}

std::string read_error(const std::filesystem::path& path, std::string_view reason) {
  if (path == settings_path()) {
    return fmt::format("settings document could not be read: {}", reason);
  }
  return fmt::format("could not read {}: {}", path.string(), reason);
}

}  // namespace prefs_store::detail
