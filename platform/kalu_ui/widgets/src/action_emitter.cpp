#include "kalu_ui/widget/action_emitter.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

#include "kalu_ui/log.h"

namespace kalu_ui::widget {
namespace {

constexpr std::string_view kLogTarget = "kalu::settings";
constexpr std::string_view kLogModule = "kalu_ui::widget::action_emitter";

using kalu_actions::ParamKind;

std::string_view kind_name(ParamKind kind) {
  switch (kind) {
    case ParamKind::Text:
      return "text";
    case ParamKind::Number:
      return "number";
    case ParamKind::Boolean:
      return "boolean";
  }
  return "unknown";
}

// The JSON value of one argument, or why the parameter refuses it.
Result<nlohmann::ordered_json> argument_json(const kalu_actions::ActionParam& param,
                                             const ArgumentValue& value) {
  auto refuse = [&](std::string_view why) {
    return fail(fmt::format("argument \"{}\" {}", param.name, why));
  };
  switch (param.kind) {
    case ParamKind::Boolean:
      if (const bool* b = std::get_if<bool>(&value)) return nlohmann::ordered_json(*b);
      break;
    case ParamKind::Number:
      if (const double* d = std::get_if<double>(&value)) {
        if (!std::isfinite(*d)) return refuse("is not a finite number");
        return nlohmann::ordered_json(*d);
      }
      break;
    case ParamKind::Text:
      if (const std::string* s = std::get_if<std::string>(&value)) {
        if (!param.allowed_values.empty() &&
            std::find(param.allowed_values.begin(), param.allowed_values.end(), *s) ==
                param.allowed_values.end()) {
          return refuse(fmt::format("is not one of the allowed values (got \"{}\")", *s));
        }
        return nlohmann::ordered_json(*s);
      }
      break;
  }
  return refuse(fmt::format("must be {}", kind_name(param.kind)));
}

}  // namespace

std::string encode_action_address(std::string_view resource_id, std::string_view action) {
  std::string address;
  address.reserve(resource_id.size() + 1 + action.size());
  address.append(resource_id).append("#").append(action);
  return address;
}

Result<std::string> build_arguments_json(const kalu_actions::ActionSpec& spec,
                                         const ActionArguments& arguments) {
  for (const ActionArgument& argument : arguments) {
    const bool known = std::any_of(spec.parameters.begin(), spec.parameters.end(),
                                   [&](const auto& p) { return p.name == argument.name; });
    if (!known) {
      return fail(fmt::format("action \"{}\" has no parameter \"{}\"", spec.name, argument.name));
    }
  }
  nlohmann::ordered_json object = nlohmann::ordered_json::object();
  for (const kalu_actions::ActionParam& param : spec.parameters) {
    auto found = std::find_if(arguments.begin(), arguments.end(),
                              [&](const ActionArgument& a) { return a.name == param.name; });
    if (found == arguments.end()) {
      if (param.required) return fail(fmt::format("missing argument \"{}\"", param.name));
      continue;
    }
    Result<nlohmann::ordered_json> value = argument_json(param, found->value);
    if (!value) return fail(std::move(value.error()));
    object[param.name] = std::move(*value);
  }
  // Texts were checked to be strings of the caller; invalid UTF-8 is
  // replaced rather than thrown.
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

ActionBinding ActionBinding::unit_for(kalu_actions::Resource resource, std::string action) {
  return ActionBinding(std::move(resource), std::move(action), std::nullopt);
}

ActionBinding ActionBinding::value_for(kalu_actions::Resource resource, std::string action,
                                       std::string parameter) {
  return ActionBinding(std::move(resource), std::move(action), std::move(parameter));
}

bool ActionBinding::is_available() const {
  const kalu_actions::ActionSpec* s = spec();
  return s != nullptr && s->available;
}

void ActionBinding::set_available(bool available) {
  for (auto& spec : resource_.actions) {
    if (spec.name == action_) {
      spec.available = available;
      return;
    }
  }
}

ControlActionBinding ActionBinding::control_binding(std::string control_id) const {
  return ControlActionBinding{
      std::move(control_id),
      ControlBindingTarget{ControlBindingTarget::Kind::Action, resource_.id, action_}};
}

void InvocationBacklog::push(kalu_actions::ControlInvocation invocation) {
  if (queue_.size() >= kControlInvocationBacklog) {
    queue_.pop_front();
    log::warn(kLogTarget, kLogModule, kBacklogFullWarning, {{"op", "emit"}});
  }
  queue_.push_back(std::move(invocation));
}

std::optional<kalu_actions::ControlInvocation> InvocationBacklog::pop() {
  if (queue_.empty()) return std::nullopt;
  kalu_actions::ControlInvocation oldest = std::move(queue_.front());
  queue_.pop_front();
  return oldest;
}

void warn_unrecorded(std::string_view resource_id, const std::string& error) {
  log::warn(kLogTarget, kLogModule, "control invocation not recorded",
            {{"op", "emit"}, {"resource", std::string(resource_id)}, {"error", error}});
}

}  // namespace kalu_ui::widget
