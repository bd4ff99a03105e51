#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Reading what a command printed: its bytes as UTF-8 text with anything that
// is not UTF-8 replaced, counted in characters rather than bytes.
namespace limited_exec {

inline constexpr char32_t kReplacementChar = 0xFFFD;

// Decodes the character at the front of `bytes` and consumes it. An invalid or
// cut-off sequence consumes its longest valid beginning (at least one byte)
// and gives U+FFFD, as a lossy UTF-8 decoder does. `bytes` must not be empty.
char32_t take_char(std::string_view& bytes);
void append_utf8(std::string& out, char32_t cp);
// Unicode White_Space.
bool is_white_space(char32_t cp);

// The bytes as valid UTF-8, invalid sequences replaced by U+FFFD.
std::string decode_lossy(std::string_view bytes);
// At most the first `count` characters of the (lossily decoded) bytes.
std::string first_chars(std::string_view bytes, std::size_t count);
// `text` (valid UTF-8) without white space at either end.
std::string_view trim_white_space(std::string_view text);

// The lines of `text` without their "\n"; a final "\n" ends the last line
// rather than starting an empty one.
std::vector<std::string_view> split_lines(std::string_view text);

// A command's error output as a message: decoded, at most 512 characters,
// trimmed. It may be empty.
std::string command_error_text(std::string_view stderr_bytes);

}  // namespace limited_exec
