#pragma once

#include <expected>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

// The client side of the automation transport: one connection to an
// application's socket, speaking newline-delimited JSON.
namespace kalu_ui::host {

struct ConnectError {
  // The system refused the connection for want of permission (another
  // user's socket); other failures (no such socket, nobody listening) are not.
  bool access_denied = false;
  std::string message;
};

class Connection {
 public:
  static std::expected<Connection, ConnectError> open(const std::string& socket_path);

  Connection(Connection&& other) noexcept;
  Connection& operator=(Connection&& other) noexcept;
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection();

  // Sends the bytes as they are; a request is one line ending in "\n".
  Status send(std::string_view bytes);
  // The next line without its "\n", waiting at most `timeout_ms`; the end of
  // the connection before a full line is an error.
  Result<std::string> read_line(int timeout_ms);
  // One request line and its answer.
  Result<std::string> request(std::string_view line, int timeout_ms);
  void close();

 private:
  explicit Connection(int fd) : fd_(fd) {}
  int fd_ = -1;
  std::string buffer_;
};

}  // namespace kalu_ui::host
