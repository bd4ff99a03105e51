#include "kalu_net/tcp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <utility>

namespace kalu_net {

namespace {

std::string os_error_text(int error) { return std::system_category().message(error); }

kalu_ui::Status set_timeout(int fd, int option, std::chrono::milliseconds timeout) {
  if (timeout <= std::chrono::milliseconds::zero()) {
    return kalu_ui::fail("cannot set a zero duration timeout");
  }
  timeval value{};
  value.tv_sec = static_cast<time_t>(timeout.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
  if (::setsockopt(fd, SOL_SOCKET, option, &value, sizeof value) != 0) {
    return kalu_ui::fail(os_error_text(errno));
  }
  return {};
}

// Waits until the non-blocking connection on `fd` completes or `timeout`
// passes; answers 0 or the error number (ETIMEDOUT when the time ran out).
int wait_for_connection(int fd, std::chrono::milliseconds timeout) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left <= std::chrono::milliseconds::zero()) return ETIMEDOUT;
    pollfd entry{fd, POLLOUT, 0};
    int ready = ::poll(&entry, 1, static_cast<int>(std::min<long long>(left.count(), 1 << 30)));
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return errno;
    if (ready == 0) continue;  // the loop head sees the deadline
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
    return error;
  }
}

}  // namespace

std::string SocketAddress::to_string() const {
  char host[INET6_ADDRSTRLEN] = {};
  if (storage.ss_family == AF_INET6) {
    const auto& in6 = reinterpret_cast<const sockaddr_in6&>(storage);
    ::inet_ntop(AF_INET6, &in6.sin6_addr, host, sizeof host);
    return fmt::format("[{}]:{}", host, ntohs(in6.sin6_port));
  }
  const auto& in4 = reinterpret_cast<const sockaddr_in&>(storage);
  ::inet_ntop(AF_INET, &in4.sin_addr, host, sizeof host);
  return fmt::format("{}:{}", host, ntohs(in4.sin_port));
}

kalu_ui::Result<std::vector<SocketAddress>> resolve(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICSERV;
  addrinfo* found = nullptr;
  std::string service = std::to_string(port);
  int status = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &found);
  if (status != 0) {
    return kalu_ui::fail(status == EAI_SYSTEM ? os_error_text(errno) : ::gai_strerror(status));
  }
  std::vector<SocketAddress> addresses;
  for (addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_addrlen > sizeof(sockaddr_storage)) continue;
    SocketAddress address;
    std::memcpy(&address.storage, entry->ai_addr, entry->ai_addrlen);
    address.length = entry->ai_addrlen;
    addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  return addresses;
}

TcpStream::~TcpStream() { close(); }

TcpStream::TcpStream(TcpStream&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

TcpStream& TcpStream::operator=(TcpStream&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

void TcpStream::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

kalu_ui::Result<TcpStream> TcpStream::connect(const SocketAddress& address,
                                              std::chrono::milliseconds timeout) {
  if (timeout <= std::chrono::milliseconds::zero()) return kalu_ui::fail("connection timed out");
  int fd = ::socket(address.storage.ss_family, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return kalu_ui::fail(os_error_text(errno));
  TcpStream stream(fd);
  int error = 0;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address.storage), address.length) != 0) {
    error = errno == EINPROGRESS ? wait_for_connection(fd, timeout) : errno;
  }
  if (error == ETIMEDOUT) return kalu_ui::fail("connection timed out");
  if (error != 0) return kalu_ui::fail(os_error_text(error));
  // Back to blocking: reads and writes are bounded by the socket timeouts.
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
    return kalu_ui::fail(os_error_text(errno));
  }
  return stream;
}

kalu_ui::Status TcpStream::set_read_timeout(std::chrono::milliseconds timeout) {
  return set_timeout(fd_, SO_RCVTIMEO, timeout);
}

kalu_ui::Status TcpStream::set_write_timeout(std::chrono::milliseconds timeout) {
  return set_timeout(fd_, SO_SNDTIMEO, timeout);
}

}  // namespace kalu_net
