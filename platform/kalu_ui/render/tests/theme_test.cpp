#include "kalu_ui/theme.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "kalu_ui/scene.h"

namespace kalu_ui {
namespace {

using chrome::shell::selection_tier;
using chrome::shell::SelectionTier;

const char* const kThemeNames[] = {
    "Dark",    "Light", "Kalu Blue", "Catppuccin Mocha", "Catppuccin Latte",
    "Dracula", "Nord",  "Gruvbox",   "Gruvbox Light",    "Solarized",
    "OLED",    "Beige"};

double channel(std::uint8_t v) {
  const double c = v / 255.0;
  return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}
double rel_luminance(Color c) {
  return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}
double contrast(Color a, Color b) {
  double la = rel_luminance(a), lb = rel_luminance(b);
  if (la < lb) std::swap(la, lb);
  return (la + 0.05) / (lb + 0.05);
}

TEST(SelectionTier, AllEightStatesInBothThemes) {
  // Expected shape of each state: (fill visible, pressed scale, edge, inner ring).
  struct Row {
    int selected, hovered, pressed;
    bool fill, shrinks, edge, ring;
  };
  const Row rows[] = {
      {0, 0, 0, false, false, false, false}, {0, 1, 0, true, false, false, false},
      {0, 0, 1, true, true, false, false},   {0, 1, 1, true, true, false, false},
      {1, 0, 0, true, false, true, false},   {1, 1, 0, true, false, true, false},
      {1, 0, 1, true, true, true, true},     {1, 1, 1, true, true, true, true},
  };
  for (const Theme& theme : {Theme::dark(), Theme::light()}) {
    for (const auto& r : rows) {
      SCOPED_TRACE(theme.name + " sel=" + std::to_string(r.selected) +
                   " hov=" + std::to_string(r.hovered) + " prs=" + std::to_string(r.pressed));
      const SelectionTier t = selection_tier(theme, r.selected, r.hovered, r.pressed);
      EXPECT_EQ(t.fill.a > 0, r.fill);
      EXPECT_EQ(t.scale < 1.0, r.shrinks);
      EXPECT_GT(t.scale, 0.9);
      EXPECT_LE(t.scale, 1.0);
      EXPECT_EQ(t.edge_on, r.edge);
      EXPECT_EQ(t.inner_ring_on, r.ring);
      if (t.edge_on) {
        EXPECT_GT(t.edge.a, 0);
      }
      if (t.inner_ring_on) {
        EXPECT_GT(t.inner_ring.a, 0);
      }
    }
    // Engagement strengthens the fill: rest < hover < press, and selected
    // tiles are tinted with the accent, unselected ones are not.
    EXPECT_LT(selection_tier(theme, 0, 1, 0).fill.a, selection_tier(theme, 0, 1, 1).fill.a);
    EXPECT_LT(selection_tier(theme, 1, 0, 0).fill.a, selection_tier(theme, 1, 1, 0).fill.a);
    EXPECT_LT(selection_tier(theme, 1, 1, 0).fill.a, selection_tier(theme, 1, 1, 1).fill.a);
    const Color sel = selection_tier(theme, 1, 0, 0).fill;
    EXPECT_EQ(sel.with_alpha(255), theme.accent);
    EXPECT_NE(selection_tier(theme, 0, 1, 0).fill.with_alpha(255), theme.accent);
    // Any non-zero byte counts as on.
    EXPECT_EQ(selection_tier(theme, 7, 0, 200), selection_tier(theme, 1, 0, 1));
  }
}

TEST(SelectionTier, ReducedMotionNeverScalesAndHighContrastRingsTheSelection) {
  const Theme calm = Theme::dark().with_reduce_motion(true);
  for (int s = 0; s < 2; ++s) {
    for (int h = 0; h < 2; ++h) {
      EXPECT_EQ(selection_tier(calm, s, h, 1).scale, 1.0);
    }
  }
  const Theme hc = Theme::high_contrast();
  const auto selected = selection_tier(hc, 1, 0, 0);
  EXPECT_TRUE(selected.inner_ring_on);
  EXPECT_TRUE(selected.edge_on);
  EXPECT_EQ(selected.edge, hc.foreground);
  // Hover shows a shape, not only a tint.
  EXPECT_TRUE(selection_tier(hc, 0, 1, 0).edge_on);
  EXPECT_FALSE(selection_tier(hc, 0, 0, 0).edge_on);
}

TEST(Theme, NamedThemesResolveExactlyAndKeepTextLegible) {
  for (const char* name : kThemeNames) {
    SCOPED_TRACE(name);
    const auto t = Theme::named(name);
    ASSERT_TRUE(t.has_value());
    EXPECT_EQ(t->name, name);
    EXPECT_GE(contrast(t->foreground, t->background), 7.0);
    EXPECT_GE(contrast(t->secondary, t->background), 4.5);
    EXPECT_GE(contrast(t->secondary, t->card), 4.5);
    EXPECT_GE(contrast(t->on_accent, t->accent), 3.0);
  }
  for (const char* name : {"dark", "Dark ", "", "custom:mine", "High Contrast"}) {
    EXPECT_FALSE(Theme::named(name).has_value()) << name;
  }
  EXPECT_TRUE(Theme::light().is_dark == false && Theme::dark().is_dark);
  const Theme hc = Theme::high_contrast();
  EXPECT_TRUE(hc.is_high_contrast);
  EXPECT_GE(contrast(hc.secondary, hc.background), 15.0);
  EXPECT_GE(contrast(hc.focus, hc.background), 7.0);
}

TEST(Theme, ConfiguredThemeFollowsTheEnvironment) {
  ::setenv("KALU_UI_THEME", "Nord", 1);
  EXPECT_EQ(Theme::configured().name, "Nord");
  ::setenv("KALU_UI_THEME", "no such theme", 1);
  EXPECT_EQ(Theme::configured().name, "Dark");
  ::unsetenv("KALU_UI_THEME");
  EXPECT_EQ(Theme::configured().name, "Dark");
}

TEST(Theme, ScalesAreClampedAndOtherFieldsKept) {
  struct Case {
    float in, out;
  };
  const Case cases[] = {
      {1.25f, 1.25f}, {0.1f, 0.5f}, {10.0f, 3.0f}, {std::nanf(""), 1.0f}, {INFINITY, 1.0f}};
  const Theme base = Theme::light();
  for (const auto& c : cases) {
    EXPECT_EQ(base.with_ui_scale(c.in).ui_scale, c.out);
    EXPECT_EQ(base.with_text_scale(c.in).text_scale, c.out);
  }
  const Theme t = base.with_ui_scale(1.5f).with_text_scale(1.15f).with_reduce_motion(true);
  EXPECT_EQ(t.name, "Light");
  EXPECT_EQ(t.ui_scale, 1.5f);
  EXPECT_EQ(t.text_scale, 1.15f);
  EXPECT_TRUE(t.reduce_motion);
  EXPECT_EQ(t.motion_ms(200.0), 0.0);
  EXPECT_EQ(base.motion_ms(200.0), 200.0);
}

// Composited by hand, so the table does not lean on the theme's own helper.
Color composite(Color top, Color bottom) {
  const double a = top.a / 255.0;
  auto ch = [a](std::uint8_t t, std::uint8_t b) {
    return static_cast<std::uint8_t>(std::lround(b + (t - b) * a));
  };
  return Color::rgb8(ch(top.r, bottom.r), ch(top.g, bottom.g), ch(top.b, bottom.b));
}

// Every text the pages draw against what it is drawn on, in the three looks a
// person picks between and in every named theme: 4.5:1 at least.
TEST(Theme, EveryTextAndBadgePairReadsInEveryLook) {
  std::vector<Theme> themes = {Theme::dark(), Theme::light(), Theme::high_contrast()};
  for (const char* name : kThemeNames) themes.push_back(*Theme::named(name));
  const char* const kTones[] = {"success", "info", "neutral", "warning", "error"};
  for (const Theme& t : themes) {
    SCOPED_TRACE(t.name);
    const struct {
      std::string pair;
      Color text;
      Color surface;
    } pairs[] = {
        {"text on card", t.foreground, t.card},
        {"text on window", t.foreground, t.background},
        {"caption on card", t.secondary, t.card},
        {"caption on window", t.secondary, t.background},
        {"caption on sidebar", t.secondary, t.sidebar},
        {"label on card", t.label, t.card},
        {"error on card", t.error, t.card},
        {"text on accent", t.on_accent, t.accent},
    };
    for (const auto& p : pairs) {
      EXPECT_GE(contrast(p.text, p.surface), 4.5) << p.pair;
    }
    for (std::uint8_t tone = 0; tone < 5; ++tone) {
      const BadgeColors badge = t.badge_tone(tone);
      for (const Color surface : {t.card, t.background}) {
        EXPECT_GE(contrast(badge.text, composite(badge.fill, surface)), 4.5)
            << kTones[tone] << " badge";
      }
    }
  }
}

TEST(Theme, ReadableOnMovesATextJustFarEnough) {
  const Color card = Color::rgb8(0xff, 0xff, 0xff);
  const Color orange = *Color::from_hex("#e8b04b");
  ASSERT_LT(contrast(orange, card), 4.5);
  const Color moved = readable_on(orange, card);
  EXPECT_GE(contrast(moved, card), 4.5);
  EXPECT_LT(contrast(moved, card), 4.8);  // no further than it needs
  EXPECT_LT(moved.r, orange.r);           // darker on white
  EXPECT_EQ(readable_on(Color::black(), card), Color::black());
  EXPECT_NEAR(contrast_ratio(Color::black(), Color::white()), 21.0, 1e-9);
  EXPECT_EQ(over(Color::white().with_alpha(0), card), card);
}

TEST(Theme, BadgeTonesAreDistinctAndUnknownIsNeutral) {
  const Theme t = Theme::dark();
  for (std::uint8_t a = 0; a < 5; ++a) {
    for (std::uint8_t b = a + 1; b < 5; ++b) EXPECT_NE(t.badge_tone(a), t.badge_tone(b));
  }
  EXPECT_EQ(t.badge_tone(kToneSuccess).text.g, t.success.mix(Color::white(), 0.2).g);
  EXPECT_EQ(t.badge_tone(9), t.badge_tone(kToneNeutral));
  EXPECT_EQ(t.badge_tone(255), t.badge_tone(kToneNeutral));
}

TEST(Surface, EdgeOutlineSitsHalfAPixelInside) {
  const RoundedRect o = surface::edge_outline({10, 20, 110, 60}, 8.0);
  EXPECT_EQ(o.rect, (Rect{10.5, 20.5, 109.5, 59.5}));
  EXPECT_EQ(o.radius, 7.5);
  EXPECT_EQ(surface::edge_outline({0, 0, 10, 10}, 0.2).radius, 0.0);
  EXPECT_EQ(surface::edge_outline({0, 0, 10, 10}, std::nan("")).radius, 0.0);

  Scene scene;
  const Theme t = Theme::light();
  surface::card(scene, {0, 0, 200, 100}, t);
  ASSERT_EQ(scene.size(), 2u);
  EXPECT_EQ(std::get<FillCmd>(scene.commands()[0]).color, t.card);
  EXPECT_EQ(std::get<StrokeCmd>(scene.commands()[1]).color, surface::edge_on(t));
}

}  // namespace
}  // namespace kalu_ui
