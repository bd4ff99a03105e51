#include "widget_contract/records.h"

namespace kalu_ui {

AccessibilityNode AccessibilityNode::with_role(std::uint8_t r) && {
  role = r;
  return std::move(*this);
}

AccessibilityNode AccessibilityNode::with_label(std::string text) && {
  label = std::move(text);
  return std::move(*this);
}

AccessibilityNode AccessibilityNode::with_id(std::string text) && {
  id = std::move(text);
  return std::move(*this);
}

AccessibilityNode AccessibilityNode::with_description(std::string text) && {
  description = std::move(text);
  return std::move(*this);
}

AccessibilityNode AccessibilityNode::with_value(std::string text) && {
  value = std::move(text);
  return std::move(*this);
}

AccessibilityNode AccessibilityNode::with_action_address(std::string address) && {
  numeric_id = action_address_numeric_id(address);
  id = address;
  action_address = std::move(address);
  return std::move(*this);
}

std::uint64_t action_address_numeric_id(std::string_view address) {
  constexpr std::uint64_t kOffsetBasis = 0xcbf29ce484222325ULL;
  constexpr std::uint64_t kPrime = 0x100000001b3ULL;
  std::uint64_t hash = kOffsetBasis;
  auto mix = [&](std::uint8_t byte) {
    hash ^= byte;
    hash *= kPrime;
  };
  for (char c : address) mix(static_cast<std::uint8_t>(c));
  // The terminator byte keeps an address from hashing like its prefixes
  // joined with other text.
  mix(0xFF);
  return hash;
}

std::vector<ControlActionBinding> semantic_action_bindings(
    const std::optional<AccessibilityNode>& node) {
  if (!node || node->action_address.empty()) return {};
  return {ControlActionBinding{
      node->id,
      ControlBindingTarget{ControlBindingTarget::Kind::Address, node->action_address, {}}}};
}

}  // namespace kalu_ui
