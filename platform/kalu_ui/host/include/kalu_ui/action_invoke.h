#pragma once

// The one road by which an action of a published resource is carried out,
// whoever asks: an automation client's `invoke` (the automation host) and a
// bound control's recorded invocation (the control replay of the frame
// loop). The action is looked up afresh on the root's resource tree, its
// handler builds the resource operation from the arguments, and the spec's
// operation kind says where it goes: 0 through the namespace registry into
// the state document, 1 started on the tree under a new operation id (to be
// polled until it ends), 2 and above invoked on the tree at once. UI thread
// only; nothing here waits.

#include <expected>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/args.h"
#include "kalu_ui/document.h"
#include "kalu_ui/host.h"
#include "kalu_ui/result.h"
#include "widget_contract/records.h"

namespace kalu_ui::host {

// Why an action was not carried out: the automation error code ("not_found",
// "unavailable", "invalid_arguments") and a message for people.
struct InvokeRefusal {
  std::string code;
  std::string message;
};

template <typename T>
using InvokeResult = std::expected<T, InvokeRefusal>;

// An action that reached its owner: its spec's operation kind, the resource
// operation its handler built and what the owner answered. For an effect the
// operation id it was started under; `Accepted` means it runs on and answers
// polls of that id.
struct InvokedAction {
  OperationKind kind = 0;
  std::string action_id;
  DeviceLocalOutcome outcome;
  std::optional<ResourceOperationId> operation_id;
};

// A fresh random operation id.
ResourceOperationId new_operation_id();

// Starts `action_id` on `root` under `id` (start_resource_operation_with_document
// with the document as context). An operation no widget handles is refused
// as "not_found" ("no handler for ..."), so an id is only handed out for
// something that will answer a poll.
InvokeResult<DeviceLocalOutcome> start_operation(Widget& root, doc::Document& document,
                                                 const ResourceOperationId& id, OperationKind kind,
                                                 std::string_view action_id,
                                                 std::string_view payload);

// Carries out action `action` of the resource `resource_id` of `root`'s tree
// with `arguments`, handed to the action's handler as given. Refused, with
// nothing carried out, in this order: an unknown resource or action
// ("not_found"), an unavailable action ("unavailable"), arguments that could
// not be read (their error) or that the handler cannot build an operation
// from ("invalid_arguments"), an effect nobody handles ("not_found"). A setting nobody registered a
// namespace for answers `NotHandled`; one the namespace refuses answers `Rejected`.
InvokeResult<InvokedAction> invoke_resource_action(
    ActionHost& actions, Widget& root, doc::Document& document, std::string_view resource_id,
    std::string_view action, const Result<kalu_actions::ActionArgs>& arguments);

}  // namespace kalu_ui::host
