#include "codec/parser.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <vector>

#include "codec/escape.h"
#include "codec/writer.h"

namespace settings::codec {
namespace {

constexpr const char* kEofValue = "EOF while parsing a value";
constexpr const char* kEofString = "EOF while parsing a string";
constexpr const char* kEofList = "EOF while parsing a list";
constexpr const char* kEofObject = "EOF while parsing an object";
constexpr const char* kInvalidNumber = "invalid number";
constexpr const char* kInvalidEscape = "invalid escape";
constexpr const char* kTrailingComma = "trailing comma";
constexpr const char* kTrailingCharacters = "trailing characters";
constexpr const char* kControlCharacter =
    "control character (\\u0000-\\u001F) found while parsing a string";

bool is_ws(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

// Well-formed UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view s) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const auto* end = p + s.size();
  while (p < end) {
    unsigned char c = *p;
    if (c < 0x80) {
      ++p;
      continue;
    }
    int extra;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) lo = 0xA0;
      if (c == 0xED) hi = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;
    } else {
      return false;
    }
    if (end - p <= extra) return false;
    if (p[1] < lo || p[1] > hi) return false;
    for (int k = 2; k <= extra; ++k) {
      if (p[k] < 0x80 || p[k] > 0xBF) return false;
    }
    p += extra + 1;
  }
  return true;
}

}  // namespace

std::string debug_quoted(std::string_view s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case 0:
        out += "\\0";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += fmt::format("\\u{{{:x}}}", c);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out += "\"";
  return out;
}

std::string describe_number(const Number& n) {
  switch (n.kind) {
    case Number::Kind::kUnsigned:
      return fmt::format("integer `{}`", n.u);
    case Number::Kind::kSigned:
      return fmt::format("integer `{}`", n.i);
    case Number::Kind::kFloat:
      break;
  }
  std::string text = "floating point `";
  if (std::isfinite(n.f)) {
    append_float(text, n.f);
  } else {
    text += std::isnan(n.f) ? "NaN" : (n.f > 0 ? "inf" : "-inf");
  }
  text += "`";
  return text;
}

std::string invalid_type(std::string_view unexpected, std::string_view expected) {
  return fmt::format("invalid type: {}, expected {}", unexpected, expected);
}

std::string invalid_value(std::string_view unexpected, std::string_view expected) {
  return fmt::format("invalid value: {}, expected {}", unexpected, expected);
}

std::string invalid_length(std::size_t n, std::string_view expected) {
  return fmt::format("invalid length {}, expected {}", n, expected);
}

std::string name_list(std::span<const std::string_view> names) {
  if (names.empty()) return "there are none";
  if (names.size() == 1) return fmt::format("`{}`", names[0]);
  if (names.size() == 2) return fmt::format("`{}` or `{}`", names[0], names[1]);
  std::string out = "one of ";
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k > 0) out += ", ";
    out += fmt::format("`{}`", names[k]);
  }
  return out;
}

std::string render(const Error& error, std::string_view input) {
  if (!error.index) return error.message;
  std::size_t i = std::min(*error.index, input.size());
  std::size_t line = 1, line_start = 0;
  for (std::size_t k = 0; k < i; ++k) {
    if (input[k] == '\n') {
      ++line;
      line_start = k + 1;
    }
  }
  return fmt::format("{} at line {} column {}", error.message, line, i - line_start);
}

Error Parser::peek_error(std::string message) const {
  return Error{std::move(message), std::min(pos_ + 1, in_.size())};
}

Error Parser::fix(Error e) const {
  if (!e.index) e.index = pos_;
  return e;
}

int Parser::peek_ws() {
  while (pos_ < in_.size() && is_ws(static_cast<unsigned char>(in_[pos_]))) ++pos_;
  return peek();
}

Status Parser::enter() {
  if (++depth_ >= kMaxDepth) return std::unexpected(peek_error("recursion limit exceeded"));
  return {};
}

Status Parser::parse_ident(std::string_view rest) {
  for (char expected : rest) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofValue));
    char c = in_[pos_++];
    if (c != expected) return std::unexpected(error("expected ident"));
  }
  return {};
}

Outcome<std::uint16_t> Parser::hex4() {
  if (in_.size() - pos_ < 4) {
    pos_ = in_.size();
    return std::unexpected(error(kEofString));
  }
  std::uint16_t v = 0;
  bool ok = true;
  for (int k = 0; k < 4; ++k) {
    int h = hex_value(in_[pos_ + k]);
    if (h < 0) ok = false;
    v = static_cast<std::uint16_t>((v << 4) | (h < 0 ? 0 : h));
  }
  pos_ += 4;
  if (!ok) return std::unexpected(error(kInvalidEscape));
  return v;
}

// After the backslash. Appends the resolved character to `out`.
Status Parser::parse_escape(std::string& out) {
  if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
  const char c = in_[pos_++];
  if (auto byte = unescaped_byte(c)) {
    out.push_back(*byte);
    return {};
  }
  if (c != 'u') return std::unexpected(error(kInvalidEscape));
  auto n = hex4();
  if (!n) return std::unexpected(n.error());
  if (*n >= 0xDC00 && *n <= 0xDFFF) {
    return std::unexpected(error("lone leading surrogate in hex escape"));
  }
  if (*n < 0xD800 || *n > 0xDBFF) {
    append_utf8(out, *n);
    return {};
  }
  for (char expected : {'\\', 'u'}) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    if (in_[pos_++] != expected) return std::unexpected(error("unexpected end of hex escape"));
  }
  auto low = hex4();
  if (!low) return std::unexpected(low.error());
  if (*low < 0xDC00 || *low > 0xDFFF) {
    return std::unexpected(error("lone leading surrogate in hex escape"));
  }
  append_utf8(out, 0x10000 + ((static_cast<std::uint32_t>(*n) - 0xD800) << 10) + (*low - 0xDC00));
  return {};
}

Outcome<std::string_view> Parser::parse_string(std::string& scratch) {
  const std::size_t start = pos_;
  bool escaped = false;
  scratch.clear();
  std::size_t run = pos_;  // start of the raw bytes not yet copied to scratch
  while (true) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    unsigned char c = static_cast<unsigned char>(in_[pos_]);
    if (c == '"') break;
    if (c == '\\') {
      escaped = true;
      scratch.append(in_.substr(run, pos_ - run));
      ++pos_;
      if (auto s = parse_escape(scratch); !s) return std::unexpected(s.error());
      run = pos_;
      continue;
    }
    if (c < 0x20) {
      ++pos_;
      return std::unexpected(error(kControlCharacter));
    }
    ++pos_;
  }
  std::string_view raw = in_.substr(start, pos_ - start);
  ++pos_;  // closing quote
  // Escapes only ever produce whole characters, so checking the raw bytes
  // answers for the resolved text as well.
  if (!valid_utf8(raw)) return std::unexpected(error("invalid unicode code point"));
  if (!escaped) return raw;
  scratch.append(in_.substr(run, pos_ - 1 - run));
  return std::string_view(scratch);
}

Status Parser::skip_string() {
  // Opening quote already consumed. Escapes are checked for form only.
  while (true) {
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    unsigned char c = static_cast<unsigned char>(in_[pos_++]);
    if (c == '"') return {};
    if (c < 0x20) return std::unexpected(error(kControlCharacter));
    if (c != '\\') continue;
    if (pos_ >= in_.size()) return std::unexpected(error(kEofString));
    const char e = in_[pos_++];
    if (unescaped_byte(e)) continue;
    if (e != 'u') return std::unexpected(error(kInvalidEscape));
    if (auto h = hex4(); !h) return std::unexpected(h.error());
  }
}

// Checks the number's form and answers where it started.
Outcome<std::size_t> Parser::scan_number(bool& integral) {
  const std::size_t start = pos_;
  integral = true;
  if (peek() == '-') ++pos_;
  if (pos_ >= in_.size()) return std::unexpected(error(kEofValue));
  char c = in_[pos_++];
  if (c == '0') {
    if (is_digit(peek())) return std::unexpected(peek_error(kInvalidNumber));
  } else if (c >= '1' && c <= '9') {
    while (is_digit(peek())) ++pos_;
  } else {
    return std::unexpected(error(kInvalidNumber));
  }
  if (peek() == '.') {
    integral = false;
    ++pos_;
    if (!is_digit(peek())) {
      return std::unexpected(peek_error(peek() < 0 ? kEofValue : kInvalidNumber));
    }
    while (is_digit(peek())) ++pos_;
  }
  if (peek() == 'e' || peek() == 'E') {
    integral = false;
    ++pos_;
    if (peek() == '+' || peek() == '-') ++pos_;
    if (pos_ >= in_.size()) return std::unexpected(error(kEofValue));
    if (!is_digit(in_[pos_++])) return std::unexpected(error(kInvalidNumber));
    while (is_digit(peek())) ++pos_;
  }
  return start;
}

Outcome<Number> Parser::parse_number() {
  bool integral = false;
  auto start = scan_number(integral);
  if (!start) return std::unexpected(start.error());
  std::string_view token = in_.substr(*start, pos_ - *start);
  const bool negative = token.front() == '-';
  Number n;
  if (integral) {
    std::string_view digits = negative ? token.substr(1) : token;
    std::uint64_t sig = 0;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), sig);
    if (ec == std::errc() && end == digits.data() + digits.size()) {
      if (!negative) {
        n.kind = Number::Kind::kUnsigned;
        n.u = sig;
        return n;
      }
      // Minus zero and anything below the signed range are read as floats.
      if (sig != 0 && sig <= (std::uint64_t{1} << 63)) {
        n.kind = Number::Kind::kSigned;
        n.i = static_cast<std::int64_t>(0 - sig);
        return n;
      }
      if (sig == 0) {
        n.kind = Number::Kind::kFloat;
        n.f = -0.0;
        return n;
      }
    }
  }
  n.kind = Number::Kind::kFloat;
  double v = 0.0;
  auto [end, ec] = std::from_chars(token.data(), token.data() + token.size(), v);
  if (ec == std::errc::result_out_of_range) {
    // Too small to represent is zero; too large is refused.
    std::string_view mant = negative ? token.substr(1) : token;
    std::size_t epos = mant.find_first_of("eE");
    long exp = 0;
    if (epos != std::string_view::npos) {
      std::string_view e = mant.substr(epos + 1);
      if (!e.empty() && e.front() == '+') e.remove_prefix(1);
      auto r = std::from_chars(e.data(), e.data() + e.size(), exp);
      if (r.ec != std::errc()) exp = e.front() == '-' ? -100000 : 100000;
      mant = mant.substr(0, epos);
    }
    std::size_t dot = mant.find('.');
    std::string_view int_part = mant.substr(0, dot);
    long magnitude;
    if (int_part != "0") {
      magnitude = static_cast<long>(int_part.size()) + exp;
    } else {
      std::string_view frac = dot == std::string_view::npos ? "" : mant.substr(dot + 1);
      std::size_t nz = frac.find_first_not_of('0');
      magnitude = exp - static_cast<long>(nz == std::string_view::npos ? frac.size() : nz);
    }
    if (magnitude > 0) return std::unexpected(error("number out of range"));
    v = negative ? -0.0 : 0.0;
  } else if (ec != std::errc()) {
    return std::unexpected(error(kInvalidNumber));
  }
  n.f = v;
  return n;
}

Status Parser::skip_value() {
  // One entry per open container: true for an object. No recursion, so the
  // nesting of a skipped member costs heap memory only.
  std::vector<bool> open;
  while (true) {
    int c = peek_ws();
    if (c < 0) return std::unexpected(peek_error(kEofValue));
    switch (c) {
      case 'n':
        ++pos_;
        if (auto s = parse_ident("ull"); !s) return s;
        break;
      case 't':
        ++pos_;
        if (auto s = parse_ident("rue"); !s) return s;
        break;
      case 'f':
        ++pos_;
        if (auto s = parse_ident("alse"); !s) return s;
        break;
      case '"':
        ++pos_;
        if (auto s = skip_string(); !s) return s;
        break;
      case '[':
        ++pos_;
        if (peek_ws() == ']') {
          ++pos_;
          break;
        }
        open.push_back(false);
        continue;
      case '{':
        ++pos_;
        c = peek_ws();
        if (c == '}') {
          ++pos_;
          break;
        }
        if (c != '"') {
          return std::unexpected(peek_error(c < 0 ? kEofObject : "key must be a string"));
        }
        ++pos_;
        if (auto s = skip_string(); !s) return s;
        if (auto s = expect_colon(); !s) return s;
        open.push_back(true);
        continue;
      default:
        if (c == '-' || is_digit(c)) {
          bool integral;
          if (auto s = scan_number(integral); !s) return std::unexpected(s.error());
          break;
        }
        return std::unexpected(peek_error("expected value"));
    }
    // A value is complete: close containers or move to the next item.
    while (!open.empty()) {
      const bool object = open.back();
      c = peek_ws();
      if (c == ',') {
        ++pos_;
        c = peek_ws();
        if (!object) {
          if (c == ']') return std::unexpected(peek_error(kTrailingComma));
          break;
        }
        if (c == '}') return std::unexpected(peek_error(kTrailingComma));
        if (c != '"') {
          return std::unexpected(peek_error(c < 0 ? kEofValue : "key must be a string"));
        }
        ++pos_;
        if (auto s = skip_string(); !s) return s;
        if (auto s = expect_colon(); !s) return s;
        break;
      }
      if (c == (object ? '}' : ']')) {
        ++pos_;
        open.pop_back();
        continue;
      }
      if (c < 0) return std::unexpected(peek_error(object ? kEofObject : kEofList));
      return std::unexpected(peek_error(object ? "expected `,` or `}`" : "expected `,` or `]`"));
    }
    if (open.empty()) return {};
  }
}

Error Parser::invalid_type_here(std::string_view expected) {
  int c = peek_ws();
  std::string unexpected;
  switch (c) {
    case 'n':
      ++pos_;
      if (auto s = parse_ident("ull"); !s) return s.error();
      unexpected = "null";
      break;
    case 't':
      ++pos_;
      if (auto s = parse_ident("rue"); !s) return s.error();
      unexpected = "boolean `true`";
      break;
    case 'f':
      ++pos_;
      if (auto s = parse_ident("alse"); !s) return s.error();
      unexpected = "boolean `false`";
      break;
    case '"': {
      ++pos_;
      std::string scratch;
      auto s = parse_string(scratch);
      if (!s) return s.error();
      unexpected = "string " + debug_quoted(*s);
      break;
    }
    case '[':
      unexpected = "sequence";
      break;
    case '{':
      unexpected = "map";
      break;
    default:
      if (c == '-' || is_digit(c)) {
        auto n = parse_number();
        if (!n) return n.error();
        unexpected = describe_number(*n);
        break;
      }
      return peek_error(c < 0 ? kEofValue : "expected value");
  }
  return error(invalid_type(unexpected, expected));
}

Status Parser::expect_colon() {
  int c = peek_ws();
  if (c == ':') {
    ++pos_;
    return {};
  }
  return std::unexpected(peek_error(c < 0 ? kEofObject : "expected `:`"));
}

Outcome<bool> Parser::next_key(bool& first) {
  int c = peek_ws();
  if (c == '}') return false;
  if (c == ',' && !first) {
    ++pos_;
    c = peek_ws();
  } else if (c < 0) {
    return std::unexpected(peek_error(kEofObject));
  } else if (!first) {
    return std::unexpected(peek_error("expected `,` or `}`"));
  }
  first = false;
  if (c == '"') return true;
  if (c == '}') return std::unexpected(peek_error(kTrailingComma));
  if (c < 0) return std::unexpected(peek_error(kEofValue));
  return std::unexpected(peek_error("key must be a string"));
}

Outcome<bool> Parser::next_element(bool& first) {
  int c = peek_ws();
  if (c == ']') return false;
  if (c == ',' && !first) {
    ++pos_;
    c = peek_ws();
  } else if (c < 0) {
    return std::unexpected(peek_error(kEofList));
  } else if (!first) {
    return std::unexpected(peek_error("expected `,` or `]`"));
  }
  first = false;
  if (c == ']') return std::unexpected(peek_error(kTrailingComma));
  if (c < 0) return std::unexpected(peek_error(kEofValue));
  return true;
}

Status Parser::end_map() {
  int c = peek_ws();
  if (c == '}') {
    ++pos_;
    return {};
  }
  if (c == ',') return std::unexpected(peek_error(kTrailingComma));
  if (c < 0) return std::unexpected(peek_error(kEofObject));
  return std::unexpected(peek_error(kTrailingCharacters));
}

Status Parser::end_seq() {
  int c = peek_ws();
  if (c == ']') {
    ++pos_;
    return {};
  }
  if (c == ',') {
    ++pos_;
    c = peek_ws();
    return std::unexpected(peek_error(c == ']' ? kTrailingComma : kTrailingCharacters));
  }
  if (c < 0) return std::unexpected(peek_error(kEofList));
  return std::unexpected(peek_error(kTrailingCharacters));
}

Status Parser::end_of_input() {
  if (peek_ws() >= 0) return std::unexpected(peek_error(kTrailingCharacters));
  return {};
}

}  // namespace settings::codec
