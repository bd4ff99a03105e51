#pragma once

// Fakes for the Sound pane's tests: a graph the test edits, a graph control
// and a runtime that record their calls and fail on request, test handles the
// test stops by hand, a wpctl tool whose answers are scripted (and may be
// held back), a dispatcher for the output volume and mute, and the settings'
// audio section in memory with a clock set by hand.

#include <fmt/format.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kalu_ui/result.h"
#include "operations/keys.h"
#include "operations/mailbox_cells.h"
#include "panes/audio/audio_pane.h"
#include "panes/audio/services.h"

namespace settings::panes::audio::testing {

using media_kit::AudioDevice;
using media_kit::AudioGraph;
using media_kit::AudioHardware;
using media_kit::AudioStream;

inline AudioDevice device(std::uint32_t id, std::string name, std::uint32_t channels = 2,
                          bool is_default = false) {
  AudioDevice d;
  d.id = id;
  d.node_name = "node." + std::to_string(id);
  d.display_name = std::move(name);
  d.channels = channels;
  d.is_default = is_default;
  return d;
}

inline AudioStream stream(std::uint32_t id, bool playback, std::string app,
                          std::optional<std::uint32_t> target = std::nullopt) {
  AudioStream s;
  s.id = id;
  s.playback = playback;
  s.app_name = std::move(app);
  s.target = target;
  s.volume = 0.8f;
  return s;
}

// Two stereo sinks (51 default, 58), one source (52), a playback stream (70)
// and a recording stream (74), a card (42) with three available profiles.
inline AudioGraph two_sinks() {
  AudioGraph g;
  g.sinks = {device(51, "Speakers", 2, true), device(58, "Headphones", 2)};
  g.sinks[1].codec = "AAC";
  g.sources = {device(52, "Microphone", 2, true)};
  g.playback_streams = {stream(70, true, "Web Browser")};
  g.playback_streams[0].media_name = "Evening news";
  g.recording_streams = {stream(74, false, "Voice Recorder", 52)};
  AudioHardware card;
  card.id = 42;
  card.name = "Built-in Audio";
  card.profiles = {{"Off", 0, true}, {"Duplex", 1, true}, {"Output", 2, true}, {"HDMI", 3, false}};
  card.active_profile = 1;
  g.devices = {card};
  return g;
}

// One mono sink, one source, no streams, no card.
inline AudioGraph one_mono_sink() {
  AudioGraph g;
  g.sinks = {device(51, "Speaker", 1, true)};
  g.sources = {device(52, "Microphone", 1, true)};
  return g;
}

class FakeEnumerator : public media_kit::AudioEnumerator {
 public:
  kalu_ui::Result<AudioGraph> enumerate() const override {
    ++reads;
    if (error) return kalu_ui::fail(*error);
    return graph;
  }
  AudioGraph graph = two_sinks();
  std::optional<std::string> error;
  // Read on the graph watcher's thread too.
  mutable std::atomic<int> reads = 0;
};

// Notice of graph changes that the test gives by hand.
class FakeGraphChanges : public GraphChanges {
 public:
  FakeGraphChanges() : fd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~FakeGraphChanges() override { ::close(fd_); }
  int fd() const override { return fd_; }
  bool take() override {
    std::uint64_t count = 0;
    return ::read(fd_, &count, sizeof count) == sizeof count;
  }
  void changed() {
    const std::uint64_t one = 1;
    (void)!::write(fd_, &one, sizeof one);
  }

 private:
  int fd_;
};

class FakeGraphControl : public media_kit::GraphControl {
 public:
  kalu_ui::Status set_default_sink(std::uint32_t id) override { return record("default_sink", id); }
  kalu_ui::Status set_default_source(std::uint32_t id) override {
    return record("default_source", id);
  }
  kalu_ui::Status route_stream(std::uint32_t stream, std::uint32_t device) override {
    return record("route", stream, device);
  }
  kalu_ui::Status unroute_stream(std::uint32_t stream) override {
    return record("unroute", stream);
  }
  kalu_ui::Status set_node_volume(std::uint32_t node, float volume) override {
    volumes.push_back(volume);
    return record("volume", node);
  }
  kalu_ui::Status set_node_mute(std::uint32_t node, bool muted) override {
    return record("mute", node, muted ? 1 : 0);
  }
  kalu_ui::Status set_device_profile(std::uint32_t device, std::uint32_t index) override {
    return record("profile", device, index);
  }

  std::vector<std::string> calls;
  std::vector<float> volumes;
  std::optional<std::string> fail_with;

 private:
  kalu_ui::Status record(std::string what, std::uint32_t a, std::optional<std::uint32_t> b = {}) {
    calls.push_back(b ? fmt::format("{} {} {}", what, a, *b) : fmt::format("{} {}", what, a));
    if (fail_with) return kalu_ui::fail(*fail_with);
    return {};
  }
};

// A test handle whose running flag and level the test sets.
struct HandleState {
  bool running = true;
  float level = 0.0f;
  bool dropped = false;
};

class FakeChannelTest : public media_kit::ChannelTest {
 public:
  explicit FakeChannelTest(std::shared_ptr<HandleState> s) : state(std::move(s)) {}
  ~FakeChannelTest() override { state->dropped = true; }
  bool running() const override { return state->running; }
  std::shared_ptr<HandleState> state;
};

class FakeMeter : public media_kit::MicrophoneMeter {
 public:
  explicit FakeMeter(std::shared_ptr<HandleState> s) : state(std::move(s)) {}
  ~FakeMeter() override { state->dropped = true; }
  bool running() const override { return state->running; }
  float level() const override { return state->level; }
  std::shared_ptr<HandleState> state;
};

class FakeRuntime : public media_kit::AudioRuntimeControl {
 public:
  media_kit::RuntimeCapabilities capabilities() const override { return offered; }
  kalu_ui::Result<std::unique_ptr<media_kit::ChannelTest>> start_channel_test(
      std::string_view sink, bool left) const override {
    calls.push_back(fmt::format("tone {} {}", sink, left ? "left" : "right"));
    if (fail_with) return kalu_ui::fail(*fail_with);
    tone = std::make_shared<HandleState>();
    return std::make_unique<FakeChannelTest>(tone);
  }
  kalu_ui::Result<std::unique_ptr<media_kit::MicrophoneMeter>> start_microphone_meter(
      std::string_view source, std::chrono::milliseconds duration) const override {
    calls.push_back(fmt::format("meter {} {}", source, duration.count()));
    if (fail_with) return kalu_ui::fail(*fail_with);
    meter = std::make_shared<HandleState>();
    return std::make_unique<FakeMeter>(meter);
  }

  media_kit::RuntimeCapabilities offered{true, true, true, true};
  std::optional<std::string> fail_with;
  mutable std::vector<std::string> calls;
  // The handles last started.
  mutable std::shared_ptr<HandleState> tone;
  mutable std::shared_ptr<HandleState> meter;
};

// wpctl, scripted. Runs on the worker thread: everything under the mutex.
class FakeTool : public AudioTool {
 public:
  float read_input_level() override {
    wait_while_held();
    std::lock_guard lock(mutex);
    return level;
  }
  WpctlStatus load_status() override {
    wait_while_held();
    std::lock_guard lock(mutex);
    return listing;
  }
  kalu_ui::Status set_default(std::uint32_t id) override {
    wait_while_held();
    std::lock_guard lock(mutex);
    calls.push_back(fmt::format("set-default {}", id));
    if (fail_with) return kalu_ui::fail(*fail_with);
    return {};
  }
  kalu_ui::Status set_source_volume(float percent) override {
    wait_while_held();
    std::lock_guard lock(mutex);
    calls.push_back(fmt::format("set-volume {}", percent));
    if (fail_with) return kalu_ui::fail(*fail_with);
    return {};
  }

  void hold() {
    std::lock_guard lock(mutex);
    held = true;
  }
  void release() {
    std::lock_guard lock(mutex);
    held = false;
    changed.notify_all();
  }
  std::vector<std::string> taken_calls() {
    std::lock_guard lock(mutex);
    return calls;
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool held = false;
  float level = 0.4f;
  WpctlStatus listing;
  std::vector<std::string> calls;
  std::optional<std::string> fail_with;

 private:
  void wait_while_held() {
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return !held; });
  }
};

class FakeDispatcher : public system_ops::Dispatcher {
 public:
  kalu_ui::Status set_brightness(float) override { return {}; }
  kalu_ui::Status set_volume(float percent) override {
    calls.push_back(fmt::format("volume {}", percent));
    if (fail_with) return kalu_ui::fail(*fail_with);
    return {};
  }
  kalu_ui::Status set_wifi(bool) override { return {}; }
  kalu_ui::Status set_bluetooth(bool) override { return {}; }
  kalu_ui::Status connect_bluetooth(const std::string&) override { return {}; }
  kalu_ui::Status disconnect_bluetooth(const std::string&) override { return {}; }
  kalu_ui::Status set_wired(bool) override { return {}; }
  kalu_ui::Status connect_wifi(const std::string&, const std::optional<std::string>&) override {
    return {};
  }
  kalu_ui::Status set_power_profile(system_ops::PowerProfile) override { return {}; }
  kalu_ui::Status toggle_mute() override { return {}; }
  kalu_ui::Status set_mute(bool muted) override {
    calls.push_back(fmt::format("mute {}", muted));
    if (fail_with) return kalu_ui::fail(*fail_with);
    return {};
  }

  std::vector<std::string> calls;
  std::optional<std::string> fail_with;
};

class FakeServices : public AudioServices {
 public:
  kalu_ui::Result<system_ops::audio::VolumeState> volume_state() override {
    if (volume_error) return kalu_ui::fail(*volume_error);
    return volume;
  }
  stored::AudioPrefs load_prefs() override { return prefs; }
  kalu_ui::Status save_prefs(const std::function<void(stored::AudioPrefs&)>& edit) override {
    ++saves;
    if (save_error) return kalu_ui::fail(*save_error);
    edit(prefs);
    return {};
  }
  kalu_ui::Instant now() override { return instant; }

  void advance(std::chrono::milliseconds by) { instant = instant + by; }

  system_ops::audio::VolumeState volume{0.6f, false};
  std::optional<std::string> volume_error;
  stored::AudioPrefs prefs;
  std::optional<std::string> save_error;
  int saves = 0;
  kalu_ui::Instant instant{1000, 0};
};

struct Fakes {
  std::shared_ptr<FakeServices> services = std::make_shared<FakeServices>();
  std::shared_ptr<FakeDispatcher> dispatcher = std::make_shared<FakeDispatcher>();
  std::shared_ptr<FakeTool> tool = std::make_shared<FakeTool>();
  std::shared_ptr<FakeEnumerator> enumerator = std::make_shared<FakeEnumerator>();
  std::shared_ptr<FakeGraphControl> graph_control = std::make_shared<FakeGraphControl>();
  std::shared_ptr<FakeRuntime> runtime = std::make_shared<FakeRuntime>();
  std::shared_ptr<FakeGraphChanges> changes = std::make_shared<FakeGraphChanges>();

  AudioDependencies dependencies() const {
    return AudioDependencies{services,      dispatcher, tool,   enumerator,
                             graph_control, runtime,    changes};
  }
};

}  // namespace settings::panes::audio::testing
