#include "kalu_ui/widget/container.h"

namespace kalu_ui::widget {

using layout::Dimension;

Container::Container() : Stack(layout::FlexDirection::Column) {}

Container& Container::with_child(WidgetBox child) & {
  clear_children();
  push_child(std::move(child));
  return *this;
}

Container& Container::with_width(float width) & {
  style_.width = Dimension::points(width);
  // A fixed column keeps its width when the line around it runs short.
  style_.flex_shrink = 0.0f;
  return *this;
}

Container& Container::with_size(float width, float height) & {
  with_width(width);
  style_.height = Dimension::points(height);
  return *this;
}

Container& Container::with_max_width(float max_width) & {
  style_.max_width = Dimension::points(max_width);
  return *this;
}

Container& Container::with_min_width(float min_width) & {
  style_.width = Dimension::auto_();
  style_.min_width = Dimension::points(min_width);
  style_.flex_shrink = 1.0f;
  return *this;
}

Container& Container::with_no_limits() & {
  style_.width = style_.height = Dimension::auto_();
  style_.min_width = Dimension::auto_();
  style_.max_width = style_.max_height = Dimension::auto_();
  style_.flex_shrink = 1.0f;
  return *this;
}

Container& Container::with_expand(bool expand) & {
  expand_ = expand;
  return *this;
}

layout::Style Container::node_style() const {
  layout::Style style = style_;
  if (expand_) {
    style.flex_grow = 1.0f;
    style.flex_shrink = 1.0f;
    style.flex_basis = Dimension::points(0.0f);
    style.min_width = Dimension::points(0.0f);
  }
  return style;
}

}  // namespace kalu_ui::widget
