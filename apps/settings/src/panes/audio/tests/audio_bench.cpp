// What the Sound pane costs: a sync with nothing changed (every frame pays
// it; between two reads of the graph no platform call may happen), and the
// pane made with its page built and its first frame at 1280 by 800.

#include <benchmark/benchmark.h>

#include "fakes.h"
#include "kalu_ui/harness.h"

namespace settings::panes::audio {
namespace {

using testing::Fakes;

kalu_ui::WidgetBox hosted_pane(const Fakes& fakes, AudioPane** out) {
  auto pane = std::make_unique<AudioPane>(
      AudioPane(fakes.dependencies())
          .with_operation_requests(operations::DeviceLocalRequestCell::create({}))
          .with_operation_completion(operations::OperationCompletionCell::create({})));
  if (out) *out = pane.get();
  return pane;
}

// Every call the fakes have seen, summed.
std::size_t platform_calls(const Fakes& f) {
  return static_cast<std::size_t>(f.enumerator->reads) + f.graph_control->calls.size() +
         f.runtime->calls.size() + f.dispatcher->calls.size() + f.tool->taken_calls().size() +
         static_cast<std::size_t>(f.services->saves);
}

// Two sinks, a source, two streams and a card, the page built and shown.
void BM_QuietSync(benchmark::State& state) {
  Fakes fakes;
  AudioPane* pane = nullptr;
  kalu_ui::harness::Harness harness(hosted_pane(fakes, &pane));
  // Until the worker has answered the constructor's readings.
  while (pane->input_level() != fakes.tool->level) harness.frame();
  harness.frames(2);
  const std::size_t calls = platform_calls(fakes);
  kalu_ui::doc::Document toolkit;
  for (auto _ : state) pane->sync(toolkit);
  if (platform_calls(fakes) != calls) {
    state.SkipWithError("a sync with nothing changed called the platform");
  }
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond);

// The pane made, its page built, laid out and drawn as a scene.
void BM_PageBuildAndFirstFrame(benchmark::State& state) {
  Fakes fakes;
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(hosted_pane(fakes, nullptr));
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

// The same, rasterised to pixels as the window shows it.
void BM_PageBuildAndFirstFrameRasterised(benchmark::State& state) {
  Fakes fakes;
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(hosted_pane(fakes, nullptr));
    harness.frame();
    auto image = harness.render();
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrameRasterised)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace settings::panes::audio
