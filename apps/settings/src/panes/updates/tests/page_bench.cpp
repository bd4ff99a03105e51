// The Updates pane at 1280x800: what the UI thread pays when the pane is
// selected (construction with its settings and policy reads and the status
// worker's start, the page built and its first frame drawn), on fake
// services and on the device's own with fake programs, where opening fails
// itself when a program ran on the calling thread; building the page alone
// (with firmware offers installing and a full history), and one frame's sync
// when nothing is pending, which must start no program.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "fakes.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "limited_exec/fake_programs.h"
#include "limited_exec/limited_exec.h"
#include "panes/updates/page.h"
#include "panes/updates/updates_pane.h"

namespace {

using settings::panes::updates::UpdatesPane;
namespace updates = settings::panes::updates;

updates::PageModel full_model() {
  updates::PageModel m;
  m.status_known = true;
  m.os = {"Kalu 42", "quay.io/kalu/os:43"};
  m.last_checked = "Tuesday, 3 March 2026 14:05";
  m.automatic = updates::AutomaticUpdates::Enabled;
  m.schedule = "Weekly";
  m.metered = updates::MeteredDownloads::NotAllowed;
  m.rollback_image = "quay.io/kalu/os:41";
  m.deployment.rollback_protection = "Protected · fallback available: quay.io/kalu/os:41";
  m.deployment.release_notes_url = "https://kalu.example/notes";
  for (int i = 0; i < 6; ++i) {
    m.deployment.journal_lines.push_back("2026-03-03T04:00:00+0000 kalu bootc[1]: journal line");
  }
  // Two firmware offers, one of them installing, and a full history card.
  std::vector<updates::FirmwareUpdate> offers{
      updates::testing::firmware_offer("System Firmware", "1.14.0", "1.15.2"),
      updates::testing::firmware_offer("USB-C Dock", std::nullopt, "3.1")};
  offers[0].note = "Improves battery charging reliability.";
  offers[0].requirements = {"Connect the power adapter"};
  m.firmware_updates = offers;
  m.install = updates::install::Installing{"Writing System Firmware…", 40};
  std::vector<updates::FirmwareHistoryEntry> history;
  for (int i = 0; i < 10; ++i) history.push_back({"Touchpad", "success", "2.3", "2.4", {}});
  m.firmware_history = history;
  m.notice = updates::Notice{"Updates could not be checked: registry unreachable", true};
  return m;
}

// The page with its controls bound to the Updates section, as the pane
// builds it.
void BM_UpdatesPageBuild(benchmark::State& state) {
  const updates::PageModel model = full_model();
  const updates::UpdatesBindings bindings = updates::section_bindings();
  for (auto _ : state) benchmark::DoNotOptimize(updates::build_page(model, bindings, {}));
}
BENCHMARK(BM_UpdatesPageBuild)->Unit(benchmark::kMillisecond);

// A window that is already up is given a newly built pane and draws its
// first frame, as the page frame does when Updates is selected.
void BM_UpdatesPaneFirstFrame(benchmark::State& state) {
  updates::testing::PaneFixture world;
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    UpdatesPane::Dependencies deps;
    deps.services = world.system->services(world.system);
    frame.with_child(kalu_ui::widget::boxed(UpdatesPane(std::move(deps))));
    const auto report = window.frame();
    if (!report.layout_built || !report.drawn) state.SkipWithError("the pane was not drawn");
  }
}
BENCHMARK(BM_UpdatesPaneFirstFrame)->Unit(benchmark::kMillisecond);

// Opening the pane on the device's own services: construction, the page and
// its first frame, with every program the pane runs a fake that answers at
// once. The programs belong on the status worker; one run on this thread
// fails the benchmark. Between openings (untimed) the worker's reading is
// waited for, so readings never pile up.
void BM_UpdatesPaneOpening(benchmark::State& state) {
  updates::testing::PaneFixture world;
  limited_exec::FakePrograms fakes;
  fakes.add("systemctl", "echo enabled");
  fakes.add("bootc", "echo '{}'");
  fakes.add("journalctl", "echo '-- No entries --'");
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  const std::uint64_t programs = limited_exec::programs_run_on_this_thread();
  for (auto _ : state) {
    auto pane = std::make_unique<UpdatesPane>();
    UpdatesPane* opened = pane.get();
    frame.with_child(std::move(pane));
    const auto report = window.frame();
    if (!report.layout_built || !report.drawn) state.SkipWithError("the pane was not drawn");
    state.PauseTiming();
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!opened->status_known() && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      window.frame();
    }
    if (!opened->status_known()) state.SkipWithError("the status worker never answered");
    state.ResumeTiming();
  }
  if (limited_exec::programs_run_on_this_thread() != programs) {
    state.SkipWithError("a program ran on the calling thread");
  }
}
BENCHMARK(BM_UpdatesPaneOpening)->Unit(benchmark::kMillisecond);

// One sync of a hosted, reporting pane that has read the image, with no
// operation pending.
void BM_UpdatesPaneIdleSync(benchmark::State& state) {
  updates::testing::PaneFixture world;
  limited_exec::FakePrograms fakes;
  const std::filesystem::path log = fakes.dir() / "started.log";
  for (const char* program : {"systemctl", "bootc", "journalctl"}) {
    fakes.add(program, std::string("echo x >> '") + log.string() + "'\necho '{}'");
  }
  auto requests = settings::operations::DeviceLocalRequestCell::create({});
  auto completion = settings::operations::OperationCompletionCell::create({});
  UpdatesPane pane =
      UpdatesPane().with_operation_requests(requests).with_operation_completion(completion);
  kalu_ui::doc::Document document;
  while (!pane.status_known()) {
    pane.sync(document);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  pane.sync(document);
  const auto started = std::filesystem::file_size(log);
  for (auto _ : state) pane.sync(document);
  if (std::filesystem::file_size(log) != started) state.SkipWithError("a sync started a process");
}
BENCHMARK(BM_UpdatesPaneIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
