#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

// Reading the store's files: regular files only, opened without blocking,
// bounded (safe_write/read.h). Errors are the reason alone, without the path; read_error makes
// the message a reader answers.
namespace prefs_store::detail {

// The store's warnings are logged under this target.
inline constexpr std::string_view kLogTarget = "kalu::prefs_store";

// The reason given for a file past `max_bytes`.
std::string too_large(std::size_t max_bytes);

// The whole regular file at `path` (nothing when there is none), read
// through safe_write's bounded reader; a file whose size is past `max_bytes`
// fails before a byte is read.
kalu_ui::Result<std::optional<std::string>> read_file(const std::filesystem::path& path,
                                                      std::size_t max_bytes);

// The message of a failed read of `path`: "settings document could not be
// read: <reason>" for the settings document, else "could not read <path>:
// <reason>".
std::string read_error(const std::filesystem::path& path, std::string_view reason);

}  // namespace prefs_store::detail
