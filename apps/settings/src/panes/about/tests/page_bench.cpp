// The About page at 1280x800: reading the summary (six small files, uname and
// the active identity), building the page and its first frame. Nothing here
// starts a process.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "identity/testing.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/about/page.h"

namespace {

namespace fs = std::filesystem;
using namespace settings::panes::about;

struct World {
  World()
      : dir(fs::temp_directory_path() / "kalu-about-bench"),
        env("KALU_IDENTITY_DIR", (fs::remove_all(dir), dir.string())) {
    (void)identity_testing::TestIdentity::create(dir, "ada", "Ada Lovelace");
  }
  ~World() { fs::remove_all(dir); }
  fs::path dir;
  identity_testing::ScopedEnv env;
};

void BM_AboutSummary(benchmark::State& state) {
  World world;
  for (auto _ : state) benchmark::DoNotOptimize(summary());
}
BENCHMARK(BM_AboutSummary)->Unit(benchmark::kMillisecond);

void BM_AboutPageBuild(benchmark::State& state) {
  World world;
  for (auto _ : state) {
    auto page = build_page();
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_AboutPageBuild)->Unit(benchmark::kMillisecond);

// The page frame's road: a window that is already up (its text renderer and
// fonts loaded) is given the newly built page and draws its first frame.
void BM_AboutPageFirstFrame(benchmark::State& state) {
  World world;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(build_page());
    window.frame();
  }
}
BENCHMARK(BM_AboutPageFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
