// The Agent Models page at 1280x800 with four installed models and three
// hosted providers: the page built from the pane's state (configuration read,
// Agent Models section built from the snapshot it already holds, every card)
// and its first frame laid out and drawn. The program table is the tests'
// fake one, whose only program leaves a mark when run: the benchmark fails
// itself if building the page started any process.
#include <benchmark/benchmark.h>

#include <filesystem>

#include "kalu_ui/widget/container.h"
#include "limited_exec/fake_programs.h"
#include "panes/agent_models/tests/page_fixture.h"

namespace {

namespace am = settings::panes::agent_models;
namespace testing = settings::panes::agent_models::testing;

// The page frame's place for a page: the new one replaces the old.
struct Holder : kalu_ui::widget::Container {
  void set(kalu_ui::WidgetBox page) {
    clear_children();
    push_child(std::move(page));
  }
};

void BM_AgentModelsPageFirstFrame(benchmark::State& state) {
  testing::ConfigHome home;
  home.save({testing::hosted("team", "Team", "claude-x"),
             testing::hosted("lab", "Lab", std::nullopt,
                             model_provider::ProviderProtocol::kOpenAiCompatible),
             testing::hosted("spare", "Spare", "gpt-y")},
            "team");
  limited_exec::FakePrograms programs;
  const std::filesystem::path mark = home.device.dir() / "ran";
  programs.add("kalu-model-manager", "touch '" + mark.string() + "'\nexit 1\n");
  testing::PaneState pane;
  am::AgentModelsPage page;
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    frame.set(page.build(pane.view()));
    window.frame();
  }
  if (std::filesystem::exists(mark)) state.SkipWithError("building the page ran a program");
}
BENCHMARK(BM_AgentModelsPageFirstFrame)->Unit(benchmark::kMillisecond);

}  // namespace
