#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "kalu_ui/document.h"
#include "kalu_ui/wake_slot.h"

namespace {

using kalu_ui::doc::Document;
using kalu_ui::doc::kRoot;

// A page's worth of control values, as a pane pushes them on every frame.
Document page_document(int keys) {
  Document doc;
  for (int i = 0; i < keys; ++i) {
    (void)doc.put(kRoot, fmt::format("pane.control_{}", i), static_cast<double>(i));
  }
  doc.commit();
  return doc;
}

// Pushing unchanged values and reading them back: the common frame.
void BM_SyncUnchangedValues(benchmark::State& state) {
  const int keys = static_cast<int>(state.range(0));
  Document doc = page_document(keys);
  std::vector<std::string> names;
  for (int i = 0; i < keys; ++i) names.push_back(fmt::format("pane.control_{}", i));
  for (auto _ : state) {
    for (int i = 0; i < keys; ++i) {
      (void)doc.put(kRoot, names[i], static_cast<double>(i));
      benchmark::DoNotOptimize(doc.read_f64(kRoot, names[i]));
    }
  }
  state.SetItemsProcessed(state.iterations() * keys);
}
BENCHMARK(BM_SyncUnchangedValues)->Arg(64)->Arg(512);

void BM_EditAndCommit(benchmark::State& state) {
  Document doc = page_document(64);
  double value = 0;
  for (auto _ : state) {
    (void)doc.put(kRoot, "pane.control_1", value += 1);
    benchmark::DoNotOptimize(doc.get_heads());
  }
}
BENCHMARK(BM_EditAndCommit);

// The diagnostic snapshot's disposable clone.
void BM_CloneAndHeads(benchmark::State& state) {
  Document doc = page_document(static_cast<int>(state.range(0)));
  (void)doc.put(kRoot, "pane.control_0", -1.0);
  for (auto _ : state) {
    Document copy = doc.clone();
    benchmark::DoNotOptimize(copy.get_heads());
  }
}
BENCHMARK(BM_CloneAndHeads)->Arg(64)->Arg(512);

void BM_PublishAndGet(benchmark::State& state) {
  auto cell = kalu_ui::WakeSlot<std::string>::create("");
  for (auto _ : state) {
    cell->publish("settings.display-operation:{}");
    benchmark::DoNotOptimize(cell->get());
  }
}
BENCHMARK(BM_PublishAndGet);

}  // namespace
