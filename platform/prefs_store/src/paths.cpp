#include "prefs_store/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

namespace prefs_store {
namespace {

namespace fs = std::filesystem;

std::mutex override_mutex;
std::optional<fs::path> dir_override;  // set: answers it; an empty path means "none"

std::optional<fs::path> env_path(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return fs::path(value);
}

std::optional<fs::path> home_dir() {
  if (auto home = env_path("HOME")) return home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return fs::path(found->pw_dir);
  }
  return std::nullopt;
}

// The absolute entries of a ":"-separated list; relative ones are invalid by
// the XDG rules and ignored.
std::vector<fs::path> env_path_list(const char* name, std::vector<fs::path> fallback) {
  const char* value = std::getenv(name);
  std::vector<fs::path> dirs;
  std::string_view rest = value == nullptr ? std::string_view() : std::string_view(value);
  while (!rest.empty()) {
    const auto colon = rest.find(':');
    const std::string_view entry = rest.substr(0, colon);
    if (!entry.empty() && entry.front() == '/') dirs.emplace_back(entry);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return dirs.empty() ? fallback : dirs;
}

}  // namespace

std::optional<fs::path> config_dir() {
  {
    std::lock_guard lock(override_mutex);
    if (dir_override) {
      if (dir_override->empty()) return std::nullopt;
      return *dir_override;
    }
  }
  // A relative XDG_CONFIG_HOME is invalid by the XDG rules and ignored.
  if (auto xdg = env_path("XDG_CONFIG_HOME"); xdg && xdg->is_absolute()) return xdg;
  if (auto home = home_dir()) return *home / ".config";
  return std::nullopt;
}

std::optional<fs::path> data_dir() {
  if (auto xdg = env_path("XDG_DATA_HOME"); xdg && xdg->is_absolute()) return xdg;
  if (auto home = home_dir()) return *home / ".local" / "share";
  return std::nullopt;
}

std::vector<fs::path> data_dirs() {
  return env_path_list("XDG_DATA_DIRS", {"/usr/local/share", "/usr/share"});
}

std::vector<fs::path> config_dirs() { return env_path_list("XDG_CONFIG_DIRS", {"/etc/xdg"}); }

std::optional<fs::path> cache_dir() {
  if (auto xdg = env_path("XDG_CACHE_HOME"); xdg && xdg->is_absolute()) return xdg;
  if (auto home = home_dir()) return *home / ".cache";
  return std::nullopt;
}

std::optional<fs::path> config_path(const fs::path& relative) {
  auto dir = config_dir();
  if (!dir) return std::nullopt;
  return *dir / "kalu" / relative;
}

std::optional<fs::path> settings_path() { return config_path("settings.json"); }

ScopedConfigDir::ScopedConfigDir(fs::path dir) {
  std::lock_guard lock(override_mutex);
  previous_ = std::exchange(dir_override, std::move(dir));
}

ScopedConfigDir::~ScopedConfigDir() {
  std::lock_guard lock(override_mutex);
  dir_override = std::move(previous_);
}

}  // namespace prefs_store
