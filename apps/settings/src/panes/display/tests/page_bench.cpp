// The Displays pane on the simulated device at 1280x800: what the UI thread
// pays when the pane is selected (construction with its snapshot, layout and
// preference reads and its two workers' start, the page built and its first
// frame drawn), and what one frame's sync costs when nothing changed.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <thread>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/display/display_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace {

using settings::panes::display::DisplayPane;

struct World {
  World() : config(device.dir() / "config") {}
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
};

// A window that is already up is given a newly built pane and draws its
// first frame, as the page frame does when Displays is selected.
void BM_DisplayPaneFirstFrame(benchmark::State& state) {
  World world;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(kalu_ui::widget::boxed(DisplayPane()));
    const auto report = window.frame();
    if (!report.layout_built || !report.drawn) state.SkipWithError("the pane was not drawn");
  }
}
BENCHMARK(BM_DisplayPaneFirstFrame)->Unit(benchmark::kMillisecond);

// One sync of a hosted pane whose probe has answered, with no operation and
// nothing changed on the device.
void BM_DisplayPaneIdleSync(benchmark::State& state) {
  World world;
  auto requests = settings::operations::DeviceLocalRequestCell::create({});
  auto completion = settings::operations::OperationCompletionCell::create({});
  DisplayPane pane =
      DisplayPane().with_operation_requests(requests).with_operation_completion(completion);
  kalu_ui::doc::Document document;
  while (pane.probing()) {
    pane.sync(document);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  pane.sync(document);
  for (auto _ : state) pane.sync(document);
}
BENCHMARK(BM_DisplayPaneIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
