// Tooltips, type names and the records with behaviour of their own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

#include "probe.h"
#include "stand_ins.h"

namespace kalu_ui::testing {
namespace {

TEST(Tooltip, AnsweredOnlyInsideTheHalfOpenRectangleAndWhenNotEmpty) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  CallLog log;
  Probe button{"button", log};
  button.rect = {10, 20, 110, 60};
  button.tip = "Check for updates";
  struct Case {
    double x, y;
    bool answered;
  };
  const std::vector<Case> cases = {
      {10, 20, true},    // left and top edges are inside
      {50, 40, true},    //
      {110, 40, false},  // right edge
      {50, 60, false},   // bottom edge
      {9.999, 40, false}, {nan, 40, false}, {50, nan, false},
  };
  for (const auto& c : cases) {
    auto answer = button.query_h(c.x, c.y);
    EXPECT_EQ(answer.has_value(), c.answered) << c.x << "," << c.y;
    if (answer) {
      EXPECT_EQ(*answer, (TooltipAt{button.rect, "Check for updates"}));
    }
  }
  button.tip = "";
  EXPECT_FALSE(button.query_h(50, 40));
  button.tip.reset();
  EXPECT_FALSE(button.query_h(50, 40));
}

TEST(TypeNames, ShortNameIsTheTextAfterTheLastSeparator) {
  EXPECT_EQ(short_type_name_of(type_names::kSparkline), "Sparkline");
  EXPECT_EQ(short_type_name_of("Plain"), "Plain");
  for (auto name : type_names::kAll) {
    auto short_name = short_type_name_of(name);
    EXPECT_FALSE(short_name.empty()) << name;
    EXPECT_EQ(short_name.find(':'), std::string_view::npos) << name;
  }
  CallLog log;
  Probe probe{"p", log};
  EXPECT_EQ(probe.type_name(), "kalu_ui::testing::probe::Probe");
  EXPECT_EQ(probe.short_type_name(), "Probe");
}

TEST(Accessibility, ActionAddressBecomesTheIdAndTheNumericId) {
  auto node = AccessibilityNode{}.with_role(20).with_label("Network").with_action_address(
      "settings.section:network/open");
  EXPECT_EQ(node.id, "settings.section:network/open");
  EXPECT_EQ(node.action_address, "settings.section:network/open");
  EXPECT_EQ(node.label, "Network");
  EXPECT_EQ(node.role, 20);
  // 64-bit FNV-1a over the address bytes and a closing 0xFF byte.
  EXPECT_EQ(node.numeric_id, 0xe584fe3630002aa3ULL);
  EXPECT_EQ(action_address_numeric_id(""), 0xaf64724c8602eb6eULL);

  // A later plain id replaces the id text but keeps the address.
  auto renamed = std::move(node).with_id("settings.app");
  EXPECT_EQ(renamed.id, "settings.app");
  EXPECT_EQ(renamed.action_address, "settings.section:network/open");
}

TEST(ProvidedAnswers, ConstantsOfAWidgetThatSuppliesNothing) {
  CallLog log;
  Probe w{"w", log};
  EXPECT_TRUE(w.is_enabled());
  EXPECT_TRUE(w.flag_e());
  for (bool b : {w.flag_a(), w.flag_b(), w.flag_c(), w.flag_d(), w.flag_f(), w.flag_g(),
                 w.is_focusable(), w.is_focused(), w.needs_idle_sync(), w.wants_pointer_capture(),
                 w.update(), w.take_structure_dirty(), w.take_flag_a(), w.take_flag_c()}) {
    EXPECT_FALSE(b);
  }
  EXPECT_EQ(w.measure({}, {}, renderer()), (layout::LayoutSize{0.0f, 0.0f}));
  EXPECT_TRUE(w.list_a().empty());
  EXPECT_FALSE(w.as_any());
  EXPECT_FALSE(w.id());
}

TEST(Events, PositionOnlyForPointerAndWheelEvents) {
  EXPECT_EQ(Event(PointerDown{{3, 4}, PointerButton::Primary, {}, 1}).position(), (Point{3, 4}));
  EXPECT_EQ(Event(Wheel{{1, 2}, {0, -3}, {}}).position(), (Point{1, 2}));
  EXPECT_FALSE(Event(KeyDown{Key::Enter, {}, false}).position());
  EXPECT_FALSE(Event(PointerLeave{}).position());
  EXPECT_TRUE(Event(TextInput{"é"}).is<TextInput>());
}

TEST(ChildList, LeavesOutEmptyBoxesAndKeepsOrder) {
  CallLog log;
  std::vector<WidgetBox> boxes;
  boxes.push_back(std::make_unique<Probe>("a", log));
  boxes.push_back(nullptr);
  boxes.push_back(std::make_unique<Probe>("b", log));
  EXPECT_EQ(child_list<const Widget*>(boxes),
            (std::vector<const Widget*>{boxes[0].get(), boxes[2].get()}));
  EXPECT_TRUE(child_list(nullptr).empty());
  EXPECT_EQ(child_list(boxes[2].get()).size(), 1u);
}

}  // namespace
}  // namespace kalu_ui::testing
