// The Printers pane at 1280x800: what the UI thread pays for a sync when
// nothing changed (the status shown is fresh, no worker answered), and for
// the page frame's road when the pane is selected: the pane built (its
// first status read starts on its worker), placed in a window that is
// already up, laid out and drawn with what it has (nothing yet); then the
// frame in which that read's answer arrives and the page is built again
// with two queues, two jobs and a scanner. The printing service is the test
// fake, which records the thread of every read: none runs on the UI thread.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/printers/printers_pane.h"
#include "panes/printers/tests/fake_backend.h"

namespace {

using settings::panes::printers::PrintersPane;
using settings::panes::printers::testing::FakeBackend;
namespace printing = system_ops::printing;

// The page frame's place for a pane: the new one replaces the old.
struct Holder : kalu_ui::widget::Container {
  void set(kalu_ui::WidgetBox pane) {
    clear_children();
    push_child(std::move(pane));
  }
};

std::shared_ptr<FakeBackend> busy_office() {
  auto backend = std::make_shared<FakeBackend>();
  backend->edit([](FakeBackend& b) {
    printing::PrintQueue laser;
    laser.name = "Office Laser";
    laser.is_default = true;
    laser.state = printing::QueueState::Printing;
    laser.detail = "Monochrome laser · Second floor";
    laser.live = printing::LiveDetails{{{"Black toner", 64}}};
    printing::PrintQueue inkjet;
    inkjet.name = "Studio Inkjet";
    inkjet.state = printing::QueueState::Paused;
    b.queues_ = std::vector<printing::PrintQueue>{laser, inkjet};
    printing::PrintJob job;
    job.id = 17;
    job.destination = "Office Laser";
    job.title = "Quarterly report.pdf";
    job.owner = "Submitted by you";
    job.size_bytes = 245760;
    job.state = printing::JobState::Processing;
    job.pages_completed = 3;
    job.pages_expected = 12;
    printing::PrintJob stopped = job;
    stopped.id = 18;
    stopped.state = printing::JobState::Stopped;
    b.jobs_ = std::vector<printing::PrintJob>{job, stopped};
    b.scanners_ = std::vector<printing::Scanner>{{"Office Laser Scanner", "eSCL"}};
    b.nearby_ = std::vector<printing::DriverlessPrinter>{{"Hall Printer", "ipp://hall.local"}};
  });
  return backend;
}

// Frames until the pane's workers answered.
void settle(kalu_ui::harness::Harness& window, const PrintersPane& pane) {
  for (int i = 0; i < 2000 && (pane.refreshing() || pane.discovering()); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    window.frame();
  }
  window.frame();
}

void BM_PrintersSyncUnchanged(benchmark::State& state) {
  auto backend = busy_office();
  const kalu_ui::Instant still = kalu_ui::Instant::now();
  kalu_ui::harness::Harness window(
      kalu_ui::widget::boxed(PrintersPane(backend, [still] { return still; })),
      kalu_ui::harness::Options::sized({1280.0, 800.0}));
  auto& pane = dynamic_cast<PrintersPane&>(window.root());
  window.frame();
  settle(window, pane);
  const int reads = backend->status_reads();
  for (auto _ : state) pane.sync(window.document());
  if (backend->status_reads() != reads || backend->read_on(std::this_thread::get_id())) {
    state.SkipWithError("the printing service was read while syncing, or on the UI thread");
  }
}
BENCHMARK(BM_PrintersSyncUnchanged)->Unit(benchmark::kMicrosecond);

void BM_PrintersPageFirstFrame(benchmark::State& state) {
  auto backend = busy_office();
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    frame.set(kalu_ui::widget::boxed(PrintersPane(backend)));
    window.frame();
  }
}
BENCHMARK(BM_PrintersPageFirstFrame)->Unit(benchmark::kMillisecond);

void BM_PrintersStatusAnswerFrame(benchmark::State& state) {
  auto backend = busy_office();
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    state.PauseTiming();
    const int finished = backend->finished_status_reads();
    auto pane = kalu_ui::widget::boxed(PrintersPane(backend));
    const auto& printers = dynamic_cast<const PrintersPane&>(*pane);
    frame.set(std::move(pane));
    window.frame();
    // The worker's answer is on its way before the measured frame takes it.
    for (int i = 0; i < 5000 && backend->finished_status_reads() == finished; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    state.ResumeTiming();
    for (int i = 0; i < 5000 && printers.refreshing(); ++i) window.frame();
    if (printers.refreshing()) {
      state.SkipWithError("the status read did not answer");
      break;
    }
  }
}
BENCHMARK(BM_PrintersStatusAnswerFrame)->Unit(benchmark::kMillisecond);

}  // namespace
