#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "kalu_ui/result.h"

// The audio runtime beside the graph: what it can do for the Sound pane
// (balance, mono output, a speaker test per channel, a microphone level
// meter) and the tests themselves. A test runs until its time is up or its
// handle is dropped, whichever comes first; a newer test of the same kind
// takes its place on the device and the older handle then reports that it
// stopped. The meter only measures a level: nothing is recorded or played.
//
// This stand-in keeps the capabilities and the running tests on the simulated
// device (section "audio_runtime": `simdev show audio_runtime` shows a running
// test, `simdev set audio_runtime.input_activity 0.8` makes the microphone
// louder); a fault injected as "audio_runtime.<function>" answers its text.
// Handles read the device when asked, so they may be polled every frame
// (a read of an unchanged file costs one stat()).
namespace media_kit {

struct RuntimeCapabilities {
  bool balance = false;
  bool mono_output = false;
  bool channel_test = false;
  bool microphone_meter = false;
  bool operator==(const RuntimeCapabilities&) const = default;
};

// How long the test tone of one channel plays.
inline constexpr std::chrono::milliseconds kChannelTestLength{2000};

// A test tone playing on one channel of a sink; dropping it stops the tone.
class ChannelTest {
 public:
  virtual ~ChannelTest() = default;
  virtual bool running() const = 0;
};

// A level meter on a source; dropping it stops the meter.
class MicrophoneMeter {
 public:
  virtual ~MicrophoneMeter() = default;
  virtual bool running() const = 0;
  // What the source hears now, 0..1; 0 once the meter has stopped or while
  // the source is muted.
  virtual float level() const = 0;
};

// A class, so that the Sound pane's tests can hand it one of their own; this
// one is stateless and may be used from any thread.
class AudioRuntimeControl {
 public:
  virtual ~AudioRuntimeControl() = default;

  // Nothing is offered when the runtime cannot be read.
  virtual RuntimeCapabilities capabilities() const;
  // Plays a short tone on the left (or right) channel of the sink with this
  // node name (AudioDevice::node_name) for kChannelTestLength.
  virtual kalu_ui::Result<std::unique_ptr<ChannelTest>> start_channel_test(
      std::string_view sink_node_name, bool left) const;
  // Measures the source with this node name for `duration`.
  virtual kalu_ui::Result<std::unique_ptr<MicrophoneMeter>> start_microphone_meter(
      std::string_view source_node_name, std::chrono::milliseconds duration) const;
};

}  // namespace media_kit
