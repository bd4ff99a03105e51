#include "kalu_actions/json.h"

#include <nlohmann/json.hpp>

namespace kalu_actions {

using Json = nlohmann::ordered_json;

namespace {

// Embedded JSON texts travel as JSON values; a text that does not parse (it
// should not happen) travels as a string rather than being lost.
Json embedded(std::string_view text) {
  Json value = Json::parse(text, nullptr, false);
  return value.is_discarded() ? Json(std::string(text)) : value;
}

Json optional_embedded(const std::optional<std::string>& text) {
  return text ? embedded(*text) : Json(nullptr);
}

}  // namespace

Json to_json(const ActionParam& param) {
  return {{"name", param.name},
          {"label", param.label},
          {"kind", static_cast<int>(param.kind)},
          {"allowed_values", param.allowed_values},
          {"schema", optional_embedded(param.schema_json)},
          {"required", param.required}};
}

Json to_json(const ActionContract& contract) {
  return {{"scope_tags", contract.scope_tags}, {"schema", optional_embedded(contract.schema_json)}};
}

Json to_json(const ActionSpec& spec) {
  Json params = Json::array();
  for (const auto& p : spec.parameters) params.push_back(to_json(p));
  Json fixed = nullptr;
  if (spec.fixed_input) {
    fixed = {{"action_id", spec.fixed_input->action_id},
             {"payload", embedded(spec.fixed_input->payload_text())}};
  }
  return {{"name", spec.name},
          {"label", spec.label},
          {"description", spec.description},
          {"operation_kind", spec.operation_kind},
          {"operation_action_id",
           spec.operation_action_id ? Json(*spec.operation_action_id) : Json(nullptr)},
          {"parameters", std::move(params)},
          {"input", spec.input ? embedded(spec.input->schema_json) : Json(nullptr)},
          {"fixed_input", std::move(fixed)},
          {"contract", spec.contract ? to_json(*spec.contract) : Json(nullptr)},
          {"available", spec.available},
          {"privileged", spec.is_privileged},
          {"destructive", spec.is_destructive}};
}

Json to_json(const Resource& resource) {
  Json actions = Json::array();
  for (const auto& a : resource.actions) actions.push_back(to_json(a));
  Json children = Json::array();
  for (const auto& c : resource.children) children.push_back(to_json(c));
  return {{"id", resource.id},
          {"kind", resource.kind},
          {"label", resource.label},
          {"actions", std::move(actions)},
          {"children", std::move(children)}};
}

}  // namespace kalu_actions
