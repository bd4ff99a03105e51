#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "media_kit/audio.h"
#include "media_kit/graph_control.h"
#include "media_kit/runtime.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace media_kit {
namespace {

using sim_device::Json;
using ::testing::HasSubstr;

Json device_state() { return **sim_device::read(); }

// What `simdev get PATH` prints, without its newline.
std::string simdev_get(const std::string& path) {
  auto out = sim_device::simdev::run("simdev", {"get", path});
  EXPECT_EQ(out.status, 0) << out.err;
  return out.out.substr(0, out.out.find('\n'));
}

void simdev_set(const std::string& path, const std::string& value) {
  auto out = sim_device::simdev::run("simdev", {"set", path, value});
  ASSERT_EQ(out.status, 0) << out.err;
}

TEST(GraphControl, ChangesLandOnTheDeviceAndShowInTheNextGraph) {
  sim_device::ScopedDeviceState scoped;
  GraphControl control;
  AudioEnumerator enumerator;

  ASSERT_TRUE(control.set_default_sink(58));
  ASSERT_TRUE(control.route_stream(70, 58));
  ASSERT_TRUE(control.set_node_volume(70, 0.3f));
  ASSERT_TRUE(control.set_node_mute(74, true));
  ASSERT_TRUE(control.set_device_profile(42, 2));
  ASSERT_TRUE(control.set_default_source(52));

  auto graph = enumerator.enumerate();
  ASSERT_TRUE(graph) << graph.error();
  EXPECT_EQ(graph->default_sink()->id, 58u);
  EXPECT_FALSE(graph->sinks[0].is_default);
  EXPECT_EQ(graph->playback_streams[0].target, 58u);
  EXPECT_FLOAT_EQ(*graph->playback_streams[0].volume, 0.3f);
  EXPECT_TRUE(graph->recording_streams[0].muted);
  EXPECT_EQ(graph->devices[0].active_profile, 2u);
  // The file holds the level as it was asked for, not its float spelling.
  EXPECT_EQ(simdev_get("audio.streams[0].volume"), "0.3");
  EXPECT_EQ(simdev_get("audio.devices[0].active_profile"), "2");

  ASSERT_TRUE(control.unroute_stream(70));
  EXPECT_EQ(simdev_get("audio.streams[0].target"), "null");
  ASSERT_TRUE(control.set_node_volume(51, 2.5f));
  EXPECT_EQ(simdev_get("audio.sinks[0].volume"), "1.0");
}

TEST(GraphControl, RefusesWhatTheGraphDoesNotHoldAndChangesNothing) {
  sim_device::ScopedDeviceState scoped;
  GraphControl control;
  struct Case {
    const char* what;
    std::function<kalu_ui::Status()> run;
    const char* error;
  } cases[] = {
      {"a source as the default sink", [&] { return control.set_default_sink(52); },
       "no audio output has the id 52"},
      {"a sink as the default source", [&] { return control.set_default_source(51); },
       "no audio input has the id 51"},
      {"a playback stream to a source", [&] { return control.route_stream(70, 52); },
       "no audio output has the id 52"},
      {"a recording stream to a sink", [&] { return control.route_stream(74, 58); },
       "no audio input has the id 58"},
      {"an unknown stream", [&] { return control.unroute_stream(99); },
       "no audio stream has the id 99"},
      {"an unknown node's volume", [&] { return control.set_node_volume(99, 0.5f); },
       "no audio node has the id 99"},
      {"a volume that is not a number", [&] { return control.set_node_volume(51, std::nanf("")); },
       "volume must be a number from 0 to 1"},
      {"an unknown node's mute", [&] { return control.set_node_mute(99, true); },
       "no audio node has the id 99"},
      {"an unavailable profile", [&] { return control.set_device_profile(42, 3); },
       "profile 3 of audio hardware 42 is not available"},
      {"an unknown profile", [&] { return control.set_device_profile(42, 9); },
       "audio hardware 42 has no profile 9"},
      {"unknown hardware", [&] { return control.set_device_profile(7, 0); },
       "no audio hardware has the id 7"},
  };
  const Json before = device_state();
  for (const auto& c : cases) {
    auto status = c.run();
    ASSERT_FALSE(status) << c.what;
    EXPECT_EQ(status.error(), c.error) << c.what;
  }
  EXPECT_EQ(device_state(), before);

  simdev_set("faults[\"audio.route_stream\"]", "PipeWire refused the link");
  auto faulted = control.route_stream(70, 58);
  ASSERT_FALSE(faulted);
  EXPECT_EQ(faulted.error(), "PipeWire refused the link");
}

// The simulated wpctl and the graph controls change one graph: what one sets
// the other reads back.
TEST(GraphControl, TheSimulatedWpctlAnswersFromTheSameGraph) {
  sim_device::ScopedDeviceState scoped;
  GraphControl control;
  auto wpctl = [](std::vector<std::string> args) {
    auto out = sim_device::simdev::program("wpctl", args);
    EXPECT_EQ(out.status, 0) << out.err;
    return out.out;
  };
  ASSERT_TRUE(control.route_stream(70, 58));
  ASSERT_TRUE(control.set_node_volume(70, 0.25f));
  ASSERT_TRUE(control.set_node_mute(70, true));
  EXPECT_THAT(wpctl({"status"}),
              HasSubstr("output_FL         > bluez_output.3C_A1_0B_55_21_7E.1:playback_FL"));
  EXPECT_EQ(wpctl({"get-volume", "70"}), "Volume: 0.25 [MUTED]\n");

  wpctl({"set-volume", "74", "40%"});
  wpctl({"set-default", "58"});
  wpctl({"set-profile", "42", "2"});
  auto graph = AudioEnumerator().enumerate();
  ASSERT_TRUE(graph) << graph.error();
  EXPECT_FLOAT_EQ(*graph->recording_streams[0].volume, 0.4f);
  EXPECT_EQ(graph->default_sink()->id, 58u);
  EXPECT_EQ(graph->devices[0].active_profile, 2u);

  auto unavailable = sim_device::simdev::program("wpctl", {"set-profile", "42", "3"});
  EXPECT_EQ(unavailable.status, 1);
  EXPECT_EQ(unavailable.err, "profile 3 of audio hardware 42 is not available\n");
  auto stream_default = sim_device::simdev::program("wpctl", {"set-default", "70"});
  EXPECT_EQ(stream_default.status, 1);
  EXPECT_EQ(stream_default.err, "no audio device has the id 70\n");
}

TEST(AudioRuntime, CapabilitiesComeFromTheDeviceAndNothingWhenItCannotBeRead) {
  sim_device::ScopedDeviceState scoped;
  AudioRuntimeControl runtime;
  EXPECT_EQ(runtime.capabilities(), (RuntimeCapabilities{true, true, true, true}));
  simdev_set("audio_runtime.capabilities.mono_output", "false");
  EXPECT_EQ(runtime.capabilities(), (RuntimeCapabilities{true, false, true, true}));
  simdev_set("faults[\"audio_runtime.capabilities\"]", "runtime is gone");
  EXPECT_EQ(runtime.capabilities(), RuntimeCapabilities{});
}

TEST(AudioRuntime, ChannelTestRunsUntilDroppedOrReplaced) {
  sim_device::ScopedDeviceState scoped;
  // The device's clock stands still: a test that runs for seconds is still
  // running however slowly this machine gets to the next step.
  simdev_set("time.clock_unix_ms", "1750000000000");
  AudioRuntimeControl runtime;
  const std::string sink = "alsa_output.pci-0000_00_1f.3.analog-stereo";

  auto left = runtime.start_channel_test(sink, true);
  ASSERT_TRUE(left) << left.error();
  EXPECT_TRUE((*left)->running());
  EXPECT_EQ(simdev_get("audio_runtime.channel_test.channel"), "\"left\"");

  // A newer test takes the device; the older handle stops, and dropping it
  // leaves the newer one playing.
  auto right = runtime.start_channel_test(sink, false);
  ASSERT_TRUE(right) << right.error();
  EXPECT_FALSE((*left)->running());
  left->reset();
  EXPECT_TRUE((*right)->running());
  EXPECT_EQ(simdev_get("audio_runtime.channel_test.channel"), "\"right\"");
  right->reset();
  EXPECT_EQ(simdev_get("audio_runtime.channel_test"), "null");

  auto unknown = runtime.start_channel_test("alsa_output.gone", true);
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error(), "no audio output is named alsa_output.gone");
  simdev_set("audio_runtime.capabilities.channel_test", "false");
  auto unable = runtime.start_channel_test(sink, true);
  ASSERT_FALSE(unable);
  EXPECT_EQ(unable.error(), "this device has no speaker test");
}

TEST(AudioRuntime, MicrophoneMeterReportsWhatTheSourceHearsWhileItRuns) {
  sim_device::ScopedDeviceState scoped;
  // The device's clock stands still: a test that runs for seconds is still
  // running however slowly this machine gets to the next step.
  simdev_set("time.clock_unix_ms", "1750000000000");
  AudioRuntimeControl runtime;
  const std::string source = "alsa_input.pci-0000_00_1f.3.analog-stereo";

  auto meter = runtime.start_microphone_meter(source, std::chrono::seconds(8));
  ASSERT_TRUE(meter) << meter.error();
  EXPECT_TRUE((*meter)->running());
  EXPECT_FLOAT_EQ((*meter)->level(), 0.42f);
  simdev_set("audio_runtime.input_activity", "0.8");
  EXPECT_FLOAT_EQ((*meter)->level(), 0.8f);
  simdev_set("audio.sources[0].muted", "true");
  EXPECT_FLOAT_EQ((*meter)->level(), 0.0f);
  EXPECT_EQ(simdev_get("audio_runtime.microphone_meter.source"), "\"" + source + "\"");
  meter->reset();
  EXPECT_EQ(simdev_get("audio_runtime.microphone_meter"), "null");

  // A meter whose time is up has stopped and hears nothing.
  simdev_set("audio.sources[0].muted", "false");
  auto spent = runtime.start_microphone_meter(source, std::chrono::milliseconds(0));
  ASSERT_TRUE(spent) << spent.error();
  EXPECT_FALSE((*spent)->running());
  EXPECT_FLOAT_EQ((*spent)->level(), 0.0f);

  auto unknown = runtime.start_microphone_meter("alsa_input.gone", std::chrono::seconds(8));
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error(), "no audio input is named alsa_input.gone");
  simdev_set("faults[\"audio_runtime.start_microphone_meter\"]", "busy");
  EXPECT_EQ(runtime.start_microphone_meter(source, std::chrono::seconds(8)).error(), "busy");
}

}  // namespace
}  // namespace media_kit
