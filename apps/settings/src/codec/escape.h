#pragma once

// The two-character escapes of JSON strings, one table for the reader and the
// writer: the letter after the backslash and the byte it stands for. "\u"
// escapes are each side's own (four hex digits, surrogate pairs).

#include <optional>

namespace settings::codec {

struct ShortEscape {
  char letter;
  char byte;
};

inline constexpr ShortEscape kShortEscapes[] = {
    {'"', '"'},  {'\\', '\\'}, {'/', '/'},  {'b', '\b'},
    {'f', '\f'}, {'n', '\n'},  {'r', '\r'}, {'t', '\t'},
};

// The byte that `letter` stands for after a backslash; none for 'u' and for
// letters JSON does not know.
constexpr std::optional<char> unescaped_byte(char letter) {
  for (const ShortEscape& e : kShortEscapes) {
    if (e.letter == letter) return e.byte;
  }
  return std::nullopt;
}

// The letter the writer puts after a backslash for `byte`; none when the byte
// has no short form (it is written as "\u00XX"). The writer escapes only
// quote, backslash and bytes below 0x20, so "/" never comes here.
constexpr std::optional<char> escape_letter(char byte) {
  for (const ShortEscape& e : kShortEscapes) {
    if (e.byte == byte) return e.letter;
  }
  return std::nullopt;
}

}  // namespace settings::codec
