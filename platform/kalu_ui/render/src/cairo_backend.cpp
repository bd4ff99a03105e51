#include "kalu_ui/cairo_backend.h"

#include <cairo.h>
#include <fmt/format.h>

#include <cmath>

#include "cairo_play.h"
#include "kalu_ui/scene.h"
#include "text_internal.h"

namespace kalu_ui::cairo_backend {

namespace {

void set_matrix(cairo_t* cr, const cairo_matrix_t& base, const Affine& t) {
  cairo_matrix_t m;
  cairo_matrix_init(&m, t.m[0], t.m[1], t.m[2], t.m[3], t.m[4], t.m[5]);
  cairo_matrix_t out;
  cairo_matrix_multiply(&out, &m, &base);  // t first, then the device scale
  cairo_set_matrix(cr, &out);
}

bool invertible(const Affine& t) {
  const double d = t.determinant();
  return std::isfinite(d) && d != 0.0;
}

void set_color(cairo_t* cr, Color c) {
  cairo_set_source_rgba(cr, c.red(), c.green(), c.blue(), c.alpha());
}

void append_path(cairo_t* cr, const BezPath& path) {
  for (const auto& el : path.elements()) {
    switch (el.kind) {
      case PathEl::Kind::MoveTo:
        cairo_move_to(cr, el.p0.x, el.p0.y);
        break;
      case PathEl::Kind::LineTo:
        cairo_line_to(cr, el.p0.x, el.p0.y);
        break;
      case PathEl::Kind::QuadTo: {
        double x0 = 0.0, y0 = 0.0;
        if (cairo_has_current_point(cr)) {
          cairo_get_current_point(cr, &x0, &y0);
        } else {
          cairo_move_to(cr, 0.0, 0.0);
        }
        // Degree elevation: the cubic with the same curve.
        cairo_curve_to(cr, x0 + 2.0 / 3.0 * (el.p0.x - x0), y0 + 2.0 / 3.0 * (el.p0.y - y0),
                       el.p1.x + 2.0 / 3.0 * (el.p0.x - el.p1.x),
                       el.p1.y + 2.0 / 3.0 * (el.p0.y - el.p1.y), el.p1.x, el.p1.y);
        break;
      }
      case PathEl::Kind::CurveTo:
        if (!cairo_has_current_point(cr)) cairo_move_to(cr, 0.0, 0.0);
        cairo_curve_to(cr, el.p0.x, el.p0.y, el.p1.x, el.p1.y, el.p2.x, el.p2.y);
        break;
      case PathEl::Kind::ClosePath:
        cairo_close_path(cr);
        break;
    }
  }
}

void append_shape(cairo_t* cr, const Shape& shape) {
  cairo_new_path(cr);
  if (const auto* r = std::get_if<Rect>(&shape)) {
    cairo_rectangle(cr, r->x0, r->y0, r->width(), r->height());
  } else if (const auto* c = std::get_if<Circle>(&shape)) {
    if (c->radius > 0.0) cairo_arc(cr, c->center.x, c->center.y, c->radius, 0.0, 2 * M_PI);
  } else if (const auto* l = std::get_if<Line>(&shape)) {
    cairo_move_to(cr, l->p0.x, l->p0.y);
    cairo_line_to(cr, l->p1.x, l->p1.y);
  } else if (const auto* p = std::get_if<BezPath>(&shape)) {
    append_path(cr, *p);
  } else {
    append_path(cr, shape_to_path(shape));
  }
}

cairo_line_join_t to_cairo(Join j) {
  switch (j) {
    case Join::Miter:
      return CAIRO_LINE_JOIN_MITER;
    case Join::Bevel:
      return CAIRO_LINE_JOIN_BEVEL;
    case Join::Round:
      break;
  }
  return CAIRO_LINE_JOIN_ROUND;
}

cairo_line_cap_t to_cairo(Cap c) {
  switch (c) {
    case Cap::Butt:
      return CAIRO_LINE_CAP_BUTT;
    case Cap::Square:
      return CAIRO_LINE_CAP_SQUARE;
    case Cap::Round:
      break;
  }
  return CAIRO_LINE_CAP_ROUND;
}

bool usable_dashes(const std::vector<double>& d) {
  bool any_on = false;
  for (double v : d) {
    if (!std::isfinite(v) || v < 0.0) return false;
    any_on = any_on || v > 0.0;
  }
  return any_on;
}

// Plays one scene; every command restores the state it changes, clips are
// cairo save/restore pairs.
}  // namespace

void play_scene(cairo_t* cr, const Scene& scene, const cairo_matrix_t& base) {
  int clips = 0;
  for (const auto& cmd : scene.commands()) {
    if (const auto* f = std::get_if<FillCmd>(&cmd)) {
      if (f->color.a == 0 || !invertible(f->transform)) continue;
      set_matrix(cr, base, f->transform);
      append_shape(cr, f->shape);
      cairo_set_fill_rule(
          cr, f->rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
      set_color(cr, f->color);
      cairo_fill(cr);
    } else if (const auto* s = std::get_if<StrokeCmd>(&cmd)) {
      const auto& st = s->style;
      if (s->color.a == 0 || !invertible(s->transform) || !std::isfinite(st.width) ||
          st.width <= 0.0) {
        continue;
      }
      set_matrix(cr, base, s->transform);
      append_shape(cr, s->shape);
      cairo_set_line_width(cr, st.width);
      cairo_set_line_join(cr, to_cairo(st.join));
      cairo_set_line_cap(cr, to_cairo(st.cap));
      cairo_set_miter_limit(cr, std::isfinite(st.miter_limit) ? st.miter_limit : 4.0);
      if (usable_dashes(st.dashes)) {
        cairo_set_dash(cr, st.dashes.data(), static_cast<int>(st.dashes.size()),
                       std::isfinite(st.dash_offset) ? st.dash_offset : 0.0);
      } else {
        cairo_set_dash(cr, nullptr, 0, 0.0);
      }
      set_color(cr, s->color);
      cairo_stroke(cr);
    } else if (const auto* t = std::get_if<TextCmd>(&cmd)) {
      if (t->color.a == 0 || !invertible(t->transform)) continue;
      set_matrix(cr, base, t->transform);
      cairo_new_path(cr);
      cairo_move_to(cr, 0.0, 0.0);
      set_color(cr, t->color);
      pango_cairo_show_layout(cr, t->layout->impl().layout);
    } else if (const auto* im = std::get_if<ImageCmd>(&cmd)) {
      const Image& img = *im->image;
      if (!invertible(im->transform) || im->dest.width() <= 0.0 || im->dest.height() <= 0.0 ||
          img.pixels.size() != static_cast<std::size_t>(img.width) * img.height) {
        continue;
      }
      cairo_surface_t* src = cairo_image_surface_create_for_data(
          reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(img.pixels.data())),
          CAIRO_FORMAT_ARGB32, img.width, img.height, img.width * 4);
      cairo_save(cr);
      set_matrix(cr, base, im->transform);
      cairo_translate(cr, im->dest.x0, im->dest.y0);
      cairo_scale(cr, im->dest.width() / img.width, im->dest.height() / img.height);
      cairo_set_source_surface(cr, src, 0.0, 0.0);
      cairo_pattern_set_filter(cairo_get_source(cr), im->filter == ImageFilter::Nearest
                                                         ? CAIRO_FILTER_NEAREST
                                                         : CAIRO_FILTER_GOOD);
      cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
      cairo_new_path(cr);
      cairo_rectangle(cr, 0.0, 0.0, img.width, img.height);
      cairo_clip(cr);
      const double opacity = std::isfinite(im->opacity) ? std::clamp(im->opacity, 0.0, 1.0) : 1.0;
      cairo_paint_with_alpha(cr, opacity);
      cairo_restore(cr);
      cairo_surface_destroy(src);
    } else if (const auto* c = std::get_if<PushClipCmd>(&cmd)) {
      cairo_save(cr);
      ++clips;
      if (!invertible(c->transform)) {
        // A degenerate clip hides everything inside it.
        cairo_identity_matrix(cr);
        cairo_new_path(cr);
        cairo_rectangle(cr, 0, 0, 0, 0);
      } else {
        set_matrix(cr, base, c->transform);
        append_shape(cr, c->shape);
      }
      cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
      cairo_clip(cr);
    } else if (std::holds_alternative<PopClipCmd>(cmd)) {
      if (clips > 0) {
        cairo_restore(cr);
        --clips;
      }
    }
  }
  while (clips-- > 0) cairo_restore(cr);
}

namespace {

Status draw_on(cairo_surface_t* surface, const Scene& scene, double scale,
               std::optional<Color> clear) {
  cairo_t* cr = cairo_create(surface);
  cairo_font_options_t* opts = text::new_font_options();
  cairo_set_font_options(cr, opts);
  cairo_font_options_destroy(opts);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_GRAY);
  if (clear) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    set_color(cr, *clear);
    cairo_paint(cr);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  }
  cairo_matrix_t base;
  cairo_matrix_init_scale(&base, scale, scale);
  play_scene(cr, scene, base);
  const cairo_status_t st = cairo_status(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  if (st != CAIRO_STATUS_SUCCESS) {
    return fail("drawing failed: {}", cairo_status_to_string(st));
  }
  return {};
}

Status check_args(int width, int height, double scale) {
  if (width <= 0 || height <= 0 || width > 32767 || height > 32767) {
    return fail("image size {}x{} is not drawable", width, height);
  }
  if (!std::isfinite(scale) || scale <= 0.0) {
    return fail("scale factor {} is not positive", scale);
  }
  return {};
}

}  // namespace

Status render_into(const Scene& scene, std::uint8_t* data, int width, int height, int stride,
                   double scale, std::optional<Color> clear) {
  if (auto ok = check_args(width, height, scale); !ok) return ok;
  if (data == nullptr || stride < cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width) ||
      stride % 4 != 0) {
    return fail("stride {} is too small for width {}", stride, width);
  }
  cairo_surface_t* surface =
      cairo_image_surface_create_for_data(data, CAIRO_FORMAT_ARGB32, width, height, stride);
  Status st = draw_on(surface, scene, scale, clear);
  cairo_surface_destroy(surface);
  return st;
}

struct RenderedImage::Impl {
  cairo_surface_t* surface = nullptr;
  ~Impl() {
    if (surface != nullptr) cairo_surface_destroy(surface);
  }
};

RenderedImage::RenderedImage(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
RenderedImage::RenderedImage(RenderedImage&&) noexcept = default;
RenderedImage& RenderedImage::operator=(RenderedImage&&) noexcept = default;
RenderedImage::~RenderedImage() = default;

int RenderedImage::width() const { return cairo_image_surface_get_width(impl_->surface); }
int RenderedImage::height() const { return cairo_image_surface_get_height(impl_->surface); }

Color RenderedImage::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width() || y >= height()) return Color::transparent();
  const unsigned char* row =
      cairo_image_surface_get_data(impl_->surface) +
      static_cast<std::ptrdiff_t>(y) * cairo_image_surface_get_stride(impl_->surface);
  const std::uint32_t px = reinterpret_cast<const std::uint32_t*>(row)[x];
  const std::uint32_t a = px >> 24;
  auto un = [a](std::uint32_t v) -> std::uint8_t {
    return a == 0 ? 0
                  : static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (v * 255 + a / 2) / a));
  };
  return {un((px >> 16) & 0xFF), un((px >> 8) & 0xFF), un(px & 0xFF), static_cast<std::uint8_t>(a)};
}

Status RenderedImage::write_png(const std::string& path) const {
  const cairo_status_t st = cairo_surface_write_to_png(impl_->surface, path.c_str());
  if (st != CAIRO_STATUS_SUCCESS) {
    return fail("cannot write {}: {}", path, cairo_status_to_string(st));
  }
  return {};
}

Result<RenderedImage> render(const Scene& scene, int width, int height, double scale,
                             Color background) {
  if (auto ok = check_args(width, height, scale); !ok) return fail(ok.error());
  auto impl = std::make_unique<RenderedImage::Impl>();
  impl->surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(impl->surface) != CAIRO_STATUS_SUCCESS) {
    return fail("cannot make a {}x{} image: {}", width, height,
                cairo_status_to_string(cairo_surface_status(impl->surface)));
  }
  if (auto st = draw_on(impl->surface, scene, scale, background); !st) return fail(st.error());
  return RenderedImage(std::move(impl));
}

}  // namespace kalu_ui::cairo_backend
