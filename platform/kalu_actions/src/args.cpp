#include "kalu_actions/args.h"

#include <cmath>
#include <nlohmann/json.hpp>

namespace kalu_actions {

using Json = nlohmann::ordered_json;

namespace {

const Json& empty_object() {
  static const Json object = Json::object();
  return object;
}

const Json* member(const Json& object, std::string_view name) {
  auto it = object.find(name);
  return it == object.end() ? nullptr : &*it;
}

}  // namespace

ActionArgs::ActionArgs() = default;

ActionArgs::ActionArgs(std::shared_ptr<const Json> object) : object_(std::move(object)) {}

kalu_ui::Result<ActionArgs> ActionArgs::parse(std::string_view json_text) {
  Json value = Json::parse(json_text, nullptr, /*allow_exceptions=*/false);
  if (value.is_discarded()) return kalu_ui::fail("arguments are not valid JSON");
  return from_json(value);
}

kalu_ui::Result<ActionArgs> ActionArgs::from_json(const Json& value) {
  if (value.is_null()) return ActionArgs();
  if (!value.is_object()) return kalu_ui::fail("arguments must be a JSON object");
  return ActionArgs(std::make_shared<const Json>(value));
}

ActionArgs ActionArgs::with(std::string_view name, bool value) const {
  auto copy = std::make_shared<Json>(json());
  (*copy)[std::string(name)] = value;
  return ActionArgs(std::move(copy));
}

ActionArgs ActionArgs::with(std::string_view name, double value) const {
  auto copy = std::make_shared<Json>(json());
  (*copy)[std::string(name)] = std::isfinite(value) ? Json(value) : Json(nullptr);
  return ActionArgs(std::move(copy));
}

ActionArgs ActionArgs::with(std::string_view name, std::string_view value) const {
  auto copy = std::make_shared<Json>(json());
  (*copy)[std::string(name)] = std::string(value);
  return ActionArgs(std::move(copy));
}

std::optional<bool> ActionArgs::boolean(std::string_view name) const {
  const Json* v = member(json(), name);
  if (v == nullptr || !v->is_boolean()) return std::nullopt;
  return v->get<bool>();
}

std::optional<double> ActionArgs::number(std::string_view name) const {
  const Json* v = member(json(), name);
  if (v == nullptr || !v->is_number()) return std::nullopt;
  return v->get<double>();
}

std::optional<std::string> ActionArgs::text(std::string_view name) const {
  const Json* v = member(json(), name);
  if (v == nullptr || !v->is_string()) return std::nullopt;
  return v->get<std::string>();
}

const Json& ActionArgs::json() const { return object_ ? *object_ : empty_object(); }

std::string ActionArgs::to_json() const {
  return json().dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace kalu_actions
