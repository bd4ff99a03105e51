#include "kalu_actions/action_spec.h"

#include <utility>

namespace kalu_actions {

ActionParam ActionParam::with_choices(std::vector<std::string> choices) && {
  allowed_values = std::move(choices);
  return std::move(*this);
}

ActionParam ActionParam::with_schema(std::string schema) && {
  schema_json = std::move(schema);
  return std::move(*this);
}

ActionSpec ActionSpec::with_contract(ActionContract c) && {
  contract = std::move(c);
  return std::move(*this);
}

ActionSpec ActionSpec::privileged() && {
  is_privileged = true;
  return std::move(*this);
}

ActionSpec ActionSpec::destructive() && {
  is_destructive = true;
  return std::move(*this);
}

}  // namespace kalu_actions
