#include "relay_paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <system_error>
#include <string_view>
#include <vector>

namespace kalu_relay::detail {
namespace {

namespace fs = std::filesystem;

std::optional<fs::path> home_dir() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return fs::path(home);
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return fs::path(found->pw_dir);
  }
  return std::nullopt;
}

}  // namespace

bool system_device() {
  const char* device = std::getenv("KALU_DEVICE");
  return device != nullptr && std::string_view(device) == "system";
}

fs::path simulated_device_dir() {
  if (const char* state = std::getenv("KALU_DEVICE_STATE"); state != nullptr && *state != '\0') {
    std::error_code error;
    fs::path file = fs::absolute(state, error);
    return (error ? fs::path(state) : file).parent_path();
  }
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') {
    return fs::path(xdg) / "kalu";
  }
  if (auto home = home_dir()) return *home / ".local" / "state" / "kalu";
  return fs::path(".local/state/kalu");
}

}  // namespace kalu_relay::detail
