// What the Apps & Files pane costs: made over this machine's application
// folders and mimeapps.list files (the applications and their entries read,
// the system defaults read); its page built, laid out and drawn for the
// first frame at 1280 by 800 with twelve applications over eight kinds; a
// sync with nothing changed, which must write no file. The configuration
// folder is a temporary one. Run by hand:
// build/release/.../settings_panes_personal_apps_bench.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <memory>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "panes/personal_apps/personal_apps_pane.h"
#include "prefs_store/testing.h"
#include "vocabulary/app_candidates.h"

namespace settings::panes::personal_apps {
namespace {

using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;

// A configuration folder of the benchmark's own.
struct TempConfig : prefs_store::testing::TempConfigDir {
  TempConfig() : TempConfigDir("personal_apps_bench") {}
  std::filesystem::path list() const { return path() / "mimeapps.list"; }
};

std::vector<AppCandidate> twelve_apps() {
  static constexpr std::string_view kTypes[] = {"text/plain",      "text/html",    "image/png",
                                                "image/jpeg",      "audio/ogg",    "video/mp4",
                                                "application/pdf", "text/markdown"};
  std::vector<AppCandidate> apps;
  for (int i = 0; i < 12; ++i) {
    AppCandidate app{fmt::format("org.example.App{}", i), fmt::format("Application {}", i), {}};
    for (int k = 0; k < 3; ++k) app.kinds.push_back(*ResourceKind::from_mime(kTypes[(i + k) % 8]));
    apps.push_back(std::move(app));
  }
  return apps;
}

// Every kind with a personal default, so each has a choice published.
std::unique_ptr<PersonalAppsPane> fixture_pane(const TempConfig& config) {
  auto apps = twelve_apps();
  desktop_rules::PersonalDefaults defaults;
  for (const ResourceKind& kind : resource_kinds(apps)) {
    for (const AppCandidate& app : apps) {
      if (app.handles(kind) && defaults.set(kind, app.id, apps)) break;
    }
  }
  // Stored too: the first sync reads the defaults as stored.
  (void)defaults.save_at(config.list());
  return std::make_unique<PersonalAppsPane>(std::move(apps), std::move(defaults),
                                            desktop_rules::DefaultAppResolver({}));
}

void BM_ConstructionOverThisMachinesApplications(benchmark::State& state) {
  TempConfig config;
  std::size_t listed = 0;
  for (auto _ : state) {
    auto defaults = desktop_rules::PersonalDefaults::load();
    PersonalAppsPane pane(installed_gui_apps(),
                          defaults ? std::move(*defaults) : desktop_rules::PersonalDefaults{},
                          desktop_rules::DefaultAppResolver::from_environment());
    listed = pane.candidates().size();
    benchmark::DoNotOptimize(pane);
  }
  state.counters["applications"] = static_cast<double>(listed);
}
BENCHMARK(BM_ConstructionOverThisMachinesApplications)->Unit(benchmark::kMicrosecond);

void BM_PageBuildAndFirstFrame(benchmark::State& state) {
  TempConfig config;
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(fixture_pane(config),
                                      kalu_ui::harness::Options::sized({1280.0, 800.0}));
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

void BM_QuietSync(benchmark::State& state) {
  TempConfig config;
  auto pane = fixture_pane(config);
  kalu_ui::doc::Document document;
  pane->sync(document);  // the first sync publishes the resolved choices
  for (auto _ : state) pane->sync(document);
  if (!config.untouched()) state.SkipWithError("a sync with nothing changed wrote a file");
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::panes::personal_apps
