#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace settings::lib {

// Walks the lines of a text: split at line feeds, a carriage return before a
// feed removed, no empty line after a final feed. The text must outlive it.
class TextLines {
 public:
  explicit TextLines(std::string_view text) : rest_(text) {}
  std::optional<std::string_view> next();

 private:
  std::string_view rest_;
  bool done_ = false;
};

// Characters of a journal line that are shown; the rest is cut off.
inline constexpr std::size_t kJournalLineChars = 220;

// The next line worth showing from a journal listing: its first 220
// characters with control characters dropped (counted before dropping),
// skipping lines that are blank or the journal's "-- No entries --" note.
// A broken UTF-8 sequence counts as one character and shows as U+FFFD.
std::optional<std::string> next_journal_line(TextLines& lines);

// False for a blank line and for the journal's note of an empty listing.
bool is_journal_entry(std::string_view line);

}  // namespace settings::lib
