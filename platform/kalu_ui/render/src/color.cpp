#include "kalu_ui/color.h"

namespace kalu_ui {

namespace {
int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::optional<Color> Color::from_hex(std::string_view text) {
  if (!text.empty() && text.front() == '#') text.remove_prefix(1);
  if (text.size() != 6 && text.size() != 8) return std::nullopt;
  std::uint8_t ch[4] = {0, 0, 0, 255};
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int hi = hex_digit(text[i]);
    const int lo = hex_digit(text[i + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    ch[i / 2] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return Color{ch[0], ch[1], ch[2], ch[3]};
}

Color Color::mix(Color other, double t) const {
  const double f = std::isfinite(t) ? std::clamp(t, 0.0, 1.0) : 0.0;
  auto lerp = [f](std::uint8_t x, std::uint8_t y) {
    return static_cast<std::uint8_t>(std::lround(x + (static_cast<double>(y) - x) * f));
  };
  return {lerp(r, other.r), lerp(g, other.g), lerp(b, other.b), lerp(a, other.a)};
}

}  // namespace kalu_ui
