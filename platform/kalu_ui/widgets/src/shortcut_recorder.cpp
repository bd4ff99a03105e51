#include "kalu_ui/widget/shortcut_recorder.h"

#include <algorithm>
#include <cmath>

#include "control_internal.h"
#include "kalu_ui/document.h"
#include "kalu_ui/log.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {
namespace {

std::optional<std::string> key_name(Key key) {
  const auto k = static_cast<int>(key);
  if (key >= Key::A && key <= Key::Z) return std::string(1, char('A' + (k - int(Key::A))));
  if (key >= Key::Digit0 && key <= Key::Digit9) {
    return std::string(1, char('0' + (k - int(Key::Digit0))));
  }
  if (key >= Key::F1 && key <= Key::F12) return "F" + std::to_string(k - int(Key::F1) + 1);
  switch (key) {
    case Key::Enter:
      return "Return";
    case Key::Space:
      return "Space";
    case Key::Tab:
      return "Tab";
    case Key::Backspace:
      return "BackSpace";
    case Key::Delete:
      return "Delete";
    case Key::Insert:
      return "Insert";
    case Key::Left:
      return "Left";
    case Key::Right:
      return "Right";
    case Key::Up:
      return "Up";
    case Key::Down:
      return "Down";
    case Key::Home:
      return "Home";
    case Key::End:
      return "End";
    case Key::PageUp:
      return "Page_Up";
    case Key::PageDown:
      return "Page_Down";
    case Key::Minus:
      return "minus";
    case Key::Equals:
      return "equal";
    case Key::Comma:
      return "comma";
    case Key::Period:
      return "period";
    case Key::Slash:
      return "slash";
    case Key::Backslash:
      return "backslash";
    case Key::Semicolon:
      return "semicolon";
    case Key::Apostrophe:
      return "apostrophe";
    case Key::BracketLeft:
      return "bracketleft";
    case Key::BracketRight:
      return "bracketright";
    case Key::Grave:
      return "grave";
    default:
      return std::nullopt;  // modifiers alone, Escape, unknown keys
  }
}

}  // namespace

ShortcutRecorder::ShortcutRecorder(std::string id, std::string value_key, std::string current,
                                   std::string default_chord)
    : id_(std::move(id)),
      value_key_(std::move(value_key)),
      chord_(std::move(current)),
      default_(std::move(default_chord)) {}

ShortcutRecorder& ShortcutRecorder::with_unavailable(bool unavailable) & {
  unavailable_ = unavailable;
  if (unavailable) armed_ = false;
  return *this;
}

ShortcutRecorder& ShortcutRecorder::on_action(
    std::optional<kalu_actions::ActionBinding> binding) & {
  if (!binding) return *this;
  emitter_.emplace(binding->resource_id, binding->action, binding->spec,
                   [arguments = binding->arguments](const kalu_actions::ControlValue& value) {
                     return arguments ? (*arguments)(value) : kalu_actions::ActionArgs();
                   });
  emitter_->set_recording(true);
  return *this;
}

std::optional<kalu_actions::ControlInvocation> ShortcutRecorder::take_control_invocation() {
  return emitter_ ? emitter_->take() : std::nullopt;
}

std::optional<std::string> ShortcutRecorder::chord_text(Key key, Modifiers modifiers) {
  std::optional<std::string> name = key_name(key);
  if (!name) return std::nullopt;
  const bool function_key = key >= Key::F1 && key <= Key::F12;
  if (!modifiers.ctrl && !modifiers.alt && !modifiers.super && !function_key) return std::nullopt;
  std::string text;
  if (modifiers.ctrl) text += "Ctrl+";
  if (modifiers.alt) text += "Alt+";
  if (modifiers.shift) text += "Shift+";
  if (modifiers.super) text += "Super+";
  return text + *name;
}

void ShortcutRecorder::arm() {
  if (!unavailable_) armed_ = true;
}

void ShortcutRecorder::propagate_flag_a(bool flag) {
  flag_a_ = flag;
  environment_.values[1] = flag ? 0 : 1;
}

void ShortcutRecorder::set_interaction_environment(InteractionEnvironment environment) {
  environment_ = environment;
}

std::optional<Instant> ShortcutRecorder::next_wake_deadline() const {
  if (pending_write_ || written_) return Instant::now();
  return std::nullopt;
}

void ShortcutRecorder::sync(doc::Document& document) {
  written_ = false;
  if (pending_write_) {
    pending_write_ = false;
    written_ = true;
    (void)document.put(doc::kRoot, value_key_, doc::Scalar(chord_));
    return;
  }
  if (auto stored = document.read_text(doc::kRoot, value_key_); stored && *stored != chord_) {
    chord_ = std::move(*stored);
    request_redraw();
  }
}

layout::Style ShortcutRecorder::leaf_style() const {
  layout::Style style;
  style.min_height = layout::Dimension::points(kHeight);
  style.min_width = layout::Dimension::points(kMinWidth);
  style.flex_shrink = 0.0f;
  return style;
}

layout::LayoutSize ShortcutRecorder::measure(layout::KnownDimensions known, layout::AvailableSize,
                                             text::TextRenderer& renderer) {
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  double width = 0.0;
  double height = 0.0;
  // Whatever it may show: the chord (or "Disabled") and the prompt.
  for (const std::string& text :
       {chord_.empty() ? std::string("Disabled") : chord_, std::string("Press a shortcut…")}) {
    const text::TextMetrics m =
        renderer.measure(text, style, std::nullopt, text::LayoutOption::SingleLine);
    width = std::max(width, m.width);
    height = std::max(height, m.height);
  }
  measured_chord_ = chord_;
  const float natural_width =
      std::max(kMinWidth, static_cast<float>(std::ceil(width)) + 2.0f * kTextInset);
  const float natural_height = std::max(kHeight, static_cast<float>(std::ceil(height)) + 16.0f);
  return {known.width.value_or(natural_width), known.height.value_or(natural_height)};
}

void ShortcutRecorder::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                            const Theme& theme, DrawContext&) {
  scene.fill(RoundedRect{rect_, theme.control_radius},
             armed_ ? theme.control_pressed : theme.control, transform);
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  const std::string text = armed_ ? "Press a shortcut…" : chord_.empty() ? "Disabled" : chord_;
  const text::TextMetrics m =
      renderer.measure(text, style, std::nullopt, text::LayoutOption::SingleLine);
  const Color color = unavailable_               ? theme.disabled
                      : armed_ || chord_.empty() ? theme.secondary
                                                 : theme.foreground;
  renderer.draw_text(scene, text, style.with_color(color),
                     {rect_.x0 + kTextInset, rect_.center().y - m.height / 2.0}, std::nullopt,
                     text::LayoutOption::SingleLine, transform);
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);
}

void ShortcutRecorder::handle_event(const Event& event, EventContext& context) {
  if (unavailable_) return;
  if (press_.handle(event, rect_) == detail::PressTracker::Outcome::Clicked) {
    context.request_focus(*this);
    arm();
    context.set_handled();
    return;
  }
  const KeyDown* key = event.as<KeyDown>();
  if (!key || !focused_ || key->repeat) return;
  if (!armed_) {
    if (detail::is_activation_key(event)) {
      arm();
      context.set_handled();
    }
    return;
  }
  if (key->key == Key::Escape) {
    armed_ = false;
    context.set_handled();
    return;
  }
  if (std::optional<std::string> chord = chord_text(key->key, key->modifiers)) {
    chord_ = std::move(*chord);
    pending_write_ = true;
    armed_ = false;
    if (emitter_) {
      if (Status status = emitter_->emit(chord_); !status) {
        log::warn(log::kToolkitTarget, "kalu_ui::widget::shortcut_recorder",
                  "control invocation not recorded",
                  {{"op", "emit"}, {"resource", id_}, {"error", status.error()}});
      }
    }
  }
  // While armed every key belongs to the recording.
  context.set_handled();
}

std::optional<CursorKind> ShortcutRecorder::cursor_icon_at(double x, double y) const {
  if (unavailable_ || !rect_.contains({x, y})) return std::nullopt;
  return controls::kCursorPointer;
}

std::optional<std::string> ShortcutRecorder::tooltip() const {
  if (!unavailable_) return std::nullopt;
  return std::string(kUnavailableTooltip);
}

void ShortcutRecorder::set_focus(bool focused) {
  focused_ = focused;
  if (!focused) armed_ = false;
}

std::optional<AccessibilityNode> ShortcutRecorder::accessibility() const {
  AccessibilityNode node = AccessibilityNode{}
                               .with_role(controls::kRoleShortcutRecorder)
                               .with_label(row_label())
                               .with_description(row_description())
                               .with_id(id_)
                               .with_value(chord_);
  node.focused = focused_;
  node.focusable = is_focusable();
  node.toggled = armed_;
  return node;
}

bool ShortcutRecorder::perform_action(const SemanticAction& action,
                                      const kalu_actions::ActionContext&) {
  if (action.kind != SemanticAction::Kind::Activate || unavailable_) return false;
  arm();
  return true;
}

}  // namespace kalu_ui::widget
