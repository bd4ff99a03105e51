#include "kalu_ui/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "ink.h"
#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/scene.h"

namespace kalu_ui::text {
namespace {

TextStyle style(float size, float line_height = 1.25f) {
  return TextStyle::sized(size).with_line_height(line_height);
}

TEST(TextMeasure, LongerIsWiderAndALimitWrapsToMoreLines) {
  TextRenderer r;
  const auto s = style(14.0f);
  const auto short_m = r.measure("Network", s, std::nullopt, LayoutOption::Wrap);
  const auto long_m = r.measure("Network and Internet", s, std::nullopt, LayoutOption::Wrap);
  EXPECT_GT(short_m.width, 0.0);
  EXPECT_GT(long_m.width, short_m.width);
  EXPECT_EQ(long_m.height, short_m.height);

  const auto wrapped = r.measure("Network and Internet", s, 90.0, LayoutOption::Wrap);
  EXPECT_GT(wrapped.lines, 1);
  EXPECT_GT(wrapped.height, long_m.height);
  EXPECT_LE(wrapped.width, 90.0);
}

TEST(TextMeasure, LinePitchIsAWholePixelSoLinesStackExactly) {
  // 14 px at line height 1.25: one line 17 high, two lines 34.
  TextRenderer r;
  const auto one = r.measure("Privacy", style(14.0f), 192.0, LayoutOption::Wrap);
  EXPECT_EQ(one.lines, 1);
  EXPECT_DOUBLE_EQ(one.height, 17.0);
  const auto two = r.measure("Device Privacy & Security", style(14.0f), 150.0, LayoutOption::Wrap);
  EXPECT_EQ(two.lines, 2);
  EXPECT_DOUBLE_EQ(two.height, 34.0);
  EXPECT_GT(one.baseline, 0.0);
  EXPECT_LT(one.baseline, one.height);
}

TEST(TextMeasure, OptionsUseTheLimitDifferently) {
  TextRenderer r;
  const auto s = style(13.0f);
  const std::string text = "Linux 6.8.0-40-generic #40-Ubuntu SMP PREEMPT_DYNAMIC x86_64";
  const auto single = r.measure(text, s, 80.0, LayoutOption::SingleLine);
  EXPECT_EQ(single.lines, 1);
  EXPECT_GT(single.width, 80.0);  // never broken, the limit ignored
  const auto cut = r.measure(text, s, 80.0, LayoutOption::Ellipsize);
  EXPECT_EQ(cut.lines, 1);
  EXPECT_LE(cut.width, 80.0);
  // Ellipsize keeps one line even across a newline.
  EXPECT_EQ(r.measure("a\nb", s, 80.0, LayoutOption::Ellipsize).lines, 1);
  EXPECT_EQ(r.measure("a\nb", s, 80.0, LayoutOption::SingleLine).lines, 2);
  // A zero or negative limit wraps every word; no limit never wraps.
  EXPECT_GE(r.measure("a b c", s, -5.0, LayoutOption::Wrap).lines, 3);
  EXPECT_EQ(
      r.measure("a b c", s, std::numeric_limits<double>::infinity(), LayoutOption::Wrap).lines, 1);
}

TEST(TextMeasure, EmptyAndInvalidTextMeasureSafely) {
  TextRenderer r;
  const auto empty = r.measure("", style(14.0f), std::nullopt, LayoutOption::Wrap);
  EXPECT_EQ(empty.width, 0.0);
  EXPECT_DOUBLE_EQ(empty.height, 17.0);  // a caret still needs a line
  const auto bad = r.measure(std::string("ab\xff\xfe"
                                         "cd"),
                             style(14.0f), std::nullopt, LayoutOption::Wrap);
  EXPECT_GT(bad.width, 0.0);
}

TEST(TextStyleResolution, SanitisesAndAppliesTheTextScale) {
  TextRenderer r;
  struct Case {
    TextStyle in;
    float size;
    float line_height;
    std::uint16_t weight;
  };
  const float nan = std::nanf("");
  const Case cases[] = {
      {style(13.0f, 1.25f), 13.0f, 1.25f, kWeightRegular},
      {style(nan, nan), kDefaultSize, kDefaultLineHeight, kWeightRegular},
      {style(-4.0f, 0.0f), kDefaultSize, kDefaultLineHeight, kWeightRegular},
      {style(9000.0f, 10.0f).with_weight(5), 512.0f, 4.0f, 100},
  };
  for (const auto& c : cases) {
    const auto s = r.renderer_input_style(c.in);
    EXPECT_EQ(s.size, c.size);
    EXPECT_EQ(s.line_height, c.line_height);
    EXPECT_EQ(s.weight, c.weight);
    EXPECT_EQ(s.family, kDefaultFamily);
  }
  TextStyle no_family = style(12.0f);
  no_family.family.clear();
  EXPECT_EQ(r.renderer_input_style(no_family).family, kDefaultFamily);

  r.set_text_scale(1.3f);
  EXPECT_FLOAT_EQ(r.renderer_input_style(style(10.0f)).size, 13.0f);
  r.set_text_scale(nan);
  EXPECT_EQ(r.text_scale(), 1.0f);
}

TEST(TextCache, AnUnchangedRedrawShapesNothing) {
  TextRenderer r;
  const auto s = style(13.0f);
  auto frame = [&] {
    Scene scene;
    r.measure("Wi-Fi", s, 200.0, LayoutOption::Wrap);
    r.draw_text(scene, "Wi-Fi", s, {0, 0}, 200.0, LayoutOption::Wrap);
    r.draw_text(scene, "Bluetooth", s, {0, 20}, 200.0, LayoutOption::Wrap);
  };
  frame();
  const CacheStats first = r.cache_stats();
  EXPECT_EQ(first.misses, 2u);
  frame();
  const CacheStats second = r.cache_stats();
  EXPECT_EQ(second.misses, 2u);
  EXPECT_EQ(second.hits, first.hits + 3);
  // The colour does not take part in shaping; width and size do.
  r.measure("Wi-Fi", s.with_color(Color::white()), 200.0, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().misses, 2u);
  r.measure("Wi-Fi", s, 150.0, LayoutOption::Wrap);
  r.measure("Wi-Fi", style(14.0f), 200.0, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().misses, 4u);
  // The limit plays no part for single-line text.
  r.measure("Wi-Fi", s, 10.0, LayoutOption::SingleLine);
  r.measure("Wi-Fi", s, 99.0, LayoutOption::SingleLine);
  EXPECT_EQ(r.cache_stats().misses, 5u);
}

TEST(TextCache, LeastRecentlyUsedIsDroppedAndDrawnLayoutsOutliveIt) {
  TextRenderer r(2);
  Scene scene;
  const auto s = style(13.0f);
  r.draw_text(scene, "one", s, {0, 0}, std::nullopt, LayoutOption::Wrap);
  r.measure("two", s, std::nullopt, LayoutOption::Wrap);
  r.measure("one", s, std::nullopt, LayoutOption::Wrap);  // "one" is now the most recent
  r.measure("three", s, std::nullopt, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().entries, 2u);
  const auto misses = r.cache_stats().misses;
  r.measure("one", s, std::nullopt, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().misses, misses);
  r.measure("two", s, std::nullopt, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().misses, misses + 1);
  r.clear_cache();
  EXPECT_EQ(r.cache_stats().entries, 0u);
  ASSERT_EQ(scene.find_text("one").size(), 1u);
  EXPECT_GT(scene.find_text("one")[0]->box.width(), 0.0);
}

TEST(TextCache, ALongListsWidestLineIsKeptApartFromTheLayouts) {
  TextRenderer r(2);
  const auto s = style(13.0f);
  std::vector<std::string> texts{"one", "a rather longer choice"};
  for (int i = 0; i < 40; ++i) texts.push_back("choice " + std::to_string(i));
  double widest = 0.0;
  for (const std::string& text : texts) {
    widest = std::max(widest, r.measure(text, s, std::nullopt, LayoutOption::SingleLine).width);
  }
  r.clear_cache();
  r.measure("one", s, std::nullopt, LayoutOption::SingleLine);
  r.measure("two", s, std::nullopt, LayoutOption::SingleLine);
  const CacheStats before = r.cache_stats();
  EXPECT_EQ(r.widest_single_line(texts, s), widest);
  // "one" came from the cache; the others were shaped and let go, and the
  // page's layouts stay.
  EXPECT_EQ(r.cache_stats().misses, before.misses + texts.size() - 1);
  EXPECT_EQ(r.cache_stats().hits, before.hits + 1);
  r.measure("one", s, std::nullopt, LayoutOption::SingleLine);
  r.measure("two", s, std::nullopt, LayoutOption::SingleLine);
  EXPECT_EQ(r.cache_stats().misses, before.misses + texts.size() - 1);

  // The same texts in a list made anew shape nothing; another text or style
  // is measured afresh.
  const std::vector<std::string> again(texts);
  const auto misses = r.cache_stats().misses;
  EXPECT_EQ(r.widest_single_line(again, s), widest);
  EXPECT_EQ(r.cache_stats().misses, misses);
  texts[1] = "short";
  EXPECT_LT(r.widest_single_line(texts, s), widest);
  EXPECT_GT(r.widest_single_line(again, style(20.0f)), widest);
  // A short list is measured as single texts are.
  const std::vector<std::string> few{"one", "a rather longer choice"};
  EXPECT_EQ(r.widest_single_line(few, s), widest);
  EXPECT_EQ(r.widest_single_line({}, s), 0.0);
}

TEST(TextCache, AWrappedTextThatFitsItsWidthIsShapedOnce) {
  TextRenderer r;
  const auto s = style(13.0f);
  const TextMetrics natural = r.measure("Automatic IPv4", s, std::nullopt, LayoutOption::Wrap);
  const auto misses = r.cache_stats().misses;
  // Given its own width, or more, it keeps its one line and its layout.
  EXPECT_EQ(r.measure("Automatic IPv4", s, std::ceil(natural.width), LayoutOption::Wrap), natural);
  EXPECT_EQ(r.measure("Automatic IPv4", s, 400.0, LayoutOption::Wrap), natural);
  EXPECT_EQ(r.cache_stats().misses, misses);
  // Narrower, it breaks.
  EXPECT_GT(r.measure("Automatic IPv4", s, natural.width / 2, LayoutOption::Wrap).lines, 1);
  EXPECT_EQ(r.cache_stats().misses, misses + 1);
  // Text in a script that may run right to left is laid out at its width.
  r.measure("שלום", s, std::nullopt, LayoutOption::Wrap);
  const auto before = r.cache_stats().misses;
  r.measure("שלום", s, 400.0, LayoutOption::Wrap);
  EXPECT_EQ(r.cache_stats().misses, before + 1);
}

TEST(TextDraw, InkStaysInsideTheMeasuredBoxAtEveryScale) {
  TextRenderer r;
  const Color bg = Color::white();
  struct Case {
    const char* text;
    float size;
    std::optional<double> limit;
  };
  const Case cases[] = {
      {"Keyboard Shortcuts", 14.0f, std::nullopt},
      {"Typing, spelling, input sources, and pointer behaviour", 13.0f, 150.0},
      {"Quick brown fox jumps (gjpqy)", 24.0f, 220.0},
  };
  for (const double scale : {1.0, 1.5, 2.0}) {
    for (const auto& c : cases) {
      const auto s = style(c.size);
      const Point origin{10.0, 10.0};
      Scene scene;
      const auto m = r.draw_text(scene, c.text, s.with_color(Color::black()), origin, c.limit,
                                 LayoutOption::Wrap);
      EXPECT_EQ(m, r.measure(c.text, s, c.limit, LayoutOption::Wrap));
      const int w = static_cast<int>(std::ceil((m.width + 20) * scale));
      const int h = static_cast<int>(std::ceil((m.height + 20) * scale));
      auto img = cairo_backend::render(scene, w, h, scale, bg);
      ASSERT_TRUE(img.has_value()) << img.error();
      const auto ink = testing::ink_box(*img, bg);
      ASSERT_TRUE(ink.has_value()) << c.text;
      const Rect box{origin.x * scale, origin.y * scale, (origin.x + m.width) * scale,
                     (origin.y + m.height) * scale};
      // One physical pixel of antialiasing slack on each side.
      EXPECT_GE(ink->x0, std::floor(box.x0) - 1) << c.text << " @" << scale;
      EXPECT_GE(ink->y0, std::floor(box.y0) - 1) << c.text << " @" << scale;
      EXPECT_LE(ink->x1, std::ceil(box.x1) + 1) << c.text << " @" << scale;
      EXPECT_LE(ink->y1, std::ceil(box.y1) + 1) << c.text << " @" << scale;
      // And the ink fills most of the box: the measure is not a loose overestimate.
      EXPECT_GT(ink->width(), 0.85 * box.width()) << c.text << " @" << scale;
    }
  }
}

TEST(TextHitTest, OffsetsAndCaretsStayOnCharacterBoundaries) {
  TextRenderer r;
  const auto s = style(14.0f);
  const std::string text = "h\xc3\xa9llo w\xc3\xb6rld";  // "héllo wörld", 13 bytes
  const auto m = r.measure(text, s, std::nullopt, LayoutOption::SingleLine);
  EXPECT_EQ(r.byte_offset_at(text, s, std::nullopt, LayoutOption::SingleLine, {-5, 5}), 0u);
  EXPECT_EQ(r.byte_offset_at(text, s, std::nullopt, LayoutOption::SingleLine, {m.width + 50, 5}),
            text.size());
  // Every caret position maps back to itself.
  for (std::size_t off : {0u, 1u, 3u, 4u, 7u, 8u, 10u, 13u}) {
    const Rect caret = r.caret_rect(text, s, std::nullopt, LayoutOption::SingleLine, off);
    EXPECT_EQ(caret.width(), 0.0);
    EXPECT_GT(caret.height(), 10.0);
    const Point mid{caret.x0 + 0.1, caret.center().y};
    EXPECT_EQ(r.byte_offset_at(text, s, std::nullopt, LayoutOption::SingleLine, mid), off);
  }
  // An offset inside the two bytes of "é" is its start; past the end is the end.
  EXPECT_EQ(r.caret_rect(text, s, std::nullopt, LayoutOption::SingleLine, 2),
            r.caret_rect(text, s, std::nullopt, LayoutOption::SingleLine, 1));
  EXPECT_EQ(r.caret_rect(text, s, std::nullopt, LayoutOption::SingleLine, 999),
            r.caret_rect(text, s, std::nullopt, LayoutOption::SingleLine, text.size()));
  // On a wrapped text the second line's caret lies one pitch lower.
  const Rect first = r.caret_rect("alpha beta", s, 40.0, LayoutOption::Wrap, 0);
  const Rect second = r.caret_rect("alpha beta", s, 40.0, LayoutOption::Wrap, 6);
  EXPECT_DOUBLE_EQ(second.y0 - first.y0, 17.0);
  EXPECT_EQ(r.byte_offset_at("alpha beta", s, 40.0, LayoutOption::Wrap, {0.5, 25}), 6u);
  EXPECT_EQ(
      r.byte_offset_at("alpha", s, std::nullopt, LayoutOption::Wrap, {std::nan(""), std::nan("")}),
      0u);
}

TEST(TextIcons, IconFontCodePointsDrawAsIconsInTheTextColour) {
  TextRenderer r;
  const auto s = style(16.0f);
  const std::string signal = "\U000F0925";
  const auto m = r.measure(signal, s, std::nullopt, LayoutOption::SingleLine);
  EXPECT_DOUBLE_EQ(m.width, 16.0);  // one em square
  // A Wi-Fi row's text: signal, lock and name all measure and draw.
  const std::string row = signal + "  \U000F033E  Home";
  EXPECT_GT(r.measure(row, s, std::nullopt, LayoutOption::SingleLine).width,
            r.measure("Home", s, std::nullopt, LayoutOption::SingleLine).width + 32.0);

  const Color blue = Color::rgb8(20, 60, 200);
  Scene via_text;
  r.draw_text(via_text, signal, s.with_color(blue), {10, 10}, std::nullopt,
              LayoutOption::SingleLine);
  Scene direct;
  const double top = 10 + m.baseline - 0.8 * 16.0;
  Icon::draw(direct, icon::kWifiSignal3, {10, top, 26, top + 16}, blue);
  auto a = cairo_backend::render(via_text, 40, 40, 2.0, Color::white());
  auto b = cairo_backend::render(direct, 40, 40, 2.0, Color::white());
  ASSERT_TRUE(a && b);
  int inked = 0, differing = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      inked += a->pixel(x, y) != Color::white();
      differing += a->pixel(x, y) != b->pixel(x, y);
    }
  }
  EXPECT_GT(inked, 20);
  EXPECT_LE(differing, 2);
}

}  // namespace
}  // namespace kalu_ui::text
