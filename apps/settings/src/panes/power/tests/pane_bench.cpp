// The Power pane at 1280x800 on the seeded simulated device: what the UI
// thread pays for a sync when nothing changed (the pane hosted and
// reporting, as the application builds it), and for the page frame's road
// when the pane is selected: the pane built (it reads the device and the
// settings document), placed in a window that is already up, laid out and
// drawn.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/power/power_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace {

using settings::panes::power::PowerPane;

// The page frame's place for a pane: the new one replaces the old.
struct Holder : kalu_ui::widget::Container {
  void set(kalu_ui::WidgetBox pane) {
    clear_children();
    push_child(std::move(pane));
  }
};

struct World {
  World() : config(device.dir() / "config") {}
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  std::shared_ptr<settings::operations::DeviceLocalRequestCell> requests =
      settings::operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<settings::operations::OperationCompletionCell> completion =
      settings::operations::OperationCompletionCell::create({});

  kalu_ui::WidgetBox pane() {
    return kalu_ui::widget::boxed(
        PowerPane().with_operation_requests(requests).with_operation_completion(completion));
  }
};

void BM_PowerSyncUnchanged(benchmark::State& state) {
  World world;
  kalu_ui::harness::Harness window(world.pane(), kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frames(3);
  auto& pane = window.root();
  // Any read or change of the device would seed its state file afresh.
  std::filesystem::remove(world.device.path());
  for (auto _ : state) pane.sync(window.document());
  if (std::filesystem::exists(world.device.path())) {
    state.SkipWithError("the device was read or changed while syncing");
  }
}
BENCHMARK(BM_PowerSyncUnchanged)->Unit(benchmark::kMicrosecond);

void BM_PowerPageFirstFrame(benchmark::State& state) {
  World world;
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    frame.set(world.pane());
    window.frame();
  }
}
BENCHMARK(BM_PowerPageFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
