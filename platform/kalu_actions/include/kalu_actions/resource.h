#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/action_spec.h"

namespace kalu_actions {

// A node of the tree published to automation clients: an id, a kind, a label,
// its actions and its child resources, both in the order they were added.
struct Resource {
  std::string id;
  std::string kind;
  std::string label;
  std::vector<ActionSpec> actions;
  std::vector<Resource> children;

  friend bool operator==(const Resource&, const Resource&) = default;

  // A resource without actions or children.
  static Resource create(std::string id, std::string kind, std::string label);

  Resource with_action(ActionSpec spec) &&;
  Resource with_child(Resource child) &&;
  // The first action with this name, or nullptr.
  const ActionSpec* action(std::string_view name) const;
  // The first resource of the tree with exactly this id, in pre-order (the
  // resource itself first), or nullptr.
  const Resource* find(std::string_view id) const;
};

}  // namespace kalu_actions
