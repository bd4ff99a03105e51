#include "kalu_ui/theme.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "kalu_ui/scene.h"

namespace kalu_ui {

namespace {

struct Palette {
  const char* name;
  bool dark;
  const char* background;
  const char* sidebar;
  const char* card;
  const char* card_edge;
  const char* foreground;
  const char* secondary;
  const char* accent;
  const char* success;
  const char* warning;
  const char* error;
};

// The named themes. Muted text keeps at least a 4.5:1 contrast against its
// background in each, so captions stay legible.
constexpr Palette kPalettes[] = {
    {"Dark", true, "#1e1f24", "#18191d", "#26282e", "#3a3d45", "#eceef2", "#a3a8b3", "#5b9cf5",
     "#4cc38a", "#e8b04b", "#ef6b6b"},
    {"Light", false, "#f5f6f8", "#eceef2", "#ffffff", "#d6d9df", "#1d2025", "#5a616d", "#2f6fdb",
     "#1f8f55", "#a86b00", "#c9372c"},
    {"Kalu Blue", true, "#14213a", "#101a2e", "#1c2c4a", "#2e4370", "#e8eefc", "#a3b3d2", "#6aa8ff",
     "#4cc38a", "#e8b04b", "#ef6b6b"},
    {"Catppuccin Mocha", true, "#1e1e2e", "#181825", "#313244", "#45475a", "#cdd6f4", "#a6adc8",
     "#89b4fa", "#a6e3a1", "#f9e2af", "#f38ba8"},
    {"Catppuccin Latte", false, "#eff1f5", "#e6e9ef", "#ffffff", "#ccd0da", "#4c4f69", "#5c5f77",
     "#1e66f5", "#40a02b", "#df8e1d", "#d20f39"},
    {"Dracula", true, "#282a36", "#21222c", "#343746", "#44475a", "#f8f8f2", "#b6b9cc", "#bd93f9",
     "#50fa7b", "#f1fa8c", "#ff5555"},
    {"Nord", true, "#2e3440", "#292e39", "#3b4252", "#4c566a", "#eceff4", "#b8c0cf", "#88c0d0",
     "#a3be8c", "#ebcb8b", "#bf616a"},
    {"Gruvbox", true, "#282828", "#1d2021", "#32302f", "#504945", "#ebdbb2", "#bdae93", "#83a598",
     "#b8bb26", "#fabd2f", "#fb4934"},
    {"Gruvbox Light", false, "#fbf1c7", "#f2e5bc", "#f9f5d7", "#d5c4a1", "#3c3836", "#5f564f",
     "#076678", "#79740e", "#b57614", "#9d0006"},
    {"Solarized", true, "#002b36", "#00252e", "#073642", "#0f4b5a", "#eee8d5", "#a3b0b0", "#268bd2",
     "#859900", "#b58900", "#dc322f"},
    {"OLED", true, "#000000", "#000000", "#0d0d0f", "#2a2a2e", "#f2f2f2", "#a0a0a6", "#5b9cf5",
     "#4cc38a", "#e8b04b", "#ef6b6b"},
    {"Beige", false, "#f4ecdf", "#ece2d0", "#fbf6ee", "#d9ccb4", "#3a3226", "#64584a", "#a0612b",
     "#4f7d2c", "#9a6a00", "#b23a2a"},
};

constexpr Palette kHighContrast{"High Contrast", true,      "#000000", "#000000",
                                "#000000",       "#ffffff", "#ffffff", "#e6e6e6",
                                "#ffd400",       "#3dff7a", "#ffd400", "#ff7070"};

Color hex(const char* h) { return Color::from_hex(h).value_or(Color::black()); }

// Readable against both the card and the window: moving away from one
// moves away from the other, as both lie on the same side of the text.
Color readable_on_both(Color text, const Theme& t) {
  return readable_on(readable_on(text, t.card), t.background);
}

// Each badge's text against its pill as it shows on a card and on the window.
void make_badges_readable(Theme& t) {
  for (BadgeColors& tone : t.badge_tones) {
    tone.text =
        readable_on(readable_on(tone.text, over(tone.fill, t.card)), over(tone.fill, t.background));
  }
}

Theme from_palette(const Palette& p) {
  Theme t;
  t.name = p.name;
  t.is_dark = p.dark;
  t.background = hex(p.background);
  t.sidebar = hex(p.sidebar);
  t.card = hex(p.card);
  t.card_edge = hex(p.card_edge);
  t.foreground = hex(p.foreground);
  t.secondary = hex(p.secondary);
  t.accent = hex(p.accent);
  t.success = hex(p.success);
  t.warning = hex(p.warning);
  t.error = hex(p.error);

  t.secondary = readable_on_both(t.secondary, t);
  // Errors are read as text too (a form's message).
  t.error = readable_on_both(t.error, t);
  t.label = t.foreground.mix(t.secondary, 0.5);
  t.focus = p.dark ? t.accent.mix(Color::white(), 0.3) : t.accent;
  t.on_accent = contrast_ratio(hex("#111111"), t.accent) > contrast_ratio(Color::white(), t.accent)
                    ? hex("#111111")
                    : Color::white();
  t.marker = t.secondary;
  t.highlight = t.accent;
  t.control = t.foreground.with_alpha(p.dark ? 22 : 16);
  t.control_hover = t.foreground.with_alpha(p.dark ? 34 : 26);
  t.control_pressed = t.foreground.with_alpha(p.dark ? 48 : 38);
  t.disabled = t.foreground.mix(t.background, 0.55);

  const Color tones[5] = {t.success, t.accent, t.secondary, t.warning, t.error};
  for (std::size_t i = 0; i < 5; ++i) {
    t.badge_tones[i] = {
        tones[i].with_alpha(p.dark ? 46 : 36),
        p.dark ? tones[i].mix(Color::white(), 0.2) : tones[i].mix(Color::black(), 0.2)};
  }
  make_badges_readable(t);
  return t;
}

double channel_luminance(std::uint8_t channel) {
  const double c = channel / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double relative_luminance(Color c) {
  return 0.2126 * channel_luminance(c.r) + 0.7152 * channel_luminance(c.g) +
         0.0722 * channel_luminance(c.b);
}

float clamp_scale(float s) { return std::isfinite(s) ? std::clamp(s, 0.5f, 3.0f) : 1.0f; }

}  // namespace

double contrast_ratio(Color a, Color b) {
  const double la = relative_luminance(a);
  const double lb = relative_luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Color over(Color top, Color bottom) {
  return bottom.with_alpha(255).mix(top.with_alpha(255), top.a / 255.0);
}

Color readable_on(Color text, Color surface, double ratio) {
  if (contrast_ratio(text, surface) >= ratio) return text;
  const Color pole =
      contrast_ratio(Color::white(), surface) >= contrast_ratio(Color::black(), surface)
          ? Color::white().with_alpha(text.a)
          : Color::black().with_alpha(text.a);
  // The least step towards the pole that reads; the pole itself at worst.
  for (int step = 1; step < 100; ++step) {
    const Color moved = text.mix(pole, step / 100.0);
    if (contrast_ratio(moved, surface) >= ratio) return moved;
  }
  return pole;
}

Theme Theme::dark() { return from_palette(kPalettes[0]); }
Theme Theme::light() { return from_palette(kPalettes[1]); }

Theme Theme::high_contrast() {
  Theme t = from_palette(kHighContrast);
  t.is_high_contrast = true;
  t.label = t.foreground;
  t.focus = hex("#00e5ff");
  t.on_accent = Color::black();
  t.control = Color::white().with_alpha(40);
  t.control_hover = Color::white().with_alpha(70);
  t.control_pressed = Color::white().with_alpha(100);
  t.disabled = hex("#9a9a9a");
  t.focus_width = 3.0;
  // Solid pills with black text: tints would lose contrast on black.
  const Color tones[5] = {t.success, t.focus, t.foreground, t.warning, t.error};
  for (std::size_t i = 0; i < 5; ++i) t.badge_tones[i] = {tones[i], Color::black()};
  make_badges_readable(t);
  return t;
}

std::optional<Theme> Theme::named(std::string_view name) {
  for (const auto& p : kPalettes) {
    if (name == p.name) return from_palette(p);
  }
  return std::nullopt;
}

Theme Theme::configured() {
  const char* env = std::getenv("KALU_UI_THEME");
  if (env != nullptr) {
    if (auto t = named(env)) return *t;
  }
  return dark();
}

Theme Theme::with_ui_scale(float scale) const {
  Theme t = *this;
  t.ui_scale = clamp_scale(scale);
  return t;
}

Theme Theme::with_text_scale(float scale) const {
  Theme t = *this;
  t.text_scale = clamp_scale(scale);
  return t;
}

Theme Theme::with_reduce_motion(bool on) const {
  Theme t = *this;
  t.reduce_motion = on;
  return t;
}

BadgeColors Theme::badge_tone(std::uint8_t tone) const {
  return tone < badge_tones.size() ? badge_tones[tone] : badge_tones[kToneNeutral];
}

namespace chrome::shell {

namespace {
constexpr double kPressedScale = 0.98;
}

SelectionTier selection_tier(const Theme& theme, std::uint8_t selected, std::uint8_t hovered,
                             std::uint8_t pressed) {
  const bool sel = selected != 0;
  const bool hov = hovered != 0;
  const bool prs = pressed != 0;
  const bool hc = theme.is_high_contrast;
  SelectionTier tier;
  tier.fill = Color::transparent();
  tier.edge = Color::transparent();
  tier.inner_ring = Color::transparent();
  if (prs && !theme.reduce_motion) tier.scale = kPressedScale;

  if (sel) {
    // Stronger accent tint as the pointer engages.
    const std::uint8_t base = theme.is_dark ? 40 : 30;
    const std::uint8_t step = theme.is_dark ? 14 : 10;
    std::uint8_t alpha = base;
    if (hov) alpha = static_cast<std::uint8_t>(alpha + step);
    if (prs) alpha = static_cast<std::uint8_t>(base + 2 * step);
    tier.fill = hc ? theme.accent.with_alpha(90) : theme.accent.with_alpha(alpha);
    tier.edge_on = true;
    tier.edge = hc ? theme.foreground : theme.accent.with_alpha(hov || prs ? 160 : 120);
    // The inner ring marks the selection without colour in high contrast,
    // and acknowledges a press on the selected tile otherwise.
    tier.inner_ring_on = hc || prs;
    tier.inner_ring = hc ? theme.accent : theme.accent.with_alpha(100);
    return tier;
  }
  if (prs) {
    tier.fill = theme.control_pressed;
  } else if (hov) {
    tier.fill = theme.control_hover;
  }
  if (hc && (hov || prs)) {
    tier.edge_on = true;
    tier.edge = theme.foreground;
  }
  return tier;
}

}  // namespace chrome::shell

namespace surface {

RoundedRect edge_outline(const Rect& tile, double radius) {
  const double r = std::isfinite(radius) ? std::max(radius - 0.5, 0.0) : 0.0;
  return RoundedRect{tile.inset(0.5), r};
}

Color edge_on(const Theme& theme) { return theme.card_edge; }

void card(Scene& scene, const Rect& rect, const Theme& theme, const Affine& transform) {
  scene.fill(RoundedRect{rect, theme.card_radius}, theme.card, transform);
  scene.stroke(edge_outline(rect, theme.card_radius), edge_on(theme), StrokeStyle{1.0}, transform);
}

}  // namespace surface

}  // namespace kalu_ui
