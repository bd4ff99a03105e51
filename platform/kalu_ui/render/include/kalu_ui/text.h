#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/color.h"
#include "kalu_ui/geometry.h"

namespace kalu_ui {
class Scene;
}

// Text over Pango. Sizes are logical pixels; measuring and drawing use one
// layout object, so what was measured is exactly what is drawn at any scale
// factor (hinting is off and glyph positions are not rounded).
//
// How a widget draws text:
//   text::TextStyle style = renderer.renderer_input_style(text::TextStyle::sized(13.0f));
//   auto m = renderer.measure(label, style, width, text::LayoutOption::Wrap);
//   renderer.draw_text(scene, label, style.with_color(theme.foreground), {x, y}, width,
//                      text::LayoutOption::Wrap, t);
namespace kalu_ui::text {

inline constexpr std::uint16_t kWeightRegular = 400;
inline constexpr std::uint16_t kWeightMedium = 500;
inline constexpr std::uint16_t kWeightSemibold = 600;
inline constexpr std::uint16_t kWeightBold = 700;

inline constexpr const char* kDefaultFamily = "DejaVu Sans";
inline constexpr float kDefaultSize = 14.0f;
inline constexpr float kDefaultLineHeight = 1.3f;

struct TextStyle {
  std::string family = kDefaultFamily;
  float size = kDefaultSize;               // logical pixels (the em size)
  std::uint16_t weight = kWeightRegular;   // 100 .. 1000
  float line_height = kDefaultLineHeight;  // multiple of size; one line's pitch
  Color color = Color::black();            // drawing only; never affects layout

  static TextStyle sized(float size) {
    TextStyle s;
    s.size = size;
    return s;
  }
  TextStyle with_color(Color c) const {
    TextStyle s = *this;
    s.color = c;
    return s;
  }
  TextStyle with_weight(std::uint16_t w) const {
    TextStyle s = *this;
    s.weight = w;
    return s;
  }
  TextStyle with_line_height(float lh) const {
    TextStyle s = *this;
    s.line_height = lh;
    return s;
  }
  friend bool operator==(const TextStyle&, const TextStyle&) = default;
};

// How a text uses its width limit.
enum class LayoutOption : std::uint8_t {
  SingleLine = 0,  // one line per paragraph, never broken; the limit is ignored
  Wrap = 1,        // broken into lines at word (else character) boundaries
  Ellipsize = 2,   // at most one line; cut with "…" when wider than the limit
};

struct TextMetrics {
  double width = 0.0;   // widest line's logical width
  double height = 0.0;  // lines x pitch
  int lines = 0;
  double baseline = 0.0;  // first line's baseline below the top
  friend bool operator==(const TextMetrics&, const TextMetrics&) = default;
};

// One shaped text, immutable once made; shared by the cache and the scenes
// that draw it.
class TextLayout {
 public:
  struct Impl;
  explicit TextLayout(std::unique_ptr<Impl> impl);
  ~TextLayout();
  TextLayout(const TextLayout&) = delete;
  TextLayout& operator=(const TextLayout&) = delete;

  const std::string& text() const;
  const TextMetrics& metrics() const;
  const TextStyle& style() const;
  const Impl& impl() const { return *impl_; }

 private:
  std::unique_ptr<Impl> impl_;
};

struct CacheStats {
  std::uint64_t hits = 0;
  std::uint64_t misses = 0;  // layouts shaped
  std::size_t entries = 0;
};

// Not thread-safe: one renderer per UI thread.
class TextRenderer {
 public:
  // `cache_capacity` layouts are kept, least recently used dropped first.
  explicit TextRenderer(std::size_t cache_capacity = 512);
  ~TextRenderer();
  TextRenderer(const TextRenderer&) = delete;
  TextRenderer& operator=(const TextRenderer&) = delete;
  // A renderer made and used on one thread may be handed to another once the
  // first is done with it (its fonts and layouts go along).
  TextRenderer(TextRenderer&&) noexcept;
  TextRenderer& operator=(TextRenderer&&) noexcept;

  // Multiplies every size that passes through renderer_input_style (the
  // user's text scale). 1.0 by default; non-finite or non-positive is 1.0.
  void set_text_scale(float scale);
  float text_scale() const { return text_scale_; }

  // The style as it will be shaped: size times the text scale, clamped to
  // 1..512 (a non-finite or non-positive size becomes the default), line
  // height clamped to 0.5..4 (else the default), weight clamped to
  // 100..1000, an empty family the default. Measure and draw take the
  // resolved style, so a widget resolves once and uses the result for both.
  TextStyle renderer_input_style(const TextStyle& style) const;

  // The shaped layout of `text` in `style` (used as given: resolve it first)
  // under the optional width limit, from the cache when shaped before.
  // A non-finite or absent limit means unlimited; a negative one is 0.
  std::shared_ptr<const TextLayout> layout(std::string_view text, const TextStyle& style,
                                           std::optional<double> max_width, LayoutOption option);

  TextMetrics measure(std::string_view text, const TextStyle& style,
                      std::optional<double> max_width, LayoutOption option);

  // The width of the widest of `texts`, each on one line in `style` (used as
  // given), 0 for none: what a list of choices needs across. A few texts are
  // measured through the layout cache. For a long list the answer is kept
  // (for the last few lists and styles), so a list made anew with the same
  // texts (a page built again, a pane opened again) is not shaped again, and
  // shaping it leaves the layout cache, and the page's layouts in it, as it
  // was.
  double widest_single_line(std::span<const std::string> texts, const TextStyle& style);

  // Appends the text to the scene with its top-left corner at `origin`
  // (local coordinates of `transform`) in style.color; answers its metrics.
  TextMetrics draw_text(Scene& scene, std::string_view text, const TextStyle& style, Point origin,
                        std::optional<double> max_width, LayoutOption option,
                        const Affine& transform = Affine::identity());

  // The byte offset of the caret position nearest to `point` (relative to
  // the layout's top-left corner): always on a character boundary, 0 to
  // text.size().
  std::size_t byte_offset_at(std::string_view text, const TextStyle& style,
                             std::optional<double> max_width, LayoutOption option, Point point);
  // The caret at a byte offset, a zero-width rectangle one line high
  // relative to the layout's top-left corner. An offset inside a character
  // moves back to its start; past the end it is the end.
  Rect caret_rect(std::string_view text, const TextStyle& style, std::optional<double> max_width,
                  LayoutOption option, std::size_t byte_offset);

  CacheStats cache_stats() const;
  void clear_cache();

 private:
  struct Cache;
  std::unique_ptr<Cache> cache_;
  float text_scale_ = 1.0f;
};

}  // namespace kalu_ui::text
