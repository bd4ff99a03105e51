#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

// Reading and updating JSON documents of the configuration directory, above
// all the settings document, which several writers share section by section.
//
// Reads distinguish a missing file (an empty document: nothing stored yet)
// from a file that exists but cannot be read (no permission, a directory in
// its place, an I/O error). The latter is an error and an update then writes
// nothing, so a passing fault never replaces the user's settings with a
// near-empty file. Every write is atomic (safe_write): an interrupted update
// leaves the previous document.
//
// A document whose arrays and objects nest deeper than kMaxNesting levels is
// unreadable in the same way: parse and the loads refuse it, and an update
// fails and leaves the file as it is. Settings nest a few levels; the limit
// keeps a foreign member nested thousands deep from exhausting the stack of
// the reader and printer, or growing the file by hundreds of megabytes on
// every rewrite.
namespace prefs_store {

using Json = nlohmann::ordered_json;

// The whole file as text; nothing when it does not exist; an error for any
// other failure to read it, and for a file longer than `max_bytes` (read no
// further than one byte past the limit).
kalu_ui::Result<std::optional<std::string>> read_text(
    const std::filesystem::path& path, std::size_t max_bytes = static_cast<std::size_t>(-1));

inline constexpr std::size_t kMaxNesting = 128;

// True when arrays and objects in `text` nest deeper than kMaxNesting (the
// top-level container is level 1). Reads text that is not JSON as far as it
// goes; brackets inside strings do not count.
bool nests_too_deep(std::string_view text);

// Parses document text; the error says why it is not JSON, or that it nests
// too deep. Never throws.
kalu_ui::Result<Json> parse(std::string_view text);

// The pretty form every settings file is written in: two-space indent, key
// order kept, "{}" and "[]" for empty containers, floating values in their
// shortest exact form (1.0 for integral ones), non-finite numbers as null,
// no final newline. Invalid UTF-8 in strings becomes U+FFFD.
std::string pretty(const Json& value);

// Sets each member of the object `members` inside the object under `key` of
// `document`: an existing member is replaced in place, a new one appended.
// `document` becomes an empty object first when it is not one; the section
// becomes an empty object (at its position) when it is missing or not an
// object. Members of the section that `members` does not name are kept, as
// is every other key of the document.
void merge_section(Json& document, std::string_view key, const Json& members);

// The document at `path`: an empty object when the file does not exist; an
// error when it cannot be read or is not JSON.
kalu_ui::Result<Json> load_at(const std::filesystem::path& path);

// The object under `key` of the settings document: an empty object when the
// file, the key or an object value is missing; an error when there is no
// configuration directory or the file cannot be read or parsed.
kalu_ui::Result<Json> load_section(std::string_view key);

// Read-modify-write of one file: creates the missing parent directories
// (process default permissions), reads the current text ("" when the file
// does not exist), and atomically writes what `edit` makes of it. A read
// error, or a current text that nests too deep, fails before anything is
// written.
kalu_ui::Status rewrite_at(const std::filesystem::path& path,
                           const std::function<std::string(std::string_view current)>& edit);

// Merges `members` (an object) into the section `key` of the document at
// `path` with `merge_section`, and writes it back in the pretty form. A
// current text that is not a JSON object starts a fresh object.
kalu_ui::Status update_section_at(const std::filesystem::path& path, std::string_view key,
                                  const Json& members);

// Sets each member of `members` (an object) at the top level of the document
// at `path` (replaced in place, or appended), keeping every other key, and
// writes it back in the pretty form; for small files of loose switches. A
// current text that is not a JSON object starts a fresh object.
kalu_ui::Status update_members_at(const std::filesystem::path& path, const Json& members);

// `update_section_at` on the settings document ("no config dir" when the
// platform has no configuration directory).
kalu_ui::Status update_section(std::string_view key, const Json& members);

// Sets the whole value under `key` (in place, or appended), dropping what the
// section held before; for records that must read back exactly as written.
kalu_ui::Status replace_section_at(const std::filesystem::path& path, std::string_view key,
                                   const Json& value);
kalu_ui::Status replace_section(std::string_view key, const Json& value);

}  // namespace prefs_store
