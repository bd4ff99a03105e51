#pragma once

#include <sys/socket.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// TCP streams as the standard network facilities give them: name resolution
// through the system resolver, a connection attempt bounded by a timeout, and
// read and write timeouts on the connected socket. Everything here blocks the
// calling thread; callers run it on worker threads.
namespace kalu_net {

// One resolved address of a host (IPv4 or IPv6) with its port.
struct SocketAddress {
  sockaddr_storage storage{};
  socklen_t length = 0;

  // "192.0.2.1:993" or "[2001:db8::1]:993".
  std::string to_string() const;
};

// The addresses of `host` for a TCP connection to `port`, in the resolver's
// order. The error is the resolver's own text. May take as long as the
// system resolver takes (there is no timeout here).
kalu_ui::Result<std::vector<SocketAddress>> resolve(const std::string& host, std::uint16_t port);

// A connected TCP socket; closes it when destroyed. Move-only.
class TcpStream {
 public:
  TcpStream() = default;
  ~TcpStream();
  TcpStream(TcpStream&& other) noexcept;
  TcpStream& operator=(TcpStream&& other) noexcept;
  TcpStream(const TcpStream&) = delete;
  TcpStream& operator=(const TcpStream&) = delete;

  // Connects within `timeout` (which must be above zero). The error is the
  // system's text for the failure ("Connection refused"), or "connection
  // timed out".
  static kalu_ui::Result<TcpStream> connect(const SocketAddress& address,
                                            std::chrono::milliseconds timeout);

  // A blocked read or write gives up after `timeout` with an error. A zero
  // timeout would mean "wait for ever" to the system, so it is refused.
  kalu_ui::Status set_read_timeout(std::chrono::milliseconds timeout);
  kalu_ui::Status set_write_timeout(std::chrono::milliseconds timeout);

  int fd() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }

 private:
  explicit TcpStream(int fd) : fd_(fd) {}
  void close();
  int fd_ = -1;
};

}  // namespace kalu_net
