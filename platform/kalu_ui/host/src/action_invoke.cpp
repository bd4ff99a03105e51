#include "kalu_ui/action_invoke.h"

#include <fmt/format.h>
#include <sys/random.h>

#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <utility>

#include "kalu_actions/resource.h"
#include "request_line.h"
#include "widget_contract/widget.h"

namespace kalu_ui::host {

namespace {

std::unexpected<InvokeRefusal> refuse(std::string code, std::string message) {
  return std::unexpected(InvokeRefusal{std::move(code), std::move(message)});
}

// An interface operation's answer in the form a start answers.
DeviceLocalOutcome as_outcome(ResourceInvokeResult result) {
  return std::visit(
      [](auto&& v) -> DeviceLocalOutcome {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, ResourceInvokeResult::Completed>) {
          return DeviceLocalOutcome::completed(std::move(v.outcome));
        } else if constexpr (std::is_same_v<T, ResourceInvokeResult::NotHandled>) {
          return DeviceLocalOutcome::not_handled();
        } else {
          return DeviceLocalOutcome::rejected(std::move(v.message));
        }
      },
      std::move(result.value));
}

// The words of an argument a setting was given: "on", "off", the text, the
// number.
std::string said_value(const nlohmann::ordered_json& value) {
  if (value.is_boolean()) return value.get<bool>() ? "on" : "off";
  if (value.is_string()) return value.get<std::string>();
  return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// What a setting now is, for the client: "Appearance: theme set to Dark.",
// "Accessibility: Reduce motion is now on.", "Mouse & Keyboard: Turn on
// spell checking: done." (an action that takes nothing).
std::string setting_text(const kalu_actions::Resource& resource,
                         const kalu_actions::ActionSpec& spec,
                         const kalu_actions::ActionArgs& arguments) {
  const auto& given = arguments.json();
  std::string values;
  for (const kalu_actions::ActionParam& param : spec.parameters) {
    auto it = given.find(param.name);
    if (it == given.end() || it->is_null()) continue;
    if (!values.empty()) values += ", ";
    values += said_value(*it);
  }
  if (values.empty()) return fmt::format("{}: {}: done.", resource.label, spec.label);
  constexpr std::string_view kSet = "Set ";
  if (spec.label.starts_with(kSet) && spec.label.size() > kSet.size()) {
    return fmt::format("{}: {} set to {}.", resource.label, spec.label.substr(kSet.size()), values);
  }
  return fmt::format("{}: {} is now {}.", resource.label, spec.label, values);
}

// A setting goes through its namespace's handler into the document.
DeviceLocalOutcome apply_setting(ActionHost& actions, doc::Document& document,
                                 const kalu_actions::Resource& resource,
                                 const kalu_actions::ActionSpec& spec,
                                 const kalu_actions::ActionArgs& arguments,
                                 const kalu_actions::EncodedAction& encoded) {
  if (!actions.handles(encoded.action_id)) return DeviceLocalOutcome::not_handled();
  kalu_actions::ActionContext context;
  context.label = spec.label;
  context.subject = {resource.kind, resource.id};
  auto sent = actions.dispatch(document, encoded.action_id, encoded.payload_text(), context);
  if (!sent) return DeviceLocalOutcome::rejected(bounded_message(sent.error().to_string()));
  // The text, and the same sentence as a JSON string in the value, as every
  // finished operation answers.
  ResourceOperationOutcome outcome;
  outcome.text = setting_text(resource, spec, arguments);
  outcome.value_json = nlohmann::ordered_json(outcome.text)
                           .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
  return DeviceLocalOutcome::completed(std::move(outcome));
}

}  // namespace

ResourceOperationId new_operation_id() {
  ResourceOperationId id;
  if (::getrandom(id.bytes.data(), id.bytes.size(), 0) != static_cast<ssize_t>(id.bytes.size())) {
    std::random_device device;
    for (auto& b : id.bytes) b = static_cast<std::uint8_t>(device());
  }
  return id;
}

InvokeResult<DeviceLocalOutcome> start_operation(Widget& root, doc::Document& document,
                                                 const ResourceOperationId& id, OperationKind kind,
                                                 std::string_view action_id,
                                                 std::string_view payload) {
  ResourceOperationContext context{&document};
  DeviceLocalOutcome outcome = root.start_resource_operation_with_document(
      id, kind, action_id, kalu_actions::bytes_of(payload), context);
  if (outcome.is_not_handled()) {
    return refuse("not_found", fmt::format("no handler for {}", echo(action_id)));
  }
  return outcome;
}

InvokeResult<InvokedAction> invoke_resource_action(
    ActionHost& actions, Widget& root, doc::Document& document, std::string_view resource_id,
    std::string_view action, const Result<kalu_actions::ActionArgs>& arguments) {
  // Looked up afresh: what the tree offers now, not what it offered when a
  // control was bound.
  auto resource = root.resource_by_id(document, resource_id);
  if (!resource) return refuse("not_found", fmt::format("unknown resource {}", echo(resource_id)));
  const kalu_actions::ActionSpec* spec = resource->action(action);
  if (spec == nullptr) {
    return refuse("not_found",
                  fmt::format("resource {} has no action {}", echo(resource_id), echo(action)));
  }
  if (!spec->available) {
    return refuse("unavailable", fmt::format("action {} is not available", echo(action)));
  }
  if (!arguments) return refuse("invalid_arguments", arguments.error());
  auto encoded = spec->build_json(*arguments);
  if (!encoded) return refuse("invalid_arguments", encoded.error());

  InvokedAction done{spec->operation_kind, encoded->action_id, DeviceLocalOutcome::not_handled(),
                     std::nullopt};
  if (spec->operation_kind == kalu_actions::kOperationSetting) {
    done.outcome = apply_setting(actions, document, *resource, *spec, *arguments, *encoded);
    return done;
  }
  if (spec->operation_kind == kalu_actions::kOperationEffect) {
    const ResourceOperationId id = new_operation_id();
    auto started = start_operation(root, document, id, spec->operation_kind, encoded->action_id,
                                   encoded->payload_text());
    if (!started) return std::unexpected(std::move(started.error()));
    done.outcome = std::move(*started);
    // A refused start runs nothing, so it leaves no id to poll.
    if (!std::holds_alternative<DeviceLocalOutcome::Rejected>(done.outcome.value)) {
      done.operation_id = id;
    }
    return done;
  }
  ResourceOperationContext context{&document};
  done.outcome = as_outcome(root.invoke_resource_operation_v2(
      spec->operation_kind, encoded->action_id, encoded->payload, context));
  return done;
}

}  // namespace kalu_ui::host
