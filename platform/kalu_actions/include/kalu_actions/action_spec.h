#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/args.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/result.h"

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
  // A JSON object (compact text) merged into the parameter's published
  // schema, e.g. a number's "minimum" and "maximum", which every invocation
  // is held to (check_arguments).
  std::optional<std::string> schema_json;
  bool required = true;

  friend bool operator==(const ActionParam&, const ActionParam&) = default;

  static ActionParam make(std::string name, std::string label, ParamKind kind);

  ActionParam with_choices(std::vector<std::string> choices) &&;
  ActionParam with_choices(std::span<const std::string_view> choices) &&;
  ActionParam with_schema(std::string schema_json) &&;
  ActionParam optional() &&;
};

// What an action promises its callers: scope tags in order and an optional
// JSON schema (compact text) of its answer.
struct ActionContract {
  std::vector<std::string> scope_tags;
  std::optional<std::string> schema_json;

  friend bool operator==(const ActionContract&, const ActionContract&) = default;
};

// Turns an invocation's arguments into the action it delivers. Handlers are
// immutable and may be called from any thread.
using ActionHandler = std::function<EncodedAction(const ActionArgs&)>;
using SharedHandler = std::shared_ptr<const ActionHandler>;

// The input description of a typed action, derived from its parameters: a
// JSON schema (compact text) of the argument object that clients fill.
struct ActionInput {
  std::string description;
  std::string schema_json;

  friend bool operator==(const ActionInput&, const ActionInput&) = default;
};

ActionInput derive_input(std::span<const ActionParam> parameters, const SharedHandler& handler,
                         std::string_view description);

// The delivered action with the dispatch action id the spec names. A handler
// that answered another id has its payload dropped, so the operation of the
// named id receives nothing it could mistake for its own record.
EncodedAction enforce_operation_type(EncodedAction action, std::string_view operation_action_id);

// Compact JSON text of a string, for payloads that are a plain text.
std::string json_string(std::string_view text);

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
  // The argument schema of a typed spec.
  std::optional<ActionInput> input;
  OperationKind operation_kind = kOperationEffect;
  std::optional<ActionContract> contract;
  bool available = true;
  bool is_privileged = false;
  bool is_destructive = false;
  // Shared by the spec's copies and the bindings made from it. Not part of
  // equality: two builds of the same action compare equal.
  SharedHandler handler;

  friend bool operator==(const ActionSpec& a, const ActionSpec& b);

  // A spec whose handler is `parser`, behind the operation-type check when an
  // operation action id is given.
  static ActionSpec typed(std::string name, std::string label, std::string description,
                          OperationKind kind, std::optional<std::string> operation_action_id,
                          std::vector<ActionParam> parameters, ActionHandler parser);

  // A parameterless spec that delivers `payload_json` (compact JSON written by
  // the caller's writer) to `dispatch_action_id` on every invocation. A failed
  // write is answered as the writer's error.
  static kalu_ui::Result<ActionSpec> nullary(std::string name, std::string label,
                                             OperationKind kind, std::string dispatch_action_id,
                                             kalu_ui::Result<std::string> payload_json);

  ActionSpec with_contract(ActionContract contract) &&;
  ActionSpec privileged() &&;
  ActionSpec destructive() &&;

  // The action the handler delivers for the arguments, once they passed
  // check_arguments (the check's message is the error otherwise, and the
  // handler does not run). A parameterless spec refuses any argument ("dnd:
  // unknown argument \"value\"; dnd takes no arguments"); a spec without a
  // handler is an error.
  kalu_ui::Result<EncodedAction> build_json(const ActionArgs& arguments) const;
};

// Holds an invocation's arguments to what the spec declares, as its derived
// input publishes it: no name the spec has no parameter of
// ("additionalProperties": false), every required parameter given and not
// null, each value of its parameter's kind (a boolean, a number, a string),
// a number within the parameter's "minimum" and "maximum", a text one of its
// allowed values when it has any. The first fault is the error, naming the
// action, the parameter and what it takes: "brightness: value must be a
// number from 0 to 1", "set-charge-cap: percent must be one of 60, 80, 100",
// "wifi: unknown argument \"enabled\"; wifi takes value (true or false)".
// Every road to a handler goes through it (build_json), so a client's
// invoke and a bound control's replay are judged alike.
kalu_ui::Status check_arguments(const ActionSpec& spec, const ActionArgs& arguments);

// What a refusal repeats of a client's text: at most `bytes` of it, cut at a
// character boundary and marked "…" when cut.
std::string echo_text(std::string_view text, std::size_t bytes = 64);

}  // namespace kalu_actions
