#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/color.h"
#include "kalu_ui/geometry.h"
#include "kalu_ui/shapes.h"

namespace kalu_ui {

class Scene;

// The two colours of a badge: its pill and its text.
struct BadgeColors {
  Color fill;
  Color text;
  friend bool operator==(const BadgeColors&, const BadgeColors&) = default;
};

// The contrast every text keeps against the surface it is drawn on (badge
// texts against their pill as it shows on a card or the window).
inline constexpr double kTextContrast = 4.5;

// The contrast ratio of two colours, 1 to 21, from their relative luminance
// (alpha ignored).
double contrast_ratio(Color a, Color b);
// `top` composited over the opaque `bottom`.
Color over(Color top, Color bottom);
// `text` moved towards black or white, whichever `surface` contrasts with
// more, just far enough to reach `ratio` against it; `text` itself when it
// does already.
Color readable_on(Color text, Color surface, double ratio = kTextContrast);

// Badge tones by number, as pages pass them. An unknown tone draws neutral.
inline constexpr std::uint8_t kToneSuccess = 0;  // on, online, active
inline constexpr std::uint8_t kToneInfo = 1;     // in progress, checking, syncing
inline constexpr std::uint8_t kToneNeutral = 2;  // off, offline, standard
inline constexpr std::uint8_t kToneWarning = 3;
inline constexpr std::uint8_t kToneError = 4;

// Colours and measures that every widget draws with. Plain data: widgets
// read the fields directly. Sizes are logical pixels before the UI scale
// (the frame loop multiplies the window's scale factor by ui_scale) and text
// sizes before the text scale (give text_scale to
// TextRenderer::set_text_scale).
struct Theme {
  std::string name = "Dark";
  bool is_dark = true;
  bool is_high_contrast = false;
  bool reduce_motion = false;
  float ui_scale = 1.0f;
  float text_scale = 1.0f;

  Color background;  // window
  Color sidebar;     // navigation pane
  Color foreground;  // primary text and icons
  Color secondary;   // muted text (captions, descriptions, headers)
  Color label;       // small labels on surfaces (map labels ...)
  Color focus;       // keyboard focus rings
  Color accent;      // selected controls, links, toggles on
  Color on_accent;   // text and glyphs on an accent fill
  Color marker;      // markers and dots of plots and maps
  Color highlight;   // the current item of a plot or map
  Color success;
  Color warning;
  Color error;
  Color card;       // card surface
  Color card_edge;  // card outline
  Color control;    // resting control fill (buttons, tracks)
  Color control_hover;
  Color control_pressed;
  Color disabled;  // disabled text and glyphs

  double control_radius = 8.0;  // buttons, inputs, sidebar tiles
  double card_radius = 12.0;
  double focus_width = 2.0;
  std::array<BadgeColors, 5> badge_tones{};

  // The two base themes and the high-contrast one.
  static Theme dark();
  static Theme light();
  static Theme high_contrast();

  // One of the named themes: "Dark", "Light", "Kalu Blue", "Catppuccin
  // Mocha", "Catppuccin Latte", "Dracula", "Nord", "Gruvbox", "Gruvbox
  // Light", "Solarized", "OLED", "Beige" (exact, case-sensitive); else none.
  static std::optional<Theme> named(std::string_view name);
  // The user's configured theme: the name in KALU_UI_THEME when it names a
  // theme, else Dark.
  static Theme configured();

  // Copies with one setting changed. Scales are clamped to 0.5..3; a
  // non-finite scale is 1.
  Theme with_ui_scale(float scale) const;
  Theme with_text_scale(float scale) const;
  Theme with_reduce_motion(bool on) const;

  // The colours of badge tone `tone` (unknown tones are neutral).
  BadgeColors badge_tone(std::uint8_t tone) const;
  // An animation's length under this theme: 0 when motion is reduced.
  double motion_ms(double ms) const { return reduce_motion ? 0.0 : ms; }

  friend bool operator==(const Theme&, const Theme&) = default;
};

namespace chrome::shell {

// How a navigation tile looks in one state combination.
struct SelectionTier {
  Color fill;          // tile fill; alpha 0 means none
  double scale = 1.0;  // about the tile's centre
  Color edge;
  bool edge_on = false;
  Color inner_ring;
  bool inner_ring_on = false;
  friend bool operator==(const SelectionTier&, const SelectionTier&) = default;
};

// The look of a selectable tile for selected, hovered and pressed (each a
// byte: 0 off, anything else on). Pressing shrinks the tile slightly unless
// the theme reduces motion; the selected tile is accent-tinted with an edge;
// a high-contrast theme also rings the selected tile inside.
SelectionTier selection_tier(const Theme& theme, std::uint8_t selected, std::uint8_t hovered,
                             std::uint8_t pressed);

}  // namespace chrome::shell

namespace surface {

// The rounded rectangle along which a 1-pixel edge is stroked so that the
// whole line lies inside `tile`: inset by half a pixel, radius reduced to
// match (never below 0).
RoundedRect edge_outline(const Rect& tile, double radius);
// The colour of card edges and grid lines on cards.
Color edge_on(const Theme& theme);
// Draws a card surface: fill with the card radius and a 1-pixel edge.
void card(Scene& scene, const Rect& rect, const Theme& theme,
          const Affine& transform = Affine::identity());

}  // namespace surface

}  // namespace kalu_ui
