#pragma once

// The byte-level half of the strict record reader: tokens, their positions and
// the syntax refusals. The typed half (codec/codec.h) drives it.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace settings::codec {

// A refusal. `index` is the byte index that the " at line L column C" suffix
// is computed from; a data refusal starts without one and is given the
// position of the enclosing container when it passes through it.
struct Error {
  std::string message;
  std::optional<std::size_t> index;
};

using Status = std::expected<void, Error>;
template <typename T>
using Outcome = std::expected<T, Error>;

// A number as read: integers stay exact while they fit 64 bits.
struct Number {
  enum class Kind { kUnsigned, kSigned, kFloat };
  Kind kind = Kind::kUnsigned;
  std::uint64_t u = 0;
  std::int64_t i = 0;
  double f = 0.0;
};

// A string quoted and escaped as the refusal texts and debug texts show it:
// "a\"b\n", control characters as \u{1b}.
std::string debug_quoted(std::string_view s);
// "integer `5`", "floating point `1.0`": how a found number is named.
std::string describe_number(const Number& n);
// "invalid type: {}, expected {}" and friends.
std::string invalid_type(std::string_view unexpected, std::string_view expected);
std::string invalid_value(std::string_view unexpected, std::string_view expected);
std::string invalid_length(std::size_t n, std::string_view expected);
// "`A`", "`A` or `B`", "one of `A`, `B`, `C`".
std::string name_list(std::span<const std::string_view> names);
// The text with " at line L column C" appended when the error has a position.
std::string render(const Error& error, std::string_view input);

class Parser {
 public:
  // More nested containers than this in a value that is read (not skipped)
  // is refused; records nest a few levels at most.
  static constexpr int kMaxDepth = 128;

  explicit Parser(std::string_view input) : in_(input) {}

  std::size_t index() const { return pos_; }
  void rewind(std::size_t index) { pos_ = index; }
  std::string_view input() const { return in_; }

  // Skips whitespace; the next byte (not consumed), or -1 at the end.
  int peek_ws();
  int peek() const { return pos_ < in_.size() ? static_cast<unsigned char>(in_[pos_]) : -1; }
  void eat() { ++pos_; }

  // Errors positioned at the bytes consumed ("current") or at the next byte ("peek").
  Error error(std::string message) const { return Error{std::move(message), pos_}; }
  Error peek_error(std::string message) const;
  static Error data_error(std::string message) { return Error{std::move(message), std::nullopt}; }
  // Gives a data error the current position; a positioned error stays as it is.
  Error fix(Error e) const;

  // Reads the rest of an identifier ("ull" after 'n'), the first byte already consumed.
  Status parse_ident(std::string_view rest);
  // Reads a string whose opening quote is already consumed. The view points
  // into the input when there is no escape, else into `scratch`.
  Outcome<std::string_view> parse_string(std::string& scratch);
  // Reads a number starting at the current byte ('-' or a digit).
  Outcome<Number> parse_number();
  // Reads over any value without keeping it and without a depth limit.
  Status skip_value();
  // Refusal of the value at the current position for a reader that expects
  // `expected`: scalars are read to name them, containers are named unread.
  Error invalid_type_here(std::string_view expected);

  Status expect_colon();
  // Advances to the next member of an object; true when a key string starts
  // (at its opening quote), false at the closing brace (not consumed).
  Outcome<bool> next_key(bool& first);
  // The same for array elements; false at the closing bracket.
  Outcome<bool> next_element(bool& first);
  // Consume the closing brace or bracket after the contents were read.
  Status end_map();
  Status end_seq();
  // After the value: only whitespace may follow.
  Status end_of_input();

  Status enter();
  void leave() { --depth_; }

 private:
  Status skip_string();
  Outcome<std::size_t> scan_number(bool& integral);
  Status parse_escape(std::string& out);
  Outcome<std::uint16_t> hex4();

  std::string_view in_;
  std::size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace settings::codec
