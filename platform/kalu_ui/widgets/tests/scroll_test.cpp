#include <gtest/gtest.h>

#include "frame.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"

namespace kalu_ui::widget {
namespace {

using testing::find_by_id;
using testing::Frame;

// A 300-high viewport over twenty 50-high rows (content 1000 high).
struct ScrollFixture : ::testing::Test {
  void SetUp() override {
    Column rows;
    for (int i = 0; i < 20; ++i) {
      rows.push(
          boxed(Container()
                    .with_size(200.0f, 50.0f)
                    .with_child(boxed(
                        Text("row " + std::to_string(i)).with_id("row" + std::to_string(i))))));
    }
    scroll.with_child(boxed(std::move(rows)));
    ASSERT_TRUE(frame.layout(scroll, 400, 300));
  }

  Event wheel(double dy, Point at = {100, 100}) { return Wheel{at, Vec2{0, dy}, {}}; }
  bool send(const Event& event) {
    EventContext context;
    scroll.handle_event(event, context);
    return context.handled;
  }
  static Event down(Point at) {
    PointerDown event;
    event.position = at;
    return event;
  }
  static Event move(Point at) {
    PointerMove event;
    event.position = at;
    return event;
  }
  static Event up(Point at) {
    PointerUp event;
    event.position = at;
    return event;
  }
  Rect rect_of(const char* id) { return find_by_id(scroll, id)->get_rect(); }

  Frame frame;
  Scrollable scroll;
};

TEST_F(ScrollFixture, WheelScrollsAndClampsAtBothEnds) {
  EXPECT_DOUBLE_EQ(scroll.content_height(), 1000.0);
  EXPECT_DOUBLE_EQ(scroll.max_offset(), 700.0);
  EXPECT_TRUE(send(wheel(120)));
  EXPECT_DOUBLE_EQ(scroll.offset(), 120.0);
  EXPECT_TRUE(scroll.is_layout_dirty());  // children not yet moved
  EXPECT_FALSE(scroll.layout_needs_measure());

  EXPECT_TRUE(send(wheel(5000)));
  EXPECT_DOUBLE_EQ(scroll.offset(), 700.0);
  EXPECT_FALSE(send(wheel(10)));  // already at the end: left to an outer scroller
  EXPECT_TRUE(send(wheel(-9000)));
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
  // Outside the viewport the wheel is not this scrollable's.
  EXPECT_FALSE(send(wheel(50, {100, 350})));
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
  // A non-finite delta changes nothing.
  EXPECT_FALSE(send(wheel(std::numeric_limits<double>::quiet_NaN())));
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
}

TEST_F(ScrollFixture, ChildrenMoveOnNextLayoutAndDrawShiftedBefore) {
  send(wheel(120));
  // Before the next layout the children are drawn shifted by the scroll.
  frame.draw(scroll);
  const auto drawn = frame.scene().find_text("row 3");
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_DOUBLE_EQ(Scene::bounds(SceneCmd{*drawn[0]}).y0, 150.0 - 120.0);

  ASSERT_TRUE(frame.layout(scroll, 400, 300));
  EXPECT_DOUBLE_EQ(rect_of("row3").y0, 30.0);
  EXPECT_FALSE(scroll.is_layout_dirty());
  // Rows wholly outside the viewport are not drawn; the clip wraps the rest.
  frame.draw(scroll);
  EXPECT_TRUE(frame.scene().find_text("row 0").empty());
  EXPECT_EQ(frame.scene().find_text("row 5").size(), 1u);
  EXPECT_TRUE(frame.scene().find_text("row 9").empty());
  EXPECT_TRUE(std::holds_alternative<PushClipCmd>(frame.scene().commands().front()));
}

TEST_F(ScrollFixture, RevealBringsABottomRowIntoViewAndLeavesVisibleOnesAlone) {
  const Widget* last = find_by_id(scroll, "row19");
  const double last_bottom = last->get_rect().y1;
  EXPECT_TRUE(scroll.reveal_descendant(*last));
  // The least scroll that shows it with the focus ring around it: its
  // bottom the ring's reach above the viewport's bottom.
  EXPECT_DOUBLE_EQ(scroll.offset(), last_bottom + kFocusRingReach - 300.0);
  ASSERT_TRUE(frame.layout(scroll, 400, 300));
  EXPECT_DOUBLE_EQ(rect_of("row19").y1, 300.0 - kFocusRingReach);

  // Already visible: no scroll. Above the view: its top (and ring) at the top.
  const double offset = scroll.offset();
  EXPECT_TRUE(scroll.reveal_descendant(*find_by_id(scroll, "row17")));
  EXPECT_DOUBLE_EQ(scroll.offset(), offset);
  EXPECT_TRUE(scroll.reveal_descendant(*find_by_id(scroll, "row2")));
  EXPECT_DOUBLE_EQ(scroll.offset(), 100.0 - kFocusRingReach);

  // Not a descendant: nothing moves.
  Text stranger("elsewhere");
  EXPECT_FALSE(scroll.reveal_descendant(stranger));
  EXPECT_DOUBLE_EQ(scroll.offset(), 100.0 - kFocusRingReach);
}

TEST_F(ScrollFixture, DragScrollsWithCaptureAndRelease) {
  EventContext down_context;
  scroll.handle_event(down({100, 200}), down_context);
  EXPECT_TRUE(down_context.handled);
  EXPECT_EQ(down_context.pointer_capture_request, &scroll);
  EXPECT_TRUE(scroll.wants_pointer_capture());
  send(move({100, 80}));
  EXPECT_DOUBLE_EQ(scroll.offset(), 120.0);
  send(move({100, -2000}));  // far outside: still clamped
  EXPECT_DOUBLE_EQ(scroll.offset(), 700.0);
  EventContext up_context;
  scroll.handle_event(up({100, -2000}), up_context);
  EXPECT_TRUE(up_context.release_pointer_capture);
  EXPECT_FALSE(scroll.wants_pointer_capture());
  send(move({100, 300}));
  EXPECT_DOUBLE_EQ(scroll.offset(), 700.0);
}

TEST_F(ScrollFixture, ContractAnswers) {
  EXPECT_EQ(scroll.as_any(), &scroll);
  EXPECT_EQ(scroll.child_clip_rect(), scroll.get_rect());
  EXPECT_EQ(scroll.accessibility()->role, role::kScrollView);
  EXPECT_EQ(scroll.short_type_name(), "Scrollable");
  EXPECT_TRUE(scroll.is_focusable());
  scroll.set_focus(true);
  EXPECT_TRUE(send(KeyDown{Key::End, {}, false}));
  EXPECT_DOUBLE_EQ(scroll.offset(), 700.0);
  EXPECT_TRUE(send(KeyDown{Key::PageUp, {}, false}));
  EXPECT_DOUBLE_EQ(scroll.offset(), 700.0 - (300.0 - Scrollable::kPageOverlap));
}

TEST_F(ScrollFixture, FocusedTheViewportDrawsARing) {
  const auto ring_drawn = [&] {
    for (const SceneCmd& cmd : frame.draw(scroll).commands()) {
      const auto* stroke = std::get_if<StrokeCmd>(&cmd);
      if (stroke && stroke->color == frame.theme().focus) return true;
    }
    return false;
  };
  EXPECT_FALSE(ring_drawn());
  scroll.set_focus(true);
  EXPECT_TRUE(ring_drawn());
}

TEST(ScrollableTest, AViewportHoldingFocusableWidgetsIsNoTabStopAndScrollsForThem) {
  Frame frame;
  Scrollable scroll;
  Column rows;
  auto first = boxed(Button("row 0"));
  Widget* row = first.get();
  rows.push(boxed(Container().with_size(200.0f, 50.0f).with_child(std::move(first))));
  for (int i = 1; i < 10; ++i) {
    rows.push(boxed(Container()
                        .with_size(200.0f, 50.0f)
                        .with_child(boxed(Button("row " + std::to_string(i))))));
  }
  auto text_field = boxed(TextInput::from_state(WakeSlot<std::string>::create("text")));
  Widget* field = text_field.get();
  rows.push(std::move(text_field));
  scroll.with_child(boxed(std::move(rows)));
  ASSERT_TRUE(frame.layout(scroll, 400, 200));
  EXPECT_FALSE(scroll.is_focusable());

  const auto send = [&](Key key) {
    EventContext context;
    scroll.handle_event(KeyDown{key, {}, false}, context);
    return context.handled;
  };
  // Nothing inside focused: the keys are not the viewport's.
  EXPECT_FALSE(send(Key::PageDown));
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
  // A focused button leaves the page keys to the viewport.
  row->set_focus(true);
  EXPECT_TRUE(send(Key::PageDown));
  EXPECT_GT(scroll.offset(), 0.0);
  EXPECT_TRUE(send(Key::Home));
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
  // A focused text field keeps Home and End for its caret.
  row->set_focus(false);
  field->set_focus(true);
  send(Key::End);
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);

  // Disabled widgets take no focus: the viewport is the stop again.
  Scrollable plain;
  plain.with_child(boxed(Button("off").with_enabled(false)));
  EXPECT_TRUE(plain.is_focusable());
}

TEST_F(ScrollFixture, ShrinkingContentPullsTheOffsetBack) {
  send(wheel(700));
  ASSERT_TRUE(frame.layout(scroll, 400, 1200));  // now everything fits
  EXPECT_DOUBLE_EQ(scroll.offset(), 0.0);
  EXPECT_DOUBLE_EQ(rect_of("row0").y0, 0.0);
}

}  // namespace
}  // namespace kalu_ui::widget
