#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/widget/place.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A vertically scrolling viewport around one child. The child keeps its full
// height; the wheel, dragging the content, and the page and Home/End keys
// (while the viewport or a widget inside it has the focus, and that widget
// leaves the key alone) move a clamped offset, and drawing is clipped to the
// viewport. The viewport takes Tab focus itself, drawn with a focus ring,
// only while nothing inside it can: otherwise Tab goes straight to the
// content.
//
// The children's rectangles are window coordinates at the offset of the last
// apply_layout. A scroll between layouts makes the scrollable layout-dirty
// (but asks no new measurement) and is drawn and hit-tested shifted by the
// difference until the next apply_layout places the children again.
//
// A viewport built to replace another takes over its offset (place.h) when
// both have the same place key, or, without one, the same order among the
// keyless viewports of the tree.
//   boxed(Scrollable().with_child(std::move(page)))
class Scrollable : public Stack, public KeepsPlace {
 public:
  static constexpr std::string_view kTypeName = type_names::kScrollable;
  // Logical pixels a PageUp/PageDown leaves of the previous view.
  static constexpr double kPageOverlap = 40.0;

  Scrollable();

  // Replaces the child.
  Scrollable& with_child(WidgetBox child) &;
  // The key its offset is kept under across rebuilds.
  Scrollable& with_place_key(std::string key) &;
  KALU_UI_RVALUE_BUILDER(Scrollable, with_child)
  KALU_UI_RVALUE_BUILDER(Scrollable, with_place_key)

  double offset() const { return offset_; }
  // Clamped to 0 .. max_offset (a non-finite offset is ignored).
  void set_offset(double offset);
  // Takes over where `previous` was scrolled to, for a viewport built to
  // replace it; the next layout clamps it to this content.
  void keep_offset_of(const Scrollable& previous);
  // How far the content can scroll: its height beyond the viewport's.
  double max_offset() const;
  double content_height() const { return content_height_; }

  std::string_view type_name() const override { return kTypeName; }
  bool adjust_layout_style(layout::Style& style) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  Widget* as_any() override { return this; }
  // Scrolls the least distance that brings the target (a descendant, through
  // any nested scrollables first) wholly into view, or its top when it is
  // taller than the viewport.
  bool reveal_descendant(const Widget& target) override;
  std::optional<Rect> child_clip_rect() const override { return rect_; }
  bool is_focusable() const override;
  void set_focus(bool focused) override { focused_ = focused; }
  bool is_focused() const override { return focused_; }
  std::optional<AccessibilityNode> accessibility() const override;
  bool wants_pointer_capture() const override;
  bool needs_redraw() const override;
  void collect_damage(DamageList& damage) const override;
  void mark_drawn() override;
  bool is_layout_dirty() const override;
  // Scrolling moves the children but changes no size: only the children's
  // own answers count.
  bool layout_needs_measure() const override;
  std::optional<std::string_view> place_key() const override;
  std::optional<WidgetPlace> place() const override;
  void take_place(const WidgetPlace& place) override;

 private:
  // What the children were placed at minus where they are shown.
  double pending_shift() const { return applied_offset_ - offset_; }
  bool scroll_by(double delta);
  // Whether the focus is on this viewport or on a widget inside it.
  bool focus_is_within() const;
  void route_to_child(const Event& event, EventContext& context);

  std::optional<std::string> place_key_;
  double offset_ = 0.0;
  double applied_offset_ = 0.0;
  double content_height_ = 0.0;
  bool focused_ = false;
  bool scrolled_ = false;  // since the last mark_drawn
  std::optional<double> drag_from_y_;
  double drag_from_offset_ = 0.0;
};

}  // namespace kalu_ui::widget
