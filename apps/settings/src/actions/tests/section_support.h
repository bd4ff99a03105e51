#pragma once

// What the section tests read off a built section: its action names in
// order, one action by name, what invoking it delivers, its scope tags.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/args.h"
#include "kalu_actions/resource.h"

namespace settings::actions::section_testing {

inline std::vector<std::string> names(const kalu_actions::Resource& resource) {
  std::vector<std::string> out;
  for (const kalu_actions::ActionSpec& spec : resource.actions) out.push_back(spec.name);
  return out;
}

inline std::vector<std::string> child_ids(const kalu_actions::Resource& resource) {
  std::vector<std::string> out;
  for (const kalu_actions::Resource& child : resource.children) out.push_back(child.id);
  return out;
}

// The action `name` of `resource`; a failed expectation and an empty spec
// when there is none.
inline const kalu_actions::ActionSpec& action(const kalu_actions::Resource& resource,
                                              std::string_view name) {
  const kalu_actions::ActionSpec* spec = resource.action(name);
  EXPECT_NE(spec, nullptr) << resource.id << " has no " << name;
  static const kalu_actions::ActionSpec missing;
  return spec ? *spec : missing;
}

// The payload `name` delivers for `arguments`, after checking the action id.
inline std::string invoke(const kalu_actions::Resource& resource, std::string_view name,
                          std::string_view arguments, std::string_view action_id) {
  auto args = kalu_actions::ActionArgs::parse(arguments);
  EXPECT_TRUE(args);
  auto built = action(resource, name).build_json(args ? *args : kalu_actions::ActionArgs());
  if (!built) return "(failed: " + built.error() + ")";
  EXPECT_EQ(built->action_id, action_id) << name;
  return std::string(built->payload_text());
}

inline std::vector<std::string> tags_of(const kalu_actions::ActionSpec& spec) {
  return spec.contract ? spec.contract->scope_tags : std::vector<std::string>{};
}

// The allowed values of the action's only parameter.
inline std::vector<std::string> choices_of(const kalu_actions::ActionSpec& spec) {
  EXPECT_EQ(spec.parameters.size(), 1u) << spec.name;
  return spec.parameters.empty() ? std::vector<std::string>{}
                                 : spec.parameters.front().allowed_values;
}

}  // namespace settings::actions::section_testing
