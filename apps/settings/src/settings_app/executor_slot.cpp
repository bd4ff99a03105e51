#include "settings_app/executor_slot.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <utility>

#include "settings_app/entry_points.h"

namespace settings::settings_app {
namespace {

using Completion = operations::OperationCompletion;

// The poll's answer for a final state.
kalu_ui::ResourceOperationStatus final_status(const Completion& completion,
                                              const kalu_ui::ResourceOperationId& id) {
  if (const auto* done = std::get_if<Completion::Succeeded>(&completion)) {
    return succeeded_status(id, done->message);
  }
  const auto& failed = std::get<Completion::Failed>(completion);
  return failed_status(id, std::string(kDeviceLocalFailedCode), failed.message, false);
}

bool is_final_under(const Completion& completion, const std::optional<std::string>& key) {
  const auto tag = completion.tag();
  return key && (tag == 2 || tag == 3) && completion.key() == *key;
}

}  // namespace

std::string hex_id(const kalu_ui::ResourceOperationId& id) {
  std::string hex;
  hex.reserve(id.bytes.size() * 2);
  for (const std::uint8_t byte : id.bytes) fmt::format_to(std::back_inserter(hex), "{:02x}", byte);
  return hex;
}

void OperationSlot::begin(const kalu_ui::ResourceOperationId& id, std::string_view action_id,
                          kalu_ui::Instant deadline) {
  busy_ = true;
  id_ = id;
  action_id_ = action_id;
  deadline_ = deadline;
}

std::string OperationSlot::naming() const {
  return fmt::format(" ({}, operation {})", action_id_, hex_id(id_));
}

bool OperationSlot::settle(operations::OperationCompletionCell& cell, kalu_ui::Instant now) {
  if (!busy_) return false;
  Completion completion = cell.get();
  const bool late = !is_final_under(completion, key_);
  if (late) {
    if (key_ && now < deadline_) return false;
    // A pane still at work finds nothing pending and drops its message.
    completion = Completion::Failed{key_.value_or(""), std::string(kDidNotFinishInTime)};
  }
  keep(final_status(completion, id_));
  busy_ = false;
  key_.reset();
  cell.publish(Completion::Idle{});
  return late;
}

DeviceLocalPoll OperationSlot::poll(const kalu_ui::ResourceOperationId& id) {
  if (busy_ && id == id_) return {true, std::nullopt};
  const auto finished = std::ranges::find(finished_, id, &ReleasedOperation::id);
  if (finished == finished_.end()) return {};
  DeviceLocalPoll answer{true, std::move(finished->status)};
  finished_.erase(finished);
  return answer;
}

bool OperationSlot::cancel(const kalu_ui::ResourceOperationId& id,
                           operations::OperationCompletionCell& cell) {
  if (busy_ && id == id_) {
    busy_ = false;
    key_.reset();
    cell.publish(Completion::Idle{});
    return true;
  }
  const auto finished = std::ranges::find(finished_, id, &ReleasedOperation::id);
  if (finished == finished_.end()) return false;
  finished_.erase(finished);
  return true;
}

void OperationSlot::keep(kalu_ui::ResourceOperationStatus status) {
  if (finished_.size() == kFinishedKept) finished_.erase(finished_.begin());
  finished_.push_back({id_, std::move(status)});
}

}  // namespace settings::settings_app
