#pragma once

#include <cstdint>
#include <span>

#include "kalu_ui/geometry.h"
#include "kalu_ui/shapes.h"

namespace kalu_ui::qr {

// Light modules around the symbol, as the QR standard asks.
inline constexpr int kQuietZone = 4;

// Where a symbol of `width` modules per side lands in `rect`: the largest
// centred square that holds the symbol and its quiet zone, with a whole
// number of logical pixels per module when at least 1 fits (crisp edges).
// Answers the symbol's square without the quiet zone; zero for width 0.
Rect symbol_rect(int width, const Rect& rect);

// The dark modules (one byte per module row by row, non-zero dark) as one
// path of rectangles, runs of a row merged, placed by symbol_rect. Fill it
// with FillRule::NonZero. Empty when width is 0 or the module count is not
// width * width.
BezPath modules_path(std::span<const std::uint8_t> modules, int width, const Rect& rect);

}  // namespace kalu_ui::qr
