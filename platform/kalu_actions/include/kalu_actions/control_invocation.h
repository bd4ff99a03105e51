#pragma once

#include <string>

namespace kalu_actions {

// One control intent recorded by a control: the resource and action it is
// bound to and the arguments the action spec wrote, as compact JSON.
struct ControlInvocation {
  std::string resource_id;
  std::string action;
  std::string arguments_json;

  friend bool operator==(const ControlInvocation&, const ControlInvocation&) = default;
};

}  // namespace kalu_actions
