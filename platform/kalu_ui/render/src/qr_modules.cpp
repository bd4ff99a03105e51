#include "kalu_ui/qr_modules.h"

#include <algorithm>
#include <cmath>

namespace kalu_ui::qr {

Rect symbol_rect(int width, const Rect& rect) {
  if (width <= 0) return {};
  const double side = std::min(rect.width(), rect.height());
  if (!std::isfinite(side) || side <= 0.0) return {};
  const int total = width + 2 * kQuietZone;
  double module = side / total;
  if (module >= 1.0) module = std::floor(module);
  const double symbol = module * width;
  const Point c = rect.center();
  const double x0 = std::round(c.x - symbol / 2);
  const double y0 = std::round(c.y - symbol / 2);
  return {x0, y0, x0 + symbol, y0 + symbol};
}

BezPath modules_path(std::span<const std::uint8_t> modules, int width, const Rect& rect) {
  BezPath path;
  if (width <= 0 || modules.size() != static_cast<std::size_t>(width) * width) return path;
  const Rect sym = symbol_rect(width, rect);
  if (sym.is_zero_area()) return path;
  const double m = sym.width() / width;
  for (int y = 0; y < width; ++y) {
    const auto* row = modules.data() + static_cast<std::size_t>(y) * width;
    int x = 0;
    while (x < width) {
      if (row[x] == 0) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < width && row[x] != 0) ++x;
      const double l = sym.x0 + start * m, r = sym.x0 + x * m;
      const double t = sym.y0 + y * m, b = t + m;
      path.move_to({l, t}).line_to({r, t}).line_to({r, b}).line_to({l, b}).close_path();
    }
  }
  return path;
}

}  // namespace kalu_ui::qr
