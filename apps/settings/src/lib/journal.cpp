#include "lib/journal.h"

#include "limited_exec/text.h"

namespace settings::lib {

namespace {

using limited_exec::append_utf8;
using limited_exec::is_white_space;
using limited_exec::take_char;

bool is_control(char32_t cp) { return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F); }

std::string clean_line(std::string_view line) {
  std::string out;
  for (size_t count = 0; count < kJournalLineChars && !line.empty(); ++count) {
    char32_t cp = take_char(line);
    if (!is_control(cp)) append_utf8(out, cp);
  }
  return out;
}

}  // namespace

std::optional<std::string_view> TextLines::next() {
  if (done_ || rest_.empty()) return std::nullopt;
  size_t feed = rest_.find('\n');
  std::string_view line = rest_.substr(0, feed);
  if (feed == std::string_view::npos) {
    done_ = true;
    rest_ = {};
    return line;
  }
  rest_.remove_prefix(feed + 1);
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return line;
}

std::optional<std::string> next_journal_line(TextLines& lines) {
  while (auto line = lines.next()) {
    std::string cleaned = clean_line(*line);
    if (is_journal_entry(cleaned)) return cleaned;
  }
  return std::nullopt;
}

bool is_journal_entry(std::string_view line) {
  if (line.find("-- No entries --") != std::string_view::npos) return false;
  while (!line.empty()) {
    if (!is_white_space(take_char(line))) return true;
  }
  return false;
}

}  // namespace settings::lib
