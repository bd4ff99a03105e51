// What the Time & Date page costs: reading the installed catalogue and
// tracing its land (once per pane), one draw of the map (every frame it is
// shown), and the page built and drawn for its first frame at 1280x800 (each
// time the page is selected). Run by hand:
// build/release/.../settings_panes_time_date_bench.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/container.h"
#include "panes/time_date/land.h"
#include "panes/time_date/model.h"
#include "panes/time_date/time_date_pane.h"
#include "panes/time_date/timezone_map.h"
#include "zone_fixture.h"

namespace settings::panes::time_date {
namespace {

std::vector<std::string> installed_zones() {
  std::ifstream in(std::filesystem::path(kZoneInfoDir) / "zone1970.tab");
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return testing::listed_zones(table);
}

void BM_CatalogueAndOutline(benchmark::State& state) {
  const std::vector<std::string> zones = installed_zones();
  std::size_t points = 0;
  for (auto _ : state) {
    auto catalogue = ZoneCatalogue::make(load_zone_catalogue(zones));
    points = catalogue->land.point_count();
    benchmark::DoNotOptimize(catalogue);
  }
  state.counters["zones"] = static_cast<double>(zones.size());
  state.counters["outline_points"] = static_cast<double>(points);
}
BENCHMARK(BM_CatalogueAndOutline)->Unit(benchmark::kMillisecond);

// A map of the installed catalogue laid out at 600 x 176, focused, with a
// hovered zone, so that every ring and the label are drawn.
class LaidOutMap {
 public:
  LaidOutMap()
      : map_(ZoneCatalogue::make(load_zone_catalogue(installed_zones())), "Europe/Berlin",
             testing::timezone_binding()) {
    kalu_ui::layout::LayoutTree tree;
    kalu_ui::layout::NodeRegistry registry;
    const auto node = map_.build_layout(tree, kalu_ui::RenderContext{}, registry);
    const kalu_ui::layout::AvailableSize available{
        kalu_ui::layout::AvailableSpace::definite(600.0f),
        kalu_ui::layout::AvailableSpace::definite(176.0f)};
    laid_out_ = tree.compute_layout(node, available).has_value();
    map_.apply_layout(tree, node, 0.0, 0.0);
    map_.set_focus(true);
    kalu_ui::EventContext context;
    map_.handle_event(kalu_ui::PointerMove{map_.zone_point(0), {}}, context);
  }
  bool laid_out() const { return laid_out_; }
  const kalu_ui::Scene& draw() {
    scene_.clear();
    kalu_ui::DrawContext context{std::nullopt, 1.0};
    map_.draw(scene_, kalu_ui::Affine::identity(), renderer_, theme_, context);
    return scene_;
  }

 private:
  TimeZoneMap map_;
  bool laid_out_ = false;
  kalu_ui::text::TextRenderer renderer_;
  kalu_ui::Theme theme_ = kalu_ui::Theme::light();
  kalu_ui::Scene scene_;
};

// Recording the map into the frame's scene.
void BM_MapDraw(benchmark::State& state) {
  LaidOutMap map;
  if (!map.laid_out()) return state.SkipWithError("layout refused");
  std::size_t commands = 0;
  for (auto _ : state) {
    commands = map.draw().size();
    benchmark::DoNotOptimize(commands);
  }
  state.counters["commands"] = static_cast<double>(commands);
}
BENCHMARK(BM_MapDraw)->Unit(benchmark::kMicrosecond);

// The same scene played into pixels by the Cairo backend at scale 1, for
// comparison: the window's share of showing the map.
void BM_MapRender(benchmark::State& state) {
  LaidOutMap map;
  if (!map.laid_out()) return state.SkipWithError("layout refused");
  const kalu_ui::Scene& scene = map.draw();
  for (auto _ : state) {
    auto image = kalu_ui::cairo_backend::render(scene, 600, 176, 1.0, kalu_ui::Color::white());
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_MapRender)->Unit(benchmark::kMicrosecond);

// A window that is already up is given a pane over the installed catalogue
// and draws its first frame, as the page frame does when Time & Date is
// selected. The device read is left out (it is the simulated device's); the
// catalogue is shared, as every map of one pane shares it.
void BM_PaneFirstFrame(benchmark::State& state) {
  TimeDateModel model;
  model.current_zone = "Europe/Berlin";
  model.zones = installed_zones();
  model.catalogue = ZoneCatalogue::make(load_zone_catalogue(model.zones));
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(kalu_ui::widget::boxed(TimeDatePane(model)));
    const auto report = window.frame();
    if (!report.layout_built || !report.drawn) state.SkipWithError("the pane was not drawn");
  }
}
BENCHMARK(BM_PaneFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace settings::panes::time_date
