// A bounded randomized pass over every reader: arbitrary bytes and mutated
// valid payloads must give a record or a non-empty refusal, never a crash or
// a sanitizer report. Seeded, so a failure reproduces; the seed can be moved
// with KALU_FUZZ_SEED and the run lengthened with KALU_FUZZ_ITERATIONS.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "operations/keys.h"
#include "operations/records.h"

namespace settings::operations {
namespace {

const std::vector<std::string>& seeds() {
  static const std::vector<std::string> corpus = {
      R"({"SetBrightness":{"value":0.5}})",
      R"({"SetMode":{"connector":"eDP-1","mode":[2560,1440,59951]}})",
      R"({"SetTransform":{"connector":"e","transform":{"rotate90":null}}})",
      R"({"SetColorProfile":{"connector":"eDP-1","profile":"s\u00e9\ud83d\ude00"}})",
      R"("Apply")",
      R"({"RouteStream":[42,true,null]})",
      R"({"SetSetting":{"key":"k","value":{"Int":-9223372036854775808}}})",
      R"({"SetDetails":{"id":"a","label":"b","endpoint":"c","zz":[1e999,{"a":[[]]}]}})",
      R"({"SetWorkspace":{"id":18446744073709551615,"enabled":false}})",
      R"({"Install":{"id":"m","revision":"r"}})",
      "[{\"a\":[1,-0.0e+5,\"\\\\\"]},null,true,false]",
  };
  return corpus;
}

template <typename R>
void check(std::string_view input) {
  auto r = read_record<R>(input);
  if (!r) {
    ASSERT_FALSE(r.error().empty()) << input;
    return;
  }
  // What reads is written canonically and reads back the same.
  const std::string text = write_record(*r);
  auto back = read_record<R>(text);
  ASSERT_TRUE(back) << text;
  ASSERT_EQ(write_record(*back), text);
}

void check_all(std::string_view input) {
  check<DisplayOperation>(input);
  check<UpdateOperation>(input);
  check<StorageOperation>(input);
  check<InputOperation>(input);
  check<KeyboardSourceOperation>(input);
  check<TimeDateOperation>(input);
  check<AudioOperation>(input);
  check<PowerOperation>(input);
  check<NetworkOperation>(input);
  check<BluetoothOperation>(input);
  check<AccountOperation>(input);
  check<PrinterOperation>(input);
  check<UserOperation>(input);
  check<DeviceMeshOperation>(input);
  check<AgentModelOperation>(input);
  check<AgentProviderOperation>(input);
  check<SettingsAction>(input);
  check<SettingValue>(input);
  for (auto id : kDeviceLocalActionIds) {
    auto key = device_local_operation_key(id, input);
    ASSERT_TRUE(key || !key.error().empty());
  }
}

std::string mutate(std::mt19937_64& rng, std::string s) {
  static constexpr char kTokens[] = "{}[]\":,\\nutrfalse0123456789-+.eE \t\n\x00\x7f\xc3\xff";
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int k = 0; k < edits; ++k) {
    const std::size_t at = s.empty() ? 0 : rng() % (s.size() + 1);
    switch (rng() % 4) {
      case 0:
        s.insert(s.begin() + static_cast<std::ptrdiff_t>(at),
                 kTokens[rng() % (sizeof kTokens - 1)]);
        break;
      case 1:
        if (at < s.size()) s.erase(at, 1 + rng() % 3);
        break;
      case 2:
        if (at < s.size()) s[at] = static_cast<char>(rng());
        break;
      default:
        s = s.substr(0, at);  // truncated payload
    }
  }
  return s;
}

TEST(ReaderFuzz, ArbitraryBytesNeverCrashAndAlwaysExplain) {
  const char* seed_env = std::getenv("KALU_FUZZ_SEED");
  const char* n_env = std::getenv("KALU_FUZZ_ITERATIONS");
  const std::uint64_t seed = seed_env ? std::strtoull(seed_env, nullptr, 10) : 20240611;
  const long iterations = n_env ? std::strtol(n_env, nullptr, 10) : 30000;
  const auto budget = std::chrono::seconds(n_env ? 3600 : 4);
  const auto start = std::chrono::steady_clock::now();
  std::mt19937_64 rng(seed);
  for (const auto& s : seeds()) check_all(s);
  for (long i = 0; i < iterations; ++i) {
    std::string input;
    if (i % 3 == 0) {
      input.resize(rng() % 64);
      for (auto& c : input) c = static_cast<char>(rng());
    } else {
      input = mutate(rng, seeds()[rng() % seeds().size()]);
    }
    SCOPED_TRACE(testing::Message() << "seed " << seed << " iteration " << i);
    check_all(input);
    if (HasFatalFailure() || std::chrono::steady_clock::now() - start > budget) break;
  }
}

}  // namespace
}  // namespace settings::operations
