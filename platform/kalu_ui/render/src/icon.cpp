#include "kalu_ui/icon.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "kalu_ui/scene.h"

namespace kalu_ui {

namespace {

constexpr double kGrid = 24.0;  // glyphs are drawn on a 24 x 24 grid
constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180.0;

constexpr std::array<std::uint8_t, 27> kKnown = {
    icon::kAppsFiles,   icon::kKeyboard,      icon::kShortcuts,   icon::kUsers,
    icon::kPrinter,     icon::kGlobe,         icon::kNetwork,     icon::kBluetooth,
    icon::kDisplay,     icon::kPower,         icon::kShield,      icon::kStorage,
    icon::kContrast,    icon::kAccessibility, icon::kInfo,        icon::kSync,
    icon::kBell,        icon::kUpdates,       icon::kClock,       icon::kSpeaker,
    icon::kWifiSignal0, icon::kWifiSignal1,   icon::kWifiSignal2, icon::kWifiSignal3,
    icon::kWifiUnknown, icon::kLockClosed,    icon::kLockOpen,
};

// Draws on the glyph grid: strokes at the icon's weight, fills in its colour.
struct Pen {
  Scene& scene;
  Affine t;
  Color color;
  StrokeStyle style;

  void stroke(const Shape& s) { scene.stroke(s, color, style, t); }
  void stroke(const Shape& s, Color c) { scene.stroke(s, c, style, t); }
  void fill(const Shape& s) { scene.fill(s, color, t); }
  void line(Point a, Point b) { stroke(Line{a, b}); }
  void dot(Point c, double r) { fill(Circle{c, r}); }
  // An open arrow head at `tip` pointing along `dir` (unit vector).
  void arrow_head(Point tip, Vec2 dir, double len) {
    const Vec2 back = dir * -len;
    const double c = std::cos(40 * kDeg), s = std::sin(40 * kDeg);
    const Vec2 l{back.x * c - back.y * s, back.x * s + back.y * c};
    const Vec2 r{back.x * c + back.y * s, -back.x * s + back.y * c};
    stroke(BezPath().move_to(tip + l).line_to(tip).line_to(tip + r));
  }
};

BezPath arc_path(Point c, double r, double start_deg, double sweep_deg) {
  return BezPath().arc(c, r, start_deg * kDeg, sweep_deg * kDeg);
}

void wifi(Pen& p, int level, bool unknown) {
  const Point c{12.0, 19.5};
  const Color dim = p.color.with_alpha_factor(0.3);
  const double radii[3] = {4.5, 9.0, 13.5};
  for (int i = 0; i < 3; ++i) {
    p.stroke(arc_path(c, radii[i], -135.0, 90.0), (i < level) ? p.color : dim);
  }
  p.dot({12.0, 19.0}, 1.6);
  if (unknown) {
    // A small question mark at the lower right.
    p.stroke(BezPath().arc({19.0, 13.0}, 2.2, kPi, 1.45 * kPi).line_to({19.0, 17.0}));
    p.dot({19.0, 20.3}, 1.1);
  }
}

void shackle(Pen& p, bool closed) {
  if (closed) {
    BezPath path = BezPath().move_to({8.0, 11.0}).line_to({8.0, 8.0});
    path.arc({12.0, 8.0}, 4.0, kPi, kPi);
    p.stroke(path.line_to({16.0, 11.0}));
    return;
  }
  // Open: raised, held by the right leg only, the left one short of the body.
  BezPath path = BezPath().move_to({16.0, 11.0}).line_to({16.0, 5.5});
  path.arc({12.0, 5.5}, 4.0, 0.0, -kPi);
  p.stroke(path.line_to({8.0, 7.0}));
}

void draw_glyph(Pen& p, std::uint8_t id) {
  switch (id) {
    case icon::kAppsFiles:
      for (const double x : {4.0, 13.5}) {
        for (const double y : {4.0, 13.5}) p.stroke(RoundedRect{{x, y, x + 6.5, y + 6.5}, 2.0});
      }
      return;
    case icon::kKeyboard:
      p.stroke(RoundedRect{{2.5, 6.0, 21.5, 18.0}, 2.5});
      for (const double x : {6.5, 10.2, 13.8, 17.5}) p.dot({x, 10.0}, 1.0);
      p.line({8.0, 14.3}, {16.0, 14.3});
      return;
    case icon::kShortcuts:
      p.stroke(RoundedRect{{3.0, 3.5, 21.0, 20.5}, 3.5});
      p.stroke(RoundedRect{{7.0, 7.0, 17.0, 15.0}, 2.0});
      p.line({7.5, 17.5}, {16.5, 17.5});
      return;
    case icon::kUsers:
      p.stroke(Circle{{12.0, 8.0}, 3.8});
      p.stroke(BezPath()
                   .move_to({4.5, 20.5})
                   .curve_to({4.5, 15.8}, {8.0, 13.8}, {12.0, 13.8})
                   .curve_to({16.0, 13.8}, {19.5, 15.8}, {19.5, 20.5}));
      return;
    case icon::kPrinter:
      p.stroke(BezPath()
                   .move_to({7.0, 9.0})
                   .line_to({7.0, 3.5})
                   .line_to({17.0, 3.5})
                   .line_to({17.0, 9.0}));
      p.stroke(RoundedRect{{3.0, 9.0, 21.0, 17.0}, 2.0});
      p.stroke(BezPath()
                   .move_to({7.0, 14.0})
                   .line_to({7.0, 20.5})
                   .line_to({17.0, 20.5})
                   .line_to({17.0, 14.0}));
      p.dot({17.8, 11.8}, 0.9);
      return;
    case icon::kGlobe:
      p.stroke(Circle{{12.0, 12.0}, 9.0});
      p.stroke(Ellipse{{12.0, 12.0}, {3.8, 9.0}, 0.0});
      p.line({3.0, 12.0}, {21.0, 12.0});
      return;
    case icon::kNetwork:
      wifi(p, 3, false);
      return;
    case icon::kWifiSignal0:
    case icon::kWifiSignal1:
    case icon::kWifiSignal2:
    case icon::kWifiSignal3:
      wifi(p, id - icon::kWifiSignal0, false);
      return;
    case icon::kWifiUnknown:
      wifi(p, 0, true);
      return;
    case icon::kBluetooth:
      p.stroke(BezPath()
                   .move_to({6.5, 7.5})
                   .line_to({17.0, 16.5})
                   .line_to({12.0, 21.0})
                   .line_to({12.0, 3.0})
                   .line_to({17.0, 7.5})
                   .line_to({6.5, 16.5}));
      return;
    case icon::kDisplay:
      p.stroke(RoundedRect{{2.5, 4.0, 21.5, 16.5}, 2.0});
      p.line({12.0, 16.5}, {12.0, 20.0});
      p.line({8.0, 20.5}, {16.0, 20.5});
      return;
    case icon::kPower:
      p.stroke(RoundedRect{{2.5, 7.0, 19.0, 17.0}, 2.5});
      p.fill(RoundedRect{{19.8, 10.0, 22.0, 14.0}, 1.0});
      p.fill(BezPath()
                 .move_to({12.0, 8.3})
                 .line_to({7.5, 12.8})
                 .line_to({10.4, 12.8})
                 .line_to({9.5, 15.7})
                 .line_to({14.0, 11.2})
                 .line_to({11.1, 11.2})
                 .close_path());
      return;
    case icon::kShield:
      p.stroke(BezPath()
                   .move_to({12.0, 2.5})
                   .line_to({19.5, 5.5})
                   .line_to({19.5, 11.0})
                   .curve_to({19.5, 16.0}, {16.0, 19.5}, {12.0, 21.5})
                   .curve_to({8.0, 19.5}, {4.5, 16.0}, {4.5, 11.0})
                   .line_to({4.5, 5.5})
                   .close_path());
      p.stroke(BezPath().move_to({8.5, 12.0}).line_to({11.0, 14.5}).line_to({15.5, 9.5}));
      return;
    case icon::kStorage:
      p.stroke(RoundedRect{{3.0, 4.0, 21.0, 11.0}, 2.0});
      p.stroke(RoundedRect{{3.0, 13.0, 21.0, 20.0}, 2.0});
      p.dot({17.0, 7.5}, 1.1);
      p.dot({17.0, 16.5}, 1.1);
      return;
    case icon::kContrast:
      p.stroke(Circle{{12.0, 12.0}, 9.0});
      p.fill(BezPath().arc({12.0, 12.0}, 9.0, -kPi / 2, kPi).close_path());
      return;
    case icon::kAccessibility:
      p.stroke(Circle{{12.0, 12.0}, 10.0});
      p.dot({12.0, 6.6}, 1.7);
      p.line({7.0, 9.8}, {17.0, 9.8});
      p.stroke(BezPath().move_to({12.0, 9.8}).line_to({12.0, 14.0}).line_to({9.0, 18.5}));
      p.line({12.0, 14.0}, {15.0, 18.5});
      return;
    case icon::kInfo:
      p.stroke(Circle{{12.0, 12.0}, 9.0});
      p.dot({12.0, 7.8}, 1.3);
      p.line({12.0, 11.0}, {12.0, 16.5});
      return;
    case icon::kSync: {
      const Point c{12.0, 12.0};
      const double r = 7.5;
      for (const double start : {-165.0, 15.0}) {
        const double end = (start + 140.0) * kDeg;
        p.stroke(arc_path(c, r, start, 140.0));
        p.arrow_head({c.x + r * std::cos(end), c.y + r * std::sin(end)},
                     {-std::sin(end), std::cos(end)}, 3.2);
      }
      return;
    }
    case icon::kBell:
      p.stroke(BezPath()
                   .move_to({6.5, 17.0})
                   .line_to({6.5, 11.0})
                   .curve_to({6.5, 7.5}, {9.0, 5.0}, {12.0, 5.0})
                   .curve_to({15.0, 5.0}, {17.5, 7.5}, {17.5, 11.0})
                   .line_to({17.5, 17.0}));
      p.line({4.5, 17.0}, {19.5, 17.0});
      p.line({12.0, 3.0}, {12.0, 5.0});
      p.stroke(BezPath().move_to({10.0, 19.8}).quad_to({12.0, 21.8}, {14.0, 19.8}));
      return;
    case icon::kUpdates:
      p.line({12.0, 3.5}, {12.0, 14.5});
      p.stroke(BezPath().move_to({7.5, 10.0}).line_to({12.0, 14.5}).line_to({16.5, 10.0}));
      p.stroke(BezPath()
                   .move_to({4.0, 15.0})
                   .line_to({4.0, 20.0})
                   .line_to({20.0, 20.0})
                   .line_to({20.0, 15.0}));
      return;
    case icon::kClock:
      p.stroke(Circle{{12.0, 12.0}, 9.0});
      p.stroke(BezPath().move_to({12.0, 6.8}).line_to({12.0, 12.0}).line_to({15.5, 14.2}));
      return;
    case icon::kSpeaker:
      p.stroke(BezPath()
                   .move_to({3.5, 9.5})
                   .line_to({7.5, 9.5})
                   .line_to({12.0, 5.5})
                   .line_to({12.0, 18.5})
                   .line_to({7.5, 14.5})
                   .line_to({3.5, 14.5})
                   .close_path());
      p.stroke(arc_path({12.0, 12.0}, 4.0, -45.0, 90.0));
      p.stroke(arc_path({12.0, 12.0}, 8.0, -45.0, 90.0));
      return;
    case icon::kLockClosed:
    case icon::kLockOpen:
      p.stroke(RoundedRect{{5.0, 11.0, 19.0, 21.0}, 2.0});
      shackle(p, id == icon::kLockClosed);
      p.dot({12.0, 16.0}, 1.3);
      return;
    default:
      p.stroke(RoundedRect{{4.0, 4.0, 20.0, 20.0}, 3.0});
      p.dot({12.0, 12.0}, 1.5);
      return;
  }
}

}  // namespace

void Icon::draw(Scene& scene, std::uint8_t id, const Rect& rect, Color color,
                const Affine& transform, double weight) {
  const double side = std::min(rect.width(), rect.height());
  if (!std::isfinite(side) || side <= 0.0) return;
  if (!std::isfinite(weight) || weight <= 0.0) weight = kDefaultWeight;
  const Point c = rect.center();
  const Affine t =
      transform * Affine::translate({c.x - side / 2, c.y - side / 2}) * Affine::scale(side / kGrid);
  // The weight is the line width at 18 pixels; on the grid it is scaled so
  // that it grows with the icon.
  Pen pen{scene, t, color, StrokeStyle{weight * kGrid / 18.0}};
  draw_glyph(pen, id);
}

bool Icon::is_known(std::uint8_t id) {
  return std::find(kKnown.begin(), kKnown.end(), id) != kKnown.end();
}

std::span<const std::uint8_t> Icon::known_ids() {
  static const auto sorted = [] {
    auto a = kKnown;
    std::sort(a.begin(), a.end());
    return a;
  }();
  return sorted;
}

std::optional<std::uint8_t> Icon::for_codepoint(char32_t cp) {
  switch (cp) {
    case 0xF092B:
      return icon::kWifiSignal0;
    case 0xF091F:
      return icon::kWifiSignal1;
    case 0xF0922:
      return icon::kWifiSignal2;
    case 0xF0925:
      return icon::kWifiSignal3;
    case 0xF0928:
      return icon::kWifiUnknown;
    case 0xF033E:
      return icon::kLockClosed;
    case 0xF033F:
      return icon::kLockOpen;
    default:
      return std::nullopt;
  }
}

}  // namespace kalu_ui
