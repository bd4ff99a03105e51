#include "kalu_ui/control_replay.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>
#include <variant>

#include "kalu_actions/args.h"
#include "kalu_ui/action_invoke.h"
#include "kalu_ui/log.h"
#include "widget_contract/widget.h"

namespace kalu_ui::host {

namespace {

constexpr std::string_view kModule = "kalu_ui::host::replay";

// What refused an outcome that reached its owner, or none when it went on.
std::optional<std::string> refusal_of(const DeviceLocalOutcome& outcome,
                                      std::string_view action_id) {
  if (const auto* rejected = std::get_if<DeviceLocalOutcome::Rejected>(&outcome.value)) {
    return rejected->message;
  }
  if (outcome.is_not_handled()) return fmt::format("no handler for {}", action_id);
  return std::nullopt;
}

void warn_refused(const kalu_actions::ControlInvocation& invocation, const std::string& error) {
  log::warn(log::kToolkitTarget, kModule, "control invocation refused",
            {{"op", "replay"},
             {"resource", invocation.resource_id},
             {"action", invocation.action},
             {"error", error}});
}

}  // namespace

void ControlReplay::warn_operation(const InFlight& operation, std::string_view message,
                                   std::string_view code, std::string_view error) {
  log::warn(log::kToolkitTarget, kModule, message,
            {{"op", "replay_poll"},
             {"resource", operation.resource_id},
             {"action", operation.action},
             {"action_id", operation.action_id},
             {"code", std::string(code)},
             {"error", std::string(error)}});
}

ControlReplay::ControlReplay(std::shared_ptr<const kalu_actions::ActionRegistry> registry,
                             ReplayOptions options)
    : actions_(std::move(registry)), options_(options) {}

void ControlReplay::set_action_registry(
    std::shared_ptr<const kalu_actions::ActionRegistry> registry) {
  actions_ = ActionHost(std::move(registry));
}

std::size_t ControlReplay::run(Widget& root, doc::Document& document, Instant now) {
  // Ended operations first, so that an owner they kept busy takes the next.
  poll(root, document, now);
  take(root);
  return carry_out_waiting(root, document, now);
}

void ControlReplay::notify(const ReplayedControl& replayed) const {
  if (observer_) observer_(replayed);
}

const ControlReplay::InFlight* ControlReplay::running(
    const kalu_actions::ControlInvocation& invocation) const {
  auto it = std::ranges::find_if(in_flight_, [&](const InFlight& operation) {
    return operation.resource_id == invocation.resource_id && operation.action == invocation.action;
  });
  return it == in_flight_.end() ? nullptr : &*it;
}

void ControlReplay::take(Widget& root) {
  std::size_t taken = 0;
  more_waiting_ = false;
  while (auto invocation = root.take_control_invocation()) {
    if (invocation->names_own_control()) {
      notify({std::move(*invocation), ReplayedControl::Fate::Reported, {}});
    } else {
      // The newest intent of a control replaces an older one still waiting.
      auto older = std::ranges::find_if(waiting_, [&](const auto& waiting) {
        return waiting.resource_id == invocation->resource_id &&
               waiting.action == invocation->action;
      });
      if (older != waiting_.end()) {
        notify({std::move(*older), ReplayedControl::Fate::Superseded, {}});
        waiting_.erase(older);
      }
      // Asking again for what already runs is not a second request.
      const InFlight* operation = running(*invocation);
      if (operation != nullptr && operation->arguments_json == invocation->arguments_json) {
        notify({std::move(*invocation), ReplayedControl::Fate::Joined, {}});
      } else {
        waiting_.push_back(std::move(*invocation));
      }
    }
    // A tree that keeps recording never holds the frame for long.
    if (++taken == options_.max_per_run) {
      more_waiting_ = true;
      break;
    }
  }
}

std::size_t ControlReplay::carry_out_waiting(Widget& root, doc::Document& document, Instant now) {
  std::size_t carried_out = 0;
  for (auto it = waiting_.begin(); it != waiting_.end();) {
    if (running(*it) != nullptr) {
      ++it;
      continue;
    }
    kalu_actions::ControlInvocation invocation = std::move(*it);
    it = waiting_.erase(it);
    ReplayedControl replayed = carry_out(root, document, std::move(invocation), now);
    if (replayed.fate == ReplayedControl::Fate::Completed ||
        replayed.fate == ReplayedControl::Fate::Started) {
      ++carried_out;
    }
    notify(replayed);
  }
  return carried_out;
}

ReplayedControl ControlReplay::carry_out(Widget& root, doc::Document& document,
                                         kalu_actions::ControlInvocation invocation, Instant now) {
  ReplayedControl replayed{std::move(invocation), ReplayedControl::Fate::Refused, {}};
  const kalu_actions::ControlInvocation& call = replayed.invocation;

  auto invoked = invoke_resource_action(actions_, root, document, call.resource_id, call.action,
                                        kalu_actions::ActionArgs::parse(call.arguments_json));
  std::optional<std::string> refused;
  if (!invoked) {
    refused = std::move(invoked.error().message);
  } else {
    refused = refusal_of(invoked->outcome, invoked->action_id);
  }
  if (refused) {
    warn_refused(call, *refused);
    replayed.fate = ReplayedControl::Fate::Refused;
    replayed.message = std::move(*refused);
    return replayed;
  }
  const bool running = std::holds_alternative<DeviceLocalOutcome::Accepted>(invoked->outcome.value);
  if (!running || !invoked->operation_id) {
    replayed.fate = ReplayedControl::Fate::Completed;
    return replayed;
  }
  replayed.fate = ReplayedControl::Fate::Started;
  in_flight_.push_back({*invoked->operation_id, call.resource_id, call.action, call.arguments_json,
                        invoked->action_id, now});
  while (in_flight_.size() > options_.max_in_flight) {
    const InFlight oldest = std::move(in_flight_.front());
    in_flight_.pop_front();
    give_up(root, document, oldest);
  }
  return replayed;
}

void ControlReplay::poll(Widget& root, doc::Document& document, Instant now) {
  ResourceOperationContext context{&document};
  for (auto it = in_flight_.begin(); it != in_flight_.end();) {
    if (now - it->started >= options_.give_up_after) {
      const InFlight operation = std::move(*it);
      it = in_flight_.erase(it);
      give_up(root, document, operation);
      continue;
    }
    std::optional<ResourceOperationStatus> status =
        root.poll_resource_operation(it->id, false, context);
    if (!status) {
      ++it;
      continue;
    }
    if (const auto* failed = std::get_if<ResourceOperationStatus::Failed>(&status->value)) {
      warn_operation(*it, "control action failed", failed->code, failed->message);
    } else if (const auto* cancelled =
                   std::get_if<ResourceOperationStatus::Cancelled>(&status->value)) {
      warn_operation(*it, "control action failed", "cancelled", cancelled->message);
    }
    it = in_flight_.erase(it);
  }
}

void ControlReplay::give_up(Widget& root, doc::Document& document, const InFlight& operation) {
  // The cancel flag frees whatever still holds the operation for us.
  ResourceOperationContext context{&document};
  (void)root.poll_resource_operation(operation.id, true, context);
  warn_operation(operation, "control action given up", "timeout",
                 "the operation did not end in time");
}

}  // namespace kalu_ui::host
