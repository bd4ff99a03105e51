#include <utility>

#include "kalu_ui/host.h"
#include "kalu_ui/log.h"

namespace kalu_ui::host {

ActionHost::ActionHost(std::shared_ptr<const kalu_actions::ActionRegistry> registry,
                       std::optional<kalu_actions::ActionContext> base_context)
    : registry_(std::move(registry)), base_context_(std::move(base_context)) {}

kalu_actions::ActionResult<void> ActionHost::dispatch(
    doc::Document& document, std::string_view namespace_id, std::string_view payload_json,
    std::optional<kalu_actions::ActionContext> context) {
  using kalu_actions::ActionError;
  kalu_actions::EncodedAction invocation =
      kalu_actions::EncodedAction::from_text(std::string(namespace_id), payload_json);
  if (!registry_) return std::unexpected(ActionError::unknown_namespace(invocation.action_id));
  // The heads the document had before the action: committing pending edits
  // first keeps them apart from what the action changes.
  std::vector<doc::ChangeHash> before = document.get_heads();
  const doc::ActorId actor = document.actor();

  if (base_context_) {
    context = context ? context->enriched_by(*base_context_) : *base_context_;
  }
  auto action = registry_->decode(invocation);
  if (!action) return std::unexpected(std::move(action.error()));
  kalu_actions::LocalTransport transport;
  auto sent = context ? kalu_actions::dispatch_by_with_context(document, **action, invocation,
                                                               transport, actor, *context)
                      : kalu_actions::dispatch_by(document, **action, invocation, transport, actor);
  if (!sent) return sent;
  if (!first_heads_) first_heads_ = std::move(before);
  last_invocation_ = std::move(invocation);
  return {};
}

void ActionHost::dispatch_with_context(doc::Document& document, std::string_view namespace_id,
                                       std::string_view payload_json,
                                       std::optional<kalu_actions::ActionContext> context) {
  auto sent = dispatch(document, namespace_id, payload_json, std::move(context));
  if (!sent) {
    log::warn("kalu::ui", "kalu_ui::host", "action dispatch failed",
              {{"op", "dispatch"},
               {"error", sent.error().to_string()},
               {"namespace", std::string(namespace_id)}});
  }
}

}  // namespace kalu_ui::host
