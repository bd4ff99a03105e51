// What the Devices & Sync pane costs: building the page with its first
// frame at 1280 by 800 (a serving device with workspaces, a paired home
// server and the Continuity cards), the pane's construction alone, and a
// sync with no command running, no request and no refresh due, which every
// frame pays and which must read no file.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "kalu_ui/harness.h"
#include "panes/device_mesh/tests/mesh_fixture.h"

namespace settings::panes::device_mesh {
namespace {

using namespace testing;

// An always-on device with two workspaces and a paired home server.
void serving_world(MeshWorld& world) {
  world.workspaces({{"Studio", 11}, {"Family photos", 7}});
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  kalu_relay::RelayConfig config = kalu_relay::RelayConfig::defaults();
  config.role = kalu_relay::kRoleAlwaysOn;
  config.relay_enabled = true;
  config.full_replication = true;
  config.inbound_relay = true;
  for (std::uint64_t id : {7u, 11u}) {
    kalu_relay::WorkspaceBinding binding;
    binding.workspace_id = id;
    binding.replication = kalu_relay::kReplicationFull;
    binding.active = true;
    config.workspaces.push_back(binding);
  }
  if (!world.relay(config)) std::abort();
}

kalu_ui::WidgetBox hosted_pane(DeviceMeshPane** out) {
  auto pane = std::make_unique<DeviceMeshPane>(
      DeviceMeshPane()
          .with_operation_requests(operations::DeviceLocalRequestCell::create({}))
          .with_operation_completion(operations::OperationCompletionCell::create({})));
  if (out) *out = pane.get();
  return pane;
}

// The read() calls this process made so far (/proc/self/io's "syscr").
long read_calls() {
  std::ifstream io("/proc/self/io");
  for (std::string key; io >> key;) {
    long value = 0;
    io >> value;
    if (key == "syscr:") return value;
  }
  return -1;
}

void BM_QuietSync(benchmark::State& state) {
  MeshWorld world;
  serving_world(world);
  DeviceMeshPane* pane = nullptr;
  kalu_ui::harness::Harness harness(hosted_pane(&pane),
                                    kalu_ui::harness::Options::sized({1280.0, 800.0}));
  harness.frames(2);
  kalu_ui::doc::Document toolkit;
  // Reading the counter costs reads of its own; measured twice to know how
  // many.
  const long calibrate = read_calls();
  const long before = read_calls();
  for (auto _ : state) pane->sync(toolkit);
  const long after = read_calls();
  if (after - before > before - calibrate) state.SkipWithError("a quiet sync read a file");
}
// Well inside the 2 s refresh period, which would read files.
BENCHMARK(BM_QuietSync)->Unit(benchmark::kMicrosecond)->MinTime(0.3);

void BM_PageBuildAndFirstFrame(benchmark::State& state) {
  MeshWorld world;
  serving_world(world);
  for (auto _ : state) {
    kalu_ui::harness::Harness harness(hosted_pane(nullptr),
                                      kalu_ui::harness::Options::sized({1280.0, 800.0}));
    auto report = harness.frame();
    benchmark::DoNotOptimize(report);
  }
}
BENCHMARK(BM_PageBuildAndFirstFrame)->Unit(benchmark::kMillisecond);

// Of which the pane's construction: the files it reads.
void BM_PaneConstruction(benchmark::State& state) {
  MeshWorld world;
  serving_world(world);
  for (auto _ : state) {
    auto pane = hosted_pane(nullptr);
    benchmark::DoNotOptimize(pane);
  }
}
BENCHMARK(BM_PaneConstruction)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::panes::device_mesh
