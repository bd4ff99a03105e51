// The cost of listing the machine's installed applications and reading
// their manifests, as a pane does when it is built: the first listing scans
// the folders, later ones are answered by the desktop-entry cache.
#include <benchmark/benchmark.h>

#include "app_launcher/manifest.h"
#include "app_launcher/registry.h"
#include "desktop_file/applications.h"

namespace {

void read_every_manifest(benchmark::State& state, bool cached) {
  const auto roots = desktop_file::ApplicationRoots::from_environment();
  std::size_t count = 0;
  for (auto _ : state) {
    if (!cached) {
      state.PauseTiming();
      // A scan of other folders replaces the cached one.
      benchmark::DoNotOptimize(app_launcher::registry::list_installed(
          desktop_file::ApplicationRoots::under({"/nonexistent"})));
      state.ResumeTiming();
    }
    auto packages = app_launcher::registry::list_installed(roots);
    count = 0;
    for (const auto& package :
         packages.value_or(std::vector<app_launcher::registry::InstalledPackage>{})) {
      auto manifest = app_launcher::manifest::read_manifest(package);
      if (manifest && manifest->entrypoint.gui_bin) ++count;
    }
    benchmark::DoNotOptimize(count);
  }
  state.counters["gui_apps"] = static_cast<double>(count);
}

void BM_ScanAndReadManifests(benchmark::State& state) { read_every_manifest(state, false); }
void BM_CachedListAndReadManifests(benchmark::State& state) { read_every_manifest(state, true); }

BENCHMARK(BM_ScanAndReadManifests)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CachedListAndReadManifests)->Unit(benchmark::kMicrosecond);

}  // namespace
