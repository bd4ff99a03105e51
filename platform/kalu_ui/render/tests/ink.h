#pragma once

#include <optional>
#include <string>

#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/geometry.h"

namespace kalu_ui::testing {

// The box of pixels (in physical pixels) that differ from `background`.
inline std::optional<Rect> ink_box(const cairo_backend::RenderedImage& img, Color background) {
  int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (img.pixel(x, y) == background) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return std::nullopt;
  return Rect{double(x0), double(y0), double(x1 + 1), double(y1 + 1)};
}

inline std::string artifact_path(const std::string& name) {
  return std::string(KALU_RENDER_ARTIFACTS) + "/" + name;
}

}  // namespace kalu_ui::testing
