#include "control_internal.h"

#include <nlohmann/json.hpp>

#include "kalu_actions/address.h"
#include "kalu_ui/log.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/controls.h"

namespace kalu_ui::widget::detail {

void draw_focus_ring(Scene& scene, const Rect& rect, const Theme& theme, const Affine& transform) {
  const double half = theme.focus_width / 2.0;
  scene.stroke(RoundedRect{rect.inflate(half + 1.0, half + 1.0), theme.control_radius + half + 1.0},
               theme.focus, StrokeStyle(theme.focus_width), transform);
}

bool is_activation_key(const Event& event) {
  const KeyDown* key = event.as<KeyDown>();
  if (!key || key->repeat) return false;
  if (key->modifiers.ctrl || key->modifiers.alt || key->modifiers.super) return false;
  return key->key == Key::Enter || key->key == Key::Space;
}

text::TextStyle label_style(text::TextRenderer& renderer, float size) {
  return renderer.renderer_input_style(text::TextStyle::sized(size));
}

std::string json_string(std::string_view text) {
  return nlohmann::json(std::string(text))
      .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<std::string> json_string_payload(Payload payload) {
  const auto parsed = nlohmann::json::parse(payload.begin(), payload.end(), nullptr, false);
  if (!parsed.is_string()) return std::nullopt;
  return parsed.get<std::string>();
}

std::optional<WidgetPlace> PressTracker::place() const {
  if (!pressed) return std::nullopt;
  WidgetPlace held;
  held.pressed = true;
  return held;
}

PressTracker::Outcome PressTracker::handle(const Event& event, const Rect& rect) {
  if (const auto* move = event.as<PointerMove>()) {
    const bool inside = rect.contains(move->position);
    if (inside == hovered) return Outcome::None;
    hovered = inside;
    return Outcome::Changed;
  }
  if (event.is<PointerLeave>()) {
    if (!hovered) return Outcome::None;
    hovered = false;
    return Outcome::Changed;
  }
  if (const auto* down = event.as<PointerDown>()) {
    if (down->button != PointerButton::Primary) return Outcome::None;
    hovered = rect.contains(down->position);
    if (!hovered || pressed) return Outcome::None;
    pressed = true;
    return Outcome::Pressed;
  }
  if (const auto* up = event.as<PointerUp>()) {
    if (up->button != PointerButton::Primary || !pressed) return Outcome::None;
    pressed = false;
    hovered = rect.contains(up->position);
    return hovered ? Outcome::Clicked : Outcome::Changed;
  }
  return Outcome::None;
}

}  // namespace kalu_ui::widget::detail

namespace kalu_ui::widget {

void BoundControl::bind(kalu_actions::ActionBinding binding) {
  emitter_.emplace(binding.resource_id, binding.action, binding.spec,
                   [arguments = binding.arguments](const kalu_actions::ControlValue& value) {
                     return arguments ? (*arguments)(value) : kalu_actions::ActionArgs();
                   });
  emitter_->set_recording(true);
  binding_.emplace(std::move(binding));
  request_redraw();
}

void BoundControl::record(const kalu_actions::ControlValue& value) {
  if (!emitter_) return;
  if (Status status = emitter_->emit(value); !status) {
    log::warn(log::kToolkitTarget, "kalu_ui::widget::controls", "control invocation not recorded",
              {{"op", "emit"}, {"resource", binding_->resource_id}, {"error", status.error()}});
  }
}

std::optional<kalu_actions::ControlInvocation> BoundControl::take_control_invocation() {
  return emitter_ ? emitter_->take() : std::nullopt;
}

std::vector<ControlActionBinding> BoundControl::control_action_bindings() const {
  if (!binding_) return semantic_action_bindings(accessibility());
  return {ControlActionBinding{id().value_or(std::string()),
                               ControlBindingTarget{ControlBindingTarget::Kind::Action,
                                                    binding_->resource_id, binding_->action}}};
}

void BoundControl::refresh_control_action_availability(std::uint64_t value) {
  if (binding_) binding_->spec.available = value != 0;
  availability_changed();
}

std::optional<std::string_view> BoundControl::place_key() const {
  if (!id_) return std::nullopt;
  return std::string_view(*id_);
}

bool BoundControl::perform_focus_action(const SemanticAction& action) {
  if (action.kind != SemanticAction::Kind::Focus && action.kind != SemanticAction::Kind::Blur) {
    return false;
  }
  set_focus(action.kind == SemanticAction::Kind::Focus);
  return true;
}

bool BoundControl::take_click(const Event& event, EventContext& context,
                              detail::PressTracker& press) {
  bool activates = false;
  switch (press.handle(event, rect_)) {
    case detail::PressTracker::Outcome::None:
      break;
    case detail::PressTracker::Outcome::Changed:
      request_redraw();
      break;
    case detail::PressTracker::Outcome::Pressed:
      request_redraw();
      context.request_focus(*this);
      context.set_handled();
      break;
    case detail::PressTracker::Outcome::Clicked:
      activates = true;
      break;
  }
  if (focused_ && detail::is_activation_key(event)) activates = true;
  if (activates) context.set_handled();
  return activates;
}

void RowLabelled::take_row_label(std::string_view label, std::string_view description) {
  if (row_label_.empty()) row_label_ = label;
  if (row_description_.empty()) row_description_ = description;
}

void label_controls(Widget& subtree, std::string_view label, std::string_view description) {
  if (auto* labelled = dynamic_cast<RowLabelled*>(&subtree)) {
    labelled->take_row_label(label, description);
  }
  for (Widget* child : subtree.children_mut()) label_controls(*child, label, description);
}

AccessibilityNode BoundControl::control_node(std::uint8_t role, std::string label) const {
  std::string description = row_description();
  if (shows_own_label() && !row_label().empty() && row_label() != label) {
    description = description.empty() ? row_label() : row_label() + ". " + description;
  } else if (!shows_own_label() && !row_label().empty()) {
    label = row_label();
  }
  AccessibilityNode node = AccessibilityNode{}
                               .with_role(role)
                               .with_label(std::move(label))
                               .with_description(std::move(description))
                               .with_id(id().value_or(std::string()));
  if (binding_) {
    node = std::move(node).with_action_address(
        kalu_actions::ActionAddress{binding_->resource_id, binding_->action}.encode());
  }
  node.focused = focused_;
  node.focusable = is_focusable();
  return node;
}

}  // namespace kalu_ui::widget
