#pragma once

// Writing a described record into an in-memory JSON tree of the same
// structure as its text form (nlohmann::ordered_json, members in order).

#include <cmath>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "codec/codec.h"

namespace settings::codec {

// The writer interface of codec::Writer, building a tree instead of text.
class TreeWriter {
 public:
  void null() { put(nullptr); }
  void boolean(bool v) { put(v); }
  void unsigned_integer(std::uint64_t v) { put(v); }
  void signed_integer(std::int64_t v) { put(v); }
  void number(double v) {
    if (std::isfinite(v)) {
      put(v);
    } else {
      put(nullptr);
    }
  }
  void string(std::string_view v) { put(std::string(v)); }
  void begin_object() { stack_.push_back(put(nlohmann::ordered_json::object())); }
  void key(std::string_view name) { key_ = name; }
  void end_object() { stack_.pop_back(); }
  void begin_array() { stack_.push_back(put(nlohmann::ordered_json::array())); }
  void end_array() { stack_.pop_back(); }

  nlohmann::ordered_json take() { return std::move(root_); }

 private:
  // Only the innermost open container grows, so pointers to the open
  // containers above it stay valid.
  nlohmann::ordered_json* put(nlohmann::ordered_json value) {
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    nlohmann::ordered_json& top = *stack_.back();
    if (top.is_object()) {
      top[key_] = std::move(value);
      return &top[key_];
    }
    top.push_back(std::move(value));
    return &top.back();
  }

  nlohmann::ordered_json root_;
  std::vector<nlohmann::ordered_json*> stack_;
  std::string key_;
};

template <typename T>
nlohmann::ordered_json to_tree(const T& value) {
  TreeWriter w;
  write_value(w, value);
  return w.take();
}

}  // namespace settings::codec
