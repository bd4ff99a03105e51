// The keyboard layout catalogue on this machine's XKB rules: a read from the
// file (what the first caller pays) and a call answered from what was kept
// (what every later page build, surface build and operation pays).
#include <benchmark/benchmark.h>

#include "vocabulary/input_sources.h"

namespace {

using settings::panes::mouse_keyboard::available_input_sources;
using settings::panes::mouse_keyboard::read_input_sources;
using settings::panes::mouse_keyboard::rules_dir;

void BM_CatalogueReadFromRules(benchmark::State& state) {
  const auto dir = rules_dir();
  for (auto _ : state) {
    auto catalogue = read_input_sources(dir);
    benchmark::DoNotOptimize(catalogue);
  }
  state.counters["entries"] = static_cast<double>(read_input_sources(dir).size());
}
BENCHMARK(BM_CatalogueReadFromRules)->Unit(benchmark::kMicrosecond);

void BM_CatalogueKept(benchmark::State& state) {
  benchmark::DoNotOptimize(available_input_sources());
  for (auto _ : state) {
    auto catalogue = available_input_sources();
    benchmark::DoNotOptimize(catalogue);
  }
}
BENCHMARK(BM_CatalogueKept)->Unit(benchmark::kMicrosecond);

}  // namespace
