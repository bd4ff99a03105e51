#include "kalu_ui/widget/scrollable.h"

#include <algorithm>
#include <cmath>

#include "control_internal.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

namespace {

constexpr double kBarWidth = 4.0;
constexpr double kBarInset = 2.0;
constexpr double kMinThumb = 24.0;

// The event as the children see it: pointer positions moved by `shift`.
Event shifted(const Event& event, double shift) {
  Event moved = event;
  std::visit(
      [&](auto& kind) {
        if constexpr (requires { kind.position; }) kind.position.y += shift;
      },
      moved.kind);
  return moved;
}

// Whether `widget` or a widget below it answers `pick`.
template <typename Pick>
bool any_in_subtree(const Widget& widget, const Pick& pick) {
  if (pick(widget)) return true;
  for (const Widget* child : widget.children()) {
    if (child != nullptr && any_in_subtree(*child, pick)) return true;
  }
  return false;
}

}  // namespace

Scrollable::Scrollable() : Stack(layout::FlexDirection::Column) {
  adjust_layout_style(style_);
  style_.flex_grow = 1.0f;
}

Scrollable& Scrollable::with_child(WidgetBox child) & {
  clear_children();
  push_child(std::move(child));
  return *this;
}

bool Scrollable::adjust_layout_style(layout::Style& style) {
  if (style.overflow_y == layout::Overflow::Scroll) return false;
  style.overflow_y = layout::Overflow::Scroll;
  return true;
}

double Scrollable::max_offset() const { return std::max(0.0, content_height_ - rect_.height()); }

void Scrollable::set_offset(double offset) {
  if (!std::isfinite(offset)) return;
  const double clamped = std::clamp(offset, 0.0, max_offset());
  if (clamped == offset_) return;
  offset_ = clamped;
  scrolled_ = true;
}

void Scrollable::keep_offset_of(const Scrollable& previous) {
  // Not laid out yet, so there is nothing to clamp against: apply_layout does.
  offset_ = previous.offset_;
  applied_offset_ = offset_;
}

Scrollable& Scrollable::with_place_key(std::string key) & {
  place_key_ = std::move(key);
  return *this;
}

std::optional<std::string_view> Scrollable::place_key() const {
  if (!place_key_) return std::nullopt;
  return std::string_view(*place_key_);
}

std::optional<WidgetPlace> Scrollable::place() const {
  if (offset_ <= 0.0) return std::nullopt;
  WidgetPlace held;
  held.scroll_offset = offset_;
  return held;
}

void Scrollable::take_place(const WidgetPlace& place) {
  if (!place.scroll_offset || !std::isfinite(*place.scroll_offset)) return;
  // As keep_offset_of: the next layout clamps it to this content.
  offset_ = std::max(*place.scroll_offset, 0.0);
  applied_offset_ = offset_;
  scrolled_ = true;
}

bool Scrollable::scroll_by(double delta) {
  const double before = offset_;
  set_offset(offset_ + delta);
  return offset_ != before;
}

void Scrollable::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                              double origin_y) {
  const Rect before = rect_;
  rect_ = layout_rect(tree, node, origin_x, origin_y);
  const auto computed = tree.layout(node);
  content_height_ = computed ? computed->content_size.height : 0.0;
  if (!(before == rect_)) scrolled_ = true;
  // A shorter content or a taller viewport may leave the offset past the end.
  set_offset(offset_);
  applied_offset_ = offset_;
  children_.apply(tree, rect_.x0, rect_.y0 - offset_);
}

void Scrollable::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                      const Theme& theme, DrawContext& context) {
  scene.push_clip(rect_, transform);
  // The visible part of the viewport in the children's (last laid-out)
  // coordinates, so that children scrolled out of view are skipped.
  const Vec2 shift{0.0, pending_shift()};
  Rect visible = rect_.translate(Vec2{0.0, -shift.y});
  if (context.clip) visible = visible.intersect(context.clip->translate(Vec2{0.0, -shift.y}));
  DrawContext inner{visible, context.scale_factor};
  children_.draw(scene, offset_transform(transform, shift), renderer, theme, inner);
  scene.pop_clip();
  // Inside the viewport: a viewport that fills a side of the window would
  // clip a ring drawn around it.
  if (focused_)
    detail::draw_focus_ring(scene, rect_.inset(theme.focus_width + 1.0), theme, transform);

  if (max_offset() > 0.0 && rect_.height() > 0.0) {
    const double track = rect_.height() - 2 * kBarInset;
    const double thumb = std::max(kMinThumb, track * rect_.height() / content_height_);
    const double top = rect_.y0 + kBarInset + (track - thumb) * (offset_ / max_offset());
    const double x1 = rect_.x1 - kBarInset;
    scene.fill(RoundedRect{Rect{x1 - kBarWidth, top, x1, top + thumb}, kBarWidth / 2},
               theme.secondary.with_alpha_factor(0.5), transform);
  }
}

void Scrollable::route_to_child(const Event& event, EventContext& context) {
  if (!event.position() || pending_shift() == 0.0) {
    children_.route_event(event, context);
    return;
  }
  children_.route_event(shifted(event, pending_shift()), context);
}

void Scrollable::handle_event(const Event& event, EventContext& context) {
  const auto position = event.position();
  // Outside the viewport nothing of the content is under the pointer, but
  // moves and releases still reach it (hover ends, presses finish).
  const bool inside = position && rect_.contains(*position);
  if (!position || inside || !event.is<PointerDown>()) {
    if (!(event.is<Wheel>() && !inside)) route_to_child(event, context);
  }
  if (const auto* wheel = event.as<Wheel>()) {
    if (!context.handled && inside && scroll_by(wheel->delta.y)) context.set_handled();
    return;
  }
  if (const auto* down = event.as<PointerDown>()) {
    if (!context.handled && inside && down->button == PointerButton::Primary &&
        max_offset() > 0.0) {
      drag_from_y_ = down->position.y;
      drag_from_offset_ = offset_;
      context.capture_pointer(*this);
      context.set_handled();
    }
    return;
  }
  if (const auto* move = event.as<PointerMove>()) {
    if (drag_from_y_) {
      scroll_by(drag_from_offset_ - (move->position.y - *drag_from_y_) - offset_);
      context.set_handled();
    }
    return;
  }
  if (event.is<PointerUp>() || event.is<PointerLeave>() || event.is<FocusLost>()) {
    if (drag_from_y_ && event.is<PointerUp>()) context.release_pointer_capture = true;
    drag_from_y_.reset();
    return;
  }
  // Keys the focused widget left alone scroll its viewport, innermost first
  // (an inner viewport that moves marks the key handled).
  if (const auto* key = event.as<KeyDown>(); key && !context.handled && focus_is_within()) {
    const double page = std::max(rect_.height() - kPageOverlap, rect_.height() / 2);
    bool moved = false;
    switch (key->key) {
      case Key::PageDown:
        moved = scroll_by(page);
        break;
      case Key::PageUp:
        moved = scroll_by(-page);
        break;
      case Key::Home:
        moved = scroll_by(-offset_);
        break;
      case Key::End:
        moved = scroll_by(max_offset() - offset_);
        break;
      default:
        break;
    }
    if (moved) context.set_handled();
  }
}

bool Scrollable::reveal_descendant(const Widget& target) {
  if (!Widget::reveal_descendant(target)) return false;
  // Nested scrollables have moved the target within themselves already; its
  // rectangle is where the last layout put it, which the pending shift moves.
  // The focus ring around the target comes into view with it.
  const Rect shown =
      target.get_rect().translate(Vec2{0.0, pending_shift()}).inflate(0.0, kFocusRingReach);
  const double view_top = rect_.y0;
  const double view_bottom = rect_.y1;
  if (shown.y0 < view_top || shown.height() > rect_.height()) {
    scroll_by(shown.y0 - view_top);
  } else if (shown.y1 > view_bottom) {
    scroll_by(shown.y1 - view_bottom);
  }
  return true;
}

bool Scrollable::is_focusable() const {
  // A stop of its own in front of the rows would take a Tab that shows
  // nothing; the keys still scroll while a row inside has the focus.
  const auto focusable = [](const Widget& w) { return w.is_focusable() && w.is_enabled(); };
  for (const Widget* child : children()) {
    if (child != nullptr && any_in_subtree(*child, focusable)) return false;
  }
  return true;
}

bool Scrollable::focus_is_within() const {
  return any_in_subtree(*this, [](const Widget& w) { return w.is_focused(); });
}

std::optional<AccessibilityNode> Scrollable::accessibility() const {
  return AccessibilityNode{}.with_role(role::kScrollView);
}

bool Scrollable::wants_pointer_capture() const {
  return drag_from_y_.has_value() || Stack::wants_pointer_capture();
}

bool Scrollable::needs_redraw() const { return scrolled_ || stack_needs_redraw(); }

void Scrollable::collect_damage(DamageList& damage) const {
  if (scrolled_ || changed()) {
    damage.push_back(rect_);
    return;
  }
  // A child's damage shows only through the viewport.
  DamageList inner;
  children_.collect_damage(inner);
  for (const Rect& rect : inner) {
    const Rect seen = rect.translate(Vec2{0.0, pending_shift()}).intersect(rect_);
    if (seen.area() > 0.0) damage.push_back(seen);
  }
}

void Scrollable::mark_drawn() {
  scrolled_ = false;
  Stack::mark_drawn();
}

bool Scrollable::is_layout_dirty() const {
  return offset_ != applied_offset_ || stack_layout_dirty();
}

bool Scrollable::layout_needs_measure() const {
  bool any = false;
  children_.for_each([&](const Widget& child) { any = any || child.layout_needs_measure(); });
  return any;
}

}  // namespace kalu_ui::widget
