#pragma once

// The small sizing vocabulary shared by a node's computation (flex.cpp) and a
// flex container's pass (flex_pass.cpp): dimensions resolved against a base,
// clamps, and pairs indexed by axis (0 horizontal, 1 vertical).

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include "tree_impl.h"

namespace kalu_ui::layout {

using Pair = std::array<std::optional<float>, 2>;
inline constexpr int kX = 0;
inline constexpr int kY = 1;

inline float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }
inline float non_negative(float v) { return std::isfinite(v) && v > 0.0f ? v : 0.0f; }

// Inlined: returning an optional through memory costs a store-forwarding
// stall per call, and this runs several times per node and question.
[[gnu::always_inline]] inline std::optional<float> resolve(const Dimension& d,
                                                           std::optional<float> base) {
  switch (d.kind) {
    case Dimension::Kind::Points:
      if (!std::isfinite(d.value)) return std::nullopt;
      return d.value;
    case Dimension::Kind::Percent:
      if (!base || !std::isfinite(d.value)) return std::nullopt;
      return *base * d.value;
    case Dimension::Kind::Auto:
      break;
  }
  return std::nullopt;
}

inline float resolve_or_zero(const Dimension& d, std::optional<float> base) {
  return resolve(d, base).value_or(0.0f);
}

// Clamps to [min, max]; the minimum wins when they cross, as in CSS.
inline float clamp(float v, std::optional<float> min, std::optional<float> max) {
  if (max && v > *max) v = *max;
  if (min && v < *min) v = *min;
  return v;
}

inline std::optional<float> clamp(std::optional<float> v, std::optional<float> min,
                                  std::optional<float> max) {
  if (!v) return v;
  return clamp(*v, min, max);
}

inline const AvailableSpace& along(const AvailableSize& a, int axis) {
  return axis == kX ? a.width : a.height;
}

inline AvailableSize make_available(int axis, AvailableSpace on_axis, AvailableSpace other) {
  return axis == kX ? AvailableSize{on_axis, other} : AvailableSize{other, on_axis};
}

inline KnownDimensions make_known(int axis, std::optional<float> on_axis,
                                  std::optional<float> other) {
  return axis == kX ? KnownDimensions{on_axis, other} : KnownDimensions{other, on_axis};
}

inline float along(const LayoutSize& s, int axis) { return axis == kX ? s.width : s.height; }

// The space left for a child's border box after its margins.
inline AvailableSpace shrink_by(AvailableSpace s, float amount) {
  if (s.is_definite()) return AvailableSpace::definite(std::max(0.0f, s.value - amount));
  return s;
}

inline Overflow overflow_on(const Style& s, int axis) {
  return axis == kX ? s.overflow_x : s.overflow_y;
}

struct Limits {
  Pair min;
  Pair max;
};

inline Limits resolve_limits(const Style& s, std::optional<float> pw, std::optional<float> ph) {
  return {{resolve(s.min_width, pw), resolve(s.min_height, ph)},
          {resolve(s.max_width, pw), resolve(s.max_height, ph)}};
}

}  // namespace kalu_ui::layout
