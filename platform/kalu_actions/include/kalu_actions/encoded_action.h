#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kalu_actions {

// An action ready to be delivered: the id of the resource operation that
// carries it and its payload, compact JSON bytes.
struct EncodedAction {
  std::string action_id;
  std::vector<std::uint8_t> payload;

  friend bool operator==(const EncodedAction&, const EncodedAction&) = default;

  static EncodedAction from_text(std::string action_id, std::string_view payload) {
    return {std::move(action_id), std::vector<std::uint8_t>(payload.begin(), payload.end())};
  }
  std::string_view payload_text() const {
    return {reinterpret_cast<const char*>(payload.data()), payload.size()};
  }
};

// Views text as the payload bytes the operation entry points take.
inline std::span<const std::uint8_t> bytes_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace kalu_actions
