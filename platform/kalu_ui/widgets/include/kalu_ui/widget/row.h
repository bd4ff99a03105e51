#pragma once

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

}  // namespace kalu_ui::widget
