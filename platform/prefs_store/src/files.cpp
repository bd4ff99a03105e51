#include "files.h"

#include <fmt/format.h>

#include "prefs_store/paths.h"
#include "safe_write/read.h"

namespace prefs_store::detail {

using kalu_ui::Result;

std::string too_large(std::size_t max_bytes) { return safe_write::too_large(max_bytes); }

Result<std::optional<std::string>> read_file(const std::filesystem::path& path,
                                             std::size_t max_bytes) {
  return safe_write::read_bounded(path, max_bytes);
}

std::string read_error(const std::filesystem::path& path, std::string_view reason) {
  if (path == settings_path()) {
    return fmt::format("settings document could not be read: {}", reason);
  }
  return fmt::format("could not read {}: {}", path.string(), reason);
}

}  // namespace prefs_store::detail
