#pragma once

#include <stdlib.h>

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "prefs_store/paths.h"

// For tests and benchmarks: a configuration directory of their own, made
// empty under the temporary folder, in force (ScopedConfigDir) for the
// guard's lifetime and removed with everything in it afterwards.
namespace prefs_store::testing {

class TempConfigDir {
 public:
  explicit TempConfigDir(std::string_view prefix = "kalu-config") : dir_(make(prefix)) {
    scope_.emplace(dir_);
  }
  ~TempConfigDir() {
    scope_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempConfigDir(const TempConfigDir&) = delete;
  TempConfigDir& operator=(const TempConfigDir&) = delete;

  const std::filesystem::path& path() const { return dir_; }
  // Nothing was written into it.
  bool untouched() const { return std::filesystem::is_empty(dir_); }

 private:
  static std::filesystem::path make(std::string_view prefix) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string(prefix) + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) return {};
    return pattern;
  }

  std::filesystem::path dir_;
  std::optional<ScopedConfigDir> scope_;
};

}  // namespace prefs_store::testing
