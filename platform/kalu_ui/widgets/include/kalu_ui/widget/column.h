#pragma once

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// Children one below the other, each as wide as the column unless an
// alignment is given.
//   boxed(Column().with_gap(12.0f).push(std::move(first)).push(std::move(second)))
class Column : public Line<Column> {
 public:
  static constexpr std::string_view kTypeName = type_names::kColumn;
  Column() : Line(layout::FlexDirection::Column) {}
};

}  // namespace kalu_ui::widget
