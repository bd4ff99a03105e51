#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalu_ui {

// A straight (not premultiplied) sRGB colour with 8 bits per channel. Alpha
// 0 is fully transparent, 255 fully opaque.
struct Color {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  std::uint8_t a = 255;

  static constexpr Color rgb8(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return {r, g, b, 255};
  }
  static constexpr Color rgba8(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    return {r, g, b, a};
  }
  static constexpr Color transparent() { return {0, 0, 0, 0}; }
  static constexpr Color black() { return {0, 0, 0, 255}; }
  static constexpr Color white() { return {255, 255, 255, 255}; }

  // Parses "#rrggbb" or "#rrggbbaa" (the '#' optional, hex digits in either
  // case); anything else is none.
  static std::optional<Color> from_hex(std::string_view text);

  friend constexpr bool operator==(const Color&, const Color&) = default;

  // This colour with its alpha replaced (factor is clamped to 0..1).
  constexpr Color with_alpha(std::uint8_t alpha) const { return {r, g, b, alpha}; }
  Color with_alpha_factor(double factor) const {
    const double f = std::isfinite(factor) ? std::clamp(factor, 0.0, 1.0) : 1.0;
    return {r, g, b, static_cast<std::uint8_t>(std::lround(a * f))};
  }
  // Straight interpolation towards `other` (t clamped to 0..1), alpha too.
  Color mix(Color other, double t) const;

  // Channels as 0..1 doubles, for renderers.
  double red() const { return r / 255.0; }
  double green() const { return g / 255.0; }
  double blue() const { return b / 255.0; }
  double alpha() const { return a / 255.0; }
};

}  // namespace kalu_ui
