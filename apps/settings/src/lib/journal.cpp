#include "lib/journal.h"

#include <cstdint>

namespace settings::lib {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at the front of `text` and consumes it; an invalid or
// cut-off sequence consumes one byte and gives U+FFFD.
char32_t take_char(std::string_view& text) {
  auto byte = [&](size_t i) { return static_cast<std::uint8_t>(text[i]); };
  std::uint8_t lead = byte(0);
  size_t length = lead < 0x80           ? 1
                  : (lead >> 5) == 0x6  ? 2
                  : (lead >> 4) == 0xE  ? 3
                  : (lead >> 3) == 0x1E ? 4
                                        : 0;
  char32_t cp = length == 1   ? lead
                : length == 2 ? (lead & 0x1F)
                : length == 3 ? (lead & 0x0F)
                              : (lead & 0x07);
  bool valid = length != 0 && length <= text.size();
  for (size_t i = 1; valid && i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) valid = false;
    cp = (cp << 6) | (byte(i) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not characters.
  static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (valid && (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))) {
    valid = false;
  }
  if (!valid) {
    text.remove_prefix(1);
    return kReplacement;
  }
  text.remove_prefix(length);
  return cp;
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool is_control(char32_t cp) { return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F); }

bool is_white_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

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
