#pragma once

#include <string>
#include <string_view>

namespace kalu_actions {

// The resource a pressable control publishes for itself: "kalu.control:"
// followed by the control's id.
inline constexpr std::string_view kControlResourcePrefix = "kalu.control:";

// One control intent recorded by a control: the resource and action it is
// bound to and the arguments the action spec wrote, as compact JSON.
struct ControlInvocation {
  std::string resource_id;
  std::string action;
  std::string arguments_json;

  friend bool operator==(const ControlInvocation&, const ControlInvocation&) = default;

  // True when the invocation names the control's own resource: the control
  // carried it out itself (a button's click runs its handler), so it is a
  // report of what happened, not a request to act on.
  bool names_own_control() const { return resource_id.starts_with(kControlResourcePrefix); }
};

}  // namespace kalu_actions
