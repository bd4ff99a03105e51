#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim_device/state.h"

// Small readers shared by the services: finding an item of a section's list
// and reading optional members. The state has passed its shape check, so the
// members they read exist with the right types.
namespace system_ops {
namespace device = ::sim_device;
}

namespace system_ops::detail {

using Json = device::Json;

inline Json* find_item(Json& list, std::string_view key, const Json& value) {
  for (auto& item : list) {
    if (item.contains(key) && item[std::string(key)] == value) return &item;
  }
  return nullptr;
}

inline const Json* find_item(const Json& list, std::string_view key, const Json& value) {
  for (const auto& item : list) {
    if (item.contains(key) && item.at(std::string(key)) == value) return &item;
  }
  return nullptr;
}

inline std::optional<std::string> opt_text(const Json& value) {
  if (!value.is_string()) return std::nullopt;
  return value.get<std::string>();
}

template <typename T>
std::optional<T> opt_value(const Json& value) {
  if (value.is_null()) return std::nullopt;
  return value.get<T>();
}

inline Json text_or_null(const std::optional<std::string>& text) {
  return text ? Json(*text) : Json(nullptr);
}

}  // namespace system_ops::detail
