#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <variant>
#include <vector>

#include "kalu_ui/color.h"
#include "kalu_ui/geometry.h"
#include "kalu_ui/shapes.h"

// The Scene: a display list that widgets append to while drawing a frame and
// that a backend (kalu_ui/cairo_backend.h) plays into pixels. Widgets never
// talk to the backend. Everything is in logical pixels; the backend applies
// the window's scale factor.
//
// How a widget draws (rect is its laid-out rectangle, `t` the transform it was
// handed):
//   scene.fill(RoundedRect{rect, theme.control_radius}, theme.card, t);
//   scene.stroke(RoundedRect{rect.inset(0.5), r}, theme.card_edge, StrokeStyle{1.0}, t);
//   scene.stroke(Line{{x0, y}, {x1, y}}, color, StrokeStyle{1.0}.with_dashes({4, 2}), t);
//   renderer.draw_text(scene, "Title", style, {x, y}, max_width, LayoutOption::Wrap, t);
//   Icon::draw(scene, icon_id, Rect{x, y, x + 18, y + 18}, theme.foreground, t);
//   scene.push_clip(rect, t);  ... children ...  scene.pop_clip();
//   scene.push_transform(Affine::translate({0, -scroll}));  ...  scene.pop_transform();
// A transform passed to a call acts first; then the pushed transforms, the
// innermost first.
namespace kalu_ui {

namespace text {
class TextLayout;  // kalu_ui/text.h
}

enum class FillRule : std::uint8_t { NonZero, EvenOdd };
enum class Join : std::uint8_t { Miter, Round, Bevel };
enum class Cap : std::uint8_t { Butt, Round, Square };

// How a stroke is drawn; width and dashes are in the shape's own units (so
// they scale with the transform, as the shape does).
struct StrokeStyle {
  double width = 1.0;
  Join join = Join::Round;
  Cap cap = Cap::Round;
  double miter_limit = 4.0;
  std::vector<double> dashes;  // on, off, on, off ...; empty draws solid
  double dash_offset = 0.0;

  StrokeStyle() = default;
  explicit StrokeStyle(double w) : width(w) {}
  StrokeStyle with_join(Join j) const;
  StrokeStyle with_cap(Cap c) const;
  StrokeStyle with_dashes(std::vector<double> pattern, double offset = 0.0) const;
  friend bool operator==(const StrokeStyle&, const StrokeStyle&) = default;
};

// Pixels to blit: premultiplied ARGB, one 32-bit word per pixel, row by row,
// no padding (the layout Cairo calls ARGB32).
struct Image {
  int width = 0;
  int height = 0;
  std::vector<std::uint32_t> pixels;

  // An image of straight-alpha colours (converted to premultiplied).
  static Image from_colors(int width, int height, const std::vector<Color>& colors);
};

enum class ImageFilter : std::uint8_t { Smooth, Nearest };

struct FillCmd {
  Shape shape;
  Color color;
  FillRule rule = FillRule::NonZero;
  Affine transform;  // local -> scene (logical pixels)
};

struct StrokeCmd {
  Shape shape;
  Color color;
  StrokeStyle style;
  Affine transform;
};

// A shaped text layout whose top-left corner sits at the local origin of
// `transform` (the renderer folds the drawing position into it).
struct TextCmd {
  std::shared_ptr<const text::TextLayout> layout;
  Color color;
  Affine transform;
  // The layout's measured box in local coordinates: (0, 0, width, height).
  Rect box;
};

struct ImageCmd {
  std::shared_ptr<const Image> image;
  Rect dest;  // where the whole image lands, local coordinates
  ImageFilter filter = ImageFilter::Smooth;
  double opacity = 1.0;
  Affine transform;
};

// Everything drawn until the matching PopClipCmd is clipped to the shape.
struct PushClipCmd {
  Shape shape;
  Affine transform;
};
struct PopClipCmd {};

using SceneCmd = std::variant<FillCmd, StrokeCmd, TextCmd, ImageCmd, PushClipCmd, PopClipCmd>;

class Scene {
 public:
  void fill(const Shape& shape, Color color, const Affine& transform = Affine::identity(),
            FillRule rule = FillRule::NonZero);
  void stroke(const Shape& shape, Color color, const StrokeStyle& style,
              const Affine& transform = Affine::identity());
  // Appends a layout made by text::TextRenderer (use TextRenderer::draw_text).
  void draw_layout(std::shared_ptr<const text::TextLayout> layout, Point origin, Color color,
                   const Affine& transform = Affine::identity());
  void draw_image(std::shared_ptr<const Image> image, const Rect& dest,
                  ImageFilter filter = ImageFilter::Smooth, double opacity = 1.0,
                  const Affine& transform = Affine::identity());

  // Clips everything drawn until the matching pop_clip. Pops without a push
  // are ignored; clips still open at the end are closed by the backend.
  void push_clip(const Shape& shape, const Affine& transform = Affine::identity());
  void pop_clip();
  // Applies `t` (after each call's own transform) to everything drawn until
  // the matching pop_transform. Unbalanced pops are ignored.
  void push_transform(const Affine& t);
  void pop_transform();
  // The transform pushed ones add up to (identity when none is open).
  const Affine& current_transform() const;

  void clear();
  bool empty() const { return cmds_.empty(); }
  std::size_t size() const { return cmds_.size(); }
  const std::vector<SceneCmd>& commands() const { return cmds_; }
  int open_clips() const { return open_clips_; }

  // Inspection for tests and debugging.
  // The command's bounding box in scene coordinates (a stroke's includes
  // half its width; a pop has none, answered as zero).
  static Rect bounds(const SceneCmd& cmd);
  // Every text command whose text equals `text`, in drawing order.
  std::vector<const TextCmd*> find_text(std::string_view text) const;

 private:
  Affine total(const Affine& t) const;

  std::vector<SceneCmd> cmds_;
  std::vector<Affine> transforms_;
  int open_clips_ = 0;
};

}  // namespace kalu_ui
