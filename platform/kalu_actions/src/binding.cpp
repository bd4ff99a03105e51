#include "kalu_actions/binding.h"

#include <fmt/format.h>

#include <utility>

namespace kalu_actions {

kalu_ui::Result<ActionBinding> ActionBinding::for_action(const Resource& resource,
                                                         std::string_view action_name,
                                                         ArgumentBuilder builder) {
  const ActionSpec* spec = resource.action(action_name);
  if (spec == nullptr) {
    return kalu_ui::fail("resource {} has no action {}", resource.id, action_name);
  }
  return ActionBinding{resource.id, std::string(action_name), *spec,
                       std::make_shared<const ArgumentBuilder>(std::move(builder))};
}

kalu_ui::Result<ActionBinding> ActionBinding::unit_for(const Resource& resource,
                                                       std::string_view action_name) {
  return for_action(resource, action_name, [](const ControlValue&) { return ActionArgs(); });
}

kalu_ui::Result<EncodedAction> ActionBinding::encode(const ControlValue& value) const {
  return spec.build_json(arguments ? (*arguments)(value) : ActionArgs());
}

kalu_ui::Result<ControlInvocation> ActionBinding::invocation(const ControlValue& value) const {
  ActionArgs args = arguments ? (*arguments)(value) : ActionArgs();
  if (auto built = spec.build_json(args); !built) return std::unexpected(built.error());
  return ControlInvocation{resource_id, action, args.to_json()};
}

}  // namespace kalu_actions
