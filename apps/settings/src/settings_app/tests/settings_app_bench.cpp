// A pane switch as the person sees it: a selection, the sync that builds the
// new page, its layout and its drawing at 1280 by 800.

#include <benchmark/benchmark.h>

#include "app_fixture.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;

// Network and Sound in turn; each frame selects, builds, lays out and draws
// the scene.
void BM_PaneSwitch(benchmark::State& state) {
  AppFixture t;
  t.harness.frame();
  panes::Pane next = panes::Pane::kSound;
  for (auto _ : state) {
    t.app->requested_pane()->publish(testing::selection_value(next));
    auto report = t.harness.frame();
    benchmark::DoNotOptimize(report);
    next = next == panes::Pane::kSound ? panes::Pane::kNetwork : panes::Pane::kSound;
  }
  state.counters["panes_built"] =
      benchmark::Counter(testing::total(*t.counts) - 1, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_PaneSwitch)->Unit(benchmark::kMillisecond);

// The same, with the frame rasterised to pixels as the window shows it.
void BM_PaneSwitchRasterised(benchmark::State& state) {
  AppFixture t;
  t.harness.frame();
  panes::Pane next = panes::Pane::kSound;
  for (auto _ : state) {
    t.app->requested_pane()->publish(testing::selection_value(next));
    t.harness.frame();
    auto image = t.harness.render();
    benchmark::DoNotOptimize(image);
    next = next == panes::Pane::kSound ? panes::Pane::kNetwork : panes::Pane::kSound;
  }
}
BENCHMARK(BM_PaneSwitchRasterised)->Unit(benchmark::kMillisecond);

// A frame with nothing changed: what every idle wake-up costs.
void BM_IdleFrame(benchmark::State& state) {
  AppFixture t;
  t.harness.frame();
  for (auto _ : state) {
    auto report = t.harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_IdleFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::settings_app
