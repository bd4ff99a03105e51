#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The small reader (and editor) of the freedesktop key-file format that
// desktop entries and mimeapps.list share:
//
//   # a comment
//   [Group Name]
//   Key=value
//   Key[de]=localised value
//
// Blank lines and lines starting with "#" are comments; white space around
// "=" is ignored. A key is printable text without white space, "=" or
// brackets, optionally followed by "[locale]". A line that is none of these
// is malformed: the desktop entry reader refuses such a file, while the
// mimeapps.list editor keeps the line as it stands. Every line is kept as it
// was read, so a file that is edited and written back differs only in the
// keys that were set.
//
// Values: `raw` is the text after "=", `string` decodes the escapes "\s",
// "\n", "\t", "\r" and "\\" (others are kept as written), `list` splits at
// ";" (a "\;" is a literal ";", an empty last element is dropped) and then
// decodes each element, `boolean` accepts "true" and "false" only. Text that
// is not UTF-8 is read with U+FFFD in place of the bad bytes. When a group
// holds a key twice, the first one counts; a group written twice is one group.
namespace desktop_file {

class KeyFile {
 public:
  // Never fails: malformed lines are kept (see `first_malformed_line`).
  static KeyFile parse(std::string_view text);

  // The 1-based number of the first malformed line, if any.
  std::optional<std::size_t> first_malformed_line() const { return first_malformed_; }

  bool has_group(std::string_view group) const;
  std::optional<std::string> raw(std::string_view group, std::string_view key) const;
  std::optional<std::string> string(std::string_view group, std::string_view key) const;
  std::optional<bool> boolean(std::string_view group, std::string_view key) const;
  // Empty when the key is absent.
  std::vector<std::string> list(std::string_view group, std::string_view key) const;

  // Sets `key` to the raw value `raw_value`: in place when the group holds
  // the key, else appended after the group's last entry, else in a new group
  // at the end of the file. `raw_value` must not hold a line break.
  void set_raw(std::string_view group, std::string_view key, std::string_view raw_value);

  // The file's text with its edits; unchanged lines are byte for byte those
  // that were read.
  std::string text() const;

 private:
  enum class Kind { Other, Group, Entry, Malformed };
  struct Line {
    Kind kind = Kind::Other;
    std::string text;       // the line as read (without its line break)
    std::size_t group = 0;  // index into groups_; entries and group headers
    std::string key;        // entries
    std::string value;      // entries: the raw value
  };

  const Line* find(std::string_view group, std::string_view key) const;
  std::optional<std::size_t> group_index(std::string_view group) const;

  std::vector<Line> lines_;
  std::vector<std::string> groups_;
  bool final_newline_ = true;
  std::optional<std::size_t> first_malformed_;
};

// Decodes the string escapes of a key-file value (see above).
std::string unescape_value(std::string_view raw);

// The contents of a small regular file: nothing when it does not exist, an
// error when it cannot be read, is not a regular file (a FIFO or a device is
// never opened for reading) or holds more than `max_bytes`.
kalu_ui::Result<std::optional<std::string>> read_small_file(const std::filesystem::path& path,
                                                            std::size_t max_bytes);

}  // namespace desktop_file
