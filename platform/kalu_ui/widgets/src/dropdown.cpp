#include "kalu_ui/widget/dropdown.h"

#include <algorithm>
#include <cmath>

#include "control_internal.h"
#include "kalu_ui/document.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {
namespace {

constexpr float kTextSize = 14.0f;

}  // namespace

Dropdown::Dropdown(std::vector<std::string> options) : options_(std::move(options)) {}

Dropdown::Dropdown(std::string value_key, std::vector<std::string> options, std::string initial)
    : Dropdown(std::move(options)) {
  value_key_ = std::move(value_key);
  value_ = std::move(initial);
}

Dropdown Dropdown::from_state(std::shared_ptr<WakeSlot<std::string>> cell,
                              std::vector<std::string> options) {
  Dropdown dropdown(std::move(options));
  dropdown.cell_ = std::move(cell);
  return dropdown;
}

Dropdown& Dropdown::with_enabled(bool enabled) & {
  enabled_ = enabled;
  if (!enabled) close();
  request_redraw();
  return *this;
}

Dropdown& Dropdown::on_change(ChangeHandler handler) & {
  on_change_ = std::move(handler);
  return *this;
}

std::string Dropdown::selected() const { return cell_ ? cell_->get() : value_; }

std::optional<std::size_t> Dropdown::index_of(const std::string& text) const {
  auto it = std::find(options_.begin(), options_.end(), text);
  if (it == options_.end()) return std::nullopt;
  return static_cast<std::size_t>(it - options_.begin());
}

void Dropdown::open() {
  if (!is_enabled() || options_.empty() || open_) return;
  open_ = true;
  highlighted_ = index_of(selected()).value_or(0);
  request_redraw();
}

void Dropdown::close() {
  if (!open_) return;
  open_ = false;
  request_redraw();
}

void Dropdown::choose(std::size_t index) {
  close();
  if (!is_enabled() || index >= options_.size()) return;
  const std::string& choice = options_[index];
  if (choice == selected()) return;
  if (cell_) {
    cell_->publish(choice);
  } else {
    value_ = choice;
    pending_write_ = value_key_.has_value();
  }
  record(choice);
  if (on_change_) (*on_change_)(choice);
  request_redraw();
}

void Dropdown::move_highlight(std::ptrdiff_t delta) {
  const auto last = static_cast<std::ptrdiff_t>(options_.size()) - 1;
  highlighted_ = static_cast<std::size_t>(
      std::clamp(static_cast<std::ptrdiff_t>(highlighted_) + delta, std::ptrdiff_t{0}, last));
  request_redraw();
}

void Dropdown::set_options(std::vector<std::string> options) {
  if (options == options_) return;
  close();
  options_ = std::move(options);
  widest_option_.reset();
  request_redraw();
}

double Dropdown::widest_option(text::TextRenderer& renderer) {
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  if (widest_option_ && measured_text_size_ == style.size) return *widest_option_;
  double widest = 0.0;
  for (const std::string& option : options_) {
    widest = std::max(
        widest,
        renderer.measure(option, style, std::nullopt, text::LayoutOption::SingleLine).width);
  }
  // Rounded up so that the width handed back to the text is never a hair
  // short of it (which would ellipsise the widest option).
  widest_option_ = std::ceil(widest);
  measured_text_size_ = style.size;
  return *widest_option_;
}

layout::LayoutSize Dropdown::measure(layout::KnownDimensions known, layout::AvailableSize,
                                     text::TextRenderer& renderer) {
  const double natural =
      std::max(static_cast<double>(kMinWidth), widest_option(renderer) + kChrome);
  return {known.width.value_or(static_cast<float>(natural)), known.height.value_or(kHeight)};
}

std::pair<double, double> Dropdown::list_span() const {
  // The closed dropdown may have been shrunk below its options; the list
  // still shows them whole.
  const double natural = widest_option_.value_or(0.0) + 2.0 * kTextInset;
  const double width = std::max(rect_.width(), natural);
  double x0 = rect_.x0;
  if (overlay_clip_ && x0 + width > overlay_clip_->x1) {
    x0 = std::max(overlay_clip_->x0, overlay_clip_->x1 - width);
  }
  return {x0, x0 + width};
}

Rect Dropdown::item_rect(std::size_t index) const {
  const double top = rect_.y1 + kListGap + static_cast<double>(index) * kItemHeight;
  const auto [x0, x1] = list_span();
  return Rect(x0, top, x1, top + kItemHeight);
}

void Dropdown::sync(doc::Document& document) {
  if (!value_key_) return;
  if (pending_write_) {
    pending_write_ = false;
    (void)document.put(doc::kRoot, *value_key_, doc::Scalar(value_));
    return;
  }
  if (std::optional<std::string> stored = document.read_str(doc::kRoot, *value_key_)) {
    if (*stored != value_) {
      value_ = std::move(*stored);
      request_redraw();
    }
  }
}

layout::Style Dropdown::leaf_style() const {
  layout::Style style;
  style.height = layout::Dimension::points(kHeight);
  style.min_width = layout::Dimension::points(kMinWidth);
  return style;
}

void Dropdown::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext&) {
  const bool enabled = is_enabled();
  scene.fill(RoundedRect{rect_, theme.control_radius}, theme.control, transform);
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  const std::string text = selected();
  const double width = std::max(0.0, rect_.width() - kChrome);
  const text::TextMetrics m = renderer.measure(text, style, width, text::LayoutOption::Ellipsize);
  renderer.draw_text(scene, text, style.with_color(enabled ? theme.foreground : theme.disabled),
                     {rect_.x0 + kTextInset, rect_.center().y - m.height / 2.0}, width,
                     text::LayoutOption::Ellipsize, transform);
  // A chevron pointing down at the right end.
  const double cx = rect_.x1 - kTextInset - kChevronWidth / 2.0;
  const double cy = rect_.center().y;
  scene.stroke(
      BezPath().move_to({cx - 5.0, cy - 2.5}).line_to({cx, cy + 2.5}).line_to({cx + 5.0, cy - 2.5}),
      enabled ? theme.secondary : theme.disabled, StrokeStyle(1.5), transform);
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);
}

void Dropdown::draw_overlay(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                            const Theme& theme, DrawContext& context) {
  if (!open_ || options_.empty()) return;
  // Kept so that the list and the clicks on it agree on where it lies.
  overlay_clip_ = context.clip;
  (void)widest_option(renderer);
  const Rect list = item_rect(0).union_with(item_rect(options_.size() - 1));
  scene.fill(RoundedRect{list, theme.control_radius}, theme.card, transform);
  scene.stroke(surface::edge_outline(list, theme.control_radius), theme.card_edge, StrokeStyle(1.0),
               transform);
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  const std::string current = selected();
  for (std::size_t i = 0; i < options_.size(); ++i) {
    const Rect item = item_rect(i);
    if (i == highlighted_) {
      scene.fill(RoundedRect{item.inset(2.0), theme.control_radius}, theme.control_hover,
                 transform);
    }
    const double width = std::max(0.0, item.width() - 2.0 * kTextInset);
    const text::TextMetrics m =
        renderer.measure(options_[i], style, width, text::LayoutOption::Ellipsize);
    const Color color = options_[i] == current ? theme.accent : theme.foreground;
    renderer.draw_text(scene, options_[i], style.with_color(color),
                       {item.x0 + kTextInset, item.center().y - m.height / 2.0}, width,
                       text::LayoutOption::Ellipsize, transform);
  }
}

void Dropdown::handle_event(const Event& event, EventContext& context) {
  if (!is_enabled()) return;
  if (const auto* down = event.as<PointerDown>()) {
    if (down->button != PointerButton::Primary) return;
    if (open_) {
      // Any press ends the open list: on an entry it picks it.
      for (std::size_t i = 0; i < options_.size(); ++i) {
        if (item_rect(i).contains(down->position)) {
          choose(i);
          context.set_handled();
          return;
        }
      }
      close();
      context.release_pointer_capture = true;
      if (rect_.contains(down->position)) context.set_handled();
      return;
    }
    if (!rect_.contains(down->position)) return;
    open();
    context.request_focus(*this);
    context.capture_pointer(*this);
    context.set_handled();
  } else if (const auto* move = event.as<PointerMove>()) {
    if (!open_) return;
    for (std::size_t i = 0; i < options_.size(); ++i) {
      if (item_rect(i).contains(move->position) && i != highlighted_) {
        highlighted_ = i;
        request_redraw();
      }
    }
  } else if (const auto* key = event.as<KeyDown>()) {
    if (!focused_ || key->modifiers.ctrl || key->modifiers.alt || key->modifiers.super) return;
    if (!open_) {
      if (detail::is_activation_key(event) || key->key == Key::Down || key->key == Key::Up) {
        open();
        context.set_handled();
      }
      return;
    }
    switch (key->key) {
      case Key::Up:
        move_highlight(-1);
        break;
      case Key::Down:
        move_highlight(1);
        break;
      case Key::Home:
        move_highlight(-static_cast<std::ptrdiff_t>(options_.size()));
        break;
      case Key::End:
        move_highlight(static_cast<std::ptrdiff_t>(options_.size()));
        break;
      case Key::Escape:
        close();
        break;
      case Key::Enter:
      case Key::Space:
        if (key->repeat) return;
        choose(highlighted_);
        break;
      default:
        return;
    }
    context.set_handled();
  }
}

void Dropdown::set_focus(bool focused) {
  focused_ = focused;
  if (!focused) close();
  request_redraw();
}

std::optional<Rect> Dropdown::ime_cursor_rect() const {
  if (!open_) return std::nullopt;
  return rect_;
}

void Dropdown::availability_changed() {
  if (!is_enabled()) close();
  request_redraw();
}

std::optional<AccessibilityNode> Dropdown::accessibility() const {
  AccessibilityNode node = control_node(controls::kRoleComboBox, label_).with_value(selected());
  node.toggled = open_;
  return node;
}

bool Dropdown::perform_action(const SemanticAction& action, const kalu_actions::ActionContext&) {
  if (!is_enabled()) return false;
  switch (action.kind) {
    case SemanticAction::Kind::Activate:
      open_ ? close() : open();
      return true;
    case SemanticAction::Kind::SetValue: {
      const auto index = action.value ? index_of(*action.value) : std::nullopt;
      if (!index) return false;
      choose(*index);
      return true;
    }
    default:
      return perform_focus_action(action);
  }
}

}  // namespace kalu_ui::widget
