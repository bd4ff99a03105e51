#include "kalu_ui/widget/action_emitter.h"

#include <utility>

#include "kalu_ui/log.h"

namespace kalu_ui::widget {

ActionEmitter::ActionEmitter(std::string resource_id, std::string action_id,
                             kalu_actions::ActionSpec spec, kalu_actions::ArgumentBuilder builder)
    : binding_{std::move(resource_id), std::move(action_id), std::move(spec),
               std::make_shared<const kalu_actions::ArgumentBuilder>(std::move(builder))} {}

kalu_ui::Status ActionEmitter::emit(const kalu_actions::ControlValue& value) {
  if (!recording_) return {};
  auto invocation = binding_.invocation(value);
  if (!invocation) return std::unexpected(invocation.error());
  // Tested before every append, so the backlog never holds more than the bound.
  if (queue_.size() >= kMaxBacklog) {
    queue_.pop_front();
    kalu_ui::log::warn("kalu::ui", "kalu_ui::widget::action_emitter",
                       "control invocation backlog full; evicting oldest intent",
                       {{"resource", binding_.resource_id}, {"action", binding_.action}});
  }
  queue_.push_back(std::move(*invocation));
  return {};
}

std::optional<kalu_actions::ControlInvocation> ActionEmitter::take() {
  if (queue_.empty()) return std::nullopt;
  kalu_actions::ControlInvocation oldest = std::move(queue_.front());
  queue_.pop_front();
  return oldest;
}

}  // namespace kalu_ui::widget
