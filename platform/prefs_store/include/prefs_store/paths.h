#pragma once

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

// Where the user's configuration files live. The configuration directory
// follows the XDG rules: $XDG_CONFIG_HOME when it is set to an absolute path,
// else ".config" under the home directory ($HOME, else the password
// database's entry for this user); nothing when neither is known. The
// program's own files sit in the folder "kalu" below it.
namespace prefs_store {

// The user's configuration directory (not yet the program's folder).
std::optional<std::filesystem::path> config_dir();

// The user's data directory: $XDG_DATA_HOME when it is set to an absolute
// path, else ".local/share" under the home directory; nothing when neither
// is known.
std::optional<std::filesystem::path> data_dir();

// The system's data directories, most important first: the absolute entries
// of $XDG_DATA_DIRS (":"-separated), or "/usr/local/share" and "/usr/share"
// when it names none.
std::vector<std::filesystem::path> data_dirs();

// The system's configuration directories, most important first: the absolute
// entries of $XDG_CONFIG_DIRS, or "/etc/xdg" when it names none.
std::vector<std::filesystem::path> config_dirs();

// The user's cache directory: $XDG_CACHE_HOME when it is set to an absolute
// path, else ".cache" under the home directory; nothing when neither is known.
std::optional<std::filesystem::path> cache_dir();

// `relative` under the program's folder: "<config dir>/kalu/<relative>".
std::optional<std::filesystem::path> config_path(const std::filesystem::path& relative);

// The settings document: "<config dir>/kalu/settings.json".
std::optional<std::filesystem::path> settings_path();

// Makes `config_dir` answer `dir` for the guard's lifetime, whatever the
// environment says; an empty path stands for a platform without a
// configuration directory. Tests use it to keep their files in a temporary
// directory. Process-wide; guards nest.
class ScopedConfigDir {
 public:
  explicit ScopedConfigDir(std::filesystem::path dir);
  ~ScopedConfigDir();
  ScopedConfigDir(const ScopedConfigDir&) = delete;
  ScopedConfigDir& operator=(const ScopedConfigDir&) = delete;

 private:
  std::optional<std::filesystem::path> previous_;
};

}  // namespace prefs_store
