// What the Region & Formats pane costs on the UI thread each frame: one sync
// when nothing changed (twelve keys read, nothing written, nothing saved).
// The settings folder is a temporary one that must still hold no file
// afterwards. Run by hand: build/release/.../settings_panes_region_bench.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "kalu_ui/document.h"
#include "panes/region/region_pane.h"
#include "prefs_store/paths.h"

namespace {

using settings::panes::region::RegionPane;

void BM_RegionIdleSync(benchmark::State& state) {
  char pattern[] = "/tmp/region_bench.XXXXXX";
  const std::filesystem::path dir = ::mkdtemp(pattern);
  {
    prefs_store::ScopedConfigDir config(dir);
    RegionPane pane(settings::stored::Locale{}, 600.0f);
    kalu_ui::doc::Document document;
    pane.sync(document);  // the first sync publishes the labels
    for (auto _ : state) pane.sync(document);
    if (!std::filesystem::is_empty(dir)) state.SkipWithError("an idle sync touched the files");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RegionIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
