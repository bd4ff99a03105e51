#pragma once

#include <optional>
#include <vector>

#include "kalu_ui/geometry.h"

namespace kalu_ui {

// The last of the drawing arguments: what the frame tells every draw.
struct DrawContext {
  // The visible region; a widget wholly outside it is not drawn at all.
  std::optional<Rect> clip;
  double scale_factor = 1.0;
};

// The rectangles that must be repainted, appended to by collect_damage.
using DamageList = std::vector<Rect>;

namespace widget_draw {

// True when a clip is set and the rectangle's intersection with it has zero
// area (touching along an edge counts as outside). A NaN area is not zero, so
// such a widget is drawn.
bool presence_clip_excludes(const DrawContext& context, const Rect& rect);

}  // namespace widget_draw
}  // namespace kalu_ui
