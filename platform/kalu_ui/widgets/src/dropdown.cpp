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
constexpr double kBarWidth = 4.0;
constexpr double kBarInset = 2.0;

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
  // Where the list goes is known for sure only when it is drawn (the clip
  // may have changed since), so the current choice is brought into view
  // there too.
  first_shown_ = 0;
  reveal(highlighted_);
  reveal_pending_ = true;
  request_redraw();
}

std::optional<WidgetPlace> Dropdown::place() const {
  if (!open_) return std::nullopt;
  WidgetPlace held;
  held.open_at = highlighted_;
  return held;
}

void Dropdown::take_place(const WidgetPlace& place) {
  if (!place.open_at) return;
  open();
  if (!open_) return;
  highlighted_ = std::min(*place.open_at, options_.size() - 1);
  reveal(highlighted_);
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

namespace {

// Whether `option` starts with `prefix`, ASCII letters compared without case.
bool starts_with_folded(std::string_view option, std::string_view prefix) {
  if (option.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    const auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (fold(option[i]) != fold(prefix[i])) return false;
  }
  return true;
}

// A prefix of one letter typed over and over ("ppp"): the person steps
// through the options starting with it.
bool one_letter_repeated(std::string_view typed) {
  return !typed.empty() && typed.find_first_not_of(typed.front()) == std::string_view::npos;
}

}  // namespace

bool Dropdown::typing(Instant now) const {
  return !typed_.empty() && now - typed_at_ < kTypeAheadPause;
}

void Dropdown::type_ahead(std::string_view text, Instant now) {
  if (!is_enabled() || options_.empty()) return;
  if (!typing(now)) typed_.clear();
  typed_ += text;
  typed_at_ = now;
  if (!open_) open();
  const std::size_t count = options_.size();
  auto find = [&](std::string_view prefix, std::size_t from) -> std::optional<std::size_t> {
    for (std::size_t step = 0; step < count; ++step) {
      const std::size_t index = (from + step) % count;
      if (starts_with_folded(options_[index], prefix)) return index;
    }
    return std::nullopt;
  };
  // A letter on its own, or the same one again, steps on from the highlight;
  // a longer prefix may stay where it is.
  auto search = [&](std::string_view prefix) {
    return one_letter_repeated(prefix) ? find(prefix.substr(0, 1), highlighted_ + 1)
                                       : find(prefix, highlighted_);
  };
  std::optional<std::size_t> match = search(typed_);
  // Nothing starts so: the last letters typed start a new prefix.
  if (!match && typed_.size() > text.size()) {
    typed_ = std::string(text);
    match = search(typed_);
  }
  if (!match) return;
  highlighted_ = *match;
  reveal(highlighted_);
  request_redraw();
}

void Dropdown::move_highlight(std::ptrdiff_t delta) {
  const auto last = static_cast<std::ptrdiff_t>(options_.size()) - 1;
  highlighted_ = static_cast<std::size_t>(
      std::clamp(static_cast<std::ptrdiff_t>(highlighted_) + delta, std::ptrdiff_t{0}, last));
  reveal(highlighted_);
  request_redraw();
}

std::ptrdiff_t Dropdown::page_step() const {
  // A page keeps one entry of the last in view, and moves at least one.
  return static_cast<std::ptrdiff_t>(std::max<std::size_t>(shown_count(), 2) - 1);
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
  const double widest = renderer.widest_single_line(options_, style);
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

Dropdown::Placement Dropdown::placement() const {
  const std::size_t count = options_.size();
  const double below_top = rect_.y1 + kListGap;
  if (!overlay_clip_ || count == 0) return {below_top, count};
  const double need = static_cast<double>(count) * kItemHeight;
  const double below = overlay_clip_->y1 - below_top;
  const double above = rect_.y0 - kListGap - overlay_clip_->y0;
  const bool upward = need > below && above > below;
  if (need <= (upward ? above : below)) {
    return {upward ? rect_.y0 - kListGap - need : below_top, count};
  }
  // Neither side holds it whole: as many entries as the larger side takes,
  // never fewer than one (a window too short for one still shows the choice).
  const double room = std::max(above, below);
  const auto fit = static_cast<std::size_t>(std::max(0.0, std::floor(room / kItemHeight)));
  const std::size_t shown = std::clamp<std::size_t>(fit, 1, count);
  const double height = static_cast<double>(shown) * kItemHeight;
  return {upward ? rect_.y0 - kListGap - height : below_top, shown};
}

std::size_t Dropdown::shown_count() const { return placement().shown; }

void Dropdown::scroll_to(std::size_t first) {
  const std::size_t shown = shown_count();
  const std::size_t last_first = options_.size() > shown ? options_.size() - shown : 0;
  first = std::min(first, last_first);
  if (first == first_shown_) return;
  first_shown_ = first;
  request_redraw();
}

void Dropdown::reveal(std::size_t index) {
  const std::size_t shown = shown_count();
  if (index < first_shown_) {
    scroll_to(index);
  } else if (shown > 0 && index >= first_shown_ + shown) {
    scroll_to(index + 1 - shown);
  } else {
    scroll_to(first_shown_);
  }
}

Rect Dropdown::item_rect(std::size_t index) const {
  const Placement where = placement();
  const double top =
      where.top + (static_cast<double>(index) - static_cast<double>(first_shown_)) * kItemHeight;
  const auto [x0, x1] = list_span();
  return Rect(x0, top, x1, top + kItemHeight);
}

Rect Dropdown::list_rect() const {
  const Placement where = placement();
  const auto [x0, x1] = list_span();
  return Rect(x0, where.top, x1, where.top + static_cast<double>(where.shown) * kItemHeight);
}

std::optional<std::size_t> Dropdown::shown_item_at(Point position) const {
  if (!open_ || !list_rect().contains(position)) return std::nullopt;
  const std::size_t end = std::min(options_.size(), first_shown_ + shown_count());
  for (std::size_t i = first_shown_; i < end; ++i) {
    if (item_rect(i).contains(position)) return i;
  }
  return std::nullopt;
}

void Dropdown::collect_damage(DamageList& damage) const {
  if (!needs_redraw()) return;
  damage.push_back(rect_);
  if (drawn_list_) damage.push_back(*drawn_list_);
  if (open_ && !options_.empty()) {
    const Rect list = list_rect();
    if (!drawn_list_ || !(*drawn_list_ == list)) damage.push_back(list);
  }
}

std::optional<Instant> Dropdown::next_wake_deadline() const {
  if (pending_write_ || written_) return Instant::now();
  return std::nullopt;
}

void Dropdown::sync(doc::Document& document) {
  written_ = false;
  if (!value_key_) return;
  if (pending_write_) {
    pending_write_ = false;
    written_ = true;
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
  if (!open_ || options_.empty()) {
    drawn_list_.reset();
    return;
  }
  // Kept so that the list and the clicks on it agree on where it lies.
  overlay_clip_ = context.clip;
  (void)widest_option(renderer);
  // The clip may differ from the one the scroll was last fitted to.
  if (reveal_pending_) {
    reveal_pending_ = false;
    reveal(highlighted_);
  } else {
    scroll_to(first_shown_);
  }
  const Rect list = list_rect();
  drawn_list_ = list;
  scene.fill(RoundedRect{list, theme.control_radius}, theme.card, transform);
  scene.stroke(surface::edge_outline(list, theme.control_radius), theme.card_edge, StrokeStyle(1.0),
               transform);
  const text::TextStyle style = detail::label_style(renderer, kTextSize);
  const std::string current = selected();
  const std::size_t shown = shown_count();
  const std::size_t end = std::min(options_.size(), first_shown_ + shown);
  for (std::size_t i = first_shown_; i < end; ++i) {
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
  if (shown < options_.size()) {
    // A scroll bar tells that there is more than is shown, and where.
    const double track = list.height() - 2.0 * kBarInset;
    const double ratio = static_cast<double>(shown) / static_cast<double>(options_.size());
    const double thumb = std::max(kBarWidth * 2.0, track * ratio);
    const double max_first = static_cast<double>(options_.size() - shown);
    const double top =
        list.y0 + kBarInset + (track - thumb) * (static_cast<double>(first_shown_) / max_first);
    const double x1 = list.x1 - kBarInset;
    scene.fill(RoundedRect{Rect{x1 - kBarWidth, top, x1, top + thumb}, kBarWidth / 2.0},
               theme.secondary.with_alpha_factor(0.5), transform);
  }
}

void Dropdown::handle_event(const Event& event, EventContext& context) {
  if (!is_enabled()) return;
  if (const auto* down = event.as<PointerDown>()) {
    if (down->button != PointerButton::Primary) return;
    if (open_) {
      // Any press ends the open list: on a shown entry it picks it.
      if (const auto index = shown_item_at(down->position)) {
        choose(*index);
        context.set_handled();
        return;
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
    const auto index = shown_item_at(move->position);
    if (index && *index != highlighted_) {
      highlighted_ = *index;
      request_redraw();
    }
  } else if (const auto* wheel = event.as<Wheel>()) {
    // The wheel over the open list scrolls it, not the page below it.
    if (!open_ || !list_rect().contains(wheel->position)) return;
    if (wheel->delta.y != 0.0) {
      const auto steps = static_cast<std::ptrdiff_t>(
          std::max(1.0, std::round(std::abs(wheel->delta.y) / kItemHeight)));
      const auto first =
          static_cast<std::ptrdiff_t>(first_shown_) + (wheel->delta.y > 0.0 ? steps : -steps);
      scroll_to(static_cast<std::size_t>(std::max(std::ptrdiff_t{0}, first)));
    }
    context.set_handled();
  } else if (const auto* typed = event.as<::kalu_ui::TextInput>()) {
    if (!focused_ || typed->text.empty()) return;
    type_ahead(typed->text, Instant::now());
    context.set_handled();
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
      case Key::PageUp:
        move_highlight(-page_step());
        break;
      case Key::PageDown:
        move_highlight(page_step());
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
      case Key::Space:
        // Within a typed prefix a space is part of it ("New York").
        if (typing(Instant::now())) break;
        [[fallthrough]];
      case Key::Enter:
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
