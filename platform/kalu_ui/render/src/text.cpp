#include "kalu_ui/text.h"

#include <algorithm>
#include <cmath>
#include <list>
#include <unordered_map>
#include <vector>

#include "cairo_play.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/scene.h"
#include "text_internal.h"

namespace kalu_ui::text {

cairo_font_options_t* new_font_options() {
  cairo_font_options_t* opts = cairo_font_options_create();
  cairo_font_options_set_hint_style(opts, CAIRO_HINT_STYLE_NONE);
  cairo_font_options_set_hint_metrics(opts, CAIRO_HINT_METRICS_OFF);
  cairo_font_options_set_antialias(opts, CAIRO_ANTIALIAS_GRAY);
  return opts;
}

TextLayout::TextLayout(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextLayout::~TextLayout() = default;
const std::string& TextLayout::text() const { return impl_->text; }
const TextMetrics& TextLayout::metrics() const { return impl_->metrics; }
const TextStyle& TextLayout::style() const { return impl_->style; }

namespace {

constexpr double kNoLimit = -1.0;

struct Key {
  std::string text;
  std::string family;
  float size = 0.0f;
  std::uint16_t weight = 0;
  float line_height = 0.0f;
  double max_width = kNoLimit;
  LayoutOption option = LayoutOption::SingleLine;

  friend bool operator==(const Key&, const Key&) = default;
};

struct KeyHash {
  std::size_t operator()(const Key& k) const {
    std::size_t h = std::hash<std::string>{}(k.text);
    auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2); };
    mix(std::hash<std::string>{}(k.family));
    mix(std::hash<float>{}(k.size));
    mix(k.weight);
    mix(std::hash<float>{}(k.line_height));
    mix(std::hash<double>{}(k.max_width));
    mix(static_cast<std::size_t>(k.option));
    return h;
  }
};

double normalise_limit(std::optional<double> max_width, LayoutOption option) {
  if (option == LayoutOption::SingleLine || !max_width || !std::isfinite(*max_width)) {
    return kNoLimit;
  }
  return std::max(0.0, *max_width);
}

// Pango refuses invalid UTF-8; replace bad bytes rather than drop the text.
std::string valid_utf8(std::string_view text) {
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    return std::string(text);
  }
  gchar* fixed = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
  std::string out(fixed);
  g_free(fixed);
  return out;
}

bool plain_ascii(std::string_view text) {
  return std::ranges::all_of(text, [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

int to_pango(double px) {
  return static_cast<int>(std::lround(std::clamp(px, 0.0, 1.0e6) * PANGO_SCALE));
}

// The style with sizes Pango can take: see renderer_input_style.
TextStyle sanitised(TextStyle s, float scale) {
  const float size = (std::isfinite(s.size) && s.size > 0.0f) ? s.size : kDefaultSize;
  s.size = std::clamp(size * scale, 1.0f, 512.0f);
  s.line_height = (std::isfinite(s.line_height) && s.line_height > 0.0f)
                      ? std::clamp(s.line_height, 0.5f, 4.0f)
                      : kDefaultLineHeight;
  s.weight = std::clamp<std::uint16_t>(s.weight, 100, 1000);
  if (s.family.empty()) s.family = kDefaultFamily;
  return s;
}

// Pages put icon-font code points (Wi-Fi signal, lock) into plain text. The
// font has no such glyphs, so each one is laid out as an em-square shape and
// drawn as the matching icon in the text's colour.
void add_icon_shapes(PangoAttrList* attrs, const std::string& text, double size) {
  const int em = to_pango(size);
  // The square sits on the baseline and rises 0.8 em, like capitals with a
  // little descent.
  PangoRectangle box{0, -to_pango(size * 0.8), em, em};
  for (const char* p = text.data(); p < text.data() + text.size(); p = g_utf8_next_char(p)) {
    const auto id = Icon::for_codepoint(static_cast<char32_t>(g_utf8_get_char(p)));
    if (!id) continue;
    PangoAttribute* a = pango_attr_shape_new_with_data(
        &box, &box, GUINT_TO_POINTER(static_cast<guint>(*id) + 1), nullptr, nullptr);
    a->start_index = static_cast<guint>(p - text.data());
    a->end_index = static_cast<guint>(g_utf8_next_char(p) - text.data());
    pango_attr_list_insert(attrs, a);
  }
}

void draw_icon_shape(cairo_t* cr, PangoAttrShape* attr, gboolean do_path, gpointer) {
  if (do_path || attr->data == nullptr) return;
  const auto id = static_cast<std::uint8_t>(GPOINTER_TO_UINT(attr->data) - 1);
  double r = 0.0, g = 0.0, b = 0.0, a = 1.0;
  cairo_pattern_get_rgba(cairo_get_source(cr), &r, &g, &b, &a);
  auto channel = [](double v) { return static_cast<std::uint8_t>(std::lround(v * 255.0)); };
  double x = 0.0, y = 0.0;
  cairo_get_current_point(cr, &x, &y);
  const PangoRectangle& l = attr->logical_rect;
  const double x0 = x + static_cast<double>(l.x) / PANGO_SCALE;
  const double y0 = y + static_cast<double>(l.y) / PANGO_SCALE;
  Scene scene;
  Icon::draw(scene, id,
             {x0, y0, x0 + static_cast<double>(l.width) / PANGO_SCALE,
              y0 + static_cast<double>(l.height) / PANGO_SCALE},
             Color{channel(r), channel(g), channel(b), channel(a)});
  cairo_save(cr);
  cairo_matrix_t base;
  cairo_get_matrix(cr, &base);
  cairo_backend::play_scene(cr, scene, base);
  cairo_restore(cr);
}

}  // namespace

struct TextRenderer::Cache {
  PangoFontMap* font_map = nullptr;
  PangoContext* context = nullptr;
  std::size_t capacity;
  using Entry = std::pair<Key, std::shared_ptr<const TextLayout>>;
  std::list<Entry> lru;  // most recent first
  std::unordered_map<Key, std::list<Entry>::iterator, KeyHash> index;
  CacheStats stats;
  // Widest lines of long lists (widest_single_line): the style as a key
  // with no text, the texts and their widest line, most recent first.
  static constexpr std::size_t kLongList = 32;
  struct Widest {
    Key style;
    std::vector<std::string> texts;
    double width = 0.0;
  };
  static constexpr std::size_t kWidestLists = 16;
  std::list<Widest> widest;

  explicit Cache(std::size_t cap) : capacity(std::max<std::size_t>(cap, 1)) {
    font_map = pango_cairo_font_map_new();
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(font_map), 96.0);
    context = pango_font_map_create_context(font_map);
    cairo_font_options_t* opts = new_font_options();
    pango_cairo_context_set_font_options(context, opts);
    cairo_font_options_destroy(opts);
    pango_context_set_round_glyph_positions(context, FALSE);
    pango_cairo_context_set_shape_renderer(context, draw_icon_shape, nullptr, nullptr);
  }
  ~Cache() {
    lru.clear();
    index.clear();
    g_object_unref(context);
    g_object_unref(font_map);
  }
  Cache(const Cache&) = delete;
  Cache& operator=(const Cache&) = delete;

  std::shared_ptr<const TextLayout> shape(const Key& key) {
    auto impl = std::make_unique<TextLayout::Impl>();
    impl->text = valid_utf8(key.text);
    impl->style.family = key.family;
    impl->style.size = key.size;
    impl->style.weight = key.weight;
    impl->style.line_height = key.line_height;
    PangoLayout* layout = pango_layout_new(context);
    impl->layout = layout;
    pango_layout_set_text(layout, impl->text.data(), static_cast<int>(impl->text.size()));

    PangoFontDescription* desc = pango_font_description_new();
    pango_font_description_set_family(desc, key.family.c_str());
    pango_font_description_set_absolute_size(desc, key.size * PANGO_SCALE);
    pango_font_description_set_weight(desc, static_cast<PangoWeight>(key.weight));
    pango_layout_set_font_description(layout, desc);
    pango_font_description_free(desc);

    // A whole-pixel line pitch keeps baselines of stacked lines on the pixel
    // grid and makes a text's height exactly lines x pitch.
    const double pitch = std::max(1.0, std::floor(static_cast<double>(key.size) * key.line_height));
    PangoAttrList* attrs = pango_attr_list_new();
    pango_attr_list_insert(attrs, pango_attr_line_height_new_absolute(to_pango(pitch)));
    add_icon_shapes(attrs, impl->text, key.size);
    pango_layout_set_attributes(layout, attrs);
    pango_attr_list_unref(attrs);

    switch (key.option) {
      case LayoutOption::SingleLine:
        break;
      case LayoutOption::Wrap:
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
        if (key.max_width != kNoLimit) pango_layout_set_width(layout, to_pango(key.max_width));
        break;
      case LayoutOption::Ellipsize:
        pango_layout_set_single_paragraph_mode(layout, TRUE);
        if (key.max_width != kNoLimit) {
          pango_layout_set_width(layout, to_pango(key.max_width));
          pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
        }
        break;
    }

    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    TextMetrics& m = impl->metrics;
    m.width = static_cast<double>(logical.x + logical.width) / PANGO_SCALE;
    m.height = static_cast<double>(logical.y + logical.height) / PANGO_SCALE;
    m.lines = pango_layout_get_line_count(layout);
    m.baseline = static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    return std::make_shared<const TextLayout>(std::move(impl));
  }

  // The layout held under `key`, as a hit; none when it is not held.
  std::shared_ptr<const TextLayout> held(const Key& key) {
    auto it = index.find(key);
    if (it == index.end()) return nullptr;
    ++stats.hits;
    lru.splice(lru.begin(), lru, it->second);
    return it->second->second;
  }

  std::shared_ptr<const TextLayout> get(Key key) {
    if (auto it = index.find(key); it != index.end()) {
      ++stats.hits;
      lru.splice(lru.begin(), lru, it->second);
      return it->second->second;
    }
    ++stats.misses;
    auto layout = shape(key);
    lru.emplace_front(std::move(key), layout);
    index.emplace(lru.front().first, lru.begin());
    while (lru.size() > capacity) {
      index.erase(lru.back().first);
      lru.pop_back();
    }
    return layout;
  }
};

TextRenderer::TextRenderer(std::size_t cache_capacity)
    : cache_(std::make_unique<Cache>(cache_capacity)) {}
TextRenderer::~TextRenderer() = default;
TextRenderer::TextRenderer(TextRenderer&&) noexcept = default;
TextRenderer& TextRenderer::operator=(TextRenderer&&) noexcept = default;

void TextRenderer::set_text_scale(float scale) {
  text_scale_ = (std::isfinite(scale) && scale > 0.0f) ? scale : 1.0f;
}

TextStyle TextRenderer::renderer_input_style(const TextStyle& style) const {
  return sanitised(style, text_scale_);
}

std::shared_ptr<const TextLayout> TextRenderer::layout(std::string_view text,
                                                       const TextStyle& style,
                                                       std::optional<double> max_width,
                                                       LayoutOption option) {
  // Values that would upset Pango are resolved here too; a style that was
  // already resolved passes unchanged.
  TextStyle s = sanitised(style, 1.0f);
  const double limit = normalise_limit(max_width, option);
  if (option == LayoutOption::Wrap && limit != kNoLimit && plain_ascii(text)) {
    // A text is measured at its natural width before it is given a width; a
    // text that fits its width breaks where the unlimited one does, so that
    // layout, when held, serves (left to right, the only direction ASCII
    // takes) and the text is not shaped twice.
    auto natural = cache_->held(
        Key{std::string(text), s.family, s.size, s.weight, s.line_height, kNoLimit, option});
    if (natural && natural->metrics().width <= limit) return natural;
  }
  return cache_->get(
      Key{std::string(text), std::move(s.family), s.size, s.weight, s.line_height, limit, option});
}

TextMetrics TextRenderer::measure(std::string_view text, const TextStyle& style,
                                  std::optional<double> max_width, LayoutOption option) {
  return layout(text, style, max_width, option)->metrics();
}

double TextRenderer::widest_single_line(std::span<const std::string> texts,
                                        const TextStyle& style) {
  double width = 0.0;
  if (texts.size() < Cache::kLongList) {
    // A few texts: measured through the layout cache, where drawing the
    // choice shown finds its own.
    for (const std::string& text : texts) {
      width = std::max(width, measure(text, style, std::nullopt, LayoutOption::SingleLine).width);
    }
    return width;
  }
  TextStyle s = sanitised(style, 1.0f);
  Key key{{},       std::move(s.family),     s.size, s.weight, s.line_height,
          kNoLimit, LayoutOption::SingleLine};
  auto& lists = cache_->widest;
  for (auto it = lists.begin(); it != lists.end(); ++it) {
    if (it->style == key && std::ranges::equal(it->texts, texts)) {
      lists.splice(lists.begin(), lists, it);
      return it->width;
    }
  }
  for (const std::string& text : texts) {
    key.text = text;
    // A layout the cache holds is read there; any other is shaped, measured
    // and let go, so the list does not push out the layouts of the page.
    if (auto held = cache_->index.find(key); held != cache_->index.end()) {
      ++cache_->stats.hits;
      width = std::max(width, held->second->second->metrics().width);
    } else {
      ++cache_->stats.misses;
      width = std::max(width, cache_->shape(key)->metrics().width);
    }
  }
  key.text.clear();
  lists.push_front({std::move(key), std::vector<std::string>(texts.begin(), texts.end()), width});
  if (lists.size() > Cache::kWidestLists) lists.pop_back();
  return width;
}

TextMetrics TextRenderer::draw_text(Scene& scene, std::string_view text, const TextStyle& style,
                                    Point origin, std::optional<double> max_width,
                                    LayoutOption option, const Affine& transform) {
  auto l = layout(text, style, max_width, option);
  TextMetrics m = l->metrics();
  scene.draw_layout(std::move(l), origin, style.color, transform);
  return m;
}

namespace {
std::size_t char_start(std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  while (offset > 0 && offset < text.size() &&
         (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) {
    --offset;
  }
  return offset;
}
}  // namespace

std::size_t TextRenderer::byte_offset_at(std::string_view text, const TextStyle& style,
                                         std::optional<double> max_width, LayoutOption option,
                                         Point point) {
  auto l = layout(text, style, max_width, option);
  const std::string& shaped = l->text();
  int index = 0;
  int trailing = 0;
  const double x = std::isfinite(point.x) ? std::clamp(point.x, -1.0e6, 1.0e6) : 0.0;
  const double y = std::isfinite(point.y) ? std::clamp(point.y, -1.0e6, 1.0e6) : 0.0;
  pango_layout_xy_to_index(l->impl().layout, static_cast<int>(std::lround(x * PANGO_SCALE)),
                           static_cast<int>(std::lround(y * PANGO_SCALE)), &index, &trailing);
  std::size_t offset = static_cast<std::size_t>(std::max(index, 0));
  if (trailing > 0 && offset < shaped.size()) {
    const char* p = g_utf8_offset_to_pointer(shaped.data() + offset, trailing);
    offset = static_cast<std::size_t>(p - shaped.data());
  }
  return char_start(text, offset);
}

Rect TextRenderer::caret_rect(std::string_view text, const TextStyle& style,
                              std::optional<double> max_width, LayoutOption option,
                              std::size_t byte_offset) {
  auto l = layout(text, style, max_width, option);
  const std::size_t offset = std::min(char_start(text, byte_offset), l->text().size());
  PangoRectangle strong;
  pango_layout_get_cursor_pos(l->impl().layout, static_cast<int>(offset), &strong, nullptr);
  const double x = static_cast<double>(strong.x) / PANGO_SCALE;
  const double y = static_cast<double>(strong.y) / PANGO_SCALE;
  return {x, y, x, y + static_cast<double>(strong.height) / PANGO_SCALE};
}

CacheStats TextRenderer::cache_stats() const {
  CacheStats s = cache_->stats;
  s.entries = cache_->lru.size();
  return s;
}

void TextRenderer::clear_cache() {
  cache_->lru.clear();
  cache_->index.clear();
  cache_->widest.clear();
}

}  // namespace kalu_ui::text

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig keeps parts of its parsed configuration unreachable for the
// life of the process; that is the library's, not ours. Weak, so that a
// program with its own suppression list replaces this one.
extern "C" __attribute__((weak)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif
