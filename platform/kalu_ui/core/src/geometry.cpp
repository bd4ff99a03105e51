#include "kalu_ui/geometry.h"

#include <algorithm>

namespace kalu_ui {

Rect Affine::transform_rect_bbox(const Rect& r) const {
  const Point corners[4] = {*this * Point{r.x0, r.y0}, *this * Point{r.x1, r.y0},
                            *this * Point{r.x0, r.y1}, *this * Point{r.x1, r.y1}};
  Rect out{corners[0].x, corners[0].y, corners[0].x, corners[0].y};
  for (const auto& c : corners) {
    out.x0 = std::min(out.x0, c.x);
    out.y0 = std::min(out.y0, c.y);
    out.x1 = std::max(out.x1, c.x);
    out.y1 = std::max(out.y1, c.y);
  }
  return out;
}

}  // namespace kalu_ui
