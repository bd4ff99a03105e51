#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "kalu_ui/layout.h"
#include "widget_contract/widget.h"

// What the toolkit's widgets share: storing the laid-out rectangle, making a
// leaf node that the frame loop measures through the widget, and owning,
// laying out, drawing and routing to a list of boxed children.
//
// Rectangles are window coordinates: apply_layout receives the parent's
// top-left corner and adds the node's computed location to it; a container
// hands its own top-left corner to its children.
// Declares the rvalue twin of the builder setters called `name` (which are
// `Type& name(...) &`), so that a widget can be built in one expression and
// then boxed.
#define KALU_UI_RVALUE_BUILDER(Type, name)                     \
  template <typename... Args>                                  \
  Type&& name(Args&&... args)&& {                              \
    return std::move(this->name(std::forward<Args>(args)...)); \
  }

namespace kalu_ui::widget {

// Accessibility roles of the toolkit's widgets.
namespace role {
inline constexpr std::uint8_t kGeneric = 0;
inline constexpr std::uint8_t kText = 1;
inline constexpr std::uint8_t kScrollView = 2;
inline constexpr std::uint8_t kProgressIndicator = 3;
inline constexpr std::uint8_t kImage = 4;
inline constexpr std::uint8_t kStatus = 5;
// Controls that belong together under a name (a card, a device's row).
inline constexpr std::uint8_t kGroup = 6;
// An entry of a navigation list that shows one page of many (a sidebar row).
inline constexpr std::uint8_t kNavigationItem = 20;
}  // namespace role

// How far, in logical pixels, a focus ring reaches outside the widget it
// surrounds (half its stroke, its gap and a pixel of antialiasing, at the
// widest theme): what repaints and scrolling into view must take along.
inline constexpr double kFocusRingReach = 4.0;

// Boxes a widget built in one expression:
//   boxed(Column().gap(12.0f).push(boxed(Text("Hello"))))
template <typename W>
requires std::is_base_of_v<Widget, std::remove_cvref_t<W>> &&
    (!std::is_lvalue_reference_v<W>)WidgetBox boxed(W&& widget) {
  return std::make_unique<std::remove_cvref_t<W>>(std::move(widget));
}

// The node's computed rectangle offset by the parent's origin; all zero for
// a node that has not been laid out (a stale id or no compute yet).
Rect layout_rect(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                 double origin_y);

// True while all four coordinates are 0.0: the widget has not been laid out.
bool is_zero_rect(const Rect& rect);

// Makes a childless node with `style` and enters `self` in the registry under
// it, so that the frame loop asks `self.measure` for the node's content size.
// A refused node (the tree is full) answers an invalid id and registers
// nothing; the widget then stays unlaid (a zero rectangle).
layout::NodeId build_leaf(layout::LayoutTree& tree, layout::NodeRegistry& registry, Widget& self,
                          const layout::Style& style);

// The width limit a text is shaped under when the layout asks for a size:
// a fixed width, else the definite space, none for max-content and 0 (the
// longest word) for min-content.
std::optional<double> text_width_limit(layout::KnownDimensions known,
                                       layout::AvailableSize available);

// The transform that moves what a widget draws by `offset`.
Affine offset_transform(const Affine& transform, Vec2 offset);

// A widget with no children of its own: it keeps the rectangle of its node
// and a redraw flag (set when the widget is made or changed, cleared by
// mark_drawn). Subclasses give their node's style and draw.
class Leaf : public Widget {
 public:
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  Rect get_rect() const override { return rect_; }
  void mark_drawn() override { redraw_ = false; }
  // Measured again only when not laid out yet or changed since last drawn:
  // a frame in which nothing changed lays nothing out.
  bool is_layout_dirty() const override { return redraw_ || is_zero_rect(rect_); }

 protected:
  Leaf() = default;
  // The style of the leaf's node; the default lets measure decide the size.
  virtual layout::Style leaf_style() const { return {}; }
  void request_redraw() { redraw_ = true; }
  bool redraw_requested() const { return redraw_; }

  Rect rect_;

 private:
  bool redraw_ = true;
};

// Owned children with the layout nodes they made at the last build.
class ChildList {
 public:
  ChildList() = default;
  ChildList(ChildList&&) noexcept = default;
  ChildList& operator=(ChildList&&) noexcept = default;

  // Null boxes are dropped.
  void push(WidgetBox child);
  void clear();
  bool empty() const { return boxes_.empty(); }
  std::size_t size() const { return boxes_.size(); }
  std::span<const WidgetBox> boxes() const { return boxes_; }

  std::vector<const Widget*> children() const { return child_list<const Widget*>(boxes_); }
  std::vector<Widget*> children_mut() { return child_list(boxes_); }
  void for_each(ChildVisitor visit) const;

  // Builds every child's node (children whose node is refused are left
  // out of the layout) and answers them in order.
  std::span<const layout::NodeId> build(layout::LayoutTree& tree, const RenderContext& context,
                                        layout::NodeRegistry& registry);
  // Applies every child's node with the given origin (the parent's top-left).
  void apply(const layout::LayoutTree& tree, double origin_x, double origin_y);
  // Each child through draw_with_presence, so children outside the clip are
  // skipped; each gets its own copy of the transform.
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context);

  // Routing shared by the containers. Pointer moves, releases, leaving and
  // window changes reach every child (hover and presses must end everywhere);
  // every other event goes to the children in order until one handles it.
  void route_event(const Event& event, EventContext& context);
  void sync(doc::Document& document);
  bool update();                                  // every child updated; any answered true
  bool take_structure_dirty();                    // every child's flag taken; any was set
  bool wants_pointer_capture() const;             // any child
  void collect_damage(DamageList& damage) const;  // each child that needs a redraw
  DeviceLocalOutcome start_with_document(const ResourceOperationId& operation_id,
                                         OperationKind kind, std::string_view action_id,
                                         Payload payload, ResourceOperationContext& context);

 private:
  std::vector<WidgetBox> boxes_;
  std::vector<layout::NodeId> nodes_;  // parallel to boxes_ after build
  std::vector<layout::NodeId> valid_;  // the built ones, for the parent node
};

// A widget that lays out a list of children in one flex node: the base of
// Row, Column and Container. It keeps its rectangle, answers for its
// children in the aggregated queries, and reports a structure change (a
// child pushed after the node was built) through take_structure_dirty.
class Stack : public Widget {
 public:
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  Rect get_rect() const override { return rect_; }

  void sync(doc::Document& document) override { children_.sync(document); }
  bool update() override { return children_.update(); }
  void handle_event(const Event& event, EventContext& context) override {
    children_.route_event(event, context);
  }
  std::vector<const Widget*> children() const override { return children_.children(); }
  std::vector<Widget*> children_mut() override { return children_.children_mut(); }
  void for_each_child(ChildVisitor visit) const override { children_.for_each(visit); }
  bool wants_pointer_capture() const override { return children_.wants_pointer_capture(); }
  bool take_structure_dirty() override;
  void mark_drawn() override;

  const layout::Style& style() const { return style_; }

 protected:
  explicit Stack(layout::FlexDirection direction);
  Stack(Stack&&) noexcept = default;
  Stack& operator=(Stack&&) noexcept = default;

  void push_child(WidgetBox child);
  // Drops the children (a structure change once built).
  void clear_children();
  // Builds the children and the widget's node, with `leading` (a node of the
  // widget's own, such as a header) before the children when valid.
  layout::NodeId build_stack(layout::LayoutTree& tree, const RenderContext& context,
                             layout::NodeRegistry& registry, layout::NodeId leading);
  // The style actually given to the node (the stored one by default).
  virtual layout::Style node_style() const { return style_; }
  bool changed() const { return changed_; }
  // Row's, Column's and Container's start with the document: each child's
  // start with the document first, then the widget's own start. Card and
  // Scrollable keep the provided one.
  DeviceLocalOutcome stack_start_with_document(const ResourceOperationId& operation_id,
                                               OperationKind kind, std::string_view action_id,
                                               Payload payload, ResourceOperationContext& context);
  // Row's and Column's own answers: a change of their own or any child's
  // redraw; a zero rectangle or any child's layout; each child's damage
  // rather than the whole line.
  bool stack_needs_redraw() const;
  bool stack_layout_dirty() const;
  void stack_collect_damage(DamageList& damage) const;

  layout::Style style_;
  ChildList children_;
  Rect rect_;

 private:
  bool built_ = false;
  bool structure_dirty_ = false;
  bool changed_ = true;  // drawn differently since the last mark_drawn
};

// Cross-axis alignment of a row's or column's children, as pages pass it.
enum class Alignment : std::uint8_t {
  Start = 0,
  Center = 1,
  End = 2,
  Stretch = 3,
};

layout::Align to_layout_align(Alignment alignment);

// Row and Column: a Stack along one axis with the builder calls both share.
// The id names the line for presence (it is not a control id).
template <typename Self>
class Line : public Stack {
 public:
  Self& push(WidgetBox child) & {
    push_child(std::move(child));
    return self();
  }
  // Space between consecutive children along the main axis only.
  Self& with_gap(float gap) & {
    return style_.flex_direction == layout::FlexDirection::Row ? with_gap_x(gap) : with_gap_y(gap);
  }
  Self& with_gap_x(float gap) & {
    style_.gap.width = gap;
    return self();
  }
  Self& with_gap_y(float gap) & {
    style_.gap.height = gap;
    return self();
  }
  Self& with_padding(float padding) & {
    style_.padding = layout::Edges::all(padding);
    return self();
  }
  Self& with_padding_xy(float horizontal, float vertical) & {
    style_.padding = layout::Edges::symmetric(horizontal, vertical);
    return self();
  }
  // Cross-axis placement of the children (stretched by default).
  Self& with_alignment(Alignment alignment) & {
    style_.align_items = to_layout_align(alignment);
    return self();
  }
  Self& with_justify(layout::Justify justify) & {
    style_.justify_content = justify;
    return self();
  }
  Self& with_id(std::string id) & {
    id_ = std::move(id);
    return self();
  }
  // Makes the line a named group for screen readers (an account's row, a
  // device's): its controls are heard with the name as their context.
  Self& with_group(std::string name) & {
    group_ = std::move(name);
    return self();
  }
  KALU_UI_RVALUE_BUILDER(Self, push)
  KALU_UI_RVALUE_BUILDER(Self, with_gap)
  KALU_UI_RVALUE_BUILDER(Self, with_gap_x)
  KALU_UI_RVALUE_BUILDER(Self, with_gap_y)
  KALU_UI_RVALUE_BUILDER(Self, with_padding)
  KALU_UI_RVALUE_BUILDER(Self, with_padding_xy)
  KALU_UI_RVALUE_BUILDER(Self, with_alignment)
  KALU_UI_RVALUE_BUILDER(Self, with_justify)
  KALU_UI_RVALUE_BUILDER(Self, with_id)
  KALU_UI_RVALUE_BUILDER(Self, with_group)

  std::string_view type_name() const override { return Self::kTypeName; }
  // Empty when the line has none.
  const std::string& line_id() const { return id_; }

  bool needs_redraw() const override { return stack_needs_redraw(); }
  bool is_layout_dirty() const override { return stack_layout_dirty(); }
  void collect_damage(DamageList& damage) const override { stack_collect_damage(damage); }
  std::optional<PresenceKey> presence_key() const override {
    if (id_.empty()) return std::nullopt;
    return PresenceKey{id_};
  }
  std::optional<AccessibilityNode> accessibility() const override {
    if (group_.empty()) return std::nullopt;
    return AccessibilityNode{}.with_role(role::kGroup).with_label(group_);
  }
  DeviceLocalOutcome start_resource_operation_with_document(
      const ResourceOperationId& operation_id, OperationKind kind, std::string_view action_id,
      Payload payload, ResourceOperationContext& context) override {
    return stack_start_with_document(operation_id, kind, action_id, payload, context);
  }

 protected:
  explicit Line(layout::FlexDirection direction) : Stack(direction) {}

 private:
  Self& self() { return static_cast<Self&>(*this); }
  // A plain string (empty: none) rather than an optional one, which g++ 12
  // misreads as uninitialised once the widget is moved.
  std::string id_;
  std::string group_;
};

}  // namespace kalu_ui::widget
