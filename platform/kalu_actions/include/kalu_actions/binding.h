#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <variant>

#include "kalu_actions/args.h"
#include "kalu_actions/control_invocation.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/result.h"

namespace kalu_actions {

// The value a bound control hands over: none (a button), a boolean, a number
// or a text.
using ControlValue = std::variant<std::monostate, bool, double, std::string>;

// Turns a control's value into the argument object of an invocation.
using ArgumentBuilder = std::function<ActionArgs(const ControlValue&)>;

// Ties a control to one action of one resource.
struct ActionBinding {
  std::string resource_id;
  std::string action;
  ActionSpec spec;
  std::shared_ptr<const ArgumentBuilder> arguments;

  // The first action of `resource` named `action_name`, bound with `builder`;
  // the error names the resource id and the action name.
  static kalu_ui::Result<ActionBinding> for_action(const Resource& resource,
                                                   std::string_view action_name,
                                                   ArgumentBuilder builder);
  // The same without a value: every invocation carries no arguments.
  static kalu_ui::Result<ActionBinding> unit_for(const Resource& resource,
                                                 std::string_view action_name);

  // The action the bound spec delivers for `value`.
  kalu_ui::Result<EncodedAction> encode(const ControlValue& value) const;
  // The record of one use of the control: the arguments the spec accepted.
  kalu_ui::Result<ControlInvocation> invocation(const ControlValue& value) const;
};

}  // namespace kalu_actions
