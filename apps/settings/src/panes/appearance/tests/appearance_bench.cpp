// What the Appearance pane costs on the UI thread: one sync when nothing
// changed (ten keys read, nothing written, nothing saved: the temporary
// settings folder must still hold no file afterwards), and the pane made,
// its page built, laid out and drawn for its first frame at 1280x800. Run
// by hand: build/release/.../settings_panes_appearance_bench.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "panes/appearance/appearance_pane.h"
#include "prefs_store/paths.h"

namespace {

using settings::panes::appearance::AppearancePane;

std::filesystem::path temp_dir() {
  char pattern[] = "/tmp/appearance_bench.XXXXXX";
  return ::mkdtemp(pattern);
}

void BM_AppearanceIdleSync(benchmark::State& state) {
  const std::filesystem::path dir = temp_dir();
  {
    prefs_store::ScopedConfigDir config(dir);
    AppearancePane pane(settings::stored::AppearancePrefs{});
    kalu_ui::doc::Document document;
    pane.sync(document);  // the first sync seeds the controls
    const auto heads = document.get_heads();
    for (auto _ : state) pane.sync(document);
    if (!std::filesystem::is_empty(dir)) state.SkipWithError("an idle sync saved");
    if (document.get_heads() != heads) state.SkipWithError("an idle sync wrote the document");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AppearanceIdleSync)->Unit(benchmark::kMicrosecond);

void BM_AppearancePageAndFirstFrame(benchmark::State& state) {
  const std::filesystem::path dir = temp_dir();
  {
    prefs_store::ScopedConfigDir config(dir);
    for (auto _ : state) {
      kalu_ui::harness::Harness harness(
          std::make_unique<AppearancePane>(settings::stored::AppearancePrefs{}));
      benchmark::DoNotOptimize(harness.frame());
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AppearancePageAndFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
