#pragma once

// The JSON text writer of the record codec: compact (operation records, keys,
// payloads) or pretty (files people may open: two-space indent, ": ").

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace settings::codec {

// Appends a finite double in its shortest form that reads back to the same
// value: "1.0" for integral values, "0.5", "1e16", "1.5e-7", "-0.0".
void append_float(std::string& out, double value);

// Appends `text` as a JSON string: quote, backslash and bytes below 0x20 are
// escaped; everything else, "/" and non-ASCII included, is written unchanged.
void append_string(std::string& out, std::string_view text);

class Writer {
 public:
  explicit Writer(bool pretty = false) : pretty_(pretty) { out_.reserve(128); }

  void null() {
    before_value();
    out_ += "null";
  }
  void boolean(bool v) {
    before_value();
    out_ += v ? "true" : "false";
  }
  void unsigned_integer(std::uint64_t v);
  void signed_integer(std::int64_t v);
  // A value that is not finite is written as null.
  void number(double v);
  void string(std::string_view v) {
    before_value();
    append_string(out_, v);
  }

  void begin_object() { open('{'); }
  void key(std::string_view name);
  void end_object() { close('}'); }
  void begin_array() { open('['); }
  void end_array() { close(']'); }

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  void before_value();
  void open(char bracket);
  void close(char bracket);
  void newline_indent();

  bool pretty_;
  std::string out_;
  // One entry per open container: whether it already holds an element.
  std::vector<bool> filled_;
  bool after_key_ = false;
};

}  // namespace settings::codec
