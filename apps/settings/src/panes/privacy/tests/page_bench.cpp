// The Device Privacy & Security page at 1280x800: what the UI thread pays to
// build it (the workspace record with grants, the privacy status of the
// simulated device, the worker's start) and to build and draw its first
// frame. The probes' programs are all refused before any process starts, so
// the workers end at once and no process runs anywhere while measuring.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "limited_exec/fake_programs.h"
#include "panes/privacy/page.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace {

namespace fs = std::filesystem;
using settings::panes::privacy::build_page;

std::string grant(const std::string& app, const std::string& scope) {
  return R"({"subject": {"Principal": {"App": ")" + app + R"("}}, "scope": )" + scope +
         R"(, "effect": "Grant", "verb": "Write", "expiry": "EndOfSession"})";
}

struct World {
  World() : config(device.dir() / "config") {
    fs::create_directories(device.dir() / "config" / "kalu");
    std::string grants;
    for (int i = 0; i < 12; ++i) {
      if (i) grants += ",";
      grants += grant("org.example.App" + std::to_string(i % 4),
                      i % 3 ? R"({"Device": "camera"})"
                            : R"({"FsPath": "/home/ada/Projects/)" + std::to_string(i) + "\"}");
    }
    std::ofstream(device.dir() / "config" / "kalu" / "state.json")
        << R"({"workspaces": [{"name": "Studio", "capabilities": [)" << grants
        << R"(]}, {"name": "Home", "capabilities": [)" << grants << "]}]}";
  }
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  limited_exec::FakePrograms no_programs;
};

settings::panes::privacy::EfivarsSource no_efivars() {
  return [] { return kalu_ui::Result<fs::path>(kalu_ui::fail("none")); };
}

void BM_PrivacyPageBuild(benchmark::State& state) {
  World world;
  for (auto _ : state) {
    auto page = build_page(no_efivars());
    benchmark::DoNotOptimize(page);
  }
}
BENCHMARK(BM_PrivacyPageBuild)->Unit(benchmark::kMillisecond);

// The page frame's road: a window that is already up (its text renderer and
// fonts loaded) is given the newly built page and draws its first frame.
void BM_PrivacyPageFirstFrame(benchmark::State& state) {
  World world;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(build_page(no_efivars()));
    window.frame();
  }
}
BENCHMARK(BM_PrivacyPageFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
