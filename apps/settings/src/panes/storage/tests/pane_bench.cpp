// The Storage pane at 1280x800: what the UI thread pays for a sync when
// nothing is pending (the scan and the snapshot have answered; no socket is
// opened and no worker started, so no file is touched), and for the page
// frame's road when the pane is selected: the pane made (its scan and
// snapshot start on workers), placed in a window that is already up, laid
// out and drawn with what it has. The home holds a few applications, the
// storage service is the tests' scripted one.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/storage/storage_pane.h"
#include "panes/storage/tests/fixture.h"

namespace {

using settings::panes::storage::StoragePane;
namespace testing = settings::panes::storage::testing;

// The page frame's place for a pane: the new one replaces the old.
struct Holder : kalu_ui::widget::Container {
  void set(kalu_ui::WidgetBox pane) {
    clear_children();
    push_child(std::move(pane));
  }
};

struct Setup {
  Setup() {
    for (int i = 0; i < 6; ++i) {
      testing::StorageHome::write(home.installed_root() / ("app" + std::to_string(i)) / "bin",
                                  100000 * (i + 1));
      testing::StorageHome::write(home.cache_root() / ("app" + std::to_string(i)) / "c", 5000);
    }
  }
  testing::StorageHome home;
  testing::ScriptedService service{home.socket()};
  testing::Spawner spawner;
  std::shared_ptr<testing::Calls> calls = std::make_shared<testing::Calls>();
};

void BM_StorageSyncNothingPending(benchmark::State& state) {
  Setup setup;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(StoragePane(testing::services_for(
                                       setup.home, setup.spawner, setup.calls))),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  auto& pane = dynamic_cast<StoragePane&>(window.root());
  window.frame();
  if (!testing::settle(pane, window.document())) state.SkipWithError("the workers did not answer");
  window.frame();
  const int connects = setup.calls->connects;
  const int scans = setup.spawner.started("kalu-storage-scan");
  const int syncs = setup.spawner.started("kalu-storage-sync");
  for (auto _ : state) pane.sync(window.document());
  if (setup.calls->connects != connects || setup.spawner.started("kalu-storage-scan") != scans ||
      setup.spawner.started("kalu-storage-sync") != syncs) {
    state.SkipWithError("a quiet sync reached the storage service or walked the disk");
  }
}
BENCHMARK(BM_StorageSyncNothingPending)->Unit(benchmark::kMicrosecond);

void BM_StoragePageFirstFrame(benchmark::State& state) {
  Setup setup;
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    frame.set(kalu_ui::widget::boxed(
        StoragePane(testing::services_for(setup.home, setup.spawner, setup.calls))));
    window.frame();
  }
}
BENCHMARK(BM_StoragePageFirstFrame)->Unit(benchmark::kMillisecond);

// The frame in which the scan and the snapshot have answered: the page built
// again with everything, laid out and drawn.
void BM_StoragePageAnsweredFrame(benchmark::State& state) {
  Setup setup;
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    state.PauseTiming();
    auto boxed = kalu_ui::widget::boxed(
        StoragePane(testing::services_for(setup.home, setup.spawner, setup.calls)));
    auto& pane = dynamic_cast<StoragePane&>(*boxed);
    frame.set(std::move(boxed));
    window.frame();
    // Both answers wait in their channels before the measured frame.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    state.ResumeTiming();
    window.frame();
    if (pane.busy()) {
      state.SkipWithError("the workers did not answer in 30 ms");
      break;
    }
  }
}
BENCHMARK(BM_StoragePageAnsweredFrame)->Unit(benchmark::kMillisecond);

}  // namespace
