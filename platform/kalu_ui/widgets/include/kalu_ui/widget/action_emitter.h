#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "kalu_actions/binding.h"
#include "kalu_actions/control_invocation.h"
#include "kalu_ui/result.h"

namespace kalu_ui::widget {

// Records what a user did with a control that the toolkit does not supply (the
// time-zone map, the toolkit's own controls), as
// control invocations the toolkit takes one by one, oldest first. At most
// kMaxBacklog wait; a new one at a full backlog evicts the oldest with a
// warning. Lives in its widget, on the UI thread.
class ActionEmitter {
 public:
  static constexpr std::size_t kMaxBacklog = 64;

  ActionEmitter(std::string resource_id, std::string action_id, kalu_actions::ActionSpec spec,
                kalu_actions::ArgumentBuilder builder);

  // Records `value` while recording is on; a value the spec refuses is
  // answered as the spec's error and nothing is recorded.
  kalu_ui::Status emit(const kalu_actions::ControlValue& value);
  std::optional<kalu_actions::ControlInvocation> take();

  void set_recording(bool recording) { recording_ = recording; }
  bool recording() const { return recording_; }
  std::size_t backlog() const { return queue_.size(); }

 private:
  kalu_actions::ActionBinding binding_;
  std::deque<kalu_actions::ControlInvocation> queue_;
  bool recording_ = false;
};

}  // namespace kalu_ui::widget
