#include "stored/record_json.h"

#include <algorithm>

namespace settings::stored::record {

std::string_view json_kind(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::boolean:
      return "a boolean";
    case Json::value_t::string:
      return "a string";
    case Json::value_t::array:
      return "a sequence";
    case Json::value_t::object:
      return "a map";
    case Json::value_t::number_float:
      return "a floating point number";
    default:
      return "an integer";
  }
}

Status type_error(const Json& value, std::string_view expected) {
  return kalu_ui::fail("invalid type: " + std::string(json_kind(value)) + ", expected " +
                       std::string(expected));
}

Status decode(const Json& value, bool& out) {
  if (!value.is_boolean()) return type_error(value, "a boolean");
  out = value.get<bool>();
  return {};
}

Status decode(const Json& value, std::string& out) {
  if (!value.is_string()) return type_error(value, "a string");
  out = value.get<std::string>();
  return {};
}

Status decode(const Json& value, double& out) {
  if (!value.is_number()) return type_error(value, "a number");
  out = value.get<double>();
  return {};
}

Status decode(const Json& value, float& out) {
  double wide = 0;
  if (auto ok = decode(value, wide); !ok) return ok;
  // Out of the float range is infinity, not undefined behaviour.
  constexpr double kMax = std::numeric_limits<float>::max();
  if (wide > kMax) {
    out = std::numeric_limits<float>::infinity();
  } else if (wide < -kMax) {
    out = -std::numeric_limits<float>::infinity();
  } else {
    out = static_cast<float>(wide);
  }
  return {};
}

Status decode_enum(const Json& value, std::span<const std::string_view> names, std::size_t& index) {
  std::string text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_object() && value.size() == 1 && value.begin().value().is_null()) {
    text = value.begin().key();
  } else {
    return type_error(value, "an enumeration name");
  }
  auto found = std::find(names.begin(), names.end(), text);
  if (found == names.end()) return kalu_ui::fail("unknown variant `" + text + "`");
  index = static_cast<std::size_t>(found - names.begin());
  return {};
}

FieldReader::FieldReader(const Json& value, std::span<const std::string_view> fields,
                         UnknownKeys unknown)
    : value_(value), fields_(fields) {
  if (value.is_object()) {
    if (unknown == UnknownKeys::kReject) {
      for (const auto& [key, member] : value.items()) {
        if (std::find(fields.begin(), fields.end(), key) == fields.end()) {
          status_ = kalu_ui::fail("unknown field `" + key + "`");
          return;
        }
      }
    }
  } else if (value.is_array()) {
    if (value.size() > fields.size()) {
      status_ = kalu_ui::fail("invalid length " + std::to_string(value.size()) + ", expected " +
                              std::to_string(fields.size()) + " elements");
    }
  } else {
    status_ = type_error(value, "a record");
  }
}

const Json* FieldReader::find(std::string_view name) const {
  if (value_.is_object()) {
    auto found = value_.find(std::string(name));
    return found == value_.end() ? nullptr : &*found;
  }
  auto position = std::find(fields_.begin(), fields_.end(), name);
  auto index = static_cast<std::size_t>(position - fields_.begin());
  return index < value_.size() ? &value_[index] : nullptr;
}

}  // namespace settings::stored::record
