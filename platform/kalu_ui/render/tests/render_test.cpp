#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "ink.h"
#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/qr_modules.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"

namespace kalu_ui {
namespace {

using cairo_backend::render;
using cairo_backend::RenderedImage;

// The pane icons in sidebar order.
constexpr std::uint8_t kPaneIcons[] = {7, 8,  71, 89, 9, 2, 3,  5,  66, 67, 73,
                                       0, 56, 10, 85, 4, 6, 71, 66, 11, 76, 70};

constexpr Color kRed = Color::rgb8(200, 60, 60);
constexpr Color kGreen = Color::rgb8(60, 200, 90);
constexpr Color kBlue = Color::rgb8(60, 90, 220);

bool near(Color a, Color b, int tol = 3) {
  return std::abs(a.r - b.r) <= tol && std::abs(a.g - b.g) <= tol && std::abs(a.b - b.b) <= tol &&
         std::abs(a.a - b.a) <= tol;
}

// A sidebar-like row drawn the way the navigation draws it: tile, tier,
// edge, inner ring, focus ring, icon and title.
void draw_row(Scene& scene, text::TextRenderer& tr, const Theme& theme, const Rect& row,
              std::uint8_t icon_id, const char* title, bool selected, bool hovered, bool pressed,
              bool focused) {
  const Rect tile{row.x0 + 8, row.y0 + 4, row.x1 - 8, row.y1 - 4};
  const auto tier = chrome::shell::selection_tier(theme, selected, hovered, pressed);
  const Affine t = std::abs(tier.scale - 1.0) > std::numeric_limits<double>::epsilon()
                       ? Affine::scale_about(tier.scale, tile.center())
                       : Affine::identity();
  if (tier.fill.a > 0) scene.fill(RoundedRect{tile, theme.control_radius}, tier.fill, t);
  if (tier.edge_on) {
    scene.stroke(surface::edge_outline(tile, theme.control_radius), tier.edge, StrokeStyle{1.0}, t);
  }
  if (tier.inner_ring_on) {
    scene.stroke(RoundedRect{tile.inset(1.5), std::max(theme.control_radius - 1.5, 0.0)},
                 tier.inner_ring, StrokeStyle{1.0}, t);
  }
  if (focused) {
    scene.stroke(RoundedRect{tile, theme.control_radius}, theme.focus, StrokeStyle{2.0});
  }
  const double cy = 0.5 * (row.y0 + row.y1);
  Icon::draw(scene, icon_id, {row.x0 + 21, cy - 9, row.x0 + 39, cy + 9}, theme.foreground);
  const auto style = tr.renderer_input_style(text::TextStyle::sized(14.0f).with_line_height(1.25f));
  const double limit = std::max(row.width() - 72.0, 0.0);
  const auto m = tr.measure(title, style, limit, text::LayoutOption::Wrap);
  tr.draw_text(scene, title, style.with_color(theme.foreground),
               {row.x0 + 52, row.y0 + (row.height() - m.height) / 2}, limit,
               text::LayoutOption::Wrap);
}

struct Fixture {
  Scene scene;
  Theme theme = Theme::dark();
  text::TextMetrics paragraph;
};

// 960 x 440 logical pixels. Every element sits at coordinates the pixel
// checks below name.
void build_fixture(Fixture& f, text::TextRenderer& tr) {
  Scene& s = f.scene;
  const Theme& th = f.theme;
  s.fill(RoundedRect{{20, 20, 260, 60}, 8}, kRed);                         // filled tile
  s.stroke(RoundedRect{{20, 80, 260, 120}, 8}, kGreen, StrokeStyle{2.0});  // stroked tile
  const Rect scaled{300, 20, 500, 120};
  s.fill(RoundedRect{scaled, 8}, kBlue, Affine::scale_about(0.5, scaled.center()));  // scaled tile
  s.stroke(RoundedRect{{300, 140, 500, 180}, th.control_radius}, th.focus, StrokeStyle{2.0});
  // Even-odd ring: the hole shows the background.
  BezPath ring = Circle{{570, 70}, 40}.to_path();
  ring.append(Circle{{570, 70}, 20}.to_path());
  s.fill(ring, kGreen, Affine::identity(), FillRule::EvenOdd);
  // A clip cuts a big fill down to a 20 x 20 square.
  s.push_clip(Rect{520, 140, 540, 160});
  s.fill(Rect{0, 0, 960, 440}, kRed);
  s.pop_clip();
  // A dashed rule: 6 on, 6 off from x = 520.
  s.stroke(Line{{520, 180}, {620, 180}}, kGreen,
           StrokeStyle{2.0}.with_cap(Cap::Butt).with_dashes({6, 6}));
  // A 2 x 2 image blown up with the nearest filter.
  auto img =
      std::make_shared<Image>(Image::from_colors(2, 2, {kRed, kGreen, kBlue, Color::white()}));
  s.draw_image(img, {580, 140, 620, 180}, ImageFilter::Nearest);

  // Text in two sizes, the second wrapping.
  tr.draw_text(s, "Settings",
               tr.renderer_input_style(text::TextStyle::sized(24.0f)).with_color(th.foreground),
               {20, 140}, std::nullopt, text::LayoutOption::Wrap);
  f.paragraph =
      tr.draw_text(s, "Typing, spelling, input sources, and pointer behaviour",
                   tr.renderer_input_style(text::TextStyle::sized(13.0f)).with_color(th.secondary),
                   {20, 176}, 250.0, text::LayoutOption::Wrap);

  // Wi-Fi rows put icon-font glyphs in their text.
  const auto row_style = tr.renderer_input_style(text::TextStyle::sized(13.0f));
  tr.draw_text(s, "\U000F0925  \U000F033E  Home", row_style.with_color(th.foreground), {300, 200},
               std::nullopt, text::LayoutOption::SingleLine);
  tr.draw_text(s, "\U000F091F  \U000F033F  Caf\u00e9 guest", row_style.with_color(th.foreground),
               {300, 222}, std::nullopt, text::LayoutOption::SingleLine);

  // Sidebar rows: plain, hovered, selected and focused, pressed.
  draw_row(s, tr, th, {640, 200, 904, 240}, 7, "Network", false, false, false, false);
  draw_row(s, tr, th, {640, 240, 904, 280}, 8, "Bluetooth", false, true, false, false);
  draw_row(s, tr, th, {640, 280, 904, 320}, 71, "Devices & Sync", true, false, false, true);
  draw_row(s, tr, th, {640, 320, 904, 360}, 89, "Sound", false, true, true, false);

  // Every pane icon at 18 pixels (sidebar) and at 34 pixels (hero cards).
  for (int i = 0; i < 22; ++i) {
    const double x18 = 20 + 26 * i;
    Icon::draw(s, kPaneIcons[i], {x18, 250, x18 + 18, 268}, th.foreground);
    const double x34 = 20 + 42 * i;
    Icon::draw(s, kPaneIcons[i], {x34, 390, x34 + 34, 424}, th.foreground, Affine::identity(), 1.5);
  }
  // A QR symbol from a diagonal pattern, placed with its quiet zone.
  std::vector<std::uint8_t> modules(21 * 21);
  for (int i = 0; i < 21 * 21; ++i) modules[i] = ((i / 21) + (i % 21)) % 3 == 0;
  s.fill(qr::modules_path(modules, 21, {20, 290, 110, 380}), th.foreground);
}

TEST(CairoRender, FixtureScenePixels) {
  text::TextRenderer tr;
  Fixture f;
  build_fixture(f, tr);
  const Color bg = f.theme.background;
  auto img = render(f.scene, 960, 440, 1.0, bg);
  ASSERT_TRUE(img.has_value()) << img.error();
  ASSERT_TRUE(img->write_png(testing::artifact_path("fixture.png")).has_value());

  struct Probe {
    int x, y;
    Color expected;
    const char* what;
  };
  const Probe probes[] = {
      {140, 40, kRed, "fill inside"},
      {21, 21, bg, "rounded corner leaves background"},
      {16, 40, bg, "outside the fill"},
      {20, 100, kGreen, "stroke on the edge"},
      {140, 100, bg, "stroke does not fill"},
      {400, 70, kBlue, "scaled tile centre"},
      {355, 70, kBlue, "scaled tile near its new left edge"},
      {340, 70, bg, "outside the scaled tile"},
      {305, 25, bg, "the unscaled corner is empty"},
      {300, 160, f.theme.focus, "focus ring"},
      {570, 40, kGreen, "ring body"},
      {570, 70, bg, "even-odd hole"},
      {530, 150, kRed, "inside the clip"},
      {515, 150, bg, "outside the clip"},
      {523, 180, kGreen, "dash on"},
      {529, 180, bg, "dash off"},
      {590, 150, kRed, "image top-left"},
      {610, 170, Color::white(), "image bottom-right, nearest"},
  };
  for (const auto& p : probes) {
    EXPECT_TRUE(near(img->pixel(p.x, p.y), p.expected))
        << p.what << " at " << p.x << "," << p.y << ": got " << int(img->pixel(p.x, p.y).r) << ","
        << int(img->pixel(p.x, p.y).g) << "," << int(img->pixel(p.x, p.y).b);
  }
  // The wrapped paragraph spans several lines and its ink stays in its box.
  EXPECT_GE(f.paragraph.lines, 2);
  EXPECT_EQ(f.scene.find_text("Settings").size(), 1u);
  EXPECT_EQ(f.scene.find_text("Devices & Sync").size(), 1u);

  // At scale 2 the same logical points land on doubled physical pixels.
  auto hi = render(f.scene, 1920, 880, 2.0, bg);
  ASSERT_TRUE(hi.has_value());
  ASSERT_TRUE(hi->write_png(testing::artifact_path("fixture@2x.png")).has_value());
  for (const auto& p : probes) {
    EXPECT_TRUE(near(hi->pixel(2 * p.x, 2 * p.y), p.expected)) << p.what << " @2x";
  }
  // Renders are deterministic: a second render is identical pixel for pixel.
  auto again = render(f.scene, 960, 440, 1.0, bg);
  ASSERT_TRUE(again.has_value());
  for (int y = 0; y < 440; y += 3) {
    for (int x = 0; x < 960; x += 3) ASSERT_EQ(img->pixel(x, y), again->pixel(x, y));
  }
}

// Renders one icon alone, black on white, in a square of `size` at (8, 8).
RenderedImage icon_image(std::uint8_t id, double size) {
  Scene scene;
  Icon::draw(scene, id, {8, 8, 8 + size, 8 + size}, Color::black());
  const int side = static_cast<int>(size) + 16;
  return *render(scene, side, side, 1.0, Color::white());
}

TEST(Icons, EveryKnownIconFillsItsSquareAndStaysInside) {
  for (const double size : {18.0, 34.0}) {
    for (const std::uint8_t id : Icon::known_ids()) {
      SCOPED_TRACE("icon " + std::to_string(id) + " at " + std::to_string(size));
      const auto img = icon_image(id, size);
      const auto ink = testing::ink_box(img, Color::white());
      ASSERT_TRUE(ink.has_value());
      EXPECT_GE(ink->x0, 7.0);
      EXPECT_GE(ink->y0, 7.0);
      EXPECT_LE(ink->x1, 9.0 + size);
      EXPECT_LE(ink->y1, 9.0 + size);
      // Reads at size: uses most of the square in at least one direction.
      EXPECT_GE(std::max(ink->width(), ink->height()), 0.7 * size);
    }
  }
  for (const std::uint8_t id : kPaneIcons) EXPECT_TRUE(Icon::is_known(id)) << int(id);
  EXPECT_FALSE(Icon::is_known(1));
}

TEST(Icons, DistinctIdsDrawDistinctGlyphs) {
  // Dark-pixel masks at 18 pixels; two ids that look alike would show as a
  // tiny difference. The network pane's icon is the full-signal glyph.
  std::map<std::uint8_t, std::vector<bool>> masks;
  for (const std::uint8_t id : Icon::known_ids()) {
    const auto img = icon_image(id, 18.0);
    std::vector<bool> m;
    for (int y = 0; y < img.height(); ++y) {
      for (int x = 0; x < img.width(); ++x) m.push_back(img.pixel(x, y).r < 128);
    }
    masks[id] = std::move(m);
  }
  for (auto a = masks.begin(); a != masks.end(); ++a) {
    for (auto b = std::next(a); b != masks.end(); ++b) {
      if (a->first == icon::kNetwork && b->first == icon::kWifiSignal3) continue;
      int diff = 0;
      for (std::size_t i = 0; i < a->second.size(); ++i) diff += a->second[i] != b->second[i];
      EXPECT_GE(diff, 8) << int(a->first) << " vs " << int(b->first);
    }
  }
}

TEST(Icons, CodePointsAndUnknownIds) {
  EXPECT_EQ(Icon::for_codepoint(0xF092B), icon::kWifiSignal0);
  EXPECT_EQ(Icon::for_codepoint(0xF0925), icon::kWifiSignal3);
  EXPECT_EQ(Icon::for_codepoint(0xF033F), icon::kLockOpen);
  EXPECT_FALSE(Icon::for_codepoint(U'A').has_value());
  // An unknown id still draws something; an empty rect draws nothing.
  Scene scene;
  Icon::draw(scene, 250, {0, 0, 18, 18}, Color::black());
  EXPECT_FALSE(scene.empty());
  Scene none;
  Icon::draw(none, icon::kBell, {0, 0, 0, 18}, Color::black());
  Icon::draw(none, icon::kBell, {0, 0, std::nan(""), 18}, Color::black());
  EXPECT_TRUE(none.empty());
}

TEST(CairoRender, RejectsUnusableTargets) {
  Scene scene;
  scene.fill(Rect{0, 0, 4, 4}, kRed);
  EXPECT_FALSE(render(scene, 0, 10, 1.0, Color::white()).has_value());
  EXPECT_FALSE(render(scene, 10, 10, 0.0, Color::white()).has_value());
  EXPECT_FALSE(render(scene, 10, 10, std::nan(""), Color::white()).has_value());
  std::vector<std::uint8_t> buf(10 * 10 * 4);
  EXPECT_FALSE(cairo_backend::render_into(scene, buf.data(), 10, 10, 20, 1.0, Color::white()));
  EXPECT_FALSE(cairo_backend::render_into(scene, nullptr, 10, 10, 40, 1.0, Color::white()));
  ASSERT_TRUE(cairo_backend::render_into(scene, buf.data(), 10, 10, 40, 1.0, Color::white()));
  // Premultiplied ARGB32 in native order: opaque red at (1, 1).
  std::uint32_t px;
  std::memcpy(&px, buf.data() + 1 * 40 + 4, 4);
  EXPECT_EQ(px, 0xFFC83C3Cu);
  auto img = render(scene, 10, 10, 1.0, Color::white());
  ASSERT_TRUE(img.has_value());
  EXPECT_FALSE(img->write_png("/nonexistent-dir/x.png").has_value());
  EXPECT_EQ(img->pixel(-1, 0), Color::transparent());
}

TEST(CairoRender, DegenerateCommandsDrawNothingAndUnclosedClipsEnd) {
  Scene scene;
  scene.fill(Rect{0, 0, 10, 10}, kRed, Affine::scale(0.0));
  scene.stroke(Line{{0, 5.5}, {10, 5.5}}, kRed, StrokeStyle{std::nan("")});
  scene.stroke(Line{{0, 5.5}, {10, 5.5}}, kRed, StrokeStyle{1.0}.with_dashes({-1, 2}));  // solid
  scene.push_clip(Rect{0, 0, 2, 2});
  auto img = render(scene, 10, 10, 1.0, Color::white());
  ASSERT_TRUE(img.has_value());
  EXPECT_EQ(img->pixel(0, 0), Color::white());
  EXPECT_TRUE(near(img->pixel(5, 5), kRed));  // the bad dash pattern drew solid
}

}  // namespace
}  // namespace kalu_ui
