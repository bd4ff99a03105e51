#include "sidebar/search.h"

#include <cstdint>

namespace settings::sidebar {
namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool is_continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The code point of the well-formed UTF-8 sequence text[pos, pos + length), or
// U+FFFD (never white space) when it is not one.
char32_t decode(std::string_view text, std::size_t pos, std::size_t length) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (length == 1) return lead < 0x80 ? lead : 0xFFFD;
  char32_t code;
  if (length == 2 && (lead & 0xE0) == 0xC0) {
    code = lead & 0x1F;
  } else if (length == 3 && (lead & 0xF0) == 0xE0) {
    code = lead & 0x0F;
  } else if (length == 4 && (lead & 0xF8) == 0xF0) {
    code = lead & 0x07;
  } else {
    return 0xFFFD;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (!is_continuation(text[pos + i])) return 0xFFFD;
    code = (code << 6) | (static_cast<unsigned char>(text[pos + i]) & 0x3F);
  }
  // An overlong form (a space spelled in two bytes, say) is not a character.
  constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  return code < kSmallest[length] ? 0xFFFD : code;
}

// Length of the sequence a lead byte starts; 1 for bytes that start none.
std::size_t sequence_length(char c) {
  const auto lead = static_cast<unsigned char>(c);
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

}  // namespace

std::string_view trim_query(std::string_view text) {
  while (!text.empty()) {
    const std::size_t length = sequence_length(text.front());
    if (length > text.size() || !is_white_space(decode(text, 0, length))) break;
    text.remove_prefix(length);
  }
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    while (start > 0 && text.size() - start < 4 && is_continuation(text[start])) --start;
    const std::size_t length = text.size() - start;
    if (sequence_length(text[start]) != length || !is_white_space(decode(text, start, length))) {
      break;
    }
    text.remove_suffix(length);
  }
  return text;
}

std::string normalise_query(std::string_view text) { return ascii_lower(trim_query(text)); }

bool pane_title_matches_query(panes::Pane pane, std::string_view query) {
  const std::string needle = normalise_query(query);
  return !needle.empty() && ascii_lower(panes::pane_title(pane)).find(needle) != std::string::npos;
}

bool pane_matches_query(panes::Pane pane, std::string_view query) {
  const std::string needle = normalise_query(query);
  if (needle.empty()) return true;
  if (ascii_lower(panes::pane_title(pane)).find(needle) != std::string::npos) return true;
  if (ascii_lower(panes::pane_subtitle(pane)).find(needle) != std::string::npos) return true;
  for (const std::string_view keyword : panes::pane_keywords(pane)) {
    // A keyword inside the query also counts, so "my printer queue" finds
    // Printers by its keyword "queue".
    if (keyword.find(needle) != std::string_view::npos ||
        std::string_view(needle).find(keyword) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

}  // namespace settings::sidebar
