#include "kalu_ui/widget/slider.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "control_internal.h"
#include "kalu_ui/document.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {
namespace {

// A range whose ends are not numbers is [0, 1]; reversed ends are swapped.
std::pair<double, double> sane_range(double min, double max) {
  if (!std::isfinite(min)) min = 0.0;
  if (!std::isfinite(max)) max = std::max(min, 1.0);
  if (max < min) std::swap(min, max);
  return {min, max};
}

}  // namespace

Slider::Slider(double min, double max) {
  std::tie(min_, max_) = sane_range(min, max);
  value_ = min_;
}

Slider::Slider(std::string value_key, double min, double max, double initial) : Slider(min, max) {
  value_key_ = std::move(value_key);
  value_ = clamp(initial);
}

Slider Slider::from_state(std::shared_ptr<WakeSlot<double>> cell, double min, double max) {
  Slider slider(min, max);
  slider.cell_ = std::move(cell);
  return slider;
}

Slider& Slider::with_step(double step) & {
  step_ = std::isfinite(step) && step > 0.0 ? step : 0.0;
  return *this;
}

Slider& Slider::with_enabled(bool enabled) & {
  set_enabled(enabled);
  return *this;
}

Slider& Slider::on_change(ChangeHandler handler) & {
  on_change_ = std::move(handler);
  return *this;
}

double Slider::value() const { return clamp(cell_ ? cell_->get() : value_); }

double Slider::clamp(double value) const {
  if (std::isnan(value)) return min_;
  value = std::clamp(value, min_, max_);
  if (step_ > 0.0) value = std::min(max_, min_ + std::round((value - min_) / step_) * step_);
  return value;
}

void Slider::set_by_user(double requested) {
  if (!is_enabled()) return;
  const double next = clamp(requested);
  if (next == value()) return;
  if (cell_) {
    cell_->publish(next);
  } else {
    value_ = next;
    pending_write_ = value_key_.has_value();
  }
  request_redraw();
  record(next);
  if (on_change_) (*on_change_)(next);
}

void Slider::set_enabled(bool enabled) {
  enabled_ = enabled;
  if (!enabled) dragging_ = false;
  request_redraw();
}

void Slider::set_interaction_environment(InteractionEnvironment environment) {
  environment_ = environment;
  if (environment.values[0] != 0) dragging_ = false;
}

std::optional<Instant> Slider::next_wake_deadline() const {
  if (pending_write_ || written_) return Instant::now();
  return std::nullopt;
}

void Slider::sync(doc::Document& document) {
  written_ = false;
  if (!value_key_) return;
  if (pending_write_) {
    pending_write_ = false;
    written_ = true;
    (void)document.put(doc::kRoot, *value_key_, doc::Scalar(value_));
    return;
  }
  if (std::optional<double> stored = document.read_f64(doc::kRoot, *value_key_)) {
    const double next = clamp(*stored);
    if (next != value_) {
      value_ = next;
      request_redraw();
    }
  }
}

layout::Style Slider::leaf_style() const {
  layout::Style style;
  style.height = layout::Dimension::points(kHeight);
  style.min_width = layout::Dimension::points(kMinWidth);
  style.flex_grow = 1.0f;
  return style;
}

double Slider::key_step() const {
  // Without a grid, a key moves by a hundredth of the range.
  return step_ > 0.0 ? step_ : (max_ - min_) / 100.0;
}

double Slider::value_at(double x) const {
  const double span = track_x1() - track_x0();
  if (!(span > 0.0)) return min_;
  const double t = std::clamp((x - track_x0()) / span, 0.0, 1.0);
  return min_ + t * (max_ - min_);
}

void Slider::draw(Scene& scene, const Affine& transform, text::TextRenderer&, const Theme& theme,
                  DrawContext&) {
  const bool enabled = is_enabled();
  const double cy = rect_.center().y;
  const double range = max_ - min_;
  const double t = range > 0.0 ? (value() - min_) / range : 0.0;
  const double thumb_x = track_x0() + t * std::max(0.0, track_x1() - track_x0());
  const Rect track{track_x0(), cy - 2.0, std::max(track_x0(), track_x1()), cy + 2.0};
  scene.fill(RoundedRect{track, 2.0}, theme.control, transform);
  scene.fill(RoundedRect{Rect{track.x0, track.y0, thumb_x, track.y1}, 2.0},
             enabled ? theme.accent : theme.disabled, transform);
  scene.fill(Circle{{thumb_x, cy}, kThumbRadius}, enabled ? theme.foreground : theme.disabled,
             transform);
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);
}

void Slider::handle_event(const Event& event, EventContext& context) {
  if (!is_enabled()) return;
  if (const auto* down = event.as<PointerDown>()) {
    if (down->button != PointerButton::Primary || !rect_.contains(down->position)) return;
    dragging_ = true;
    context.capture_pointer(*this);
    context.request_focus(*this);
    set_by_user(value_at(down->position.x));
    context.set_handled();
  } else if (const auto* move = event.as<PointerMove>()) {
    if (!dragging_) return;
    set_by_user(value_at(move->position.x));
    context.set_handled();
  } else if (const auto* up = event.as<PointerUp>()) {
    if (!dragging_ || up->button != PointerButton::Primary) return;
    dragging_ = false;
    set_by_user(value_at(up->position.x));
    context.release_pointer_capture = true;
    context.set_handled();
  } else if (const auto* key = event.as<KeyDown>()) {
    if (!focused_ || key->modifiers.ctrl || key->modifiers.alt || key->modifiers.super) return;
    const double step = key_step();
    const double now = value();
    std::optional<double> next;
    switch (key->key) {
      case Key::Left:
      case Key::Down:
        next = now - step;
        break;
      case Key::Right:
      case Key::Up:
        next = now + step;
        break;
      case Key::PageDown:
        next = now - 10.0 * step;
        break;
      case Key::PageUp:
        next = now + 10.0 * step;
        break;
      case Key::Home:
        next = min_;
        break;
      case Key::End:
        next = max_;
        break;
      default:
        return;
    }
    set_by_user(*next);
    context.set_handled();
  }
}

void Slider::set_focus(bool focused) {
  focused_ = focused;
  request_redraw();
}

std::optional<AccessibilityNode> Slider::accessibility() const {
  AccessibilityNode node =
      control_node(controls::kRoleSlider, label_).with_value(fmt::format("{}", value()));
  node.range = AccessibleRange{min_, max_, key_step(), value()};
  return node;
}

bool Slider::perform_action(const SemanticAction& action, const kalu_actions::ActionContext&) {
  if (!is_enabled()) return false;
  const double step = key_step();
  switch (action.kind) {
    case SemanticAction::Kind::Increment:
      set_by_user(value() + step);
      return true;
    case SemanticAction::Kind::Decrement:
      set_by_user(value() - step);
      return true;
    case SemanticAction::Kind::SetValue: {
      if (!action.value) return false;
      char* end = nullptr;
      const double parsed = std::strtod(action.value->c_str(), &end);
      if (end == action.value->c_str() || *end != '\0' || !std::isfinite(parsed)) return false;
      set_by_user(parsed);
      return true;
    }
    default:
      return perform_focus_action(action);
  }
}

}  // namespace kalu_ui::widget
