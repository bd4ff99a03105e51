#include "limited_exec/text.h"

#include <algorithm>
#include <cstdint>

namespace limited_exec {

namespace {
constexpr std::size_t kErrorTextChars = 512;
}  // namespace

char32_t take_char(std::string_view& bytes) {
  auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
  std::uint8_t lead = at(0);
  if (lead < 0x80) {
    bytes.remove_prefix(1);
    return lead;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  // The allowed range of the second byte rules out overlong forms, surrogates
  // and values past U+10FFFF.
  std::uint8_t low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, cp = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, cp = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    bytes.remove_prefix(1);
    return kReplacementChar;
  }
  for (std::size_t i = 1; i < length; ++i) {
    std::uint8_t lo = i == 1 ? low : 0x80, hi = i == 1 ? high : 0xBF;
    if (i >= bytes.size() || at(i) < lo || at(i) > hi) {
      bytes.remove_prefix(i);
      return kReplacementChar;
    }
    cp = (cp << 6) | (at(i) & 0x3F);
  }
  bytes.remove_prefix(length);
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

bool is_white_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680 ||
         (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F ||
         cp == 0x205F || cp == 0x3000;
}

std::string first_chars(std::string_view bytes, std::size_t count) {
  std::string out;
  out.reserve(std::min(bytes.size(), count * 4));
  for (std::size_t n = 0; n < count && !bytes.empty(); ++n) append_utf8(out, take_char(bytes));
  return out;
}

std::string decode_lossy(std::string_view bytes) { return first_chars(bytes, bytes.size()); }

std::string_view trim_white_space(std::string_view text) {
  // Front: consume characters while they are white space.
  while (!text.empty()) {
    std::string_view rest = text;
    if (!is_white_space(take_char(rest))) break;
    text = rest;
  }
  // Back: step over continuation bytes to find each last character.
  while (!text.empty()) {
    std::size_t start = text.size() - 1;
    while (start > 0 && (static_cast<std::uint8_t>(text[start]) & 0xC0) == 0x80) --start;
    std::string_view last = text.substr(start);
    if (!is_white_space(take_char(last))) break;
    text.remove_suffix(text.size() - start);
  }
  return text;
}

std::string command_error_text(std::string_view stderr_bytes) {
  return std::string(trim_white_space(first_chars(stderr_bytes, kErrorTextChars)));
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace limited_exec
