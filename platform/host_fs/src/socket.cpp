#include "socket.h"

#include <fmt/format.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace host_fs::detail {

std::string errno_text(int error) { return std::strerror(error); }

kalu_ui::Result<sockaddr_un> unix_address(const std::filesystem::path& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string& text = path.native();
  if (text.empty() || text.size() >= sizeof(address.sun_path)) {
    return kalu_ui::fail("the socket path {} is too long", text);
  }
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return address;
}

}  // namespace host_fs::detail
