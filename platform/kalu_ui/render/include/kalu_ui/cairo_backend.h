#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "kalu_ui/color.h"
#include "kalu_ui/result.h"

namespace kalu_ui {

class Scene;

namespace cairo_backend {

// Plays `scene` into caller-owned pixels: premultiplied ARGB32 (native
// endian 32-bit words), `stride` bytes per row, at `scale` physical pixels
// per logical pixel. When `clear` is given the pixels are first filled with
// it; otherwise the scene is drawn over what is there. Fails on a size or
// stride Cairo cannot take or a non-finite or non-positive scale.
Status render_into(const Scene& scene, std::uint8_t* data, int width, int height, int stride,
                   double scale, std::optional<Color> clear);

// An owned ARGB32 image (what tests and screenshots use).
class RenderedImage {
 public:
  struct Impl;
  explicit RenderedImage(std::unique_ptr<Impl> impl);
  RenderedImage(RenderedImage&&) noexcept;
  RenderedImage& operator=(RenderedImage&&) noexcept;
  ~RenderedImage();

  int width() const;
  int height() const;
  // The straight-alpha colour of a physical pixel; transparent outside.
  Color pixel(int x, int y) const;
  Status write_png(const std::string& path) const;

 private:
  std::unique_ptr<Impl> impl_;
};

// A new width x height (physical pixels) image cleared to `background`, with
// the scene drawn at `scale`.
Result<RenderedImage> render(const Scene& scene, int width, int height, double scale,
                             Color background);

}  // namespace cairo_backend
}  // namespace kalu_ui
