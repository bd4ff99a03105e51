#include <benchmark/benchmark.h>

#include "operations/keys.h"
#include "operations/records.h"

namespace settings::operations {
namespace {

constexpr std::string_view kPayload =
    R"({"SetMode": {"connector": "eDP-1", "mode": {"width": 2560, "height": 1440, "refresh_mhz": 59951}}})";

void BM_ReadDisplayOperation(benchmark::State& state) {
  for (auto _ : state) {
    auto op = read_record<DisplayOperation>(kPayload);
    benchmark::DoNotOptimize(op);
  }
}
BENCHMARK(BM_ReadDisplayOperation);

void BM_WriteDisplayOperation(benchmark::State& state) {
  const DisplayOperation op = DisplayOperation::SetMode{"eDP-1", {2560, 1440, 59951}};
  for (auto _ : state) {
    auto text = write_record(op);
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_WriteDisplayOperation);

void BM_ReadBrightnessAndKey(benchmark::State& state) {
  constexpr std::string_view payload = R"({"SetBrightness": {"value": 0.50}})";
  for (auto _ : state) {
    auto key = device_local_operation_key("settings.display-operation", payload);
    benchmark::DoNotOptimize(key);
  }
}
BENCHMARK(BM_ReadBrightnessAndKey);

}  // namespace
}  // namespace settings::operations
