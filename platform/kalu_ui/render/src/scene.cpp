#include "kalu_ui/scene.h"

#include <algorithm>

#include "kalu_ui/text.h"

namespace kalu_ui {

StrokeStyle StrokeStyle::with_join(Join j) const {
  StrokeStyle s = *this;
  s.join = j;
  return s;
}
StrokeStyle StrokeStyle::with_cap(Cap c) const {
  StrokeStyle s = *this;
  s.cap = c;
  return s;
}
StrokeStyle StrokeStyle::with_dashes(std::vector<double> pattern, double offset) const {
  StrokeStyle s = *this;
  s.dashes = std::move(pattern);
  s.dash_offset = offset;
  return s;
}

Image Image::from_colors(int width, int height, const std::vector<Color>& colors) {
  Image img;
  if (width <= 0 || height <= 0 ||
      colors.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return img;
  }
  img.width = width;
  img.height = height;
  img.pixels.reserve(colors.size());
  for (const Color c : colors) {
    auto pm = [&](std::uint8_t v) -> std::uint32_t { return (v * c.a + 127) / 255; };
    img.pixels.push_back((std::uint32_t{c.a} << 24) | (pm(c.r) << 16) | (pm(c.g) << 8) | pm(c.b));
  }
  return img;
}

Affine Scene::total(const Affine& t) const {
  return transforms_.empty() ? t : transforms_.back() * t;
}

const Affine& Scene::current_transform() const {
  static const Affine kIdentity;
  return transforms_.empty() ? kIdentity : transforms_.back();
}

void Scene::fill(const Shape& shape, Color color, const Affine& transform, FillRule rule) {
  cmds_.emplace_back(FillCmd{shape, color, rule, total(transform)});
}

void Scene::stroke(const Shape& shape, Color color, const StrokeStyle& style,
                   const Affine& transform) {
  cmds_.emplace_back(StrokeCmd{shape, color, style, total(transform)});
}

void Scene::draw_layout(std::shared_ptr<const text::TextLayout> layout, Point origin, Color color,
                        const Affine& transform) {
  if (!layout) return;
  const auto& m = layout->metrics();
  const Rect box{0.0, 0.0, m.width, m.height};
  cmds_.emplace_back(TextCmd{std::move(layout), color,
                             total(transform) * Affine::translate(origin.to_vec2()), box});
}

void Scene::draw_image(std::shared_ptr<const Image> image, const Rect& dest, ImageFilter filter,
                       double opacity, const Affine& transform) {
  if (!image || image->width <= 0 || image->height <= 0) return;
  cmds_.emplace_back(ImageCmd{std::move(image), dest, filter, opacity, total(transform)});
}

void Scene::push_clip(const Shape& shape, const Affine& transform) {
  cmds_.emplace_back(PushClipCmd{shape, total(transform)});
  ++open_clips_;
}

void Scene::pop_clip() {
  if (open_clips_ == 0) return;
  cmds_.emplace_back(PopClipCmd{});
  --open_clips_;
}

void Scene::push_transform(const Affine& t) { transforms_.push_back(total(t)); }

void Scene::pop_transform() {
  if (!transforms_.empty()) transforms_.pop_back();
}

void Scene::clear() {
  cmds_.clear();
  transforms_.clear();
  open_clips_ = 0;
}

Rect Scene::bounds(const SceneCmd& cmd) {
  return std::visit(
      [](const auto& c) -> Rect {
        using T = std::decay_t<decltype(c)>;
        if constexpr (std::is_same_v<T, FillCmd> || std::is_same_v<T, PushClipCmd>) {
          return c.transform.transform_rect_bbox(shape_bounds(c.shape));
        } else if constexpr (std::is_same_v<T, StrokeCmd>) {
          const double h = 0.5 * c.style.width;
          return c.transform.transform_rect_bbox(shape_bounds(c.shape).inflate(h, h));
        } else if constexpr (std::is_same_v<T, TextCmd>) {
          return c.transform.transform_rect_bbox(c.box);
        } else if constexpr (std::is_same_v<T, ImageCmd>) {
          return c.transform.transform_rect_bbox(c.dest);
        } else {
          return Rect{};
        }
      },
      cmd);
}

std::vector<const TextCmd*> Scene::find_text(std::string_view text) const {
  std::vector<const TextCmd*> out;
  for (const auto& cmd : cmds_) {
    if (const auto* t = std::get_if<TextCmd>(&cmd); t && t->layout->text() == text) {
      out.push_back(t);
    }
  }
  return out;
}

}  // namespace kalu_ui
