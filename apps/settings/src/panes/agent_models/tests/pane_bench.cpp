// The Agent Models pane when nothing is in progress: what the UI thread pays
// for a sync (no request, no trigger, no answer) followed by the polling
// update, on a settled pane over the test fake with two installed models.
// Neither may start a call of the service: the fake counts them, and the
// benchmark fails if any was made.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "panes/agent_models/agent_models_pane.h"
#include "panes/agent_models/tests/fake_backend.h"

namespace {

using settings::panes::agent_models::AgentModelsPane;
using settings::panes::agent_models::LocalModelSnapshot;
using settings::panes::agent_models::testing::FakeBackend;
namespace stored = settings::stored;

LocalModelSnapshot quiet_device() {
  LocalModelSnapshot s;
  s.hardware.fit = stored::HardwareFit::Good;
  s.hardware.memory_gib = 16;
  stored::LocalModelPackage p;
  p.id = "lumen-8b-instruct";
  p.name = "Lumen 8B Instruct";
  p.revision = "2025.03.2";
  s.recommendation = p;
  p.id = "lumen-3b-instruct";
  s.models.push_back({p, stored::phase::Ready{true, std::nullopt}});
  p.id = "vista-2b";
  s.models.push_back({p, stored::phase::Ready{false, std::nullopt}});
  s.accelerator_setup = stored::AcceleratorSetup{"pack", stored::accelerator::Active{}};
  return s;
}

void BM_AgentModelsSyncAndUpdateIdle(benchmark::State& state) {
  auto backend = std::make_shared<FakeBackend>();
  backend->edit([](FakeBackend& b) { b.snapshot_ = quiet_device(); });
  const kalu_ui::Instant still = kalu_ui::Instant::now();
  AgentModelsPane::Dependencies deps;
  deps.backend = backend;
  deps.clock = [still] { return still; };
  AgentModelsPane pane(std::move(deps));
  kalu_ui::doc::Document document;
  for (int i = 0; i < 5000 && pane.busy(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    pane.sync(document);
  }
  pane.sync(document);
  const auto calls = backend->calls().size();
  for (auto _ : state) {
    pane.sync(document);
    benchmark::DoNotOptimize(pane.update());
  }
  if (backend->calls().size() != calls || pane.busy()) {
    state.SkipWithError("an idle sync or update called the model service");
  }
}
BENCHMARK(BM_AgentModelsSyncAndUpdateIdle);

}  // namespace
