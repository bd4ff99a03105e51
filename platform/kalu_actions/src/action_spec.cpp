#include "kalu_actions/action_spec.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <utility>

namespace kalu_actions {

using Json = nlohmann::ordered_json;

namespace {

std::string_view kind_name(ParamKind kind) {
  switch (kind) {
    case ParamKind::Boolean:
      return "boolean";
    case ParamKind::Number:
      return "number";
    case ParamKind::Text:
      break;
  }
  return "string";
}

Json parse_object(const std::optional<std::string>& text) {
  if (!text) return Json::object();
  Json value = Json::parse(*text, nullptr, false);
  return value.is_object() ? value : Json::object();
}

}  // namespace

ActionParam ActionParam::make(std::string name, std::string label, ParamKind kind) {
  ActionParam param;
  param.name = std::move(name);
  param.label = std::move(label);
  param.kind = kind;
  return param;
}

ActionParam ActionParam::with_choices(std::vector<std::string> choices) && {
  allowed_values = std::move(choices);
  return std::move(*this);
}

ActionParam ActionParam::with_choices(std::span<const std::string_view> choices) && {
  allowed_values.assign(choices.begin(), choices.end());
  return std::move(*this);
}

ActionParam ActionParam::with_schema(std::string schema) && {
  schema_json = std::move(schema);
  return std::move(*this);
}

ActionParam ActionParam::optional() && {
  required = false;
  return std::move(*this);
}

ActionInput derive_input(std::span<const ActionParam> parameters, const SharedHandler&,
                         std::string_view description) {
  Json properties = Json::object();
  Json required = Json::array();
  for (const auto& param : parameters) {
    Json property = {{"type", kind_name(param.kind)}, {"title", param.label}};
    if (!param.allowed_values.empty()) property["enum"] = param.allowed_values;
    const Json fragment = parse_object(param.schema_json);
    for (const auto& [key, value] : fragment.items()) property[key] = value;
    properties[param.name] = std::move(property);
    if (param.required) required.push_back(param.name);
  }
  Json schema = {{"type", "object"},
                 {"description", description},
                 {"properties", std::move(properties)},
                 {"required", std::move(required)},
                 {"additionalProperties", false}};
  return ActionInput{std::string(description),
                     schema.dump(-1, ' ', false, Json::error_handler_t::replace)};
}

EncodedAction enforce_operation_type(EncodedAction action, std::string_view operation_action_id) {
  if (action.action_id == operation_action_id) return action;
  return EncodedAction{std::string(operation_action_id), {}};
}

std::string json_string(std::string_view text) {
  return Json(std::string(text)).dump(-1, ' ', false, Json::error_handler_t::replace);
}

bool operator==(const ActionSpec& a, const ActionSpec& b) {
  return a.name == b.name && a.label == b.label && a.description == b.description &&
         a.parameters == b.parameters && a.operation_action_id == b.operation_action_id &&
         a.fixed_input == b.fixed_input && a.input == b.input &&
         a.operation_kind == b.operation_kind && a.contract == b.contract &&
         a.available == b.available && a.is_privileged == b.is_privileged &&
         a.is_destructive == b.is_destructive;
}

ActionSpec ActionSpec::typed(std::string name, std::string label, std::string description,
                             OperationKind kind, std::optional<std::string> operation_action_id,
                             std::vector<ActionParam> parameters, ActionHandler parser) {
  SharedHandler handler;
  if (!parser) {
    // Left without a handler, so that invoking it is an error, not a throw.
  } else if (operation_action_id) {
    handler = std::make_shared<const ActionHandler>(
        [parser = std::move(parser), id = *operation_action_id](const ActionArgs& args) {
          return enforce_operation_type(parser(args), id);
        });
  } else {
    handler = std::make_shared<const ActionHandler>(std::move(parser));
  }
  ActionSpec spec;
  spec.input = derive_input(parameters, handler, description);
  spec.name = std::move(name);
  spec.label = std::move(label);
  spec.description = std::move(description);
  spec.parameters = std::move(parameters);
  spec.operation_action_id = std::move(operation_action_id);
  spec.operation_kind = kind;
  spec.handler = std::move(handler);
  return spec;
}

kalu_ui::Result<ActionSpec> ActionSpec::nullary(std::string name, std::string label,
                                                OperationKind kind, std::string dispatch_action_id,
                                                kalu_ui::Result<std::string> payload_json) {
  if (!payload_json) return std::unexpected(std::move(payload_json.error()));
  EncodedAction fixed = EncodedAction::from_text(dispatch_action_id, *payload_json);
  ActionSpec spec;
  spec.name = std::move(name);
  spec.label = std::move(label);
  spec.operation_action_id = std::move(dispatch_action_id);
  spec.handler =
      std::make_shared<const ActionHandler>([fixed](const ActionArgs&) { return fixed; });
  spec.fixed_input = std::move(fixed);
  spec.operation_kind = kind;
  return spec;
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

kalu_ui::Result<EncodedAction> ActionSpec::build_json(const ActionArgs& arguments) const {
  if (!fixed_input && (!handler || !*handler)) {
    return kalu_ui::fail("action \"{}\" has no handler", name);
  }
  // Judged before the handler runs: a handler's defaults are for what the
  // spec leaves optional, never a stand-in for a value sent wrong. A
  // parameterless action is judged too: an argument it would drop ("value":
  // true sent to a flip) must not run the opposite of what was asked.
  if (auto checked = check_arguments(*this, arguments); !checked) {
    return std::unexpected(std::move(checked.error()));
  }
  if (fixed_input) return *fixed_input;
  return (*handler)(arguments);
}

}  // namespace kalu_actions
