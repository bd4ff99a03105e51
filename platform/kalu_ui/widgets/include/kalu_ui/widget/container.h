#pragma once

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A box around at most one child that limits its size: a fixed width, a
// least width (the control column, wider when its child needs it), a fixed
// size (an empty gap), a maximum width, or no limit at all. The child fills
// the box's width. An expanding container takes the free space of its
// parent's line and may shrink below its content, so that wrapped text inside
// it breaks within what is left (the hero card's text).
//   boxed(Container().with_min_width(220.0f).with_child(std::move(control)))
class Container : public Stack {
 public:
  static constexpr std::string_view kTypeName = type_names::kContainer;

  Container();

  // Replaces the child (a null box leaves the container empty).
  Container& with_child(WidgetBox child) &;
  Container& with_width(float width) &;
  Container& with_size(float width, float height) &;
  Container& with_max_width(float max_width) &;
  // At least `min_width` wide: its child's natural width when that is more,
  // shrinking back towards `min_width` when the line around it runs short.
  Container& with_min_width(float min_width) &;
  // Removes every size limit set before.
  Container& with_no_limits() &;
  Container& with_expand(bool expand = true) &;
  KALU_UI_RVALUE_BUILDER(Container, with_child)
  KALU_UI_RVALUE_BUILDER(Container, with_width)
  KALU_UI_RVALUE_BUILDER(Container, with_size)
  KALU_UI_RVALUE_BUILDER(Container, with_max_width)
  KALU_UI_RVALUE_BUILDER(Container, with_min_width)
  KALU_UI_RVALUE_BUILDER(Container, with_no_limits)
  KALU_UI_RVALUE_BUILDER(Container, with_expand)

  bool expands() const { return expand_; }

  std::string_view type_name() const override { return kTypeName; }
  // The expand flag.
  bool flag_d() const override { return expand_; }
  DeviceLocalOutcome start_resource_operation_with_document(
      const ResourceOperationId& operation_id, OperationKind kind, std::string_view action_id,
      Payload payload, ResourceOperationContext& context) override {
    return stack_start_with_document(operation_id, kind, action_id, payload, context);
  }

 protected:
  layout::Style node_style() const override;

 private:
  bool expand_ = false;
};

}  // namespace kalu_ui::widget
