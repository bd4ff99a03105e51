// The Network page as it opens on the seeded simulated device: the pane is
// constructed (reading the device), its page built, laid out and drawn at
// 1280 by 800, as the first frame after selecting it does.

#include <benchmark/benchmark.h>

#include <memory>

#include "fakes.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/support.h"
#include "panes/network/network_pane.h"
#include "sim_device/state.h"

namespace settings::panes::network {
namespace {

// A root whose one child is replaced by a freshly built pane on demand, so the
// harness (and its text renderer) outlives the panes as the window does.
class Host : public kalu_ui::Widget {
 public:
  void replace() {
    pane_ = std::make_unique<NetworkPane>(
        NetworkPane().with_operation_requests(requests_).with_operation_completion(completion_));
    dirty_ = true;
  }
  std::string_view type_name() const override { return "bench::Host"; }
  void sync(kalu_ui::doc::Document& document) override { pane_->sync(document); }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override {
    return pane_->build_layout(tree, context, registry);
  }
  void apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node, double x,
                    double y) override {
    pane_->apply_layout(tree, node, x, y);
  }
  void draw(kalu_ui::Scene& scene, const kalu_ui::Affine& transform,
            kalu_ui::text::TextRenderer& renderer, const kalu_ui::Theme& theme,
            kalu_ui::DrawContext& context) override {
    pane_->draw(scene, transform, renderer, theme, context);
  }
  std::vector<const kalu_ui::Widget*> children() const override { return {pane_.get()}; }
  std::vector<kalu_ui::Widget*> children_mut() override { return {pane_.get()}; }
  kalu_ui::Rect get_rect() const override { return pane_->get_rect(); }
  bool take_structure_dirty() override { return std::exchange(dirty_, false); }

 private:
  std::shared_ptr<operations::DeviceLocalRequestCell> requests_ =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion_ =
      operations::OperationCompletionCell::create({});
  std::unique_ptr<NetworkPane> pane_;
  bool dirty_ = true;
};

void BM_OpenNetworkPage(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  auto host = std::make_unique<Host>();
  Host* root = host.get();
  root->replace();
  kalu_ui::harness::Harness harness(std::move(host));
  harness.frame();  // the text renderer's caches warm up once, as in the window
  for (auto _ : state) {
    root->replace();
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_OpenNetworkPage)->Unit(benchmark::kMillisecond);

// The same frame rasterised to pixels, as the window shows it.
void BM_OpenNetworkPageRasterised(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  auto host = std::make_unique<Host>();
  Host* root = host.get();
  root->replace();
  kalu_ui::harness::Harness harness(std::move(host));
  harness.frame();
  for (auto _ : state) {
    root->replace();
    harness.frame();
    auto image = harness.render();
    benchmark::DoNotOptimize(image);
  }
}
BENCHMARK(BM_OpenNetworkPageRasterised)->Unit(benchmark::kMillisecond);

// One sync of a seeded pane in which nothing changed, as every frame without
// input runs it: the page built, the first frames run. It fails itself when
// such a frame asks anything of the platform.
void BM_QuietSync(benchmark::State& state) {
  testing::Fakes fakes;
  auto requests = operations::DeviceLocalRequestCell::create({});
  auto completion = operations::OperationCompletionCell::create({});
  auto box = kalu_ui::widget::boxed(
      fakes.pane().with_operation_requests(requests).with_operation_completion(completion));
  auto* pane = static_cast<NetworkPane*>(box.get());
  kalu_ui::harness::Harness harness(std::move(box));
  harness.frames(2);
  const int reads = fakes.backend->reads;
  kalu_ui::doc::Document& document = pane->link().own_document();
  for (auto _ : state) {
    pane->sync(document);
    benchmark::ClobberMemory();
  }
  if (fakes.backend->reads != reads || fakes.backend->changes != 0 ||
      fakes.dispatcher->call_count() != 0) {
    state.SkipWithError("a quiet sync called the platform");
  }
}
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::panes::network
