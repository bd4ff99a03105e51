// What one request for the application's resources costs on the UI thread:
// the whole tree built on the seeded simulated device (the settings document
// read, the battery's charge capability and the Bluetooth devices read from
// the device file, every section's specs made), and the lookup of one
// Bluetooth item, which builds only the Bluetooth section; the lookups of a
// display output and of the Sound section, which read the display snapshot
// and the audio graph of the device file.
// Run: <build>/apps/settings/src/actions/settings_actions_bench
#include <benchmark/benchmark.h>

#include "actions/resource_tree.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

void BM_RootResourceOnTheSeededDevice(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  const kalu_ui::doc::Document document;
  // The first read seeds the device file.
  benchmark::DoNotOptimize(root_resource(document, {}));
  for (auto _ : state) benchmark::DoNotOptimize(root_resource(document, {}));
}
BENCHMARK(BM_RootResourceOnTheSeededDevice)->Unit(benchmark::kMicrosecond);

void BM_LookupOfABluetoothDevice(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  const kalu_ui::doc::Document document;
  constexpr std::string_view kId =
      "settings.bluetooth-device:/org/bluez/hci0/dev_3C_A1_0B_55_21_7E";
  if (!resource_by_id(document, {}, kId)) state.SkipWithError("the seeded device is not listed");
  for (auto _ : state) benchmark::DoNotOptimize(resource_by_id(document, {}, kId));
}
BENCHMARK(BM_LookupOfABluetoothDevice)->Unit(benchmark::kMicrosecond);

// The Displays section: the hardware snapshot loaded, both outputs' items with
// their choice lists.
void BM_LookupOfADisplayOutput(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  const kalu_ui::doc::Document document;
  constexpr std::string_view kId = "settings.display-output:DP-2";
  if (!resource_by_id(document, {}, kId)) state.SkipWithError("the seeded output is not listed");
  for (auto _ : state) benchmark::DoNotOptimize(resource_by_id(document, {}, kId));
}
BENCHMARK(BM_LookupOfADisplayOutput)->Unit(benchmark::kMicrosecond);

// The Sound section: the audio graph read, one item per device and stream.
void BM_SoundSection(benchmark::State& state) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  const kalu_ui::doc::Document document;
  constexpr std::string_view kId = "settings.section:sound";
  auto first = resource_by_id(document, {}, kId);
  if (!first || first->children.empty()) state.SkipWithError("the seeded graph is not listed");
  for (auto _ : state) benchmark::DoNotOptimize(resource_by_id(document, {}, kId));
}
BENCHMARK(BM_SoundSection)->Unit(benchmark::kMicrosecond);

// The Mouse & Keyboard and Devices & Sync sections: the settings document, the
// layout catalogue, the desktop's state file.
void BM_Section(benchmark::State& state, std::string_view id) {
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config(device.dir() / "config");
  const kalu_ui::doc::Document document;
  if (!resource_by_id(document, {}, id)) state.SkipWithError("the section is not listed");
  for (auto _ : state) benchmark::DoNotOptimize(resource_by_id(document, {}, id));
}
BENCHMARK_CAPTURE(BM_Section, mouse_keyboard, "settings.section:mouse_keyboard")
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Section, devices_sync, "settings.section:devices_sync")
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace settings::actions
