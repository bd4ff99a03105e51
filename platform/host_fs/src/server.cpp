#include "host_fs/server.h"

#include <fmt/format.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

#include "host_fs/protocol.h"
#include "socket.h"

namespace host_fs {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using detail::errno_text;
using detail::Fd;

constexpr std::size_t kMaxConnections = 16;
constexpr auto kIdleLimit = std::chrono::seconds(30);

struct Connection {
  Fd fd;
  std::string in;
  std::string out;
  bool close_when_sent = false;
  bool dead = false;
  Clock::time_point last_active = Clock::now();
};

// Makes the missing folders of `dir`, each private to the user.
kalu_ui::Status make_private_dirs(const fs::path& dir) {
  if (dir.empty() || fs::is_directory(dir)) return {};
  if (auto parent = make_private_dirs(dir.parent_path()); !parent) return parent;
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
    return kalu_ui::fail("cannot make {}: {}", dir.string(), errno_text(errno));
  }
  return {};
}

// Removes a socket file that no server answers on any more.
kalu_ui::Status clear_stale_socket(const fs::path& path, const sockaddr_un& address) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return {};
  if (!S_ISSOCK(st.st_mode)) {
    return kalu_ui::fail("{} exists and is not a socket", path.string());
  }
  const Fd probe(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (probe.get() >= 0 &&
      ::connect(probe.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
    return kalu_ui::fail("a storage service already answers on {}", path.string());
  }
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
    return kalu_ui::fail("cannot replace {}: {}", path.string(), errno_text(errno));
  }
  return {};
}

std::string answer_line(const LineHandler& handler, std::string_view request, bool& close) {
  try {
    auto answer = handler(request);
    if (!answer) {
      close = true;
      return {};
    }
    return *answer + "\n";
  } catch (...) {
    return protocol::encode_error("the storage service failed to answer") + "\n";
  }
}

}  // namespace

struct StorageServer::Impl {
  fs::path path;
  LineHandler handler;
  Fd listen_fd;
  Fd event_fd;
  dev_t socket_dev = 0;
  ino_t socket_ino = 0;
  std::atomic<bool> stopping{false};
  std::thread thread;

  ~Impl() {
    if (thread.joinable()) {
      stopping = true;
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t n = ::write(event_fd.get(), &one, sizeof one);
      thread.join();
    }
    // Only our own socket is removed, not one a later server put there.
    struct stat st {};
    if (listen_fd.get() >= 0 && ::lstat(path.c_str(), &st) == 0 && st.st_dev == socket_dev &&
        st.st_ino == socket_ino) {
      ::unlink(path.c_str());
    }
  }

  void accept_one(std::vector<Connection>& connections) {
    Fd fd(::accept4(listen_fd.get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
    if (fd.get() < 0) return;
    ucred peer{};
    socklen_t size = sizeof peer;
    if (::getsockopt(fd.get(), SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        peer.uid != ::geteuid()) {
      return;  // only the same user is served
    }
    Connection connection;
    connection.fd = std::move(fd);
    connections.push_back(std::move(connection));
  }

  void read_from(Connection& c) {
    char buffer[65536];
    while (true) {
      const ssize_t n = ::recv(c.fd.get(), buffer, sizeof buffer, 0);
      if (n > 0) {
        c.in.append(buffer, static_cast<std::size_t>(n));
        c.last_active = Clock::now();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
      c.close_when_sent = true;  // end of input, or the connection broke
      break;
    }
    for (auto end = c.in.find('\n'); end != std::string::npos; end = c.in.find('\n')) {
      const std::string request = c.in.substr(0, end);
      c.in.erase(0, end + 1);
      bool close = false;
      c.out += answer_line(handler, request, close);
      if (close) {
        c.dead = true;
        return;
      }
    }
    if (c.in.size() > protocol::kMaxLineBytes) {
      c.out += protocol::encode_error("the request is too long") + "\n";
      c.in.clear();
      c.close_when_sent = true;
    }
  }

  void write_to(Connection& c) {
    while (!c.out.empty()) {
      const ssize_t n = ::send(c.fd.get(), c.out.data(), c.out.size(), MSG_NOSIGNAL);
      if (n > 0) {
        c.out.erase(0, static_cast<std::size_t>(n));
        c.last_active = Clock::now();
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      c.dead = true;
      return;
    }
    if (c.close_when_sent) c.dead = true;
  }

  void run() {
    ::pthread_setname_np(::pthread_self(), "kalu-fs-storage");
    std::vector<Connection> connections;
    std::vector<pollfd> fds;
    while (!stopping) {
      fds.clear();
      fds.push_back({event_fd.get(), POLLIN, 0});
      fds.push_back({listen_fd.get(),
                     static_cast<short>(connections.size() < kMaxConnections ? POLLIN : 0), 0});
      auto wait = std::chrono::milliseconds(-1);
      const auto now = Clock::now();
      for (const Connection& c : connections) {
        // After the end of its input a connection is only written to: its
        // socket would otherwise report readable at every turn.
        const short want =
            static_cast<short>((c.close_when_sent ? 0 : POLLIN) | (c.out.empty() ? 0 : POLLOUT));
        fds.push_back({c.fd.get(), want, 0});
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(c.last_active + kIdleLimit - now);
        if (wait.count() < 0 || left < wait) wait = std::max(left, std::chrono::milliseconds(0));
      }
      if (::poll(fds.data(), fds.size(), static_cast<int>(wait.count())) < 0 && errno != EINTR) {
        break;
      }
      if (fds[0].revents != 0) break;
      for (std::size_t i = 0; i < connections.size(); ++i) {
        Connection& c = connections[i];
        const short events = fds[i + 2].revents;
        if (!c.close_when_sent && (events & (POLLIN | POLLHUP | POLLERR))) read_from(c);
        if (!c.dead) write_to(c);
        if (Clock::now() - c.last_active >= kIdleLimit) c.dead = true;
      }
      std::erase_if(connections, [](const Connection& c) { return c.dead; });
      if (fds[1].revents & POLLIN) accept_one(connections);
    }
  }
};

LineHandler backend_handler(std::shared_ptr<StorageBackend> backend) {
  return [backend = std::move(backend)](std::string_view line) -> std::optional<std::string> {
    auto request = protocol::decode_request(line);
    if (!request) return protocol::encode_error(request.error());
    if (const auto* evict = std::get_if<protocol::EvictRequest>(&*request)) {
      return protocol::encode_answer(backend->evict(evict->files));
    }
    return protocol::encode_answer(backend->snapshot());
  };
}

StorageServer::StorageServer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

StorageServer::~StorageServer() = default;

const fs::path& StorageServer::path() const { return impl_->path; }

kalu_ui::Result<std::unique_ptr<StorageServer>> StorageServer::start(const fs::path& socket,
                                                                     LineHandler handler) {
  auto address = detail::unix_address(socket);
  if (!address) return std::unexpected(address.error());
  if (auto dirs = make_private_dirs(socket.parent_path()); !dirs) {
    return std::unexpected(dirs.error());
  }
  if (auto cleared = clear_stale_socket(socket, *address); !cleared) {
    return std::unexpected(cleared.error());
  }
  auto impl = std::make_unique<Impl>();
  impl->path = socket;
  impl->handler = std::move(handler);
  impl->listen_fd = Fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (impl->listen_fd.get() < 0) {
    return kalu_ui::fail("cannot make a socket: {}", errno_text(errno));
  }
  if (::bind(impl->listen_fd.get(), reinterpret_cast<const sockaddr*>(&*address),
             sizeof *address) != 0) {
    return kalu_ui::fail("cannot bind {}: {}", socket.string(), errno_text(errno));
  }
  struct stat st {};
  if (::chmod(socket.c_str(), 0600) != 0 || ::lstat(socket.c_str(), &st) != 0) {
    const std::string error = errno_text(errno);
    ::unlink(socket.c_str());
    return kalu_ui::fail("cannot restrict {}: {}", socket.string(), error);
  }
  impl->socket_dev = st.st_dev;
  impl->socket_ino = st.st_ino;
  if (::listen(impl->listen_fd.get(), 16) != 0) {
    return kalu_ui::fail("cannot listen on {}: {}", socket.string(), errno_text(errno));
  }
  impl->event_fd = Fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (impl->event_fd.get() < 0) {
    return kalu_ui::fail("cannot make an event: {}", errno_text(errno));
  }
  Impl* raw = impl.get();
  try {
    impl->thread = std::thread([raw] { raw->run(); });
  } catch (const std::system_error& error) {
    return kalu_ui::fail("cannot start the storage service thread: {}", error.what());
  }
  return std::unique_ptr<StorageServer>(new StorageServer(std::move(impl)));
}

kalu_ui::Result<std::unique_ptr<StorageServer>> StorageServer::start(
    const fs::path& socket, std::shared_ptr<StorageBackend> backend) {
  return start(socket, backend_handler(std::move(backend)));
}

}  // namespace host_fs
