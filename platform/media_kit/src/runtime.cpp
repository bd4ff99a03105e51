#include "media_kit/runtime.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "sim_device/clock.h"
#include "sim_device/state.h"

namespace media_kit {

namespace {

namespace device = ::sim_device;
using device::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

// Tells this handle's test from any other, in this process or another.
std::string new_token() {
  static std::atomic<std::uint64_t> next{0};
  return fmt::format("{}-{}", ::getpid(), ++next);
}

const Json* node_named(const Json& nodes, std::string_view node_name) {
  for (const auto& n : nodes) {
    if (n["node_name"].get_ref<const std::string&>() == node_name) return &n;
  }
  return nullptr;
}

// A test kept under `slot` of the runtime ("channel_test" or
// "microphone_meter"), known by its token.
class DeviceTest {
 public:
  DeviceTest(const char* slot, std::string token) : slot_(slot), token_(std::move(token)) {}

  ~DeviceTest() {
    // Stopping is never faulted (the empty operation name) and its failure has
    // nowhere to go: a test whose entry stays behind still ends at its time.
    (void)device::update("", [&](Json& state) -> Status {
      Json& entry = state["audio_runtime"][slot_];
      if (is_mine(entry)) entry = nullptr;
      return {};
    });
  }
  DeviceTest(const DeviceTest&) = delete;
  DeviceTest& operator=(const DeviceTest&) = delete;

  bool running() const {
    auto state = device::read();
    return state && running_entry(*state) != nullptr;
  }

  // The device's entry while this test runs; null when it has ended or another
  // test took its place.
  const Json* running_entry(const device::State& state) const {
    const Json& entry = (*state)["audio_runtime"][slot_];
    return is_mine(entry) &&
                   entry["ends_at_ms"].get<std::int64_t>() > device::device_clock_unix_ms(*state)
               ? &entry
               : nullptr;
  }

 private:
  bool is_mine(const Json& entry) const { return entry.is_object() && entry["token"] == token_; }

  const char* slot_;
  std::string token_;
};

class DeviceChannelTest final : public ChannelTest {
 public:
  explicit DeviceChannelTest(std::string token) : test_("channel_test", std::move(token)) {}
  bool running() const override { return test_.running(); }

 private:
  DeviceTest test_;
};

class DeviceMicrophoneMeter final : public MicrophoneMeter {
 public:
  explicit DeviceMicrophoneMeter(std::string token) : test_("microphone_meter", std::move(token)) {}
  bool running() const override { return test_.running(); }
  float level() const override {
    auto state = device::read();
    if (!state) return 0.0f;
    const Json* entry = test_.running_entry(*state);
    if (entry == nullptr) return 0.0f;
    const Json* source =
        node_named((**state)["audio"]["sources"], (*entry)["source"].get<std::string>());
    if (source == nullptr || (*source)["muted"] == true) return 0.0f;
    return (**state)["audio_runtime"]["input_activity"].get<float>();
  }

 private:
  DeviceTest test_;
};

// What tells the two kinds of test apart on the device.
struct TestKind {
  std::string_view op;      // the fault name of starting one
  const char* slot;         // its entry in "audio_runtime", also its capability
  const char* nodes;        // the list of "audio" its node is found in
  const char* node_member;  // the entry's member naming the node
  std::string_view unable;  // the refusal without the capability
  std::string_view kind;    // "output" or "input"
};

constexpr TestKind kChannelTestKind{
    .op = "audio_runtime.start_channel_test",
    .slot = "channel_test",
    .nodes = "sinks",
    .node_member = "sink",
    .unable = "this device has no speaker test",
    .kind = "output",
};
constexpr TestKind kMeterKind{
    .op = "audio_runtime.start_microphone_meter",
    .slot = "microphone_meter",
    .nodes = "sources",
    .node_member = "source",
    .unable = "this device has no microphone meter",
    .kind = "input",
};

// Starts a test of `kind` on the node with this name, replacing any test of
// that kind; answers the new test's token.
Result<std::string> start_test(const TestKind& kind, std::string_view node_name,
                               std::chrono::milliseconds length,
                               std::optional<std::string_view> channel = std::nullopt) {
  std::string token = new_token();
  auto status = device::update(kind.op, [&](Json& state) -> Status {
    if (state["audio_runtime"]["capabilities"][kind.slot] != true) {
      return fail(std::string(kind.unable));
    }
    if (node_named(state["audio"][kind.nodes], node_name) == nullptr) {
      return fail("no audio {} is named {}", kind.kind, node_name);
    }
    Json entry = Json::object();
    entry["token"] = token;
    entry[kind.node_member] = std::string(node_name);
    if (channel) entry["channel"] = std::string(*channel);
    entry["ends_at_ms"] =
        device::device_clock_unix_ms(state) + std::max<std::int64_t>(length.count(), 0);
    state["audio_runtime"][kind.slot] = std::move(entry);
    return {};
  });
  if (!status) return fail(status.error());
  return token;
}

}  // namespace

RuntimeCapabilities AudioRuntimeControl::capabilities() const {
  auto state = device::read_for("audio_runtime.capabilities");
  if (!state) return {};
  const Json& c = (**state)["audio_runtime"]["capabilities"];
  return {c["balance"] == true, c["mono_output"] == true, c["channel_test"] == true,
          c["microphone_meter"] == true};
}

Result<std::unique_ptr<ChannelTest>> AudioRuntimeControl::start_channel_test(
    std::string_view sink_node_name, bool left) const {
  auto token =
      start_test(kChannelTestKind, sink_node_name, kChannelTestLength, left ? "left" : "right");
  if (!token) return fail(token.error());
  return std::make_unique<DeviceChannelTest>(std::move(*token));
}

Result<std::unique_ptr<MicrophoneMeter>> AudioRuntimeControl::start_microphone_meter(
    std::string_view source_node_name, std::chrono::milliseconds duration) const {
  auto token = start_test(kMeterKind, source_node_name, duration);
  if (!token) return fail(token.error());
  return std::make_unique<DeviceMicrophoneMeter>(std::move(*token));
}

}  // namespace media_kit
