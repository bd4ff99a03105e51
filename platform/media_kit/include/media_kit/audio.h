#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// The device's audio graph as the audio server reports it: output devices
// (sinks), input devices (sources), playback and recording streams, and the
// sound cards with their profiles; and the volume of the default devices.
// This stand-in reads and changes the simulated device (section "audio");
// every call may be made from any thread. A fault injected as
// "audio.<function>" answers its text. Changing the graph itself (routes,
// node volumes, profiles): graph_control.h; the runtime's tests: runtime.h.
namespace media_kit {

struct AudioDevice {
  std::string node_name;     // the server's node name ("alsa_output....")
  std::string display_name;  // what a person reads
  std::optional<std::string> codec;
  std::uint32_t channels = 2;
  std::uint32_t id = 0;  // the node id
  bool is_default = false;
  float volume = 1.0f;
  bool muted = false;
};

struct AudioStream {
  std::uint32_t id = 0;
  std::optional<std::uint32_t> target;  // the device it is routed to, when pinned
  std::optional<float> volume;
  bool muted = false;
  bool playback = true;
  std::string app_name;
  std::optional<std::string> media_name;

  // "Web Browser · Evening news podcast", or the application name alone.
  std::string label() const;
};

struct DeviceProfile {
  std::string name;
  std::uint32_t index = 0;
  bool available = true;
};

struct AudioHardware {
  std::uint32_t id = 0;
  std::string name;
  std::vector<DeviceProfile> profiles;
  std::optional<std::uint32_t> active_profile;  // the `index` of the active profile
};

struct AudioGraph {
  std::vector<AudioDevice> sinks;
  std::vector<AudioDevice> sources;
  std::vector<AudioStream> playback_streams;
  std::vector<AudioStream> recording_streams;
  std::vector<AudioHardware> devices;

  const AudioDevice* default_sink() const;
  const AudioDevice* default_source() const;
  const AudioDevice* sink_by_id(std::uint32_t id) const;
  // Changes when a node, stream route, card profile or default device comes,
  // goes or changes; volumes and mutes do not change it.
  std::uint64_t topology_signature() const;
};

// Reads the graph. A class so that a test build can hand the Sound pane one of
// its own; this one reads the device.
class AudioEnumerator {
 public:
  virtual ~AudioEnumerator() = default;
  virtual kalu_ui::Result<AudioGraph> enumerate() const;
};

struct VolumeState {
  float volume = 0.5f;  // of the default output, 0 to 1
  bool muted = false;
};

kalu_ui::Result<VolumeState> volume_state();
kalu_ui::Status set_output_volume(float level);  // clamped to 0..1
kalu_ui::Status set_output_muted(bool muted);
// The default input's level, 0 to 1, and whether it is muted.
kalu_ui::Result<VolumeState> input_state();
kalu_ui::Status set_input_volume(float level);  // clamped to 0..1
// Makes the sink or source with that node id the default of its kind.
kalu_ui::Status set_default_device(std::uint32_t id);

}  // namespace media_kit
