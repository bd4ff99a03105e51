#include "host_fs/client.h"

#include <fmt/format.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>

#include "host_fs/protocol.h"
#include "simulated.h"
#include "socket.h"

namespace host_fs {
namespace {

namespace fs = std::filesystem;
using detail::errno_text;

constexpr const char* kClosedText = "the storage service closed the connection without answering";

bool system_device() {
  const char* device = std::getenv("KALU_DEVICE");
  return device != nullptr && std::string_view(device) == "system";
}

std::unexpected<ServiceError> failed(std::string message) {
  return std::unexpected(ServiceError{ServiceError::Kind::Failed, std::move(message)});
}

std::unexpected<ServiceError> closed() {
  return std::unexpected(ServiceError{ServiceError::Kind::Closed, kClosedText});
}

bool connection_lost(int error) { return error == EPIPE || error == ECONNRESET; }

}  // namespace

kalu_ui::Result<fs::path> device_socket_path() {
  if (system_device()) return fs::path(kSystemSocket);
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime == nullptr || runtime[0] != '/') {
    return kalu_ui::fail("XDG_RUNTIME_DIR is not set to an absolute directory");
  }
  return fs::path(runtime) / "kalu" / "fs-storage.sock";
}

ServiceResult<StorageClient> StorageClient::connect(const fs::path& socket) {
  auto address = detail::unix_address(socket);
  if (!address) return failed(address.error());
  detail::Fd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.get() < 0) return failed(fmt::format("cannot make a socket: {}", errno_text(errno)));
  // Bounds the connect on a full backlog and every later write.
  const timeval limit{30, 0};
  ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  if (::connect(fd.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof *address) != 0) {
    return failed(fmt::format("cannot connect to {}: {}", socket.string(), errno_text(errno)));
  }
  return StorageClient(fd.release());
}

ServiceResult<StorageClient> StorageClient::connect_device() {
  auto path = device_socket_path();
  if (!path) return failed(path.error());
  auto client = connect(*path);
  if (client || system_device()) return client;
  // The simulated device's service runs in the first process that needs it.
  // Another process may have started it meanwhile, so connect either way.
  const auto started = detail::ensure_simulated_service(*path);
  client = connect(*path);
  if (!client && !started) return failed(started.error());
  return client;
}

StorageClient::StorageClient(StorageClient&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)),
      pending_(std::move(other.pending_)),
      timeout_(other.timeout_) {}

StorageClient& StorageClient::operator=(StorageClient&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    pending_ = std::move(other.pending_);
    timeout_ = other.timeout_;
  }
  return *this;
}

StorageClient::~StorageClient() {
  if (fd_ >= 0) ::close(fd_);
}

ServiceResult<std::string> StorageClient::exchange(const std::string& request) {
  if (fd_ < 0) return failed("the connection to the storage service is closed");
  // A connection that failed once is not trusted with a second request.
  auto give_up = [this](std::unexpected<ServiceError> error) {
    ::close(std::exchange(fd_, -1));
    return error;
  };

  const std::string line = request + "\n";
  for (std::size_t sent = 0; sent < line.size();) {
    const ssize_t n = ::send(fd_, line.data() + sent, line.size() - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (connection_lost(errno)) return give_up(closed());
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        return give_up(failed("the storage service does not take the request"));
      }
      return give_up(
          failed(fmt::format("cannot write to the storage service: {}", errno_text(errno))));
    }
    sent += static_cast<std::size_t>(n);
  }

  const auto deadline = std::chrono::steady_clock::now() + timeout_;
  while (true) {
    if (const auto end = pending_.find('\n'); end != std::string::npos) {
      std::string answer = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return answer;
    }
    if (pending_.size() > protocol::kMaxLineBytes) {
      return give_up(failed("the storage service sent an answer that is too long"));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd poll_fd{fd_, POLLIN, 0};
    const int ready = left.count() > 0 ? ::poll(&poll_fd, 1, static_cast<int>(left.count())) : 0;
    if (ready < 0) {
      if (errno == EINTR) continue;
      return give_up(
          failed(fmt::format("cannot wait for the storage service: {}", errno_text(errno))));
    }
    if (ready == 0) {
      return give_up(failed(fmt::format("the storage service did not answer within {:g} seconds",
                                        static_cast<double>(timeout_.count()) / 1000.0)));
    }
    char buffer[65536];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0) return give_up(closed());
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      if (connection_lost(errno)) return give_up(closed());
      return give_up(
          failed(fmt::format("cannot read from the storage service: {}", errno_text(errno))));
    }
    pending_.append(buffer, static_cast<std::size_t>(n));
  }
}

ServiceResult<SyncedSnapshot> StorageClient::snapshot() {
  auto answer = exchange(protocol::encode_request(protocol::SnapshotRequest{}));
  if (!answer) return std::unexpected(std::move(answer.error()));
  return protocol::decode_snapshot_answer(*answer);
}

ServiceResult<ReclamationReport> StorageClient::evict(std::span<const EvictionSelection> files) {
  protocol::EvictRequest request;
  request.files.assign(files.begin(), files.end());
  auto answer = exchange(protocol::encode_request(request));
  if (!answer) return std::unexpected(std::move(answer.error()));
  return protocol::decode_eviction_answer(*answer);
}

}  // namespace host_fs
