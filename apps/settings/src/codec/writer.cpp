#include "codec/writer.h"

#include <charconv>
#include <cmath>

#include "codec/escape.h"

namespace settings::codec {

void append_float(std::string& out, double value) {
  if (value == 0.0) {
    out += std::signbit(value) ? "-0.0" : "0.0";
    return;
  }
  // Shortest round-trip digits from the scientific form "d.ddde±x".
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string_view sci(buf, ec == std::errc() ? static_cast<std::size_t>(end - buf) : 0);
  if (sci.empty()) return;
  if (sci.front() == '-') {
    out.push_back('-');
    sci.remove_prefix(1);
  }
  const std::size_t epos = sci.find('e');
  std::string digits;
  for (char c : sci.substr(0, epos)) {
    if (c != '.') digits.push_back(c);
  }
  int exp10 = 0;
  std::string_view etext = sci.substr(epos + 1);
  if (!etext.empty() && etext.front() == '+') etext.remove_prefix(1);
  std::from_chars(etext.data(), etext.data() + etext.size(), exp10);
  const int n = static_cast<int>(digits.size());
  const int k = exp10 - (n - 1);  // value = digits * 10^k
  const int kk = n + k;           // position of the decimal point
  if (k >= 0 && kk <= 16) {
    out += digits;
    out.append(static_cast<std::size_t>(k), '0');
    out += ".0";
  } else if (kk > 0 && kk <= 16) {
    out.append(digits, 0, static_cast<std::size_t>(kk));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(kk));
  } else if (kk > -5 && kk <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-kk), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (n > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out.push_back('e');
    out += std::to_string(kk - 1);
  }
}

void append_string(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out.push_back('"');
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text, run, i - run);
    run = i + 1;
    if (auto letter = escape_letter(static_cast<char>(c))) {
      out.push_back('\\');
      out.push_back(*letter);
    } else {
      out += "\\u00";
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
    }
  }
  out.append(text, run);
  out.push_back('"');
}

void Writer::unsigned_integer(std::uint64_t v) {
  before_value();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void Writer::signed_integer(std::int64_t v) {
  before_value();
  char buf[24];
  auto r = std::to_chars(buf, buf + sizeof buf, v);
  out_.append(buf, r.ptr);
}

void Writer::number(double v) {
  before_value();
  if (!std::isfinite(v)) {
    out_ += "null";
    return;
  }
  append_float(out_, v);
}

void Writer::newline_indent() {
  out_.push_back('\n');
  out_.append(filled_.size() * 2, ' ');
}

void Writer::before_value() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (filled_.empty()) return;
  if (filled_.back()) out_.push_back(',');
  filled_.back() = true;
  if (pretty_) newline_indent();
}

void Writer::key(std::string_view name) {
  before_value();
  append_string(out_, name);
  out_ += pretty_ ? ": " : ":";
  after_key_ = true;
}

void Writer::open(char bracket) {
  before_value();
  out_.push_back(bracket);
  filled_.push_back(false);
}

void Writer::close(char bracket) {
  const bool filled = filled_.back();
  filled_.pop_back();
  if (pretty_ && filled) newline_indent();
  out_.push_back(bracket);
}

}  // namespace settings::codec
