#include <cstdint>
#include <string>
#include <string_view>

#include "kalu_ui/search.h"

namespace kalu_ui::search {
namespace {

struct FoldRange {
  char32_t first;
  char32_t last;
  std::string_view base;
};

// Latin letters with diacritics and their base letters, in code point order.
// The multiplication and division signs (U+00D7, U+00F7) are not letters and
// stay out.
constexpr FoldRange kLatinFolds[] = {
    {0x00C0, 0x00C5, "a"},
    {0x00C6, 0x00C6, "ae"},
    {0x00C7, 0x00C7, "c"},
    {0x00C8, 0x00CB, "e"},
    {0x00CC, 0x00CF, "i"},
    {0x00D0, 0x00D0, "d"},
    {0x00D1, 0x00D1, "n"},
    {0x00D2, 0x00D6, "o"},
    {0x00D8, 0x00D8, "o"},
    {0x00D9, 0x00DC, "u"},
    {0x00DD, 0x00DD, "y"},
    {0x00DE, 0x00DE, "th"},
    {0x00DF, 0x00DF, "ss"},
    {0x00E0, 0x00E5, "a"},
    {0x00E6, 0x00E6, "ae"},
    {0x00E7, 0x00E7, "c"},
    {0x00E8, 0x00EB, "e"},
    {0x00EC, 0x00EF, "i"},
    {0x00F0, 0x00F0, "d"},
    {0x00F1, 0x00F1, "n"},
    {0x00F2, 0x00F6, "o"},
    {0x00F8, 0x00F8, "o"},
    {0x00F9, 0x00FC, "u"},
    {0x00FD, 0x00FD, "y"},
    {0x00FE, 0x00FE, "th"},
    {0x00FF, 0x00FF, "y"},
    {0x0100, 0x0105, "a"},
    {0x0106, 0x010D, "c"},
    {0x010E, 0x0111, "d"},
    {0x0112, 0x011B, "e"},
    {0x011C, 0x0123, "g"},
    {0x0124, 0x0127, "h"},
    {0x0128, 0x0131, "i"},
    {0x0132, 0x0133, "ij"},
    {0x0134, 0x0135, "j"},
    {0x0136, 0x0138, "k"},
    {0x0139, 0x0142, "l"},
    {0x0143, 0x014B, "n"},
    {0x014C, 0x0151, "o"},
    {0x0152, 0x0153, "oe"},
    {0x0154, 0x0159, "r"},
    {0x015A, 0x0161, "s"},
    {0x0162, 0x0167, "t"},
    {0x0168, 0x0173, "u"},
    {0x0174, 0x0175, "w"},
    {0x0176, 0x0178, "y"},
    {0x0179, 0x017E, "z"},
    {0x017F, 0x017F, "s"},
    // Combining diacritical marks: dropped, so decomposed text folds like
    // composed text.
    {0x0300, 0x036F, ""},
};

// Decodes one two-byte UTF-8 sequence at `pos` (every code point the table
// covers is below U+0800); length 0 when the bytes are not such a sequence.
struct Decoded {
  char32_t code = 0;
  std::size_t length = 0;
};

Decoded decode_short(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  if (lead >= 0xC2 && lead <= 0xDF && pos + 1 < text.size() && (byte(pos + 1) & 0xC0) == 0x80) {
    return {static_cast<char32_t>(((lead & 0x1F) << 6) | (byte(pos + 1) & 0x3F)), 2};
  }
  return {};
}

std::string_view fold_code(char32_t code, bool& found) {
  for (const FoldRange& range : kLatinFolds) {
    if (code >= range.first && code <= range.last) {
      found = true;
      return range.base;
    }
    if (code < range.first) break;
  }
  found = false;
  return {};
}

}  // namespace

std::string fold_for_search(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c >= 'A' && c <= 'Z') {
      out.push_back(static_cast<char>(c - 'A' + 'a'));
      ++pos;
      continue;
    }
    if (static_cast<unsigned char>(c) < 0x80) {
      out.push_back(c);
      ++pos;
      continue;
    }
    const Decoded decoded = decode_short(text, pos);
    if (decoded.length != 0) {
      bool found = false;
      const std::string_view base = fold_code(decoded.code, found);
      if (found) {
        out.append(base);
        pos += decoded.length;
        continue;
      }
    }
    out.push_back(c);
    ++pos;
  }
  return out;
}

}  // namespace kalu_ui::search
