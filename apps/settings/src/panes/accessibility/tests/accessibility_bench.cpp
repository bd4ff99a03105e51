// What the Accessibility pane costs on the UI thread: one sync when nothing
// changed (nineteen controls read, nothing written, nothing saved: the temporary
// settings folder must still hold no file afterwards), and the pane made,
// its page built, laid out and drawn for its first frame at 1280x800. Run
// by hand: build/release/.../settings_panes_accessibility_bench.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "panes/accessibility/accessibility_pane.h"
#include "prefs_store/paths.h"

namespace {

using settings::panes::accessibility::AccessibilityPane;
// Every row shown: an engine and the keyboard.
const settings::panes::accessibility::Device kDevice{"Speech Dispatcher", true};

std::filesystem::path temp_dir() {
  char pattern[] = "/tmp/accessibility_bench.XXXXXX";
  return ::mkdtemp(pattern);
}

void BM_AccessibilityIdleSync(benchmark::State& state) {
  const std::filesystem::path dir = temp_dir();
  {
    prefs_store::ScopedConfigDir config(dir);
    AccessibilityPane pane({}, kDevice);
    kalu_ui::doc::Document document;
    pane.sync(document);  // the first sync seeds the controls
    const auto heads = document.get_heads();
    for (auto _ : state) pane.sync(document);
    if (!std::filesystem::is_empty(dir)) state.SkipWithError("an idle sync saved");
    if (document.get_heads() != heads) state.SkipWithError("an idle sync wrote the document");
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AccessibilityIdleSync)->Unit(benchmark::kMicrosecond);

void BM_AccessibilityPageAndFirstFrame(benchmark::State& state) {
  const std::filesystem::path dir = temp_dir();
  {
    prefs_store::ScopedConfigDir config(dir);
    for (auto _ : state) {
      kalu_ui::harness::Harness harness(
          std::make_unique<AccessibilityPane>(settings::panes::accessibility::Model{}, kDevice));
      benchmark::DoNotOptimize(harness.frame());
    }
  }
  std::filesystem::remove_all(dir);
}
BENCHMARK(BM_AccessibilityPageAndFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
