// What the Notifications pane costs: made over this machine's application
// folders (the settings document read, the applications listed); its page
// built, laid out and drawn for the first frame at 1280 by 800 with ten
// applications; a sync with nothing changed, which must write no file. The
// settings folder is a temporary one. Run by hand:
// build/release/.../settings_panes_notifications_bench.

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <filesystem>
#include <memory>

#include "kalu_ui/document.h"
#include "kalu_ui/harness.h"
#include "panes/notifications/notifications_pane.h"
#include "prefs_store/testing.h"
#include "stored/settings_prefs.h"

namespace settings::panes::notifications {
namespace {

// A configuration folder of the benchmark's own.
struct TempConfig : prefs_store::testing::TempConfigDir {
  TempConfig() : TempConfigDir("notifications_bench") {}
};

std::vector<NotificationApp> ten_apps() {
  std::vector<NotificationApp> apps;
  for (int i = 0; i < 10; ++i) {
    apps.push_back({fmt::format("org.example.App{}", i), fmt::format("Application {}", i)});
  }
  return apps;
}

void BM_ConstructionOverThisMachinesApplications(benchmark::State& state) {
  TempConfig config;
  std::size_t listed = 0;
  for (auto _ : state) {
    stored::NotificationPrefs prefs = stored::SettingsPrefs::load().notifications;
    std::vector<NotificationApp> apps = app_list(prefs);
    listed = apps.size();
    NotificationsPane pane(std::move(prefs), std::move(apps));
    benchmark::DoNotOptimize(pane);
  }
  state.counters["applications"] = static_cast<double>(listed);
}
BENCHMARK(BM_ConstructionOverThisMachinesApplications)->Unit(benchmark::kMicrosecond);

void BM_PageBuildAndFirstFrame(benchmark::State& state) {
  TempConfig config;
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(
        std::make_unique<NotificationsPane>(stored::NotificationPrefs{}, ten_apps()),
        kalu_ui::harness::Options::sized({1280.0, 800.0}));
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

void BM_QuietSync(benchmark::State& state) {
  TempConfig config;
  NotificationsPane pane(stored::NotificationPrefs{}, ten_apps());
  kalu_ui::doc::Document document;
  pane.sync(document);  // the first sync publishes every control
  for (auto _ : state) pane.sync(document);
  if (!config.untouched()) state.SkipWithError("a sync with nothing changed wrote a file");
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::panes::notifications
