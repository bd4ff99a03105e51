#include "kalu_actions/dispatch.h"

#include <fmt/format.h>

#include <utility>

namespace kalu_actions {

ActionError ActionError::unknown_namespace(std::string namespace_id) {
  return {Kind::UnknownNamespace, std::move(namespace_id), {}};
}

ActionError ActionError::invalid_payload(std::string namespace_id, std::string message) {
  return {Kind::InvalidPayload, std::move(namespace_id), std::move(message)};
}

ActionError ActionError::failed(std::string namespace_id, std::string message) {
  return {Kind::Failed, std::move(namespace_id), std::move(message)};
}

std::string ActionError::to_string() const {
  switch (kind) {
    case Kind::UnknownNamespace:
      return fmt::format("no handler is registered for action namespace {}", namespace_id);
    case Kind::InvalidPayload:
      return fmt::format("invalid payload for action namespace {}: {}", namespace_id, message);
    case Kind::Failed:
      break;
  }
  return fmt::format("action {} failed: {}", namespace_id, message);
}

void ActionRegistry::insert(std::string namespace_id,
                            std::shared_ptr<const NamespaceHandler> handler) {
  handlers_.insert_or_assign(std::move(namespace_id), std::move(handler));
}

const NamespaceHandler* ActionRegistry::find(std::string_view namespace_id) const {
  auto it = handlers_.find(namespace_id);
  return it == handlers_.end() ? nullptr : it->second.get();
}

ActionResult<std::unique_ptr<TypedAction>> ActionRegistry::decode(
    const EncodedAction& invocation) const {
  const NamespaceHandler* handler = find(invocation.action_id);
  if (handler == nullptr)
    return std::unexpected(ActionError::unknown_namespace(invocation.action_id));
  auto action = handler->decode(invocation.payload);
  if (action && !*action) {
    return std::unexpected(
        ActionError::invalid_payload(invocation.action_id, "the handler decoded nothing"));
  }
  return action;
}

ActionResult<void> LocalTransport::deliver(kalu_ui::doc::Document& document,
                                           const TypedAction& action,
                                           const EncodedAction& invocation,
                                           std::span<const std::uint8_t>, const ActionContext*) {
  if (auto applied = action.apply(document); !applied) {
    return std::unexpected(ActionError::failed(invocation.action_id, applied.error()));
  }
  ++delivered_;
  return {};
}

ActionResult<void> dispatch_by(kalu_ui::doc::Document& document, const TypedAction& action,
                               const EncodedAction& invocation, ActionTransport& transport,
                               std::span<const std::uint8_t> actor) {
  return transport.deliver(document, action, invocation, actor, nullptr);
}

ActionResult<void> dispatch_by_with_context(
    kalu_ui::doc::Document& document, const TypedAction& action, const EncodedAction& invocation,
    ActionTransport& transport, std::span<const std::uint8_t> actor, const ActionContext& context) {
  return transport.deliver(document, action, invocation, actor, &context);
}

}  // namespace kalu_actions
