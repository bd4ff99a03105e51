#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_actions/encoded_action.h"

namespace kalu_actions {

// The kind codes of an action parameter, as clients see them.
enum class ParamKind : std::uint8_t { Text = 0, Number = 2, Boolean = 3 };

// Operation kinds recorded in specs and passed with every resource operation:
// local preferences, effects on the device, and moves of the user interface.
using OperationKind = std::uint8_t;
inline constexpr OperationKind kOperationSetting = 0;
inline constexpr OperationKind kOperationEffect = 1;
inline constexpr OperationKind kOperationInterface = 2;

struct ActionParam {
  std::string name;
  std::string label;
  ParamKind kind = ParamKind::Text;
  std::vector<std::string> allowed_values;
  // A JSON object (compact text) that narrows the accepted values.
  std::optional<std::string> schema_json;
  bool required = true;

  friend bool operator==(const ActionParam&, const ActionParam&) = default;

  ActionParam with_choices(std::vector<std::string> choices) &&;
  ActionParam with_schema(std::string schema_json) &&;
};

// What an action promises its callers: scope tags in order and an optional
// JSON schema (compact text) of its answer.
struct ActionContract {
  std::vector<std::string> scope_tags;
  std::optional<std::string> schema_json;

  friend bool operator==(const ActionContract&, const ActionContract&) = default;
};

// The description of one action of a resource, as published to clients.
struct ActionSpec {
  std::string name;
  std::string label;
  std::string description;
  std::vector<ActionParam> parameters;
  // The resource operation that carries an invocation of this action.
  std::optional<std::string> operation_action_id;
  // The fixed action of a parameterless spec: every invocation delivers it.
  std::optional<EncodedAction> fixed_input;
  OperationKind operation_kind = kOperationEffect;
  std::optional<ActionContract> contract;
  bool available = true;
  bool is_privileged = false;
  bool is_destructive = false;

  friend bool operator==(const ActionSpec&, const ActionSpec&) = default;

  ActionSpec with_contract(ActionContract contract) &&;
  ActionSpec privileged() &&;
  ActionSpec destructive() &&;
};

}  // namespace kalu_actions
