#include "lib/ui_rows.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/text.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/icon_widget.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"

namespace settings::ui_rows {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Rect;
using kalu_ui::Widget;

// A control of a fixed size, found by its id.
WidgetBox control(const std::string& id, float width, float height = 24.0f) {
  return w::boxed(
      w::Container().with_size(width, height).with_child(w::boxed(w::Text(id).with_id(id))));
}

const w::Text& text_at(const Widget& widget, std::size_t index) {
  return dynamic_cast<const w::Text&>(*widget.children().at(index));
}

struct Laid {
  explicit Laid(WidgetBox root, double width = 600.0) : harness(std::move(root), options(width)) {
    harness.frame();
  }
  static kalu_ui::harness::Options options(double width) {
    kalu_ui::harness::Options o;
    o.size = {width, 400.0};
    return o;
  }
  Rect rect(std::string_view id) { return harness.rect_of(id).value_or(Rect{}); }
  kalu_ui::harness::Harness harness;
};

TEST(UiRowsTest, SettingRowKeepsTheControlColumnWhileTheLabelWraps) {
  const std::string long_label(
      "Automatically lower the brightness of every connected screen in the evening");
  Laid laid(rows_column([&] {
              WidgetList rows;
              rows.push_back(setting_row(long_label, control("narrow", 60.0f)));
              rows.push_back(setting_row("Short", control("wide", 200.0f)));
              rows.push_back(label_row("Own width", control("own", 60.0f)));
              return rows;
            }()),
            400.0);
  // Both controls start at the same column, 220 from the right edge, and the
  // column holds the control at its left.
  EXPECT_DOUBLE_EQ(laid.rect("narrow").x0, 400.0 - 220.0);
  EXPECT_DOUBLE_EQ(laid.rect("wide").x0, 400.0 - 220.0);
  // A label row puts its control at the right edge at its own width.
  EXPECT_DOUBLE_EQ(laid.rect("own").x1, 400.0);
  EXPECT_DOUBLE_EQ(laid.rect("own").x0, 340.0);

  const auto* label =
      dynamic_cast<const w::Text*>(laid.harness.root().children()[0]->children()[0]);
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->wraps());
  EXPECT_EQ(label->size(), 13.0f);
  EXPECT_GT(label->get_rect().height(), 2 * 13.0);  // broken into lines
  EXPECT_LE(label->get_rect().x1, 400.0 - 220.0);
}

TEST(UiRowsTest, TheControlColumnWidensForAControlThatNeedsMore) {
  WidgetList rows;
  rows.push_back(setting_row("Position", control("broad", 280.0f)));
  rows.push_back(setting_row("Scale", control("narrow", 60.0f)));
  Laid laid(rows_column(std::move(rows)), 600.0);
  EXPECT_DOUBLE_EQ(laid.rect("broad").x0, 600.0 - 280.0);
  EXPECT_DOUBLE_EQ(laid.rect("narrow").x0, 600.0 - 220.0);
}

TEST(UiRowsTest, StackedSettingRowPutsTheLabelAboveTheControl) {
  const std::string long_label = "First day of week in every calendar you open";
  WidgetList rows;
  rows.push_back(stacked_setting_row(long_label, control("choice", 120.0f)));
  Laid laid(rows_column(std::move(rows)), 300.0);
  const auto* label =
      dynamic_cast<const w::Text*>(laid.harness.root().children()[0]->children()[0]);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(label->text(), long_label);
  EXPECT_EQ(label->size(), 13.0f);
  const Rect label_rect = label->get_rect();
  const Rect choice = laid.harness.root().children()[0]->children()[1]->get_rect();
  // The control starts under the label, 4 below it, at the left edge.
  EXPECT_DOUBLE_EQ(choice.y0, label_rect.y1 + 4.0);
  EXPECT_DOUBLE_EQ(choice.x0, 0.0);
  EXPECT_DOUBLE_EQ(label_rect.x0, 0.0);
  EXPECT_LE(label_rect.x1, 300.0);
}

TEST(UiRowsTest, InfoRowNeverWrapsItsValue) {
  const std::string kernel = "6.12.9-200.fc41.x86_64 #1 SMP PREEMPT_DYNAMIC Sat Jan 11 2025";
  auto row = info_row("Kernel", kernel);
  const w::Text& value = text_at(*row, 2);
  EXPECT_EQ(value.text(), kernel);
  EXPECT_FALSE(value.wraps());
  EXPECT_EQ(value.size(), 13.0f);
  WidgetList rows;
  rows.push_back(std::move(row));
  Laid laid(rows_column(std::move(rows)), 200.0);
  // One line, however narrow the row.
  const auto drawn = laid.harness.scene().find_text(kernel);
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0]->layout->metrics().lines, 1);
}

TEST(UiRowsTest, GapsApplyOnlyBetweenChildren) {
  EXPECT_TRUE(column({}, 12.0f)->children().empty());

  // Two buttons in a row without a gap of its own, 8 apart.
  WidgetBox buttons = w::boxed(
      w::Row().push(control("first", 50.0f)).push(gap(8.0f)).push(control("second", 50.0f)));
  WidgetList items;
  items.push_back(std::move(buttons));
  items.push_back(control("below", 10.0f));
  Laid laid(sections_column(std::move(items)));
  EXPECT_DOUBLE_EQ(laid.rect("second").x0 - laid.rect("first").x1, 8.0);
  // The column's gap: 24 between sections, none above the first.
  EXPECT_DOUBLE_EQ(laid.rect("first").y0, 0.0);
  const Rect buttons_rect = laid.harness.root().children()[0]->get_rect();
  EXPECT_DOUBLE_EQ(laid.rect("below").y0, buttons_rect.y1 + 24.0);

  const Rect gap_rect = laid.harness.root().children()[0]->children()[1]->get_rect();
  EXPECT_EQ(gap_rect.height(), 1.0);
}

TEST(UiRowsTest, TextStylesOfCaptionsDescriptionsAndHeader) {
  auto described =
      described_control_row("Night light", "Warmer colours after sunset", control("toggle", 40.0f));
  const w::Text& description = text_at(*described, 1);
  EXPECT_EQ(description.text(), "Warmer colours after sunset");
  EXPECT_EQ(description.size(), 12.0f);
  EXPECT_TRUE(description.muted());
  EXPECT_TRUE(description.wraps());
  // The control sits in the control column at the end of the first line.
  const Widget& column = *described->children()[0]->children()[2];
  EXPECT_EQ(column.type_name(), w::Container::kTypeName);

  auto header = page_header("Displays", "Resolution, scale, arrangement, and brightness");
  const struct {
    std::string text;
    float size;
    bool muted;
  } expected[] = {{"SETTINGS", 12.0f, true},
                  {"Displays", 24.0f, false},
                  {"Resolution, scale, arrangement, and brightness", 13.0f, true}};
  ASSERT_EQ(header->children().size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const w::Text& t = text_at(*header, i);
    EXPECT_EQ(t.text(), expected[i].text);
    EXPECT_EQ(t.size(), expected[i].size);
    EXPECT_EQ(t.muted(), expected[i].muted);
    EXPECT_TRUE(t.wraps());
  }
  EXPECT_EQ(static_cast<const w::Column&>(*header).style().gap.height, 4.0f);
}

TEST(UiRowsTest, CardsBadgesAndSpacers) {
  auto card = section_card_with_description("Display", "Built-in screen", caption("x"));
  const auto& surface = dynamic_cast<const w::Card&>(*card);
  EXPECT_EQ(surface.title(), "Display");
  EXPECT_EQ(surface.description(), "Built-in screen");
  const WidgetBox plain = section_card("Power", caption("x"));
  EXPECT_EQ(dynamic_cast<const w::Card&>(*plain).description(), std::nullopt);

  const WidgetBox toned = badge_with_tone("Online", 0);
  EXPECT_EQ(dynamic_cast<const w::Badge&>(*toned).text(), "Online");
  EXPECT_EQ(dynamic_cast<const w::Badge&>(*toned).tone(), 0);
  const WidgetBox coloured = badge_with_color("Beta", kalu_ui::Color::rgb8(1, 2, 3));
  EXPECT_EQ(dynamic_cast<const w::Badge&>(*coloured).tone(), std::nullopt);

  const WidgetBox stepped = spacer(3);
  EXPECT_EQ(dynamic_cast<const w::Spacer&>(*stepped).length(), 12.0f);
}

TEST(UiRowsTest, HeroCardPutsTheIconBesideAnExpandingTextColumn) {
  auto hero = hero_card(70, "kalu-laptop", "Device identity and transfer");
  const Widget& row = *hero->children().at(0);
  ASSERT_EQ(row.children().size(), 2u);
  const auto& icon = dynamic_cast<const w::IconWidget&>(*row.children()[0]);
  EXPECT_EQ(icon.icon(), 70);
  EXPECT_EQ(icon.size(), 34.0f);
  EXPECT_EQ(icon.weight(), 1.5);
  const auto& texts = dynamic_cast<const w::Container&>(*row.children()[1]);
  EXPECT_TRUE(texts.expands());
  const Widget& lines = *texts.children().at(0);
  EXPECT_EQ(text_at(lines, 0).size(), 20.0f);
  EXPECT_EQ(text_at(lines, 1).size(), 12.0f);
  EXPECT_TRUE(text_at(lines, 1).muted());
}

TEST(UiRowsTest, CardWithControlPutsItAtTheEndOfTheTitleLine) {
  Laid t(section_card_with_control("Wi-Fi", control("toggle", 44.0f), control("rows", 100.0f)));
  const Rect card = t.harness.root().get_rect();
  const Rect toggle = t.rect("toggle");
  const Rect rows = t.rect("rows");
  const Widget& header = *t.harness.root().children().at(0)->children().at(0);
  // The control ends at the card's padding on the title line; the content
  // starts one header gap under that line.
  EXPECT_EQ(toggle.x1, card.x1 - w::Card::kPadding);
  EXPECT_LT(toggle.y1, header.get_rect().y1 + 0.5);
  EXPECT_EQ(rows.y0, header.get_rect().y1 + w::Card::kHeaderGap);
  const auto& title = text_at(header, 0);
  EXPECT_EQ(title.text(), "Wi-Fi");
  EXPECT_EQ(title.size(), w::Card::kTitleSize);
}

}  // namespace
}  // namespace settings::ui_rows
