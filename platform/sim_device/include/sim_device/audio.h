#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "kalu_ui/result.h"
#include "sim_device/shape.h"

// The simulated audio graph's changes, written once: media_kit's graph
// controls and simdev's wpctl both change the device through these, so the
// default device, routes, volumes, mutes and profiles that one sets are the
// ones the other reads back. Each takes the "audio" section of a state that
// is being updated (sim_device::update) and either changes it and succeeds, or
// changes nothing and answers why. Ids are node ids (sinks, sources, streams)
// or hardware ids (devices).
namespace sim_device::audio {

// "sinks", "sources" or "streams": the list of `audio` holding the node with
// this id, or null when none does.
const char* list_of(const Json& audio, std::uint32_t id);

// The sink, source or stream with this id, or null.
Json* find_node(Json& audio, std::uint32_t id);
const Json* find_node(const Json& audio, std::uint32_t id);

// The default entry of "sinks" or "sources", or null.
const Json* default_node(const Json& audio, std::string_view list);

// Makes the node the default of `list` ("sinks" or "sources"); refused when
// `list` has no such node.
kalu_ui::Status make_default(Json& audio, std::string_view list, std::uint32_t id);

// Makes the sink or source with this id the default of its kind.
kalu_ui::Status make_default_device(Json& audio, std::uint32_t id);

// Pins a stream to a device (a sink for a playback stream, a source for a
// recording stream), or, without a device, lets it follow the default again.
kalu_ui::Status route_stream(Json& audio, std::uint32_t stream_id,
                             std::optional<std::uint32_t> device_id);

// A level handed over as a 32-bit float, as the double its shortest decimal
// spelling reads as: the file then holds 0.55, not 0.550000011920929.
double level_of(float level);

// The volume (clamped to 0..1; not a number is refused) or mute of a sink,
// source or stream.
kalu_ui::Status set_node_volume(Json& audio, std::uint32_t id, double volume);
kalu_ui::Status set_node_mute(Json& audio, std::uint32_t id, bool muted);

// Makes the profile with this index number the hardware's active one; it
// must exist and be available.
kalu_ui::Status set_device_profile(Json& audio, std::uint32_t device_id,
                                   std::uint32_t profile_index);

}  // namespace sim_device::audio
