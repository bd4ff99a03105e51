#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_actions/control_invocation.h"
#include "kalu_ui/geometry.h"
#include "kalu_ui/widget/action_emitter.h"
#include "kalu_ui/widget/place.h"
#include "kalu_ui/widget/support.h"
#include "widget_contract/event.h"
#include "widget_contract/records.h"

// Values the toolkit's controls share: cursor kinds, accessibility roles and
// the resource operation that presses a control.
namespace kalu_ui::widget::controls {

// The pointing hand over clickable controls, and the text beam over fields.
inline constexpr CursorKind kCursorPointer = 3;
inline constexpr CursorKind kCursorText = 8;

// Accessibility roles of the controls (after the display widgets' roles).
inline constexpr std::uint8_t kRoleButton = 10;
inline constexpr std::uint8_t kRoleSwitch = 11;
inline constexpr std::uint8_t kRoleSlider = 12;
inline constexpr std::uint8_t kRoleComboBox = 13;
inline constexpr std::uint8_t kRoleTextField = 14;
inline constexpr std::uint8_t kRoleSearchField = 15;
inline constexpr std::uint8_t kRolePasswordField = 16;
inline constexpr std::uint8_t kRoleShortcutRecorder = 17;

// The resource operation an automation client starts to press a button; its
// payload is the button's id as a JSON string.
inline constexpr std::string_view kControlInvokeAction = "kalu.ui.control.invoke";
// The resource and action every clickable button publishes.
inline constexpr std::string_view kControlResourceKind = "kalu.control";
inline constexpr std::string_view kControlInvokeName = "invoke";

}  // namespace kalu_ui::widget::controls

namespace kalu_ui::widget::detail {

// Hover and press of a clickable area: a press inside arms it, a release
// inside while armed clicks, a release elsewhere disarms it. Leaving the
// area does not disarm by itself, so moving back in and releasing clicks.
struct PressTracker {
  bool hovered = false;
  bool pressed = false;

  enum class Outcome { None, Changed, Pressed, Clicked };
  Outcome handle(const Event& event, const Rect& rect);
  void reset() { hovered = pressed = false; }
  // A press still held is the person's place: the release over the control
  // that replaces this one clicks it.
  std::optional<WidgetPlace> place() const;
  void take_place(const WidgetPlace& place) { pressed = pressed || place.pressed; }
};

}  // namespace kalu_ui::widget::detail

namespace kalu_ui::widget {

// A widget that the row it stands in names for accessibility: the row's
// label is what a screen reader says for it (a control that shows a text of
// its own, a button, keeps that text as its name and is described by the
// label instead), and the row's description describes it. The first row to
// name it wins, so a row built around an inner row leaves the inner row's
// control as that row named it.
class RowLabelled {
 public:
  virtual ~RowLabelled() = default;
  void take_row_label(std::string_view label, std::string_view description);
  const std::string& row_label() const { return row_label_; }
  const std::string& row_description() const { return row_description_; }

 protected:
  RowLabelled() = default;
  RowLabelled(const RowLabelled&) = default;
  RowLabelled(RowLabelled&&) noexcept = default;
  RowLabelled& operator=(const RowLabelled&) = default;
  RowLabelled& operator=(RowLabelled&&) noexcept = default;

 private:
  std::string row_label_;
  std::string row_description_;
};

// Hands a row's label and description to every widget under `subtree`
// (itself included) that a row can name.
void label_controls(Widget& subtree, std::string_view label, std::string_view description = {});

// What every control of the toolkit holds: an id, a label, the enabled and
// focus flags, and an optional tie to one action of the resource tree. While
// bound, each change the user makes is recorded as an invocation of that
// action for the toolkit to take, oldest first; the control is usable only
// while the action is available. Its place across rebuilds is kept under its
// id (place.h); a control holds none unless it says otherwise.
class BoundControl : public Leaf, public KeepsPlace, public RowLabelled {
 public:
  const std::optional<kalu_actions::ActionBinding>& binding() const { return binding_; }
  // True without a binding, else the bound action's availability.
  bool is_available() const { return !binding_ || binding_->spec.available; }

  bool is_focusable() const override { return control_enabled(); }
  bool is_focused() const override { return focused_; }
  std::optional<kalu_actions::ControlInvocation> take_control_invocation() override;
  // The action binding under the control's id when bound, else the semantic
  // bindings of its accessibility node.
  std::vector<ControlActionBinding> control_action_bindings() const override;
  // The value is the binding's availability (non-zero: available).
  void refresh_control_action_availability(std::uint64_t value) override;
  // The default answer of a question (Button::with_default_answer), or the
  // first field of a form that opens (where the focus goes).
  bool is_default_answer() const { return default_answer_; }
  // The answer that dismisses a question (Button::with_cancel_answer):
  // what Escape presses.
  bool is_cancel_answer() const { return cancel_answer_; }

  std::optional<std::string_view> place_key() const override;
  std::optional<WidgetPlace> place() const override { return std::nullopt; }
  void take_place(const WidgetPlace&) override {}

 protected:
  BoundControl() = default;

  // Binds (replacing an earlier binding) and starts recording.
  void bind(kalu_actions::ActionBinding binding);
  // Records a user's change; an invocation the action refuses is logged,
  // never thrown.
  void record(const kalu_actions::ControlValue& value);
  // Called after the binding's availability was refreshed.
  virtual void availability_changed() { request_redraw(); }
  // Enabled by its own flag and by the binding's availability.
  bool control_enabled() const { return enabled_ && is_available(); }
  // Focus and Blur move the focus and answer true; other actions answer false.
  bool perform_focus_action(const SemanticAction& action);
  // Feeds an event to a clickable control's press tracking: hover and press
  // redraw, a press takes the focus. True when the event activates the
  // control (a click, or Enter or Space while focused); it is then handled.
  bool take_click(const Event& event, EventContext& context, detail::PressTracker& press);
  // The control's accessibility node: role, name and description, id, the
  // action address when bound, and the focus flags. The name is the row's
  // label when a row named the control, else `label`; a control that shows
  // `label` itself keeps it and takes the row's label as its description.
  AccessibilityNode control_node(std::uint8_t role, std::string label) const;
  // Whether the control shows its label as its own visible text.
  virtual bool shows_own_label() const { return false; }

  std::optional<std::string> id_;
  std::string label_;
  bool enabled_ = true;
  bool focused_ = false;
  bool default_answer_ = false;
  bool cancel_answer_ = false;

 private:
  std::optional<kalu_actions::ActionBinding> binding_;
  std::optional<kalu_ui::widget::ActionEmitter> emitter_;
};

// The builders a labelled control shares, returning the control itself.
template <typename Self>
class ControlBase : public BoundControl {
 public:
  Self& with_id(std::string id) & {
    id_ = std::move(id);
    return self();
  }
  Self& with_label(std::string label) & {
    label_ = std::move(label);
    return self();
  }
  // Takes the focus where it was lost, as a question's default answer does.
  Self& with_default_answer(bool answer = true) & {
    default_answer_ = answer;
    return self();
  }
  // Records every change the user makes as an invocation of the bound
  // action; none (a section without that action) leaves the control as it is.
  Self& on_action(std::optional<kalu_actions::ActionBinding> binding) & {
    if (binding) bind(std::move(*binding));
    return self();
  }
  KALU_UI_RVALUE_BUILDER(Self, with_id)
  KALU_UI_RVALUE_BUILDER(Self, with_label)
  KALU_UI_RVALUE_BUILDER(Self, with_default_answer)
  KALU_UI_RVALUE_BUILDER(Self, on_action)

  std::string_view type_name() const override { return Self::kTypeName; }

 protected:
  ControlBase() = default;
  Self& self() { return static_cast<Self&>(*this); }
};

}  // namespace kalu_ui::widget
