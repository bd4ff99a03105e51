#include "transport.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace kalu_ui::host {

namespace {

std::string errno_text() { return std::strerror(errno); }

bool valid_app_id(std::string_view id) {
  if (id.empty() || id.size() > 64 || id.front() == '.') return false;
  for (char c : id) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                    c == '.' || c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

// The directory must be ours and closed to everyone else; a directory that
// is ours but too open is closed, anything else is refused.
Status ensure_private_directory(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    return fail("cannot create {}: {}", dir, errno_text());
  }
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0) return fail("cannot read {}: {}", dir, errno_text());
  if (!S_ISDIR(st.st_mode)) return fail("{} is not a directory", dir);
  if (st.st_uid != ::geteuid()) return fail("{} belongs to another user", dir);
  if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) {
    return fail("cannot restrict {}: {}", dir, errno_text());
  }
  return {};
}

Result<sockaddr_un> address_of(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    return fail("socket path is too long: {}", path);
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

// A socket left by an instance that ended without cleaning up is removed; a
// live one means another instance serves this application already.
Status clear_stale_socket(const std::string& path, const sockaddr_un& address) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  if (!S_ISSOCK(st.st_mode)) return fail("{} exists and is not a socket", path);
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return fail("socket: {}", errno_text());
  const bool live =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(probe);
  if (live) return fail("another instance is already serving {}", path);
  if (::unlink(path.c_str()) != 0) return fail("cannot remove {}: {}", path, errno_text());
  return {};
}

}  // namespace

Result<std::string> automation_socket_path(std::string_view app_id) {
  if (!valid_app_id(app_id)) return fail("invalid application id \"{}\"", app_id);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') {
    return fail("XDG_RUNTIME_DIR is not set to an absolute directory");
  }
  std::string dir(runtime);
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return fmt::format("{}/kalu-automation/{}.sock", dir, app_id);
}

Result<std::unique_ptr<AutomationHost::Transport>> AutomationHost::Transport::open(
    const std::string& path, const TransportOptions& options, wake::WakeHandle wake) {
  auto address = address_of(path);
  if (!address) return std::unexpected(address.error());
  const auto slash = path.rfind('/');
  if (slash == std::string::npos || slash == 0) return fail("bad socket path {}", path);
  if (auto dir = ensure_private_directory(path.substr(0, slash)); !dir) {
    return std::unexpected(dir.error());
  }
  if (auto cleared = clear_stale_socket(path, *address); !cleared) {
    return std::unexpected(cleared.error());
  }

  auto t = std::make_unique<Transport>();
  t->path = path;
  t->options = options;
  t->wake = std::move(wake);
  t->listen_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (t->listen_fd < 0) return fail("socket: {}", errno_text());
  if (::bind(t->listen_fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
    return fail("cannot bind {}: {}", path, errno_text());
  }
  struct stat st {};
  if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &st) != 0) {
    const std::string error = errno_text();
    ::unlink(path.c_str());
    return fail("cannot restrict {}: {}", path, error);
  }
  t->socket_dev = st.st_dev;
  t->socket_ino = st.st_ino;
  if (::listen(t->listen_fd, limits::kListenBacklog) != 0) return fail("listen: {}", errno_text());
  t->event_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (t->event_fd < 0) return fail("eventfd: {}", errno_text());
  Transport* raw = t.get();
  t->thread = std::thread([raw] { raw->run(); });
  return t;
}

AutomationHost::Transport::~Transport() {
  if (thread.joinable()) {
    stopping = true;
    notify();
    thread.join();
  }
  if (listen_fd >= 0) {
    // Only our own socket is removed, not one a later instance put there.
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_dev == socket_dev && st.st_ino == socket_ino) {
      ::unlink(path.c_str());
    }
    ::close(listen_fd);
  }
  if (event_fd >= 0) ::close(event_fd);
}

void AutomationHost::Transport::notify() {
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(event_fd, &one, sizeof(one));
}

void AutomationHost::Transport::answer(Envelope answer) {
  if (lanes.answer(std::move(answer))) notify();
}

}  // namespace kalu_ui::host
