#pragma once

// The rules by which stored records are read from and written to JSON:
//  - a record is read from an object (fields by key, any order) or from an
//    array (fields by position in the stored order); any other value fails;
//  - keys a record does not define are skipped, or fail the record when the
//    record says so;
//  - a required field that is left out fails; an optional one takes its
//    default (an absent key, or absent trailing array elements); surplus array
//    elements fail;
//  - null is a value only for nullable (std::optional) fields;
//  - integers must be integral JSON numbers within the field's range; floating
//    fields take any number; 32-bit floats are widened when written and
//    non-finite values are written as null;
//  - an enumeration is its stored name, matched exactly, or an object whose
//    only key is that name with a null value;
//  - writing puts every field, in the stored order.
// Records plug in by specialising `RecordCodec<T>`; enumerations by
// specialising `EnumNames<E>`.

#include <cmath>
#include <concepts>
#include <cstdint>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "kalu_ui/result.h"

namespace settings::stored::record {

using Json = nlohmann::ordered_json;
using kalu_ui::Status;

// Specialise with `static constexpr std::string_view names[]` in variant order.
template <typename E>
struct EnumNames;

// Specialise with `static Status read(const Json&, T&)` and
// `static Json write(const T&)`.
template <typename T>
struct RecordCodec;

template <typename T>
concept Enumeration = std::is_enum_v<T> && requires {
  EnumNames<T>::names;
};

template <typename T>
concept Record = requires(const Json& j, T& t) {
  RecordCodec<T>::read(j, t);
};

std::string_view json_kind(const Json& value);
Status type_error(const Json& value, std::string_view expected);

Status decode(const Json& value, bool& out);
Status decode(const Json& value, std::string& out);
Status decode(const Json& value, double& out);
Status decode(const Json& value, float& out);
Status decode_enum(const Json& value, std::span<const std::string_view> names, std::size_t& index);

template <std::integral I>
requires(!std::same_as<I, bool>) Status decode(const Json& value, I& out) {
  if (value.is_number_unsigned()) {
    auto n = value.get<std::uint64_t>();
    if (n <= static_cast<std::uint64_t>(std::numeric_limits<I>::max())) {
      out = static_cast<I>(n);
      return {};
    }
    return kalu_ui::fail("invalid value: integer out of range");
  }
  if (value.is_number_integer()) {  // negative
    auto n = value.get<std::int64_t>();
    if constexpr (std::is_signed_v<I>) {
      if (n >= static_cast<std::int64_t>(std::numeric_limits<I>::min())) {
        out = static_cast<I>(n);
        return {};
      }
    }
    return kalu_ui::fail("invalid value: integer out of range");
  }
  return type_error(value, "an integer");
}

template <Enumeration E>
Status decode(const Json& value, E& out) {
  std::size_t index = 0;
  if (auto ok = decode_enum(value, EnumNames<E>::names, index); !ok) return ok;
  out = static_cast<E>(index);
  return {};
}

template <Record T>
Status decode(const Json& value, T& out) {
  return RecordCodec<T>::read(value, out);
}

template <typename T>
Status decode(const Json& value, std::optional<T>& out) {
  if (value.is_null()) {
    out.reset();
    return {};
  }
  T inner{};
  if (auto ok = decode(value, inner); !ok) return ok;
  out = std::move(inner);
  return {};
}

template <typename T>
Status decode(const Json& value, std::vector<T>& out) {
  if (!value.is_array()) return type_error(value, "a sequence");
  std::vector<T> items;
  items.reserve(value.size());
  for (const Json& element : value) {
    T item{};
    if (auto ok = decode(element, item); !ok) return ok;
    items.push_back(std::move(item));
  }
  out = std::move(items);
  return {};
}

template <typename T>
Status decode(const Json& value, std::map<std::string, T>& out) {
  if (!value.is_object()) return type_error(value, "a map");
  std::map<std::string, T> items;
  for (const auto& [key, element] : value.items()) {
    T item{};
    if (auto ok = decode(element, item); !ok) return ok;
    items[key] = std::move(item);
  }
  out = std::move(items);
  return {};
}

inline Json encode(bool value) { return value; }
inline Json encode(const std::string& value) { return value; }
inline Json encode(double value) { return std::isfinite(value) ? Json(value) : Json(nullptr); }
inline Json encode(float value) { return encode(static_cast<double>(value)); }

template <std::integral I>
requires(!std::same_as<I, bool>) Json encode(I value) { return value; }

template <Enumeration E>
Json encode(E value) {
  return std::string(EnumNames<E>::names[static_cast<std::size_t>(value)]);
}

template <Record T>
Json encode(const T& value) {
  return RecordCodec<T>::write(value);
}

template <typename T>
Json encode(const std::optional<T>& value) {
  return value ? encode(*value) : Json(nullptr);
}

template <typename T>
Json encode(const std::vector<T>& value) {
  Json out = Json::array();
  for (const T& item : value) out.push_back(encode(item));
  return out;
}

template <typename T>
Json encode(const std::map<std::string, T>& value) {
  Json out = Json::object();  // std::map order: ascending bytes
  for (const auto& [key, item] : value) out[key] = encode(item);
  return out;
}

enum class UnknownKeys { kSkip, kReject };

// Reads one record's fields: open it over the stored value with the field
// names in stored order, take each field, then `status()` tells whether the
// record as a whole was read. The first failure wins.
class FieldReader {
 public:
  FieldReader(const Json& value, std::span<const std::string_view> fields, UnknownKeys unknown);

  template <typename T>
  FieldReader& required(std::string_view name, T& out) {
    return take(name, out, true);
  }
  template <typename T>
  FieldReader& optional(std::string_view name, T& out) {
    return take(name, out, false);
  }

  const Status& status() const { return status_; }

 private:
  template <typename T>
  FieldReader& take(std::string_view name, T& out, bool required) {
    if (!status_) return *this;
    const Json* value = find(name);
    if (value == nullptr) {
      if (required) status_ = kalu_ui::fail("missing field `" + std::string(name) + "`");
      return *this;
    }
    if (auto ok = decode(*value, out); !ok) {
      status_ = kalu_ui::fail("`" + std::string(name) + "`: " + ok.error());
    }
    return *this;
  }
  const Json* find(std::string_view name) const;

  const Json& value_;
  std::span<const std::string_view> fields_;
  Status status_;
};

// Reads a whole record; the error says what failed.
template <typename T>
kalu_ui::Result<T> read(const Json& value) {
  T out{};
  if (auto ok = decode(value, out); !ok) return kalu_ui::fail(ok.error());
  return out;
}

}  // namespace settings::stored::record
