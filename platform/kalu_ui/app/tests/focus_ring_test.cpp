// What the window shows as focus moves: it presents only what each frame's
// damage repaints, so a focus ring, which lies outside the widget it
// surrounds, must be in that damage to appear whole and to go away.

#include <gtest/gtest.h>

#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"

namespace kalu_ui {
namespace {

namespace w = widget;
using harness::Harness;

// The window's pixels as presented: the first frame whole, later ones only
// within their damage.
class Screen {
 public:
  explicit Screen(const cairo_backend::RenderedImage& first)
      : width_(first.width()), height_(first.height()) {
    pixels_.resize(static_cast<std::size_t>(width_) * height_);
    copy(first, 0, 0, width_, height_);
  }
  void present(const cairo_backend::RenderedImage& frame, const DamageList& damage, double scale) {
    for (const Rect& r : damage) {
      copy(frame, static_cast<int>(r.x0 * scale), static_cast<int>(r.y0 * scale),
           static_cast<int>(std::ceil(r.x1 * scale)), static_cast<int>(std::ceil(r.y1 * scale)));
    }
  }
  // Pixels that differ from what the frame drew.
  int stale(const cairo_backend::RenderedImage& frame) const {
    int count = 0;
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) count += !(at(x, y) == frame.pixel(x, y));
    }
    return count;
  }

 private:
  void copy(const cairo_backend::RenderedImage& from, int x0, int y0, int x1, int y1) {
    for (int y = std::max(y0, 0); y < std::min(y1, height_); ++y) {
      for (int x = std::max(x0, 0); x < std::min(x1, width_); ++x) {
        pixels_[static_cast<std::size_t>(y) * width_ + x] = from.pixel(x, y);
      }
    }
  }
  const Color& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }

  int width_;
  int height_;
  std::vector<Color> pixels_;
};

TEST(FocusRing, ShowsWholeAndGoesAwayAsTheFocusMoves) {
  for (const double scale : {1.0, 2.0}) {
    SCOPED_TRACE(scale);
    auto page = w::Column()
                    .with_gap(12.0f)
                    .with_padding(16.0f)
                    .push(w::boxed(w::TextInput("search")
                                       .with_kind(w::TextInput::kKindSearch)
                                       .with_placeholder("Search settings")
                                       .with_id("search")))
                    .push(w::boxed(w::TextInput("query").with_id("query")))
                    .push(w::boxed(w::Button("Apply").with_id("apply")))
                    .push(w::boxed(w::Toggle("Power", "power").with_id("power")));
    Harness h(w::boxed(std::move(page)), harness::Options::sized({320, 240}, scale));
    h.frame();
    auto first = h.render();
    ASSERT_TRUE(first);
    Screen screen(*first);
    auto step = [&](const Event& event) {
      h.driver().dispatch(event);
      const frame::FrameReport report = h.frame();
      auto drawn = h.render();
      ASSERT_TRUE(drawn);
      screen.present(*drawn, report.damage, h.driver().scale());
      EXPECT_EQ(screen.stale(*drawn), 0)
          << "after focus on " << (h.focused() ? h.focused()->id().value_or("?") : "none");
    };
    // Into the empty search field, to the field holding a query, typing,
    // and on through the button and the switch and round again.
    step(KeyDown{Key::Tab, {}, false});
    step(KeyDown{Key::Tab, {}, false});
    step(kalu_ui::TextInput{"wifi"});
    for (int i = 0; i < 4; ++i) step(KeyDown{Key::Tab, {}, false});
  }
}

}  // namespace
}  // namespace kalu_ui
