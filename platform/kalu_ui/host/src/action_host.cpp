#include <utility>

#include "kalu_ui/host.h"
#include "kalu_ui/log.h"

namespace kalu_ui::host {

ActionHost::ActionHost(std::shared_ptr<const kalu_actions::ActionRegistry> registry,
                       std::optional<kalu_actions::ActionContext> base_context,
                       std::shared_ptr<BoundDispatch> bound)
    : registry_(std::move(registry)),
      base_context_(std::move(base_context)),
      bound_(std::move(bound)) {}

kalu_actions::ActionResult<void> ActionHost::deliver(
    doc::Document& document, const kalu_actions::TypedAction& action,
    kalu_actions::EncodedAction invocation, std::optional<kalu_actions::ActionContext> context) {
  // The heads before the action: the toolkit's record when it keeps one, else
  // the document's own (committing pending edits keeps them apart from what
  // the action changes).
  std::optional<TypedActionRecord> record;
  if (bound_) record = bound_->typed_action_before(document);
  std::vector<doc::ChangeHash> before = record ? record->heads : document.get_heads();
  const doc::ActorId actor = document.actor();

  if (base_context_) {
    context = context ? context->enriched_by(*base_context_) : *base_context_;
  }
  kalu_actions::LocalTransport transport;
  auto sent = context ? kalu_actions::dispatch_by_with_context(document, action, invocation,
                                                               transport, actor, *context)
                      : kalu_actions::dispatch_by(document, action, invocation, transport, actor);
  if (!sent) return sent;
  if (record) bound_->report_typed_action(*record, action, invocation, document.get_heads());
  if (!first_heads_) first_heads_ = std::move(before);
  last_invocation_ = std::move(invocation);
  return {};
}

void ActionHost::dispatch_typed(doc::Document& document, const kalu_actions::TypedAction& action,
                                kalu_actions::EncodedAction invocation,
                                std::optional<kalu_actions::ActionContext> context) {
  const std::string namespace_id = invocation.action_id;
  auto sent = deliver(document, action, std::move(invocation), std::move(context));
  if (!sent) {
    log::warn(
        "kalu::ui", "kalu_ui::host", "action dispatch failed",
        {{"op", "dispatch"}, {"error", sent.error().to_string()}, {"namespace", namespace_id}});
  }
}

kalu_actions::ActionResult<void> ActionHost::dispatch(
    doc::Document& document, std::string_view namespace_id, std::string_view payload_json,
    std::optional<kalu_actions::ActionContext> context) {
  using kalu_actions::ActionError;
  if (!registry_) return std::unexpected(ActionError::unknown_namespace(std::string(namespace_id)));
  kalu_actions::EncodedAction invocation =
      kalu_actions::EncodedAction::from_text(std::string(namespace_id), payload_json);
  auto action = registry_->decode(invocation);
  if (!action) return std::unexpected(std::move(action.error()));
  return deliver(document, **action, std::move(invocation), std::move(context));
}

}  // namespace kalu_ui::host
