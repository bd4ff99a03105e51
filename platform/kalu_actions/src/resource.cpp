#include "kalu_actions/resource.h"

#include <utility>

namespace kalu_actions {

Resource Resource::with_action(ActionSpec spec) && {
  actions.push_back(std::move(spec));
  return std::move(*this);
}

Resource Resource::with_child(Resource child) && {
  children.push_back(std::move(child));
  return std::move(*this);
}

const ActionSpec* Resource::action(std::string_view name) const {
  for (const auto& a : actions) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

}  // namespace kalu_actions
