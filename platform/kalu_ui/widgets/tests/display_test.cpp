#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "frame.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/icon_widget.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/sparkline.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::widget {
namespace {

using testing::find_by_id;
using testing::Frame;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// A row of fixed boxes 10 wide, with `middle` between the first two.
Row boxes_around(WidgetBox middle) {
  return std::move(Row()
                       .push(boxed(Container().with_size(10.0f, 10.0f)))
                       .push(std::move(middle))
                       .push(boxed(Container().with_size(10.0f, 10.0f))));
}

TEST(SpacerTest, StepsFollowTheSpacingScale) {
  const float expected[] = {0, 4, 8, 12, 16, 24, 32, 48, 64, 64};
  for (std::uint8_t step = 0; step < 10; ++step) {
    Row row = boxes_around(boxed(Spacer::step(step)));
    Frame frame;
    ASSERT_TRUE(frame.layout(row, 500, 20));
    const auto children = row.children();
    EXPECT_DOUBLE_EQ(children[2]->get_rect().x0 - children[0]->get_rect().x1, expected[step])
        << int(step);
  }
}

TEST(SpacerTest, FlexiblePushesToTheEndAndNeverRedraws) {
  Row row = boxes_around(boxed(Spacer()));
  Spacer& spacer = *static_cast<Spacer*>(row.children_mut()[1]);
  EXPECT_TRUE(spacer.is_layout_dirty());
  EXPECT_TRUE(spacer.layout_needs_measure());
  Frame frame;
  ASSERT_TRUE(frame.layout(row, 500, 20));
  EXPECT_DOUBLE_EQ(row.children()[2]->get_rect().x1, 500.0);
  EXPECT_FALSE(spacer.is_layout_dirty());
  EXPECT_FALSE(spacer.needs_redraw());
  DamageList damage;
  spacer.collect_damage(damage);
  EXPECT_TRUE(damage.empty());
  frame.draw(spacer);
  EXPECT_TRUE(frame.scene().empty());
}

TEST(ContainerTest, SizeLimits) {
  Frame frame;
  Column column;
  column.push(boxed(Container().with_width(220.0f).with_child(boxed(Text("x").with_id("fixed")))));
  column.push(
      boxed(Container().with_max_width(300.0f).with_child(boxed(Text("y").with_id("max")))));
  column.push(boxed(Container()
                        .with_size(8.0f, 1.0f)
                        .with_no_limits()
                        .with_child(boxed(Text("z").with_id("free")))));
  column.push(boxed(Container().with_size(8.0f, 1.0f)));
  ASSERT_TRUE(frame.layout(column, 1000, 400));
  EXPECT_DOUBLE_EQ(find_by_id(column, "fixed")->get_rect().width(), 220.0);
  EXPECT_DOUBLE_EQ(find_by_id(column, "max")->get_rect().width(), 300.0);
  EXPECT_DOUBLE_EQ(find_by_id(column, "free")->get_rect().width(), 1000.0);
  const Rect gap = column.children().back()->get_rect();
  EXPECT_DOUBLE_EQ(gap.width(), 8.0);
  EXPECT_DOUBLE_EQ(gap.height(), 1.0);
}

TEST(ContainerTest, GapSeparatesButtonsByExactlyItsWidth) {
  Row row = boxes_around(boxed(Container().with_size(8.0f, 1.0f)));
  Frame frame;
  ASSERT_TRUE(frame.layout(row, 500, 20));
  const auto children = row.children();
  EXPECT_DOUBLE_EQ(children[2]->get_rect().x0 - children[0]->get_rect().x1, 8.0);
}

TEST(ContainerTest, ExpandingContainerWrapsTextInWhatIsLeft) {
  const std::string long_text(200, 'w');
  Row row = Row().push(boxed(IconWidget(icon::kDisplay, 34.0f)));
  row.push(boxed(Container().with_expand().with_child(
      boxed(Text("A title that wraps within what the icon leaves of the row")
                .with_wrap()
                .with_id("title")))));
  const Container& expanding = *static_cast<const Container*>(row.children()[1]);
  EXPECT_TRUE(expanding.flag_d());
  EXPECT_FALSE(Container().flag_d());
  Frame frame;
  ASSERT_TRUE(frame.layout(row, 200, 300));
  const Rect title = find_by_id(row, "title")->get_rect();
  EXPECT_DOUBLE_EQ(title.x0, 34.0);
  EXPECT_DOUBLE_EQ(title.x1, 200.0);
  EXPECT_GT(title.height(), 40.0);
}

TEST(CardTest, SurfaceHeaderAndContent) {
  Card card = card::surface("Network", std::string("Wired and wireless connections"),
                            boxed(Text("content").with_id("content")));
  Frame frame;
  ASSERT_TRUE(frame.layout(card, 400, 300));
  const Rect header = card.header_rect();
  const Rect content = find_by_id(card, "content")->get_rect();
  EXPECT_DOUBLE_EQ(header.x0, Card::kPadding);
  EXPECT_DOUBLE_EQ(content.y0, header.y1 + Card::kHeaderGap);
  EXPECT_DOUBLE_EQ(content.x1, 400.0 - Card::kPadding);
  EXPECT_EQ(card.children().size(), 1u);  // the header is the card's own
  frame.draw(card);
  EXPECT_EQ(frame.scene().find_text("Network").size(), 1u);
  EXPECT_EQ(frame.scene().find_text("Wired and wireless connections").size(), 1u);

  // Without a title or description the content starts at the padding.
  Card bare(boxed(Text("only").with_id("only")));
  ASSERT_TRUE(frame.layout(bare, 400, 300));
  EXPECT_FALSE(bare.has_header());
  EXPECT_DOUBLE_EQ(find_by_id(bare, "only")->get_rect().y0, Card::kPadding);
}

TEST(BadgeTest, ToneOrColourAndPillLayout) {
  const Theme theme = Theme::light();
  EXPECT_EQ(Badge::with_tone("Online", kToneSuccess).colors(theme), theme.badge_tone(kToneSuccess));
  EXPECT_EQ(Badge::with_tone("?", 200).colors(theme), theme.badge_tone(kToneNeutral));
  const Color navy = Color::rgb8(0x1a, 0x2a, 0x6a);
  const Badge custom = Badge::with_color("Custom", navy);
  EXPECT_EQ(custom.tone(), std::nullopt);
  EXPECT_EQ(custom.colors(theme).text, navy);  // reads on its pill already
  // A pale colour's text is darkened until it reads on its pill on a card.
  const Color orange = *Color::from_hex("#e8b04b");
  const BadgeColors pale = Badge::with_color("Silenced", orange).colors(theme);
  EXPECT_NE(pale.text, orange);
  EXPECT_GE(contrast_ratio(pale.text, over(pale.fill, theme.card)), kTextContrast);

  Column column;
  column.push(boxed(Badge::with_tone("Active", kToneInfo)));
  Badge& badge = *static_cast<Badge*>(column.children_mut()[0]);
  EXPECT_TRUE(badge.is_layout_dirty());
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 300, 100));
  EXPECT_FALSE(badge.is_layout_dirty());
  // Stretched across the column, the pill keeps its own width at the left.
  EXPECT_DOUBLE_EQ(badge.get_rect().width(), 300.0);
  EXPECT_LT(badge.pill_rect().width(), 100.0);
  EXPECT_DOUBLE_EQ(badge.pill_rect().x0, 0.0);
  badge.mark_drawn();
  EXPECT_FALSE(badge.needs_redraw());
  badge.set_text("Idle");
  EXPECT_TRUE(badge.needs_redraw());
  EXPECT_EQ(badge.accessibility()->label, "Idle");
}

TEST(ProgressBarTest, FractionsAreClamped) {
  struct Case {
    double given;
    double kept;
  };
  for (const Case c : {Case{0.25, 0.25}, Case{-1, 0}, Case{7, 1}, Case{kNaN, 0}}) {
    EXPECT_EQ(ProgressBar(c.given).fraction(), c.kept) << c.given;
  }
  EXPECT_EQ(ProgressBar(0.42).accessibility()->value, "42%");
}

TEST(ProgressBarTest, IndeterminateAnimatesUnlessSuppressed) {
  ProgressBar bar = ProgressBar::indeterminate().with_label("Preparing accelerator support");
  EXPECT_EQ(bar.fraction(), std::nullopt);
  EXPECT_EQ(bar.label(), "Preparing accelerator support");
  EXPECT_TRUE(bar.needs_animation_frame());
  bar.mark_drawn();
  EXPECT_TRUE(bar.needs_redraw());  // every frame while animating
  // The segment moves over time and stays within the track.
  const Instant start = Instant::now();
  const auto a = bar.filled_span(start + std::chrono::milliseconds(300));
  const auto b = bar.filled_span(start + std::chrono::milliseconds(900));
  EXPECT_NE(a, b);
  for (const auto& span : {a, b}) {
    EXPECT_GE(span.first, 0.0);
    EXPECT_LE(span.second, 1.0);
  }
  bar.set_animation_suppressed(true);
  EXPECT_FALSE(bar.needs_animation_frame());
  bar.mark_drawn();
  EXPECT_FALSE(bar.needs_redraw());
  bar.set_fraction(0.5);
  EXPECT_FALSE(bar.needs_animation_frame());
  EXPECT_TRUE(bar.needs_redraw());
}

TEST(ProgressBarTest, LabelAddsItsLineAboveTheTrack) {
  Column column;
  column.push(boxed(ProgressBar(0.5)));
  column.push(boxed(ProgressBar(0.5).with_label("Downloading")));
  Frame frame;
  ASSERT_TRUE(frame.layout(column, 300, 200));
  EXPECT_DOUBLE_EQ(column.children()[0]->get_rect().height(), ProgressBar::kBarHeight);
  EXPECT_GT(column.children()[1]->get_rect().height(),
            ProgressBar::kBarHeight + ProgressBar::kLabelGap + 12.0);
  EXPECT_FALSE(column.children()[0]->is_layout_dirty());
}

TEST(SparklineTest, PointsScaleToTheMaximum) {
  const Rect area{0, 0, 101.5, 41.5};  // 100 x 40 inside the line's half width
  Sparkline fixed = Sparkline({0, 5, 10, 20}).with_max(10.0);
  const auto points = fixed.points(area);
  ASSERT_EQ(points.size(), 4u);
  EXPECT_DOUBLE_EQ(points[0].y, 40.75);  // 0 at the bottom
  EXPECT_DOUBLE_EQ(points[1].y, 20.75);
  EXPECT_DOUBLE_EQ(points[2].y, 0.75);  // the maximum at the top
  EXPECT_DOUBLE_EQ(points[3].y, 0.75);  // past it: clamped
  EXPECT_DOUBLE_EQ(points[3].x - points[0].x, 100.0);

  // Without a fixed maximum the largest value is the top; bad values are 0.
  const auto own = Sparkline({kNaN, 4, std::numeric_limits<double>::infinity()}).points(area);
  EXPECT_DOUBLE_EQ(own[0].y, 40.75);
  EXPECT_DOUBLE_EQ(own[1].y, 0.75);
  EXPECT_DOUBLE_EQ(own[2].y, 40.75);
  // One value is a flat line; none draws nothing.
  const auto single = Sparkline({3}).points(area);
  ASSERT_EQ(single.size(), 2u);
  EXPECT_DOUBLE_EQ(single[0].y, single[1].y);
  EXPECT_TRUE(Sparkline().points(area).empty());
  // All zero: a line along the bottom rather than a division by zero.
  EXPECT_DOUBLE_EQ(Sparkline({0, 0}).points(area)[1].y, 40.75);
}

TEST(SparklineTest, FixedSizeAndLayoutFlag) {
  Row row = Row().push(boxed(Sparkline({1, 2}).with_size(160.0f, 32.0f)));
  EXPECT_TRUE(row.children()[0]->is_layout_dirty());
  Frame frame;
  ASSERT_TRUE(frame.layout(row, 500, 100));
  const Rect rect = row.children()[0]->get_rect();
  EXPECT_DOUBLE_EQ(rect.width(), 160.0);
  EXPECT_DOUBLE_EQ(rect.height(), 32.0);
  EXPECT_FALSE(row.children()[0]->is_layout_dirty());
  EXPECT_EQ(row.children()[0]->short_type_name(), "Sparkline");
}

TEST(TypeNamesTest, EveryDisplayWidgetAnswersItsFullName) {
  struct Case {
    std::unique_ptr<Widget> widget;
    std::string_view full;
  };
  Case cases[] = {
      {boxed(Text("t")), "kalu_ui::widget::text::Text"},
      {boxed(Row()), "kalu_ui::widget::row::Row"},
      {boxed(Column()), "kalu_ui::widget::column::Column"},
      {boxed(Container()), "kalu_ui::widget::container::Container"},
      {boxed(Spacer()), "kalu_ui::widget::spacer::Spacer"},
      {boxed(Card(nullptr)), "kalu_ui::widget::card::Card"},
      {boxed(Badge::with_tone("b", 0)), "kalu_ui::widget::badge::Badge"},
      {boxed(IconWidget(icon::kInfo)), "kalu_ui::widget::icon::IconWidget"},
      {boxed(ProgressBar()), "kalu_ui::widget::progress_bar::ProgressBar"},
      {boxed(Sparkline()), "kalu_ui::widget::chart::Sparkline"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.widget->type_name(), c.full);
    EXPECT_EQ(c.widget->get_rect(), Rect::zero());
    EXPECT_FALSE(c.widget->is_focusable());
  }
}

}  // namespace
}  // namespace kalu_ui::widget
