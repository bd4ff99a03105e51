#include "kalu_ui/widget/button.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "control_internal.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {
namespace {

constexpr double kVerticalPadding = 8.0;

// The control resource of a button: "kalu.control:<id>" with the one
// parameterless action "invoke" that delivers the id to the control
// operation.
kalu_actions::Resource control_resource(const std::string& id, const std::string& label,
                                        bool available) {
  kalu_actions::ActionSpec invoke;
  invoke.name = std::string(controls::kControlInvokeName);
  invoke.label = label;
  invoke.available = available;
  invoke.operation_action_id = std::string(controls::kControlInvokeAction);
  // A JSON string of the id: the library escapes what needs escaping.
  invoke.fixed_input = kalu_actions::EncodedAction::from_text(
      std::string(controls::kControlInvokeAction), detail::json_string(id));
  return kalu_actions::Resource{fmt::format("{}{}", kalu_actions::kControlResourcePrefix, id),
                                std::string(controls::kControlResourceKind),
                                label,
                                {},
                                {}}
      .with_action(std::move(invoke));
}

}  // namespace

Button::Button(std::string label) { label_ = std::move(label); }

Button& Button::with_id(std::string id) & {
  id_ = std::move(id);
  if (control_invoke_) rebind_control_invoke();
  return *this;
}

Button& Button::with_tooltip(std::string tooltip) & {
  tooltip_ = std::move(tooltip);
  return *this;
}

Button& Button::with_enabled(bool enabled) & {
  set_enabled(enabled);
  return *this;
}

Button& Button::with_danger(bool danger) & {
  danger_ = danger;
  request_redraw();
  return *this;
}

Button& Button::with_default_answer(bool answer) & {
  default_answer_ = answer;
  return *this;
}

Button& Button::with_cancel_answer(bool answer) & {
  cancel_answer_ = answer;
  return *this;
}

Button& Button::with_size(float width, float height) & {
  fixed_size_ = layout::LayoutSize{width, height};
  layout_dirty_ = true;
  return *this;
}

Button& Button::with_min_height(float height) & {
  min_height_ = height;
  layout_dirty_ = true;
  return *this;
}

Button& Button::on_click(ClickHandler handler) & {
  return bind_control_invoke(true, std::move(handler));
}

Button& Button::bind_control_invoke(bool available, ClickHandler handler) & {
  control_invoke_ = true;
  control_available_ = available;
  rebind_control_invoke();
  handler_ = std::move(handler);
  return *this;
}

Button& Button::on_action(std::optional<kalu_actions::ActionBinding> binding) & {
  if (!binding) return *this;
  control_invoke_ = false;
  bind(std::move(*binding));
  return *this;
}

void Button::rebind_control_invoke() {
  // The resource carries the action, so binding to it cannot fail.
  auto binding = kalu_actions::ActionBinding::unit_for(
      control_resource(id_.value_or(std::string()), label_, control_available_),
      controls::kControlInvokeName);
  if (binding) bind(std::move(*binding));
}

void Button::set_label(std::string label) {
  if (label == label_) return;
  label_ = std::move(label);
  layout_dirty_ = true;
  request_redraw();
  if (control_invoke_) rebind_control_invoke();
}

void Button::set_enabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) press_.reset();
  request_redraw();
}

void Button::click() {
  if (!is_enabled()) return;
  if (handler_) (*handler_)();
  record(std::monostate{});
  request_redraw();
}

void Button::set_interaction_environment(InteractionEnvironment environment) {
  environment_ = environment;
}

layout::Style Button::leaf_style() const {
  layout::Style style;
  apply_fixed_size(style);
  return style;
}

bool Button::adjust_layout_style(layout::Style& style) { return apply_fixed_size(style); }

bool Button::apply_fixed_size(layout::Style& style) const {
  if (!fixed_size_) return false;
  const layout::Style before = style;
  // A least size: a label that needs more (a larger text size) widens it
  // (measure), and the button keeps to that rather than stretching with a
  // column.
  style.min_width = layout::Dimension::points(fixed_size_->width);
  style.min_height = layout::Dimension::points(fixed_size_->height);
  style.align_self = layout::Align::Start;
  return !(style == before);
}

bool Button::adjust_layout_with_measure(layout::Style& style, layout::LayoutSize measured) {
  bool changed = adjust_layout_style(style);
  // Never narrower than its label (nor than a size it was given).
  const layout::Dimension min_width = layout::Dimension::points(measured.width);
  if (!(style.min_width == min_width)) {
    style.min_width = min_width;
    changed = true;
  }
  return changed;
}

layout::LayoutSize Button::measure(layout::KnownDimensions known, layout::AvailableSize,
                                   text::TextRenderer& renderer) {
  const text::TextMetrics m = renderer.measure(label_, detail::label_style(renderer, kTextSize),
                                               std::nullopt, text::LayoutOption::SingleLine);
  const float label_width = static_cast<float>(std::ceil(m.width)) + 2.0f * kPaddingX;
  const float label_height = static_cast<float>(std::ceil(m.height) + 2.0 * kVerticalPadding);
  const float natural_width = fixed_size_ ? std::max(fixed_size_->width, label_width) : label_width;
  const float natural_height = fixed_size_ ? std::max(fixed_size_->height, label_height)
                                           : std::max(label_height, min_height_);
  return {known.width.value_or(natural_width), known.height.value_or(natural_height)};
}

void Button::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                          double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
  layout_dirty_ = false;
}

void Button::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                  const Theme& theme, DrawContext&) {
  const bool enabled = is_enabled();
  Color fill = danger_ ? theme.error : theme.control;
  if (enabled && press_.pressed) {
    fill = danger_ ? theme.error.with_alpha_factor(0.8) : theme.control_pressed;
  } else if (enabled && press_.hovered) {
    fill = danger_ ? theme.error.with_alpha_factor(0.9) : theme.control_hover;
  }
  scene.fill(RoundedRect{rect_, theme.control_radius}, fill, transform);
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);

  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  const text::TextMetrics m =
      renderer.measure(label_, style, std::nullopt, text::LayoutOption::SingleLine);
  const Color color = !enabled ? theme.disabled : danger_ ? theme.on_accent : theme.foreground;
  const Point origin{rect_.x0 + (rect_.width() - m.width) / 2.0,
                     rect_.y0 + (rect_.height() - m.height) / 2.0};
  renderer.draw_text(scene, label_, style.with_color(color), origin, std::nullopt,
                     text::LayoutOption::SingleLine, transform);
}

void Button::handle_event(const Event& event, EventContext& context) {
  if (!is_enabled()) return;
  if (take_click(event, context, press_)) click();
}

ActionIdSet Button::resource_operation_handlers() const {
  if (control_invoke_ && handler_) return {std::string(controls::kControlInvokeAction)};
  return {};
}

std::optional<CursorKind> Button::cursor_icon_at(double x, double y) const {
  if (!is_enabled() || !rect_.contains({x, y})) return std::nullopt;
  return controls::kCursorPointer;
}

void Button::set_focus(bool focused) {
  if (focused == focused_) return;
  focused_ = focused;
  request_redraw();
}

namespace {

// Whether a label says something in words: a letter or a digit, rather than
// only signs ("↑", "×", "…") that a screen reader reads as their shapes.
bool has_words(std::string_view label) {
  for (std::size_t i = 0; i < label.size();) {
    const auto lead = static_cast<unsigned char>(label[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = lead < 0x80   ? lead
                     : lead < 0xE0 ? lead & 0x1F
                     : lead < 0xF0 ? lead & 0x0F
                                   : lead & 0x07;
    for (std::size_t k = 1; k < length && i + k < label.size(); ++k) {
      point = (point << 6) | (static_cast<unsigned char>(label[i + k]) & 0x3F);
    }
    i += length;
    if (point < 0x80) {
      if ((point >= '0' && point <= '9') || ((point | 0x20) >= 'a' && (point | 0x20) <= 'z')) {
        return true;
      }
      continue;
    }
    // Punctuation, arrows, symbols, shapes, private signs and pictographs.
    const bool sign = (point < 0xC0) || (point >= 0x2000 && point < 0x2C00) ||
                      (point >= 0xE000 && point < 0xF900) || point >= 0x1F000;
    if (!sign) return true;
  }
  return false;
}

}  // namespace

std::optional<AccessibilityNode> Button::accessibility() const {
  // A button that shows only a sign is named by the words of its tooltip.
  const bool sign_only = tooltip_ && !tooltip_->empty() && !has_words(label_);
  AccessibilityNode node = control_node(controls::kRoleButton, sign_only ? *tooltip_ : label_);
  if (tooltip_ && !sign_only) node = std::move(node).with_description(*tooltip_);
  return node;
}

bool Button::perform_action(const SemanticAction& action, const kalu_actions::ActionContext&) {
  switch (action.kind) {
    case SemanticAction::Kind::Activate:
      if (!is_enabled()) return false;
      click();
      return true;
    default:
      return perform_focus_action(action);
  }
}

std::optional<PresenceKey> Button::presence_key() const {
  if (!id_) return std::nullopt;
  return PresenceKey{*id_};
}

std::vector<kalu_actions::Resource> Button::resources(const doc::Document&) const {
  if (!control_invoke_ || !binding()) return {};
  return {control_resource(id_.value_or(std::string()), label_, binding()->spec.available)};
}

ResourceInvokeResult Button::invoke_resource_operation_v2(OperationKind kind,
                                                          std::string_view action_id,
                                                          Payload payload,
                                                          ResourceOperationContext&) {
  if (kind == 0 || action_id != controls::kControlInvokeAction) {
    return ResourceInvokeResult::not_handled();
  }
  if (!control_invoke_ || !handler_) return ResourceInvokeResult::not_handled();
  const std::optional<std::string> target = detail::json_string_payload(payload);
  if (!target || *target != id_.value_or(std::string())) return ResourceInvokeResult::not_handled();
  if (!is_enabled()) {
    return ResourceInvokeResult::rejected(fmt::format("control \"{}\" is not available", *target));
  }
  (*handler_)();
  request_redraw();
  return ResourceInvokeResult::completed();
}

}  // namespace kalu_ui::widget
