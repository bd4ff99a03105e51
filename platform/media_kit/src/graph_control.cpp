#include "media_kit/graph_control.h"

#include <string_view>

#include "sim_device/audio.h"
#include "sim_device/state.h"

namespace media_kit {

namespace {

using kalu_ui::Status;
namespace graph = ::sim_device::audio;

// One change of the "audio" section under the operation's fault name.
template <typename Edit>
Status change(std::string_view op, Edit edit) {
  return sim_device::update(
      op, [&](sim_device::Json& state) -> Status { return edit(state["audio"]); });
}

}  // namespace

Status GraphControl::set_default_sink(std::uint32_t sink_id) {
  return change("audio.set_default_sink",
                [&](sim_device::Json& a) { return graph::make_default(a, "sinks", sink_id); });
}

Status GraphControl::set_default_source(std::uint32_t source_id) {
  return change("audio.set_default_source",
                [&](sim_device::Json& a) { return graph::make_default(a, "sources", source_id); });
}

Status GraphControl::route_stream(std::uint32_t stream_id, std::uint32_t device_id) {
  return change("audio.route_stream",
                [&](sim_device::Json& a) { return graph::route_stream(a, stream_id, device_id); });
}

Status GraphControl::unroute_stream(std::uint32_t stream_id) {
  return change("audio.unroute_stream", [&](sim_device::Json& a) {
    return graph::route_stream(a, stream_id, std::nullopt);
  });
}

Status GraphControl::set_node_volume(std::uint32_t node_id, float volume) {
  return change("audio.set_node_volume", [&](sim_device::Json& a) {
    return graph::set_node_volume(a, node_id, graph::level_of(volume));
  });
}

Status GraphControl::set_node_mute(std::uint32_t node_id, bool muted) {
  return change("audio.set_node_mute",
                [&](sim_device::Json& a) { return graph::set_node_mute(a, node_id, muted); });
}

Status GraphControl::set_device_profile(std::uint32_t device_id, std::uint32_t profile_index) {
  return change("audio.set_device_profile", [&](sim_device::Json& a) {
    return graph::set_device_profile(a, device_id, profile_index);
  });
}

}  // namespace media_kit
