#include "kalu_actions/resource.h"

#include <utility>

namespace kalu_actions {

Resource Resource::create(std::string id, std::string kind, std::string label) {
  return Resource{std::move(id), std::move(kind), std::move(label), {}, {}};
}

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

const Resource* Resource::find(std::string_view wanted) const {
  if (id == wanted) return this;
  for (const auto& child : children) {
    if (const Resource* hit = child.find(wanted)) return hit;
  }
  return nullptr;
}

}  // namespace kalu_actions
