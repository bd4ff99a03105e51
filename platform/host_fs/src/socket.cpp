#include "socket.h"

#include <fmt/format.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <utility>

namespace host_fs::detail {

std::string errno_text(int error) { return std::strerror(error); }

kalu_ui::Result<sockaddr_un> unix_address(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.empty() || text.size() >= sizeof(address.sun_path)) {
    return kalu_ui::fail(fmt::format("the socket path {} is too long", text));
  }
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

Fd& Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.release();
  }
  return *this;
}

Fd::~Fd() {
  if (fd_ >= 0) ::close(fd_);
}

int Fd::release() { return std::exchange(fd_, -1); }

}  // namespace host_fs::detail
