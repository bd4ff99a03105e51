#pragma once

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/control_invocation.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/result.h"
#include "widget_contract/records.h"

// How a control is tied to an action of the resource tree, and how it records
// what the user did with it so that the toolkit can replay or report it.
namespace kalu_ui::widget {

// At most this many recorded invocations wait to be taken; a new one at a
// full queue pushes the oldest out.
inline constexpr std::size_t kControlInvocationBacklog = 64;
inline constexpr std::string_view kBacklogFullWarning =
    "control invocation backlog full; evicting oldest intent";

// The address text of one action of a resource: the resource id, "#", the
// action name. Accessibility ids and address bindings carry it.
std::string encode_action_address(std::string_view resource_id, std::string_view action);

// One argument of an action invocation, by parameter name.
using ArgumentValue = std::variant<bool, double, std::string>;
struct ActionArgument {
  std::string name;
  ArgumentValue value;
};
using ActionArguments = std::vector<ActionArgument>;

// The arguments as the action's JSON object (compact, in parameter order),
// after checking them against the spec: every required parameter present,
// kinds matching, texts among the allowed values, numbers finite, and no
// argument the spec does not name.
Result<std::string> build_arguments_json(const kalu_actions::ActionSpec& spec,
                                         const ActionArguments& arguments);

// The arguments that carry a control's value to its action: none without a
// value parameter (or for a value with no argument form).
template <typename T>
ActionArguments arguments_for(const std::optional<std::string>& parameter, const T& value) {
  if constexpr (std::is_constructible_v<ArgumentValue, const T&>) {
    if (parameter) return {ActionArgument{*parameter, ArgumentValue(value)}};
  }
  return {};
}

// A control's tie to one action of a resource. A unit binding invokes the
// action without arguments; a value binding passes the control's value as
// the named parameter.
class ActionBinding {
 public:
  static ActionBinding unit_for(kalu_actions::Resource resource, std::string action);
  static ActionBinding value_for(kalu_actions::Resource resource, std::string action,
                                 std::string parameter);

  const kalu_actions::Resource& resource() const { return resource_; }
  const std::string& action() const { return action_; }
  const std::optional<std::string>& value_parameter() const { return parameter_; }
  // The bound action's spec; null when the resource has no such action.
  const kalu_actions::ActionSpec* spec() const { return resource_.action(action_); }
  // The action exists and is available.
  bool is_available() const;
  void set_available(bool available);
  std::string address() const { return encode_action_address(resource_.id, action_); }
  // The record control_action_bindings answers for this binding.
  ControlActionBinding control_binding(std::string control_id) const;

 private:
  ActionBinding(kalu_actions::Resource resource, std::string action,
                std::optional<std::string> parameter)
      : resource_(std::move(resource)),
        action_(std::move(action)),
        parameter_(std::move(parameter)) {}

  kalu_actions::Resource resource_;
  std::string action_;
  std::optional<std::string> parameter_;
};

// The bounded queue of recorded invocations, oldest first.
class InvocationBacklog {
 public:
  // Appends; at a full queue the oldest is dropped first, with a warning.
  void push(kalu_actions::ControlInvocation invocation);
  std::optional<kalu_actions::ControlInvocation> pop();
  std::size_t size() const { return queue_.size(); }
  bool empty() const { return queue_.empty(); }

 private:
  std::deque<kalu_actions::ControlInvocation> queue_;
};

// Records a control's values as invocations of one action. Owned by the
// emitting widget and used on the UI thread only.
template <typename T>
class ActionEmitter {
 public:
  using ArgumentBuilder = std::function<ActionArguments(const T&)>;

  ActionEmitter(std::string resource_id, std::string action_id, kalu_actions::ActionSpec spec,
                ArgumentBuilder builder)
      : resource_id_(std::move(resource_id)),
        action_id_(std::move(action_id)),
        spec_(std::move(spec)),
        builder_(std::move(builder)) {}

  // Records `value` as an invocation. Dropped while recording is off; an
  // argument the spec refuses is answered and nothing is queued.
  Status emit(T value) {
    if (!recording_) return {};
    ActionArguments arguments = builder_ ? builder_(value) : ActionArguments{};
    Result<std::string> json = build_arguments_json(spec_, arguments);
    if (!json) return fail(std::move(json.error()));
    backlog_.push({resource_id_, action_id_, std::move(*json)});
    return {};
  }

  void set_recording(bool on) { recording_ = on; }
  bool is_recording() const { return recording_; }
  // The oldest waiting invocation.
  std::optional<kalu_actions::ControlInvocation> take() { return backlog_.pop(); }
  std::size_t pending() const { return backlog_.size(); }
  const kalu_actions::ActionSpec& spec() const { return spec_; }
  void set_available(bool available) { spec_.available = available; }

 private:
  std::string resource_id_;
  std::string action_id_;
  kalu_actions::ActionSpec spec_;
  ArgumentBuilder builder_;
  InvocationBacklog backlog_;
  bool recording_ = false;
};

// A control's optional binding together with its emitter: what every
// bindable control holds.
template <typename T>
class ControlActions {
 public:
  // Binds (replacing an earlier binding) and starts recording.
  void bind(ActionBinding binding) {
    const kalu_actions::ActionSpec* spec = binding.spec();
    emitter_.emplace(binding.resource().id, binding.action(),
                     spec ? *spec : kalu_actions::ActionSpec{},
                     [param = binding.value_parameter()](const T& value) {
                       return arguments_for(param, value);
                     });
    emitter_->set_recording(true);
    binding_.emplace(std::move(binding));
  }

  bool is_bound() const { return binding_.has_value(); }
  const std::optional<ActionBinding>& binding() const { return binding_; }
  // True without a binding, else the binding's availability.
  bool is_available() const { return !binding_ || binding_->is_available(); }
  void set_available(bool available) {
    if (!binding_) return;
    binding_->set_available(available);
    emitter_->set_available(available);
  }
  // Records a user's change; a refused argument is logged, never thrown.
  void record(const T& value);
  std::optional<kalu_actions::ControlInvocation> take() {
    return emitter_ ? emitter_->take() : std::nullopt;
  }
  ActionEmitter<T>* emitter() { return emitter_ ? &*emitter_ : nullptr; }
  // The control's own binding list: its action binding when bound, else the
  // semantic bindings of its accessibility node.
  std::vector<ControlActionBinding> bindings(std::string control_id,
                                             const std::optional<AccessibilityNode>& node) const {
    if (binding_) return {binding_->control_binding(std::move(control_id))};
    return semantic_action_bindings(node);
  }

 private:
  std::optional<ActionBinding> binding_;
  std::optional<ActionEmitter<T>> emitter_;
};

// Logs a refused invocation of a control.
void warn_unrecorded(std::string_view resource_id, const std::string& error);

template <typename T>
void ControlActions<T>::record(const T& value) {
  if (!emitter_) return;
  Status status = emitter_->emit(value);
  if (!status) warn_unrecorded(binding_->resource().id, status.error());
}

}  // namespace kalu_ui::widget
