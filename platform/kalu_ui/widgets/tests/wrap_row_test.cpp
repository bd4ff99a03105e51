#include <gtest/gtest.h>

#include "frame.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/row.h"

namespace kalu_ui::widget {
namespace {

// Lays `root` out at `width`, and again while a row regroups its lines, as
// the frame loop's second pass does.
void lay_out(Frame& frame, Widget& root, double width) {
  ASSERT_TRUE(frame.layout(root, width, 400));
  for (int pass = 0; pass < 3 && root.take_structure_dirty(); ++pass) {
    ASSERT_TRUE(frame.layout(root, width, 400));
  }
}

TEST(WrapRowTest, ChildrenThatDoNotFitGoOnToTheNextLineAndComeBack) {
  Column page;
  WrapRow row(10.0f, 6.0f);
  for (int i = 0; i < 3; ++i) row.push(boxed(Container().with_size(100.0f, 20.0f)));
  page.push(boxed(std::move(row)));
  auto& wrap = static_cast<WrapRow&>(*page.children_mut().at(0));
  Frame frame;

  lay_out(frame, page, 400);
  EXPECT_EQ(wrap.line_starts(), (std::vector<std::size_t>{0}));
  EXPECT_DOUBLE_EQ(wrap.children_mut()[2]->get_rect().x0, 220.0);

  lay_out(frame, page, 250);  // two fit: 100 + 10 + 100
  EXPECT_EQ(wrap.line_starts(), (std::vector<std::size_t>{0, 2}));
  const Rect third = wrap.children_mut()[2]->get_rect();
  EXPECT_DOUBLE_EQ(third.x0, 0.0);
  EXPECT_DOUBLE_EQ(third.y0, 26.0);
  EXPECT_LE(wrap.children_mut()[1]->get_rect().x1, 250.0);
  EXPECT_DOUBLE_EQ(wrap.get_rect().width(), 250.0);

  lay_out(frame, page, 90);  // each alone, the first too
  EXPECT_EQ(wrap.line_starts(), (std::vector<std::size_t>{0, 1, 2}));

  lay_out(frame, page, 400);  // wide again: one line
  EXPECT_EQ(wrap.line_starts(), (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace kalu_ui::widget
