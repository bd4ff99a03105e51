#pragma once

// How an action of the automation surface turns into what it delivers. A
// handler reads the invocation's arguments (never refusing: a missing or
// mistyped argument takes its default), builds an operation record and
// answers the invocation of the record's "settings.<x>-operation" id with the
// record's compact JSON as payload; set-setting actions answer
// "settings.action". The executor and the set-setting handler judge the
// result, so nothing here checks a choice against its list or a number
// against its range (the input speeds, which are clamped, aside).
//
// Bindings are the other door to the same actions: a page control hands its
// value (a bool, a number, a text) to an argument builder, which makes the
// argument object the action's handler reads.
//
//   auto invocation = operation_invocation(NetworkOperation{
//       NetworkOperation::SetWifiEnabled{.enabled = arg_flag(args)}});

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_actions/args.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/document.h"
#include "operations/records.h"
#include "operations/table.h"

namespace settings::actions {

// ---- The operation action of each record ----

// Read off the operation table (operations/table.h).
using operations::kOperationActionId;

// The records an operation action carries.
template <typename R>
concept OperationRecord = !kOperationActionId<R>.empty();

// ---- Invocations ----

// The record's action id and its compact JSON, the same text the operation
// key embeds. Our record writer cannot fail, so the payload is never empty.
template <OperationRecord R>
kalu_actions::EncodedAction operation_invocation(const R& record) {
  return kalu_actions::EncodedAction::from_text(std::string(kOperationActionId<R>),
                                                operations::write_record(record));
}

// ---- Reading arguments: nothing is refused ----

// The boolean argument (by default "value"); absent or not a boolean: false.
bool arg_flag(const kalu_actions::ActionArgs& args, std::string_view name = "value");
// The number argument "value"; absent, null or not a number: 0.0.
double arg_level(const kalu_actions::ActionArgs& args);
// The text argument (by default "choice"), used as it stands (no trimming, no
// case folding); absent or not a text: `fallback`.
std::string arg_text(const kalu_actions::ActionArgs& args, std::string_view name = "choice",
                     std::string_view fallback = {});

// The largest unsigned 32-bit value: the id a label that matches nothing
// gets. No device or profile carries it, so the executor refuses the record.
inline constexpr std::uint32_t kNoSuchId = 4294967295u;

// The choices an action offers with the id each stands for, in order.
using LabelList = std::vector<std::pair<std::string, std::uint32_t>>;

// The id of the first label equal to `chosen` byte for byte, else kNoSuchId.
std::uint32_t lookup_label(std::span<const std::pair<std::string, std::uint32_t>> labels,
                           std::string_view chosen);
// A stream route's device: none for "Default" (the list is not consulted)
// and none for a text that matches no label.
std::optional<std::uint32_t> lookup_route(
    std::span<const std::pair<std::string, std::uint32_t>> labels, std::string_view chosen);

// The battery charge cap asked for: every trailing "%" removed, then an
// optional "+" and decimal digits only, at most 4294967295. Absent or not
// such a number: `kept` (the cap when the action was built).
std::uint32_t parse_charge_percent(const std::optional<std::string>& percent, std::uint32_t kept);

// An input speed is the one number clamped before it travels: 0.0 to 1.0
// (NaN reads as 0.0).
double clamp_input_speed(double value);

// ---- Argument builders of bindings ----

// {"value": v} from a bool; any other control value gives no arguments.
kalu_actions::ArgumentBuilder bool_arguments();
// {"value": x} from a number; a non-finite x is written as null.
kalu_actions::ArgumentBuilder number_arguments();
// {"choice": t} from a text.
kalu_actions::ArgumentBuilder choice_arguments();
// {"percent": t} from a text with its trailing "%" removed: the battery
// charge cap as the page shows it ("80%") becomes the action's "80".
kalu_actions::ArgumentBuilder percent_arguments();
// {<parameter>: t} from a text, the parameter chosen when binding.
kalu_actions::ArgumentBuilder text_arguments(std::string parameter);

// ---- Current values of the preference sections ----

// The boolean at `key` in the state document's root, else `fallback`.
bool current_bool(const kalu_ui::doc::Document& document, std::string_view key, bool fallback);
// The text (a text object or a string scalar) at `key`, else `fallback`.
std::string current_text(const kalu_ui::doc::Document& document, std::string_view key,
                         std::string_view fallback);

}  // namespace settings::actions
