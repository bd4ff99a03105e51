// The check of an invocation's arguments against the parameters its action
// declares (action_spec.h, check_arguments): what the derived input schema
// promises clients is what is enforced, before any handler runs.

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <utility>

#include "kalu_actions/action_spec.h"

namespace kalu_actions {

using Json = nlohmann::ordered_json;

namespace {

// How long a list of choices grows before the rest is only counted.
constexpr std::size_t kChoiceListBytes = 400;

struct Range {
  std::optional<double> minimum;
  std::optional<double> maximum;
};

Range range_of(const ActionParam& param) {
  Range range;
  if (!param.schema_json) return range;
  const Json schema = Json::parse(*param.schema_json, nullptr, false);
  if (!schema.is_object()) return range;
  if (auto it = schema.find("minimum"); it != schema.end() && it->is_number()) {
    range.minimum = it->get<double>();
  }
  if (auto it = schema.find("maximum"); it != schema.end() && it->is_number()) {
    range.maximum = it->get<double>();
  }
  return range;
}

std::string choice_list(const std::vector<std::string>& choices) {
  std::string list;
  std::size_t shown = 0;
  for (const std::string& choice : choices) {
    if (shown > 0 && list.size() + choice.size() > kChoiceListBytes) break;
    if (shown > 0) list += ", ";
    list += choice;
    ++shown;
  }
  if (shown < choices.size()) {
    list += fmt::format(", … ({} choices in all; the action's input lists them)", choices.size());
  }
  return list;
}

// What a parameter takes, as the end of "<name> must be ...".
std::string wanted(const ActionParam& param) {
  switch (param.kind) {
    case ParamKind::Boolean:
      return "true or false";
    case ParamKind::Number: {
      const Range range = range_of(param);
      if (range.minimum && range.maximum) {
        return fmt::format("a number from {} to {}", *range.minimum, *range.maximum);
      }
      if (range.minimum) return fmt::format("a number of at least {}", *range.minimum);
      if (range.maximum) return fmt::format("a number of at most {}", *range.maximum);
      return "a number";
    }
    case ParamKind::Text:
      break;
  }
  if (param.allowed_values.empty()) return "a string";
  return fmt::format("one of {}", choice_list(param.allowed_values));
}

bool of_kind(const Json& value, ParamKind kind) {
  switch (kind) {
    case ParamKind::Boolean:
      return value.is_boolean();
    case ParamKind::Number:
      return value.is_number();
    case ParamKind::Text:
      break;
  }
  return value.is_string();
}

// The fault of a value of the right kind: out of range, or not a choice.
bool allowed(const ActionParam& param, const Json& value) {
  if (param.kind == ParamKind::Number) {
    const double number = value.get<double>();
    const Range range = range_of(param);
    return std::isfinite(number) && (!range.minimum || number >= *range.minimum) &&
           (!range.maximum || number <= *range.maximum);
  }
  if (param.kind == ParamKind::Text && !param.allowed_values.empty()) {
    return std::ranges::find(param.allowed_values, value.get<std::string>()) !=
           param.allowed_values.end();
  }
  return true;
}

std::string takes(const ActionSpec& spec) {
  if (spec.parameters.empty()) return fmt::format("{} takes no arguments", spec.name);
  std::string list;
  for (const ActionParam& param : spec.parameters) {
    if (!list.empty()) list += "; ";
    list += fmt::format("{} ({}{})", param.name, wanted(param), param.required ? "" : ", optional");
  }
  return fmt::format("{} takes {}", spec.name, list);
}

}  // namespace

std::string echo_text(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return std::string(text);
  std::size_t cut = bytes;
  // Never in the middle of a UTF-8 sequence.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return fmt::format("{}…", text.substr(0, cut));
}

kalu_ui::Status check_arguments(const ActionSpec& spec, const ActionArgs& arguments) {
  const Json& given = arguments.json();
  for (const auto& [key, value] : given.items()) {
    const bool known = std::ranges::any_of(
        spec.parameters, [&](const ActionParam& param) { return param.name == key; });
    if (!known) {
      return kalu_ui::fail("{}: unknown argument \"{}\"; {}", spec.name, echo_text(key),
                           takes(spec));
    }
  }
  for (const ActionParam& param : spec.parameters) {
    auto it = given.find(param.name);
    // Null stands for "not given", which only an optional parameter may be.
    if (it == given.end() || it->is_null()) {
      if (!param.required) continue;
      return kalu_ui::fail("{}: {} is required: {}", spec.name, param.name, wanted(param));
    }
    if (!of_kind(*it, param.kind)) {
      const std::string what = wanted(param);
      // A choice sent as a number ("percent": 60) is told the kind as well.
      const bool say_kind = param.kind == ParamKind::Text && !param.allowed_values.empty();
      return kalu_ui::fail("{}: {} must be {}{}", spec.name, param.name,
                           say_kind ? "a string, " : "", what);
    }
    if (!allowed(param, *it)) {
      return kalu_ui::fail("{}: {} must be {}", spec.name, param.name, wanted(param));
    }
  }
  return {};
}

}  // namespace kalu_actions
