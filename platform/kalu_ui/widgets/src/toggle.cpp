#include "kalu_ui/widget/toggle.h"

#include "control_internal.h"
#include "kalu_ui/document.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

Toggle::Toggle(std::string name, std::string value_key) : value_key_(std::move(value_key)) {
  label_ = std::move(name);
}

Toggle Toggle::from_state(std::shared_ptr<WakeSlot<bool>> cell) {
  Toggle toggle;
  toggle.cell_ = std::move(cell);
  return toggle;
}

Toggle& Toggle::with_enabled(bool enabled) & {
  set_enabled(enabled);
  return *this;
}

Toggle& Toggle::on_change(ChangeHandler handler) & {
  on_change_ = std::move(handler);
  return *this;
}

bool Toggle::value() const { return cell_ ? cell_->get() : value_; }

void Toggle::set_value(bool value) {
  if (cell_) {
    cell_->publish(value);
  } else {
    value_ = value;
    pending_write_ = value_key_.has_value();
  }
  request_redraw();
}

void Toggle::flip() {
  if (!is_enabled()) return;
  const bool next = !value();
  set_value(next);
  record(next);
  if (on_change_) (*on_change_)(next);
}

void Toggle::set_enabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) press_.reset();
  request_redraw();
}

void Toggle::set_interaction_environment(InteractionEnvironment environment) {
  environment_ = environment;
  if (environment.values[0] != 0) press_.pressed = false;
}

std::optional<Instant> Toggle::next_wake_deadline() const {
  if (pending_write_ || written_) return Instant::now();
  return std::nullopt;
}

void Toggle::sync(doc::Document& document) {
  written_ = false;
  if (!value_key_) return;
  if (pending_write_) {
    pending_write_ = false;
    written_ = true;
    (void)document.put(doc::kRoot, *value_key_, doc::Scalar(value_));
    return;
  }
  if (std::optional<bool> stored = document.read_bool(doc::kRoot, *value_key_)) {
    if (*stored != value_) {
      value_ = *stored;
      request_redraw();
    }
  }
}

layout::Style Toggle::leaf_style() const {
  layout::Style style;
  style.width = layout::Dimension::points(kWidth);
  style.height = layout::Dimension::points(kHeight);
  style.flex_shrink = 0.0f;
  return style;
}

void Toggle::draw(Scene& scene, const Affine& transform, text::TextRenderer&, const Theme& theme,
                  DrawContext&) {
  const bool on = value();
  const bool enabled = is_enabled();
  const Rect track = rect_;
  Color fill =
      on ? theme.accent : (press_.hovered && enabled ? theme.control_hover : theme.control);
  if (!enabled) fill = fill.with_alpha_factor(0.5);
  scene.fill(RoundedRect{track, track.height() / 2.0}, fill, transform);
  const double radius = track.height() / 2.0 - 3.0;
  const double cx = on ? track.x1 - 3.0 - radius : track.x0 + 3.0 + radius;
  const Color knob = enabled ? (on ? theme.on_accent : theme.foreground) : theme.disabled;
  scene.fill(Circle{{cx, track.center().y}, radius > 0.0 ? radius : 0.0}, knob, transform);
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);
}

void Toggle::handle_event(const Event& event, EventContext& context) {
  if (!is_enabled()) return;
  if (take_click(event, context, press_)) flip();
}

void Toggle::set_focus(bool focused) {
  focused_ = focused;
  request_redraw();
}

std::optional<AccessibilityNode> Toggle::accessibility() const {
  const bool on = value();
  AccessibilityNode node =
      control_node(controls::kRoleSwitch, label_).with_value(on ? "on" : "off");
  node.toggled = on;
  return node;
}

bool Toggle::perform_action(const SemanticAction& action, const kalu_actions::ActionContext&) {
  if (!is_enabled()) return false;
  switch (action.kind) {
    case SemanticAction::Kind::Activate:
      flip();
      return true;
    case SemanticAction::Kind::SetValue: {
      if (!action.value || (*action.value != "true" && *action.value != "false")) return false;
      if ((*action.value == "true") != value()) flip();
      return true;
    }
    default:
      return perform_focus_action(action);
  }
}

}  // namespace kalu_ui::widget
