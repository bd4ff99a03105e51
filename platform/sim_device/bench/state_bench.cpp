// The cost of reading the simulated device: the panes read it on the UI
// thread, so the unchanged read must stay cheap.
#include <benchmark/benchmark.h>

#include "safe_write/safe_write.h"
#include "sim_device/state.h"

namespace {

using sim_device::Json;

void BM_ReadUnchanged(benchmark::State& state) {
  sim_device::ScopedDeviceState scoped;
  (void)sim_device::read();
  for (auto _ : state) {
    auto device = sim_device::read();
    benchmark::DoNotOptimize(device);
  }
}
BENCHMARK(BM_ReadUnchanged);

// Another process changed the file since the last read: the read parses,
// checks and caches it again.
void BM_ReadAfterChange(benchmark::State& state) {
  sim_device::ScopedDeviceState scoped;
  Json device = sim_device::seeded_state();
  int n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    device["display"]["brightness"] = ++n % 100;
    (void)safe_write::write_with_mode(scoped.path(), device.dump(2), 0600);
    state.ResumeTiming();
    auto read = sim_device::read();
    benchmark::DoNotOptimize(read);
  }
}
BENCHMARK(BM_ReadAfterChange);

}  // namespace
