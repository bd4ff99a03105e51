#include "transport.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "kalu_ui/log.h"

namespace kalu_ui::host {

namespace {

constexpr std::string_view kModule = "kalu_ui::host";
constexpr std::size_t kMaxAnswerBacklog = std::size_t{64} << 20;
// A client whose answers pile up unsent is not read from until it catches
// up, so one that sends without reading cannot make the application work
// and buffer for it without end.
constexpr std::size_t kPauseReadingBytes = std::size_t{1} << 20;
constexpr int kAcceptRetryMs = 200;

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
    return fail(fmt::format("cannot create {}: {}", dir, errno_text()));
  }
  struct stat st {};
  if (::lstat(dir.c_str(), &st) != 0)
    return fail(fmt::format("cannot read {}: {}", dir, errno_text()));
  if (!S_ISDIR(st.st_mode)) return fail(fmt::format("{} is not a directory", dir));
  if (st.st_uid != ::geteuid()) return fail(fmt::format("{} belongs to another user", dir));
  if ((st.st_mode & 0777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) {
    return fail(fmt::format("cannot restrict {}: {}", dir, errno_text()));
  }
  return {};
}

Result<sockaddr_un> address_of(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (path.size() >= sizeof(address.sun_path)) {
    return fail(fmt::format("socket path is too long: {}", path));
  }
  std::memcpy(address.sun_path, path.data(), path.size());
  return address;
}

// A socket left by an instance that ended without cleaning up is removed; a
// live one means another instance serves this application already.
Status clear_stale_socket(const std::string& path, const sockaddr_un& address) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  if (!S_ISSOCK(st.st_mode)) return fail(fmt::format("{} exists and is not a socket", path));
  int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) return fail(fmt::format("socket: {}", errno_text()));
  const bool live =
      ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
  ::close(probe);
  if (live) return fail(fmt::format("another instance is already serving {}", path));
  if (::unlink(path.c_str()) != 0)
    return fail(fmt::format("cannot remove {}: {}", path, errno_text()));
  return {};
}

std::string error_line(std::string_view code, std::string_view message) {
  nlohmann::ordered_json answer = {
      {"id", nullptr}, {"ok", false}, {"error", {{"code", code}, {"message", message}}}};
  return answer.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

struct Client {
  int fd = -1;
  std::string in;
  std::string out;
  std::size_t outstanding = 0;
  // The error that ends the connection, sent after the answers to the
  // requests that came before it.
  std::string closing;
  bool read_closed = false;  // end of input seen, or no more input accepted
  bool failed = false;       // writing failed: drop at once
};

}  // namespace

Result<std::string> automation_socket_path(std::string_view app_id) {
  if (!valid_app_id(app_id)) return fail(fmt::format("invalid application id \"{}\"", app_id));
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
  if (slash == std::string::npos || slash == 0)
    return fail(fmt::format("bad socket path {}", path));
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
  if (t->listen_fd < 0) return fail(fmt::format("socket: {}", errno_text()));
  if (::bind(t->listen_fd, reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) != 0) {
    return fail(fmt::format("cannot bind {}: {}", path, errno_text()));
  }
  struct stat st {};
  if (::chmod(path.c_str(), 0600) != 0 || ::lstat(path.c_str(), &st) != 0) {
    const std::string error = errno_text();
    ::unlink(path.c_str());
    return fail(fmt::format("cannot restrict {}: {}", path, error));
  }
  t->socket_dev = st.st_dev;
  t->socket_ino = st.st_ino;
  if (::listen(t->listen_fd, 16) != 0) return fail(fmt::format("listen: {}", errno_text()));
  t->event_fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (t->event_fd < 0) return fail(fmt::format("eventfd: {}", errno_text()));
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

std::vector<Envelope> AutomationHost::Transport::take(std::size_t max) {
  std::vector<Envelope> taken;
  std::lock_guard lock(mutex);
  while (!inbound.empty() && taken.size() < max) {
    taken.push_back(std::move(inbound.front()));
    inbound.pop_front();
  }
  return taken;
}

bool AutomationHost::Transport::has_requests() const {
  std::lock_guard lock(mutex);
  return !inbound.empty();
}

void AutomationHost::Transport::answer(std::vector<Envelope> answers) {
  if (answers.empty()) return;
  {
    std::lock_guard lock(mutex);
    for (auto& a : answers) outbound.push_back(std::move(a));
  }
  notify();
}

void AutomationHost::Transport::run() {
  std::map<std::uint64_t, Client> clients;
  std::uint64_t next_id = 1;
  bool accept_paused = false;

  auto accept_one = [&] {
    const int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      // Out of descriptors or memory: the waiting connection stays ready, so
      // polling for it again at once would spin; retry a little later.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        accept_paused = true;
      }
      return false;
    }
    ucred peer{};
    socklen_t size = sizeof(peer);
    std::string refusal;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
      refusal = error_line("access_denied", "the connecting process could not be identified");
    } else if (peer.uid != ::geteuid()) {
      refusal = error_line("access_denied", "connections are accepted from the same user only");
      log::warn("kalu::ui", kModule, "automation connection refused",
                {{"op", "accept"}, {"uid", std::to_string(peer.uid)}});
    } else if (clients.size() >= options.max_clients) {
      refusal = error_line("busy", "too many automation clients are connected");
    }
    if (!refusal.empty()) {
      [[maybe_unused]] ssize_t n = ::send(fd, refusal.data(), refusal.size(), MSG_NOSIGNAL);
      ::close(fd);
      return true;
    }
    Client client;
    client.fd = fd;
    clients.emplace(next_id++, std::move(client));
    return true;
  };

  auto queue_error = [](Client& c, std::string_view code, std::string_view message) {
    c.closing = error_line(code, message);
    if (c.outstanding == 0) c.out += std::exchange(c.closing, {});
    c.read_closed = true;
    c.in.clear();
  };

  // Splits complete lines off the input; answers whether anything was queued.
  auto take_lines = [&](std::uint64_t id, Client& c) {
    bool queued = false;
    std::size_t start = 0;
    for (;;) {
      const auto end = c.in.find('\n', start);
      if (end == std::string::npos) break;
      std::string line = c.in.substr(start, end - start);
      start = end + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.size() > options.max_line_bytes) {
        queue_error(c, "line_too_long",
                    fmt::format("request lines are limited to {} bytes", options.max_line_bytes));
        return queued;
      }
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      {
        std::lock_guard lock(mutex);
        inbound.push_back(Envelope{id, std::move(line)});
      }
      ++c.outstanding;
      queued = true;
    }
    c.in.erase(0, start);
    if (c.in.size() > options.max_line_bytes) {
      queue_error(c, "line_too_long",
                  fmt::format("request lines are limited to {} bytes", options.max_line_bytes));
    }
    return queued;
  };

  std::vector<pollfd> fds;
  std::vector<std::uint64_t> ids;
  while (!stopping) {
    fds.clear();
    ids.clear();
    fds.push_back({event_fd, POLLIN, 0});
    fds.push_back({listen_fd, static_cast<short>(accept_paused ? 0 : POLLIN), 0});
    for (auto& [id, c] : clients) {
      short events = 0;
      if (!c.read_closed && c.outstanding < options.max_outstanding_per_client &&
          c.out.size() < kPauseReadingBytes) {
        events |= POLLIN;
      }
      if (!c.out.empty()) events |= POLLOUT;
      fds.push_back({c.fd, events, 0});
      ids.push_back(id);
    }
    const int timeout_ms = accept_paused ? kAcceptRetryMs : -1;
    accept_paused = false;
    if (::poll(fds.data(), fds.size(), timeout_ms) < 0) {
      if (errno == EINTR) continue;
      log::warn("kalu::ui", kModule, "automation transport stopped", {{"error", errno_text()}});
      break;
    }
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] ssize_t n = ::read(event_fd, &count, sizeof(count));
    }
    // Answers first, so that a client's outstanding count drops before its
    // input is read again.
    std::deque<Envelope> answers;
    {
      std::lock_guard lock(mutex);
      answers.swap(outbound);
    }
    for (auto& a : answers) {
      auto it = clients.find(a.client);
      if (it == clients.end()) continue;  // the client left: its answer is dropped
      Client& c = it->second;
      if (c.outstanding > 0) --c.outstanding;
      c.out += a.line;
      c.out += '\n';
      if (c.outstanding == 0) c.out += std::exchange(c.closing, {});
      if (c.out.size() > kMaxAnswerBacklog) c.failed = true;  // it does not read its answers
    }
    if (fds[1].revents & POLLIN) {
      while (accept_one()) {
      }
    }
    bool queued = false;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      auto it = clients.find(ids[i]);
      if (it == clients.end()) continue;
      Client& c = it->second;
      const short revents = fds[i + 2].revents;
      // Hung up in both directions: nobody will read what is left to answer.
      if ((revents & (POLLHUP | POLLERR)) && c.read_closed) c.failed = true;
      if ((revents & (POLLIN | POLLHUP | POLLERR)) && !c.read_closed) {
        char chunk[65536];
        const ssize_t n = ::recv(c.fd, chunk, sizeof(chunk), 0);
        if (n > 0) {
          c.in.append(chunk, static_cast<std::size_t>(n));
          queued = take_lines(ids[i], c) || queued;
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
          // A line left unfinished at the end of input is a request the
          // client gave up on: it is dropped.
          c.read_closed = true;
          c.in.clear();
        }
      }
      if (!c.out.empty() && !c.failed) {
        const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n > 0) {
          c.out.erase(0, static_cast<std::size_t>(n));
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
          c.failed = true;
        }
      }
    }
    for (auto it = clients.begin(); it != clients.end();) {
      Client& c = it->second;
      const bool done = c.read_closed && c.outstanding == 0 && c.out.empty();
      if (c.failed || done) {
        ::close(c.fd);
        it = clients.erase(it);
      } else {
        ++it;
      }
    }
    if (queued) wake.wake();
  }
  for (auto& [id, c] : clients) ::close(c.fd);
}

}  // namespace kalu_ui::host
