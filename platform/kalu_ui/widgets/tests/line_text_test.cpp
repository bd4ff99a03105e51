#include <gtest/gtest.h>

#include "frame.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::widget {
namespace {

using testing::Frame;

TEST(LineTest, ColumnGapAppliesOnlyBetweenChildren) {
  Column column = Column().with_gap(12.0f).with_padding(10.0f);
  column.push(boxed(Text("one").with_id("a")));
  column.push(boxed(Text("two").with_id("b")));
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 400, 300));
  const Rect a = testing::find_by_id(column, "a")->get_rect();
  const Rect b = testing::find_by_id(column, "b")->get_rect();
  EXPECT_DOUBLE_EQ(a.x0, 10.0);
  EXPECT_DOUBLE_EQ(a.y0, 10.0);
  EXPECT_DOUBLE_EQ(a.x1, 390.0);  // stretched across the column
  EXPECT_DOUBLE_EQ(b.y0, a.y1 + 12.0);
  EXPECT_GT(a.height(), 10.0);
}

TEST(LineTest, EmptyColumnHasNoChildrenAndLaysOut) {
  Column column = Column().with_gap(24.0f);
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 200, 100));
  EXPECT_TRUE(column.children().empty());
  EXPECT_EQ(column.get_rect(), (Rect{0, 0, 200, 100}));
  EXPECT_FALSE(column.is_layout_dirty());
}

TEST(LineTest, RowPlacesChildrenWithGapAndOriginOfParent) {
  Row row = Row().with_gap(8.0f).with_padding_xy(5.0f, 3.0f).with_alignment(Alignment::Start);
  row.push(boxed(Text("left").with_id("l")));
  row.push(boxed(Text("right").with_id("r")));
  Column outer = Column().with_padding(20.0f);
  outer.push(boxed(std::move(row)));
  Frame frame;
  ASSERT_TRUE(frame.layout(outer, 500, 200));
  const Rect l = testing::find_by_id(outer, "l")->get_rect();
  const Rect r = testing::find_by_id(outer, "r")->get_rect();
  EXPECT_DOUBLE_EQ(l.x0, 25.0);
  EXPECT_DOUBLE_EQ(l.y0, 23.0);
  EXPECT_DOUBLE_EQ(r.x0, l.x1 + 8.0);
  EXPECT_DOUBLE_EQ(r.y0, l.y0);
}

TEST(TextTest, WrapsWithinWidthAndSingleLineDoesNot) {
  const std::string long_text =
      "A long label that cannot possibly fit on one line of a narrow column";
  Column column;
  column.push(boxed(Text(long_text).with_size(13.0f).with_wrap().with_id("wrapped")));
  column.push(boxed(Text(long_text).with_size(13.0f).with_id("single")));
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 150, 400));
  const Rect wrapped = testing::find_by_id(column, "wrapped")->get_rect();
  EXPECT_LE(wrapped.width(), 150.0);
  EXPECT_GT(wrapped.height(), 3 * 13.0);
  // The single-line text keeps its full width and one line's height.
  const auto one_line = frame.renderer().measure(
      long_text, frame.renderer().renderer_input_style(text::TextStyle::sized(13.0f)), std::nullopt,
      text::LayoutOption::SingleLine);
  frame.draw(column);
  const auto drawn = frame.scene().find_text(long_text);
  ASSERT_EQ(drawn.size(), 2u);
  EXPECT_GT(drawn[0]->box.height(), one_line.height * 2);
  EXPECT_DOUBLE_EQ(drawn[1]->box.height(), one_line.height);
}

TEST(TextTest, RedrawAndLayoutFlagsFollowChanges) {
  Text text("Hello");
  EXPECT_TRUE(text.is_layout_dirty());  // never laid out
  EXPECT_TRUE(text.needs_redraw());
  Frame frame;
  ASSERT_TRUE(frame.layout(text, 100, 30));
  text.mark_drawn();
  EXPECT_FALSE(text.is_layout_dirty());
  EXPECT_FALSE(text.needs_redraw());
  text.set_text("Hello");  // unchanged text changes nothing
  EXPECT_FALSE(text.needs_redraw());
  text.set_text("Goodbye");
  EXPECT_TRUE(text.is_layout_dirty());
  EXPECT_TRUE(text.needs_redraw());
  EXPECT_FALSE(text.needs_commit());
  EXPECT_EQ(text.short_type_name(), "Text");
  EXPECT_EQ(text.id(), std::nullopt);
}

TEST(LineTest, PushAfterBuildReportsStructureChangeOnce) {
  Column column;
  column.push(boxed(Text("a")));
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 100, 100));
  EXPECT_FALSE(column.take_structure_dirty());
  column.push(boxed(Text("b")));
  EXPECT_TRUE(column.take_structure_dirty());
  EXPECT_FALSE(column.take_structure_dirty());
}

TEST(LineTest, DamageIsTheChangedChildOnly) {
  Column column;
  column.push(boxed(Text("a").with_id("a")));
  column.push(boxed(Text("b").with_id("b")));
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 100, 100));
  column.mark_drawn();
  EXPECT_FALSE(column.needs_redraw());
  DamageList damage{Rect{1, 2, 3, 4}};
  column.collect_damage(damage);
  EXPECT_EQ(damage.size(), 1u);
  auto* b = static_cast<Text*>(column.children_mut()[1]);
  b->set_text("bee");
  column.collect_damage(damage);
  ASSERT_EQ(damage.size(), 2u);
  EXPECT_EQ(damage[0], (Rect{1, 2, 3, 4}));
  EXPECT_EQ(damage[1], b->get_rect());
}

}  // namespace
}  // namespace kalu_ui::widget
