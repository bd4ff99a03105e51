#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace settings::account_probe {

using Json = nlohmann::ordered_json;

// The text under `key` of an account's configuration object; nothing when
// the configuration is not an object or the key is missing or holds
// another JSON type.
inline std::optional<std::string> text_value(const Json& config, std::string_view key) {
  if (!config.is_object()) return std::nullopt;
  auto found = config.find(key);
  if (found == config.end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

}  // namespace settings::account_probe
