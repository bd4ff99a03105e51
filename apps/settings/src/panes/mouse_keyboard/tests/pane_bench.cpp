// What the Mouse & Keyboard pane costs on the UI thread: the pane built (the
// settings file read twice, the catalogue of the machine's rules, kept after
// the first read), its page bound to one section and drawn for its first
// frame at 1280x800, as the page frame does on every selection and after
// every input operation; and one sync when nothing changed, which must leave
// the settings folder as it was. Run by hand:
// build/release/.../settings_panes_mouse_keyboard_bench.

#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/mouse_keyboard/mouse_keyboard_pane.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace {

namespace fs = std::filesystem;
using settings::panes::mouse_keyboard::MouseKeyboardPane;

struct Folder {
  // Declared first: the folder is made from it.
  char pattern[40] = "/tmp/mouse_keyboard_bench.XXXXXX";
  Folder() : dir(::mkdtemp(pattern)), config(dir) {
    (void)prefs_store::update_section(
        "input", {{"keyboard_layouts", {"us", "de"}}, {"keyboard_layout", "us"}});
    (void)prefs_store::update_section("text_assistance", {{"check_spelling", false}});
  }
  ~Folder() { fs::remove_all(dir); }
  fs::path dir;
  prefs_store::ScopedConfigDir config;
};

void BM_MouseKeyboardFirstFrame(benchmark::State& state) {
  Folder folder;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(kalu_ui::widget::boxed(MouseKeyboardPane()));
    window.frame();
  }
}
BENCHMARK(BM_MouseKeyboardFirstFrame)->Unit(benchmark::kMillisecond);

void BM_MouseKeyboardIdleSync(benchmark::State& state) {
  Folder folder;
  const auto before = fs::last_write_time(*prefs_store::settings_path());
  MouseKeyboardPane pane;
  kalu_ui::doc::Document document;
  pane.sync(document);  // the first sync writes the two switches
  for (auto _ : state) pane.sync(document);
  if (fs::last_write_time(*prefs_store::settings_path()) != before) {
    state.SkipWithError("an idle sync wrote the settings file");
  }
}
BENCHMARK(BM_MouseKeyboardIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
