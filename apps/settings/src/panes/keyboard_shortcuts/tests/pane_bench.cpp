// What the Keyboard Shortcuts pane costs on the UI thread: the pane built
// (both files read), its page built and drawn for its first frame at
// 1280x800; and one sync when nothing changed (the seventeen shortcuts and
// the switch compared, nothing written or saved), which must leave the empty
// configuration folder empty. Run by hand:
// build/release/.../settings_panes_keyboard_shortcuts_bench.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"
#include "prefs_store/paths.h"

namespace {

namespace fs = std::filesystem;
using settings::panes::keyboard_shortcuts::ShortcutPane;

struct Folder {
  // Declared first: the folder is made from it.
  char pattern[40] = "/tmp/shortcuts_bench.XXXXXX";
  Folder() : dir(::mkdtemp(pattern)), config(dir) {}
  ~Folder() { fs::remove_all(dir); }
  fs::path dir;
  prefs_store::ScopedConfigDir config;
};

void BM_ShortcutsFirstFrame(benchmark::State& state) {
  Folder folder;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(ShortcutPane::boxed());
    window.frame();
  }
}
BENCHMARK(BM_ShortcutsFirstFrame)->Unit(benchmark::kMillisecond);

void BM_ShortcutsIdleSync(benchmark::State& state) {
  Folder folder;
  auto pane = ShortcutPane::boxed();
  kalu_ui::doc::Document document;
  pane->sync(document);  // the first sync seeds the keys
  for (auto _ : state) pane->sync(document);
  if (!fs::is_empty(folder.dir)) state.SkipWithError("an idle sync touched the files");
}
BENCHMARK(BM_ShortcutsIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
