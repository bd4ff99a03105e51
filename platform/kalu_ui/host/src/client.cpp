#include <fmt/format.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include "kalu_ui/host_client.h"

namespace kalu_ui::host {

namespace {
// Answers (a tree of every resource) can be large, but not without bound.
constexpr std::size_t kMaxAnswerBytes = std::size_t{64} << 20;
}  // namespace

std::expected<Connection, ConnectError> Connection::open(const std::string& socket_path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (socket_path.empty() || socket_path.size() >= sizeof(address.sun_path)) {
    return std::unexpected(ConnectError{false, fmt::format("bad socket path {}", socket_path)});
  }
  std::memcpy(address.sun_path, socket_path.data(), socket_path.size());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    return std::unexpected(ConnectError{false, fmt::format("socket: {}", std::strerror(errno))});
  }
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    const int error = errno;
    ::close(fd);
    return std::unexpected(
        ConnectError{error == EACCES || error == EPERM,
                     fmt::format("cannot connect to {}: {}", socket_path, std::strerror(error))});
  }
  return Connection(fd);
}

Connection::Connection(Connection&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), buffer_(std::move(other.buffer_)) {}

Connection& Connection::operator=(Connection&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    buffer_ = std::move(other.buffer_);
  }
  return *this;
}

Connection::~Connection() { close(); }

void Connection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

Status Connection::send(std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail("cannot send: {}", std::strerror(errno));
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return {};
}

Result<std::string> Connection::read_line(int timeout_ms) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    if (auto end = buffer_.find('\n'); end != std::string::npos) {
      std::string line = buffer_.substr(0, end);
      buffer_.erase(0, end + 1);
      return line;
    }
    if (buffer_.size() > kMaxAnswerBytes) return fail("answer is too long");
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return fail("no answer in time");
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) return fail("poll: {}", std::strerror(errno));
    if (ready <= 0) continue;
    char chunk[65536];
    const ssize_t n = ::recv(fd_, chunk, sizeof(chunk), 0);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return fail("cannot read: {}", std::strerror(errno));
    }
    if (n == 0) return fail("the application closed the connection");
    buffer_.append(chunk, static_cast<std::size_t>(n));
  }
}

Result<std::string> Connection::request(std::string_view line, int timeout_ms) {
  std::string framed(line);
  framed += '\n';
  if (auto sent = send(framed); !sent) {
    // The application may have answered and closed before reading (a refused
    // connection): its answer is worth more than the broken pipe.
    if (auto answer = read_line(std::min(timeout_ms, 1000))) return answer;
    return std::unexpected(sent.error());
  }
  return read_line(timeout_ms);
}

}  // namespace kalu_ui::host
