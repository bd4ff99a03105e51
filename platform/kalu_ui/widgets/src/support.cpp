#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

Rect layout_rect(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                 double origin_y) {
  const auto computed = tree.layout(node);
  if (!computed) return Rect::zero();
  const double x = origin_x + computed->location.x;
  const double y = origin_y + computed->location.y;
  return Rect{x, y, x + computed->size.width, y + computed->size.height};
}

bool is_zero_rect(const Rect& rect) {
  return rect.x0 == 0.0 && rect.y0 == 0.0 && rect.x1 == 0.0 && rect.y1 == 0.0;
}

layout::NodeId build_leaf(layout::LayoutTree& tree, layout::NodeRegistry& registry, Widget& self,
                          const layout::Style& style) {
  auto node = tree.new_leaf(style);
  if (!node) return layout::NodeId{};
  registry.insert(*node, &self);
  return *node;
}

std::optional<double> text_width_limit(layout::KnownDimensions known,
                                       layout::AvailableSize available) {
  if (known.width) return *known.width;
  switch (available.width.kind) {
    case layout::AvailableSpace::Kind::Definite:
      return available.width.value;
    case layout::AvailableSpace::Kind::MinContent:
      return 0.0;
    case layout::AvailableSpace::Kind::MaxContent:
      break;
  }
  return std::nullopt;
}

Affine offset_transform(const Affine& transform, Vec2 offset) {
  return transform * Affine::translate(offset);
}

layout::Align to_layout_align(Alignment alignment) {
  switch (alignment) {
    case Alignment::Start:
      return layout::Align::Start;
    case Alignment::Center:
      return layout::Align::Center;
    case Alignment::End:
      return layout::Align::End;
    case Alignment::Stretch:
      break;
  }
  return layout::Align::Stretch;
}

// ---- Leaf -------------------------------------------------------------------

layout::NodeId Leaf::build_layout(layout::LayoutTree& tree, const RenderContext&,
                                  layout::NodeRegistry& registry) {
  return build_leaf(tree, registry, *this, leaf_style());
}

void Leaf::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                        double origin_y) {
  const Rect rect = layout_rect(tree, node, origin_x, origin_y);
  if (!(rect == rect_)) request_redraw();
  rect_ = rect;
}

// ---- ChildList --------------------------------------------------------------

void ChildList::push(WidgetBox child) {
  if (child) boxes_.push_back(std::move(child));
}

void ChildList::clear() {
  boxes_.clear();
  nodes_.clear();
  valid_.clear();
}

void ChildList::for_each(ChildVisitor visit) const {
  for (const auto& box : boxes_) visit(*box);
}

std::span<const layout::NodeId> ChildList::build(layout::LayoutTree& tree,
                                                 const RenderContext& context,
                                                 layout::NodeRegistry& registry) {
  nodes_.clear();
  nodes_.reserve(boxes_.size());
  for (const auto& box : boxes_) nodes_.push_back(box->build_layout(tree, context, registry));
  // A refused child takes no part in the layout; compact the valid ones into
  // a list for the parent while nodes_ stays parallel to boxes_.
  valid_.clear();
  for (const auto node : nodes_) {
    if (node.is_valid()) valid_.push_back(node);
  }
  return valid_;
}

void ChildList::apply(const layout::LayoutTree& tree, double origin_x, double origin_y) {
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    const layout::NodeId node = i < nodes_.size() ? nodes_[i] : layout::NodeId{};
    boxes_[i]->apply_layout(tree, node, origin_x, origin_y);
  }
}

void ChildList::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                     const Theme& theme, DrawContext& context) {
  for (const auto& box : boxes_) {
    const Affine own = transform;
    box->draw_with_presence(scene, own, renderer, theme, context);
  }
}

namespace {

bool reaches_every_child(const Event& event) {
  return event.is<PointerMove>() || event.is<PointerUp>() || event.is<PointerLeave>() ||
         event.is<FocusLost>() || event.is<FocusGained>() || event.is<WindowResized>() ||
         event.is<ScaleChanged>();
}

}  // namespace

void ChildList::route_event(const Event& event, EventContext& context) {
  const bool broadcast = reaches_every_child(event);
  for (const auto& box : boxes_) {
    if (!broadcast && context.handled) return;
    box->handle_event(event, context);
  }
}

void ChildList::sync(doc::Document& document) {
  for (const auto& box : boxes_) box->sync(document);
}

bool ChildList::update() {
  bool any = false;
  for (const auto& box : boxes_) any = box->update() || any;
  return any;
}

bool ChildList::take_structure_dirty() {
  bool any = false;
  for (const auto& box : boxes_) any = box->take_structure_dirty() || any;
  return any;
}

bool ChildList::wants_pointer_capture() const {
  for (const auto& box : boxes_) {
    if (box->wants_pointer_capture()) return true;
  }
  return false;
}

void ChildList::collect_damage(DamageList& damage) const {
  for (const auto& box : boxes_) {
    if (box->needs_redraw()) box->collect_damage(damage);
  }
}

DeviceLocalOutcome ChildList::start_with_document(const ResourceOperationId& operation_id,
                                                  OperationKind kind, std::string_view action_id,
                                                  Payload payload,
                                                  ResourceOperationContext& context) {
  for (const auto& box : boxes_) {
    DeviceLocalOutcome outcome = box->start_resource_operation_with_document(
        operation_id, kind, action_id, payload, context);
    if (!outcome.is_not_handled()) return outcome;
  }
  return DeviceLocalOutcome::not_handled();
}

// ---- Stack ------------------------------------------------------------------

Stack::Stack(layout::FlexDirection direction) { style_.flex_direction = direction; }

void Stack::push_child(WidgetBox child) {
  if (!child) return;
  children_.push(std::move(child));
  // Pushed after the tree was built: the frame loop must rebuild.
  if (built_) structure_dirty_ = true;
  changed_ = true;
}

void Stack::clear_children() {
  if (children_.empty()) return;
  children_.clear();
  if (built_) structure_dirty_ = true;
  changed_ = true;
}

layout::NodeId Stack::build_layout(layout::LayoutTree& tree, const RenderContext& context,
                                   layout::NodeRegistry& registry) {
  return build_stack(tree, context, registry, layout::NodeId{});
}

layout::NodeId Stack::build_stack(layout::LayoutTree& tree, const RenderContext& context,
                                  layout::NodeRegistry& registry, layout::NodeId leading) {
  built_ = true;
  const auto built = children_.build(tree, context, registry);
  std::vector<layout::NodeId> nodes;
  nodes.reserve(built.size() + 1);
  if (leading.is_valid()) nodes.push_back(leading);
  nodes.insert(nodes.end(), built.begin(), built.end());
  auto node = tree.new_with_children(node_style(), nodes);
  if (!node) return layout::NodeId{};
  registry.insert(*node, this);
  return *node;
}

void Stack::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                         double origin_y) {
  const Rect rect = layout_rect(tree, node, origin_x, origin_y);
  if (!(rect == rect_)) changed_ = true;
  rect_ = rect;
  children_.apply(tree, rect_.x0, rect_.y0);
}

void Stack::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                 const Theme& theme, DrawContext& context) {
  children_.draw(scene, transform, renderer, theme, context);
}

bool Stack::take_structure_dirty() {
  const bool own = structure_dirty_;
  structure_dirty_ = false;
  return children_.take_structure_dirty() || own;
}

DeviceLocalOutcome Stack::stack_start_with_document(const ResourceOperationId& operation_id,
                                                    OperationKind kind, std::string_view action_id,
                                                    Payload payload,
                                                    ResourceOperationContext& context) {
  DeviceLocalOutcome outcome =
      children_.start_with_document(operation_id, kind, action_id, payload, context);
  if (!outcome.is_not_handled()) return outcome;
  return start_resource_operation(operation_id, kind, action_id, payload, context);
}

void Stack::mark_drawn() {
  changed_ = false;
  Widget::mark_drawn();
}

bool Stack::stack_needs_redraw() const {
  if (changed_) return true;
  bool any = false;
  children_.for_each([&](const Widget& child) { any = any || child.needs_redraw(); });
  return any;
}

bool Stack::stack_layout_dirty() const {
  if (is_zero_rect(rect_)) return true;
  bool any = false;
  children_.for_each([&](const Widget& child) { any = any || child.is_layout_dirty(); });
  return any;
}

void Stack::stack_collect_damage(DamageList& damage) const {
  // A change of the line itself (a child added, a new rectangle) repaints it
  // whole; otherwise only the children that changed.
  if (changed_) {
    damage.push_back(rect_);
    return;
  }
  children_.collect_damage(damage);
}

}  // namespace kalu_ui::widget
