// Frame cost of a full settings page: builds the scene the way widgets do
// (sidebar of 22 rows, page header, cards with 40 rows of text and controls)
// and plays it into a 1280 x 800 image.
#include <benchmark/benchmark.h>

#include <string>

#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"

namespace {

using namespace kalu_ui;

constexpr int kWidth = 1280;
constexpr int kHeight = 800;

constexpr std::uint8_t kIcons[22] = {7, 8,  71, 89, 9, 2, 3,  5,  66, 67, 73,
                                     0, 56, 10, 85, 4, 6, 71, 66, 11, 76, 70};
const char* const kTitles[22] = {"Network",
                                 "Bluetooth",
                                 "Devices & Sync",
                                 "Sound",
                                 "Displays",
                                 "Mouse & Keyboard",
                                 "Keyboard Shortcuts",
                                 "Printers",
                                 "Appearance",
                                 "Accessibility",
                                 "Notifications",
                                 "Apps & Files",
                                 "Storage",
                                 "Power",
                                 "Time & Date",
                                 "Users",
                                 "Region & Formats",
                                 "External Accounts",
                                 "Agent Models",
                                 "Device Privacy & Security",
                                 "Updates",
                                 "About"};

void build_page(Scene& s, text::TextRenderer& tr, const Theme& th) {
  using text::LayoutOption;
  const auto title = tr.renderer_input_style(text::TextStyle::sized(14.0f).with_line_height(1.25f));
  const auto header = tr.renderer_input_style(text::TextStyle::sized(12.0f));
  const auto label = tr.renderer_input_style(text::TextStyle::sized(13.0f));
  const auto caption = tr.renderer_input_style(text::TextStyle::sized(12.0f));
  const auto big = tr.renderer_input_style(text::TextStyle::sized(24.0f));

  s.fill(Rect{0, 0, kWidth, kHeight}, th.background);
  // Sidebar: 22 rows in five groups, scrolled inside a clip.
  s.fill(Rect{0, 0, 272, kHeight}, th.sidebar);
  s.push_clip(Rect{0, 0, 272, kHeight});
  s.push_transform(Affine::translate({4, 4}));
  double y = 0;
  for (int i = 0; i < 22; ++i) {
    if (i == 0 || i == 2 || i == 8 || i == 17 || i == 20) {
      tr.draw_text(s, "GROUP", header.with_color(th.secondary), {20, y}, std::nullopt,
                   LayoutOption::SingleLine);
      y += 23;
    }
    const Rect row{0, y, 264, y + 32};
    const Rect tile{8, y + 2, 256, y + 30};
    const auto tier = chrome::shell::selection_tier(th, i == 3, i == 5, 0);
    if (tier.fill.a > 0) s.fill(RoundedRect{tile, th.control_radius}, tier.fill);
    if (tier.edge_on) {
      s.stroke(surface::edge_outline(tile, th.control_radius), tier.edge, StrokeStyle{1.0});
    }
    const double cy = row.center().y;
    Icon::draw(s, kIcons[i], {21, cy - 9, 39, cy + 9}, th.foreground);
    const auto m = tr.measure(kTitles[i], title, 192.0, LayoutOption::Wrap);
    tr.draw_text(s, kTitles[i], title.with_color(th.foreground), {52, cy - m.height / 2}, 192.0,
                 LayoutOption::Wrap);
    y += 34;
  }
  s.pop_transform();
  s.pop_clip();

  // Content: header, then cards of rows; 40 rows in all.
  const double x0 = 304, x1 = kWidth - 32;
  s.push_clip(Rect{272, 0, kWidth, kHeight});
  tr.draw_text(s, "SETTINGS", header.with_color(th.secondary), {x0, 24}, x1 - x0,
               LayoutOption::Wrap);
  tr.draw_text(s, "Sound", big.with_color(th.foreground), {x0, 42}, x1 - x0, LayoutOption::Wrap);
  tr.draw_text(s, "Output, input, volume, and system sounds", label.with_color(th.secondary),
               {x0, 74}, x1 - x0, LayoutOption::Wrap);
  y = 104;
  int row_no = 0;
  for (int card = 0; card < 4; ++card) {
    const double card_h = 10 * 17.0 + 40;
    surface::card(s, {x0, y, x1, y + card_h}, th);
    tr.draw_text(s, "Section title",
                 label.with_weight(text::kWeightSemibold).with_color(th.foreground),
                 {x0 + 16, y + 12}, std::nullopt, LayoutOption::SingleLine);
    double ry = y + 34;
    for (int r = 0; r < 10; ++r, ++row_no) {
      const std::string text = "Setting number " + std::to_string(row_no);
      tr.draw_text(s, text, label.with_color(th.foreground), {x0 + 16, ry}, 400.0,
                   LayoutOption::Wrap);
      const double cx = x1 - 16 - 220;
      switch (row_no % 4) {
        case 0: {  // toggle
          s.fill(RoundedRect{{x1 - 60, ry, x1 - 20, ry + 16}, 8}, th.accent);
          s.fill(Circle{{x1 - 28, ry + 8}, 6}, th.on_accent);
          break;
        }
        case 1: {  // button
          s.fill(RoundedRect{{cx, ry - 2, cx + 120, ry + 16}, th.control_radius}, th.control);
          tr.draw_text(s, "Test", caption.with_color(th.foreground), {cx + 10, ry}, std::nullopt,
                       LayoutOption::SingleLine);
          break;
        }
        case 2: {  // dropdown
          s.fill(RoundedRect{{cx, ry - 2, x1 - 16, ry + 16}, th.control_radius}, th.control);
          tr.draw_text(s, "Built-in Audio Analog Stereo", caption.with_color(th.foreground),
                       {cx + 10, ry}, 180.0, LayoutOption::Ellipsize);
          s.stroke(BezPath()
                       .move_to({x1 - 34, ry + 4})
                       .line_to({x1 - 30, ry + 8})
                       .line_to({x1 - 26, ry + 4}),
                   th.foreground, StrokeStyle{1.5});
          break;
        }
        default: {  // caption and slider
          tr.draw_text(s, "Applies to every output device", caption.with_color(th.secondary),
                       {x0 + 16, ry + 8}, 400.0, LayoutOption::Wrap);
          s.fill(RoundedRect{{cx, ry + 6, x1 - 16, ry + 10}, 2}, th.control);
          s.fill(Circle{{cx + 140, ry + 8}, 7}, th.accent);
          break;
        }
      }
      ry += 17;
    }
    y += card_h + 24;
  }
  s.pop_clip();
}

// One frame of an unchanged page: scene rebuilt, text from the cache, drawn.
void BM_Frame(benchmark::State& state) {
  const double scale = static_cast<double>(state.range(0)) / 100.0;
  text::TextRenderer tr;
  const Theme th = Theme::dark();
  const int w = static_cast<int>(kWidth * scale), h = static_cast<int>(kHeight * scale);
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4);
  Scene scene;
  for (auto _ : state) {
    scene.clear();
    build_page(scene, tr, th);
    auto st = cairo_backend::render_into(scene, pixels.data(), w, h, w * 4, scale, std::nullopt);
    if (!st) state.SkipWithError(st.error().c_str());
    benchmark::DoNotOptimize(pixels.data());
  }
  state.counters["commands"] = static_cast<double>(scene.size());
}
BENCHMARK(BM_Frame)->Arg(100)->Arg(200)->Unit(benchmark::kMillisecond);

// Only building the scene (what a widget tree's draw costs).
void BM_BuildScene(benchmark::State& state) {
  text::TextRenderer tr;
  const Theme th = Theme::dark();
  Scene scene;
  for (auto _ : state) {
    scene.clear();
    build_page(scene, tr, th);
    benchmark::DoNotOptimize(scene.commands().data());
  }
}
BENCHMARK(BM_BuildScene)->Unit(benchmark::kMillisecond);

// The first frame of a new page: every text shaped.
void BM_FirstFrame(benchmark::State& state) {
  const Theme th = Theme::dark();
  std::vector<std::uint8_t> pixels(static_cast<std::size_t>(kWidth) * kHeight * 4);
  text::TextRenderer tr;
  for (auto _ : state) {
    tr.clear_cache();
    Scene scene;
    build_page(scene, tr, th);
    auto st = cairo_backend::render_into(scene, pixels.data(), kWidth, kHeight, kWidth * 4, 1.0,
                                         std::nullopt);
    if (!st) state.SkipWithError(st.error().c_str());
  }
}
BENCHMARK(BM_FirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
