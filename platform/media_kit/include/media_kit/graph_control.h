#pragma once

#include <cstdint>

#include "kalu_ui/result.h"

// Changes to the audio graph: which sink and source are the defaults, where an
// application's stream plays or records, the volume and mute of a node (a
// sink, a source or a stream) and a sound card's profile. Each change is
// made on the simulated device (section "audio") and shows in the next
// AudioEnumerator::enumerate, in `simdev show audio` and in what the simulated
// wpctl lists; a change to an id the graph does not hold changes nothing and
// fails naming it. A fault injected as "audio.<function>" answers its text.
//
// A class, so that the Sound pane's tests can hand it one of their own; this
// one is stateless and may be used from any thread.
namespace media_kit {

class GraphControl {
 public:
  virtual ~GraphControl() = default;

  virtual kalu_ui::Status set_default_sink(std::uint32_t sink_id);
  virtual kalu_ui::Status set_default_source(std::uint32_t source_id);
  // Pins a stream to a device: a sink for a playback stream, a source for a
  // recording stream.
  virtual kalu_ui::Status route_stream(std::uint32_t stream_id, std::uint32_t device_id);
  // Lets a stream follow the default device of its kind again.
  virtual kalu_ui::Status unroute_stream(std::uint32_t stream_id);
  // Volume 0..1 (clamped; not a number is refused) of a sink, source or stream.
  virtual kalu_ui::Status set_node_volume(std::uint32_t node_id, float volume);
  virtual kalu_ui::Status set_node_mute(std::uint32_t node_id, bool muted);
  // Makes the profile with this index number (DeviceProfile::index) the
  // hardware's active one; it must exist and be available.
  virtual kalu_ui::Status set_device_profile(std::uint32_t device_id, std::uint32_t profile_index);
};

}  // namespace media_kit
