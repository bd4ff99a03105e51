#pragma once

#include <cstddef>
#include <vector>

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// Children side by side, left to right; stretched to the row's height unless
// an alignment is given.
//   boxed(Row().with_gap(4.0f).push(boxed(Text("Label"))).push(std::move(control)))
class Row : public Line<Row> {
 public:
  static constexpr std::string_view kTypeName = type_names::kRow;
  Row() : Line(layout::FlexDirection::Row) {}
};

// Children side by side, left to right, that go on to a new line where the
// next one would run past the row's width (a row of buttons at a larger
// text or UI scale stays inside its card). Each child keeps its own width;
// lines are `gap_x` apart horizontally and `gap_y` vertically, children
// centred on their line. The row's width is its parent's, never its
// content's: a line too wide for it is what moves a child down. A child
// wider than the row alone keeps a line of its own.
//
// The lines follow the width the row was laid out at: when they change, the
// row reports a structure change, and the frame loop's second pass lays
// the new lines out within the same frame.
class WrapRow : public Stack {
 public:
  static constexpr std::string_view kTypeName = type_names::kRow;
  explicit WrapRow(float gap_x = 8.0f, float gap_y = 8.0f);

  WrapRow& push(WidgetBox child) &;
  // Lines against the row's far end (right) instead of its start.
  WrapRow& with_lines_at_end(bool at_end = true) &;
  KALU_UI_RVALUE_BUILDER(WrapRow, push)
  KALU_UI_RVALUE_BUILDER(WrapRow, with_lines_at_end)

  // The index of the first child of each line, as last laid out.
  const std::vector<std::size_t>& line_starts() const { return line_starts_; }

  std::string_view type_name() const override { return kTypeName; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  bool take_structure_dirty() override;
  bool needs_redraw() const override { return stack_needs_redraw(); }
  bool is_layout_dirty() const override { return stack_layout_dirty(); }
  void collect_damage(DamageList& damage) const override { stack_collect_damage(damage); }

 private:
  float gap_x_;
  float gap_y_;
  std::vector<std::size_t> line_starts_{0};
  std::vector<layout::NodeId> child_nodes_;
  std::vector<layout::NodeId> line_nodes_;
  bool regroup_ = false;
};

}  // namespace kalu_ui::widget
