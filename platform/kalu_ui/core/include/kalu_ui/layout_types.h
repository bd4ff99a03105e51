#pragma once

#include <compare>
#include <cstdint>
#include <optional>

// The small value types that pass between widgets and the layout engine.
// They live in the core layer so that the widget contract can name them
// without depending on the engine itself.
namespace kalu_ui::layout {

// A node of a LayoutTree: a slot index and the generation of that slot, so
// that an id kept past its node's removal is recognised as stale.
struct NodeId {
  std::uint32_t index = UINT32_MAX;
  std::uint32_t generation = 0;

  bool is_valid() const { return index != UINT32_MAX; }
  friend auto operator<=>(const NodeId&, const NodeId&) = default;
};

// A size in layout terms (32-bit floats, logical pixels).
struct LayoutSize {
  float width = 0.0f;
  float height = 0.0f;
  friend bool operator==(const LayoutSize&, const LayoutSize&) = default;
};

// Sizes already fixed by the parent's style or the algorithm; absent means
// the measured leaf decides.
struct KnownDimensions {
  std::optional<float> width;
  std::optional<float> height;
  friend bool operator==(const KnownDimensions&, const KnownDimensions&) = default;
};

// The space a node may take along one axis.
struct AvailableSpace {
  enum class Kind : std::uint8_t { Definite, MinContent, MaxContent };
  Kind kind = Kind::MaxContent;
  float value = 0.0f;  // meaningful only for Definite

  static constexpr AvailableSpace definite(float v) { return {Kind::Definite, v}; }
  static constexpr AvailableSpace min_content() { return {Kind::MinContent, 0.0f}; }
  static constexpr AvailableSpace max_content() { return {Kind::MaxContent, 0.0f}; }
  bool is_definite() const { return kind == Kind::Definite; }
  std::optional<float> as_definite() const {
    return is_definite() ? std::optional<float>(value) : std::nullopt;
  }
  friend bool operator==(const AvailableSpace&, const AvailableSpace&) = default;
};

struct AvailableSize {
  AvailableSpace width;
  AvailableSpace height;
  friend bool operator==(const AvailableSize&, const AvailableSize&) = default;
};

}  // namespace kalu_ui::layout

namespace kalu_ui {

// What the toolkit tells build_layout about the output: the scale factor of
// the window (physical pixels per logical pixel) and the base text size in
// logical pixels.
struct RenderContext {
  double scale_factor = 1.0;
  float base_text_size = 14.0f;
};

}  // namespace kalu_ui
