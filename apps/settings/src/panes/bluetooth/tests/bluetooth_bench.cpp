// What the Bluetooth pane costs: a sync with nothing changed (every frame
// pays it; no backend call may happen), and building the page with its
// first frame at 1280 by 800.

#include <benchmark/benchmark.h>

#include "fake_backend.h"
#include "kalu_ui/harness.h"
#include "panes/bluetooth/bluetooth_pane.h"

namespace settings::panes::bluetooth {
namespace {

using testing::FakeBackend;

kalu_ui::WidgetBox hosted_pane(const std::shared_ptr<FakeBackend>& fake, BluetoothPane** out) {
  auto pane = std::make_unique<BluetoothPane>(
      BluetoothPane(fake, fake->list(), true, false)
          .with_operation_requests(operations::DeviceLocalRequestCell::create({}))
          .with_operation_completion(operations::OperationCompletionCell::create({})));
  if (out) *out = pane.get();
  return pane;
}

// The seeded three devices, one with its details open, the page built.
void BM_QuietSync(benchmark::State& state) {
  auto fake = std::make_shared<FakeBackend>();
  BluetoothPane* pane = nullptr;
  kalu_ui::harness::Harness harness(hosted_pane(fake, &pane));
  harness.frame();
  harness.click_id("settings.bluetooth.details.dev_AA");
  harness.frames(2);
  const int reads = fake->reads();
  const auto changes = fake->calls().size();
  kalu_ui::doc::Document toolkit;
  for (auto _ : state) pane->sync(toolkit);
  if (fake->reads() != reads || fake->calls().size() != changes) {
    state.SkipWithError("a sync with nothing changed called the backend");
  }
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond);

// The pane made, its page built, laid out and drawn as a scene.
void BM_PageBuildAndFirstFrame(benchmark::State& state) {
  auto fake = std::make_shared<FakeBackend>();
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(hosted_pane(fake, nullptr));
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

// The same, rasterised to pixels as the window shows it.
void BM_PageBuildAndFirstFrameRasterised(benchmark::State& state) {
  auto fake = std::make_shared<FakeBackend>();
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(hosted_pane(fake, nullptr));
    harness.frame();
    auto image = harness.render();
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrameRasterised)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace settings::panes::bluetooth
