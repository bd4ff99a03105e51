#include "kalu_actions/emitter.h"

#include <utility>

#include "kalu_ui/log.h"

namespace kalu_actions {

ActionEmitter::ActionEmitter(std::string resource_id, std::string action_id, ActionSpec spec,
                             ArgumentBuilder builder)
    : binding_{std::move(resource_id), std::move(action_id), std::move(spec),
               std::make_shared<const ArgumentBuilder>(std::move(builder))} {}

kalu_ui::Status ActionEmitter::emit(const ControlValue& value) {
  if (!recording_) return {};
  auto invocation = binding_.invocation(value);
  if (!invocation) return std::unexpected(invocation.error());
  // Tested before every append, so the backlog never holds more than the bound.
  if (queue_.size() >= kMaxBacklog) {
    queue_.pop_front();
    kalu_ui::log::warn("kalu::ui", "kalu_actions::emitter",
                       "control invocation backlog full; evicting oldest intent",
                       {{"resource", binding_.resource_id}, {"action", binding_.action}});
  }
  queue_.push_back(std::move(*invocation));
  return {};
}

std::optional<ControlInvocation> ActionEmitter::take() {
  if (queue_.empty()) return std::nullopt;
  ControlInvocation oldest = std::move(queue_.front());
  queue_.pop_front();
  return oldest;
}

}  // namespace kalu_actions
