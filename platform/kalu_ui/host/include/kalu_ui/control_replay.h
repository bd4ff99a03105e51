#pragma once

// The control replay: how what a person does with a bound control reaches
// the control's action. A control tied to an action of the resource tree
// (a toggle, slider, dropdown, text field or button given an ActionBinding,
// or a widget with an ActionEmitter) records each change as a
// ControlInvocation and keeps it until the toolkit takes it. Once per frame,
// after sync, the frame loop hands the tree to `ControlReplay::run`, which
// takes every waiting invocation, oldest first, and carries each out exactly
// as an automation client's `invoke` of that action would be
// (action_invoke.h): a setting is dispatched into the state document, an
// effect is started on the tree, an interface move is invoked at once.
// Operations started so are polled on later frames until they end, so their
// owner is freed as soon as they finish; a failure is logged.
//
// The newest intent of a control wins, and nothing is carried out twice: of
// several invocations of one action of one resource that wait, only the
// newest is carried out (a slider dragged across a frame, a switch flipped
// twice); one whose action still runs an operation the replay started waits
// until that operation ends instead of being refused by a busy owner, and
// one that asks for just what that operation carries out (the same
// arguments; a button pressed twice, a switch flipped back) joins it. An
// invocation that cannot be carried out (unknown resource, unavailable
// action, an owner busy with something else ...) is logged once and
// dropped. Invocations that name the control's own
// resource ("kalu.control:<id>") report what the control already did itself
// (a button's click runs its handler) and are not carried out again.
//
// Warnings go to the toolkit's target "kalu::ui" and hold the resource, the
// action and the error, never the arguments or the payload. UI thread only;
// nothing waits.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "kalu_actions/control_invocation.h"
#include "kalu_actions/dispatch.h"
#include "kalu_ui/document.h"
#include "kalu_ui/host.h"
#include "kalu_ui/instant.h"
#include "widget_contract/records.h"

namespace kalu_ui::host {

// What became of one invocation the replay took.
struct ReplayedControl {
  enum class Fate : std::uint8_t {
    Reported,    // the control carried it out itself
    Completed,   // carried out at once (a setting, an interface move)
    Started,     // an effect started, polled until it ends
    Refused,     // not carried out; logged and dropped
    Superseded,  // a newer invocation of the same action came first
    Joined,      // the same action with the same arguments was running already
  };
  kalu_actions::ControlInvocation invocation;
  Fate fate = Fate::Refused;
  // Why it was refused; empty otherwise.
  std::string message;
};

struct ReplayOptions {
  // Invocations taken in one run; more wait for the next frame.
  std::size_t max_per_run = 256;
  // Operations polled at once; starting one more gives up the oldest.
  std::size_t max_in_flight = 64;
  // An operation that has not ended by then is given up: polled once with
  // the cancel flag, so its owner is freed, and forgotten.
  std::chrono::milliseconds give_up_after{std::chrono::minutes(10)};
};

class ControlReplay {
 public:
  using Observer = std::function<void(const ReplayedControl&)>;

  // Settings are dispatched through `registry`; without one they are not
  // handled (and logged as refused).
  explicit ControlReplay(std::shared_ptr<const kalu_actions::ActionRegistry> registry = nullptr,
                         ReplayOptions options = {});

  void set_action_registry(std::shared_ptr<const kalu_actions::ActionRegistry> registry);
  // Hears of every invocation taken, once it was carried out or refused.
  void set_observer(Observer observer) { observer_ = std::move(observer); }

  // One frame's replay: polls the operations started earlier, takes every
  // waiting invocation from `root`, and carries out those whose action runs
  // nothing the replay started. Answers how many were carried out
  // (completed or started).
  std::size_t run(Widget& root, doc::Document& document, Instant now = Instant::now());

  // Operations started and not yet ended.
  std::size_t in_flight() const { return in_flight_.size(); }
  // Invocations waiting for their action's operation to end.
  std::size_t deferred() const { return waiting_.size(); }
  // True when the last run stopped at max_per_run with invocations left.
  bool more_waiting() const { return more_waiting_; }

 private:
  struct InFlight {
    ResourceOperationId id;
    std::string resource_id;
    std::string action;
    std::string arguments_json;
    std::string action_id;
    Instant started;
  };

  void poll(Widget& root, doc::Document& document, Instant now);
  void take(Widget& root);
  std::size_t carry_out_waiting(Widget& root, doc::Document& document, Instant now);
  // The operation the replay runs for the invocation's action, if any.
  const InFlight* running(const kalu_actions::ControlInvocation& invocation) const;
  void notify(const ReplayedControl& replayed) const;
  void give_up(Widget& root, doc::Document& document, const InFlight& operation);
  static void warn_operation(const InFlight& operation, std::string_view message,
                             std::string_view code, std::string_view error);
  ReplayedControl carry_out(Widget& root, doc::Document& document,
                            kalu_actions::ControlInvocation invocation, Instant now);

  ActionHost actions_;
  ReplayOptions options_;
  Observer observer_;
  std::deque<InFlight> in_flight_;
  // Taken, not yet carried out: at most one per action, oldest first.
  std::deque<kalu_actions::ControlInvocation> waiting_;
  bool more_waiting_ = false;
};

}  // namespace kalu_ui::host
