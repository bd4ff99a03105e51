#include <gtest/gtest.h>

#include <filesystem>

#include "frame.h"
#include "kalu_ui/qr_modules.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/icon_widget.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/qr.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/sparkline.h"
#include "kalu_ui/widget/text.h"

// A settings page as the page builders assemble it, laid out at the window's
// size and rendered: the measures pages rely on, checked on rectangles and
// pixels.
namespace kalu_ui::widget {
namespace {

using testing::find_by_id;
using testing::Frame;

constexpr float kControlColumn = 220.0f;
constexpr float kMaxPageWidth = 720.0f;

WidgetBox label(std::string text) {
  return boxed(Text(std::move(text)).with_size(13.0f).with_wrap());
}

WidgetBox setting_row(std::string text, WidgetBox control, std::string id) {
  return boxed(
      Row()
          .with_gap(4.0f)
          .with_id(std::move(id))
          .push(label(std::move(text)))
          .push(boxed(Spacer()))
          .push(boxed(Container().with_width(kControlColumn).with_child(std::move(control)))));
}

WidgetBox caption(std::string text, std::string id = {}) {
  return boxed(
      Text(std::move(text)).with_size(12.0f).with_muted().with_wrap().with_id(std::move(id)));
}

Row page() {
  Column rows = Column().with_gap(12.0f);
  rows.push(setting_row("Brightness", boxed(Text("80%").with_id("brightness_value")), "row_first"));
  rows.push(setting_row(
      "A very long label for a setting that has to wrap onto several lines before its control",
      boxed(Badge::with_tone("On", kToneSuccess)), "row_long"));
  rows.push(
      caption("Captions sit under the rows and wrap within the card when they are longer "
              "than one line of the page can hold, as this one is: it runs on past the "
              "card's right edge.",
              "caption"));
  rows.push(boxed(ProgressBar(0.5).with_label("Downloading update")));

  Row tones = Row().with_gap(8.0f).with_id("tones");
  for (std::uint8_t tone = 0; tone < 5; ++tone) {
    tones.push(boxed(Badge::with_tone(std::string("Tone ") + char('0' + tone), tone)));
  }
  tones.push(boxed(Badge::with_color("Custom", Color::rgb8(0x8a, 0x2b, 0xe2))));

  Row hero = Row().with_alignment(Alignment::Center).with_gap(12.0f);
  hero.push(boxed(IconWidget(icon::kDisplay, 34.0f, 1.5)));
  hero.push(boxed(Container().with_expand().with_child(
      boxed(Column()
                .with_gap(4.0f)
                .push(boxed(Text("Display").with_size(20.0f).with_wrap().with_id("hero_title")))
                .push(caption("Resolution, scale and night light"))))));

  Row charts = Row().with_gap(16.0f).with_alignment(Alignment::Start);
  charts.push(boxed(Sparkline({1, 4, 2, 8, 5, 7, 3}).with_max(10.0).with_size(160.0f, 40.0f)));
  charts.push(boxed(Spacer()));
  charts.push(boxed(QrWidget("WIFI:T:WPA;S:kalu-hotspot;P:correct horse;;").with_size(148.0f)));

  Column sections = Column().with_gap(24.0f).with_id("sections");
  sections.push(boxed(Card(boxed(std::move(hero)))));
  sections.push(boxed(card::surface("Display", std::nullopt, boxed(std::move(rows)))));
  sections.push(
      boxed(card::surface("Status", std::string("Every badge tone"), boxed(std::move(tones)))));
  sections.push(boxed(card::surface("Hotspot", std::nullopt, boxed(std::move(charts)))));

  // The page keeps to a readable width, centred in the window.
  Row outer = Row().with_padding(24.0f).with_justify(layout::Justify::Center);
  outer.push(boxed(Container()
                       .with_expand()
                       .with_max_width(kMaxPageWidth)
                       .with_child(boxed(std::move(sections)))));
  return outer;
}

TEST(PageTest, LaysOutRendersAndKeepsThePageMeasures) {
  Scrollable root;
  root.with_child(boxed(page()));
  Frame frame;
  ASSERT_TRUE(frame.layout(root, 1280, 800));

  const Widget* sections = find_by_id(root, "sections");
  ASSERT_NE(sections, nullptr);
  const Rect page_rect = sections->get_rect();
  EXPECT_DOUBLE_EQ(page_rect.width(), kMaxPageWidth);
  EXPECT_DOUBLE_EQ(page_rect.x0, (1280.0 - kMaxPageWidth) / 2);  // centred
  EXPECT_DOUBLE_EQ(page_rect.y0, 24.0);

  // Sections stand 24 apart.
  const auto cards = sections->children();
  ASSERT_EQ(cards.size(), 4u);
  for (std::size_t i = 1; i < cards.size(); ++i) {
    EXPECT_DOUBLE_EQ(cards[i]->get_rect().y0, cards[i - 1]->get_rect().y1 + 24.0) << i;
  }

  // The control column is 220 wide and ends at the card's content edge,
  // for a short label and for one that wraps.
  const Rect card = cards[1]->get_rect();
  for (const char* id : {"row_first", "row_long"}) {
    const auto row_children = find_by_id(root, id)->children();
    ASSERT_EQ(row_children.size(), 3u);
    const Rect control = row_children[2]->get_rect();
    EXPECT_DOUBLE_EQ(control.width(), kControlColumn) << id;
    EXPECT_DOUBLE_EQ(control.x1, card.x1 - Card::kPadding) << id;
    EXPECT_LE(row_children[0]->get_rect().x1, control.x0 - 4.0) << id;
  }
  const Rect long_label = find_by_id(root, "row_long")->children()[0]->get_rect();
  EXPECT_GT(long_label.height(), 2 * 13.0);  // wrapped
  // Rows of a card stand 12 apart.
  EXPECT_DOUBLE_EQ(find_by_id(root, "row_long")->get_rect().y0,
                   find_by_id(root, "row_first")->get_rect().y1 + 12.0);

  const Rect caption_rect = find_by_id(root, "caption")->get_rect();
  EXPECT_DOUBLE_EQ(caption_rect.width(), card.width() - 2 * Card::kPadding);
  EXPECT_GT(caption_rect.height(), 12.0 * 1.3 * 1.5);

  // The hero title's container takes what the icon leaves.
  const Rect title = find_by_id(root, "hero_title")->get_rect();
  EXPECT_DOUBLE_EQ(title.x0, cards[0]->get_rect().x0 + Card::kPadding + 34.0 + 12.0);

  // Nothing overflows the window: the page scrolls only when needed.
  EXPECT_LE(root.content_height(), 800.0);

  auto image = frame.render(root, 1280, 800);
  std::filesystem::create_directories(KALU_UI_WIDGETS_ARTIFACTS);
  ASSERT_TRUE(image.write_png(Frame::artifact("display_page.png")));

  const Theme& theme = frame.theme();
  const auto at = [&](double x, double y) { return image.pixel(int(x), int(y)); };
  // A colour as drawn over the card (fills may be translucent).
  const auto expect_on_card = [&](Color seen, Color fill, const char* what) {
    const Color expected = theme.card.mix(fill.with_alpha(255), fill.alpha());
    EXPECT_NEAR(seen.r, expected.r, 2) << what;
    EXPECT_NEAR(seen.g, expected.g, 2) << what;
    EXPECT_NEAR(seen.b, expected.b, 2) << what;
  };
  // Window background left of the page, card surface inside a card's padding.
  EXPECT_EQ(at(10, 400), theme.background);
  EXPECT_EQ(at(card.x0 + 6, card.y0 + card.height() / 2), theme.card);

  // Each tone's pill is filled with its colour (sampled left of the text).
  const auto badges = find_by_id(root, "tones")->children();
  ASSERT_EQ(badges.size(), 6u);
  for (std::uint8_t tone = 0; tone < 5; ++tone) {
    const Rect pill = static_cast<const Badge*>(badges[tone])->pill_rect();
    const std::string what = "tone " + std::to_string(tone);
    expect_on_card(at(pill.x0 + 5, pill.center().y), theme.badge_tone(tone).fill, what.c_str());
  }

  // The progress bar is accent-filled up to the middle of its track.
  const ProgressBar* bar = nullptr;
  for (const Widget* row : cards[1]->children()[0]->children()) {
    if (row->type_name() == ProgressBar::kTypeName) bar = static_cast<const ProgressBar*>(row);
  }
  ASSERT_NE(bar, nullptr);
  const Rect bar_rect = bar->get_rect();
  const double track_y = bar_rect.y1 - ProgressBar::kBarHeight / 2;
  expect_on_card(at(bar_rect.x0 + bar_rect.width() * 0.25, track_y), theme.accent, "filled");
  expect_on_card(at(bar_rect.x0 + bar_rect.width() * 0.75, track_y), theme.control, "track");

  // The QR code: light quiet zone, dark top-left finder corner.
  const auto* code = static_cast<const QrWidget*>(find_by_id(root, "qr_widget"));
  ASSERT_NE(code, nullptr);
  const Rect symbol = qr::symbol_rect(code->width(), code->get_rect());
  const double module = symbol.width() / code->width();
  EXPECT_EQ(at(symbol.x0 + module / 2, symbol.y0 + module / 2), Color::black());
  EXPECT_EQ(at(symbol.x0 - module * 2, symbol.y0 + module / 2), Color::white());
  EXPECT_EQ(at(symbol.x0 + module * 1.5, symbol.y0 + module * 1.5), Color::white());
}

}  // namespace
}  // namespace kalu_ui::widget
