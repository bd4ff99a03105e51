#pragma once

// The Sound section of the automation surface, "settings.section:sound":
// the output's mute and volume, balance, mono, the input volume, the four
// diagnostics (speaker diagnostics, the left and right speaker tests, the
// microphone meter) and, when the graph has devices, the output and input
// device choices; below it one item per output device
// ("settings.audio-output:<id>", "select"), input device
// ("settings.audio-input:<id>", "select"), sound device with an available
// profile ("settings.audio-device:<id>", "profile") and stream
// ("settings.audio-playback:<id>" or "settings.audio-recording:<id>":
// "route", "volume", "muted"). Every action is an effect carried by
// "settings.audio-operation"; the executor checks the record against the
// graph, so a label that no longer matches gives an id no device has
// (kNoSuchId) and is refused there.
//
// The section is built from one snapshot of the audio graph (media_kit),
// taken each time; a graph that cannot be read is an empty one. It reads no
// document.
//
// Choice lists are cut at kMaxChoices (a route's at kMaxChoices - 1 devices
// after "Default"); item lists at kMaxItems, streams counted across both
// directions.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "actions/invocations.h"
#include "actions/resource_tree.h"
#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "media_kit/audio.h"

namespace settings::actions {

// The section from the device's audio graph.
kalu_actions::Resource sound_resource();
// The section from this graph.
kalu_actions::Resource sound_resource(const media_kit::AudioGraph& graph);

// "settings.section:sound" ("Sound") holding only `spec`.
kalu_actions::Resource sound_single_action_section(kalu_actions::ActionSpec spec);
// The stream's item ("settings.audio-playback:<id>" when `playback`, else
// "settings.audio-recording:<id>") labelled `label`, holding only `spec`.
kalu_actions::Resource audio_stream_resource(std::uint32_t stream_id, bool playback,
                                             std::string label, kalu_actions::ActionSpec spec);

// The page's bindings, each on a one-action resource unless said otherwise.
// "muted" or "mono": the control's bool becomes "value".
std::optional<kalu_actions::ActionBinding> sound_toggle_binding(std::string_view action_name);
// "volume", "input-volume" or "balance": the control's number becomes "value".
std::optional<kalu_actions::ActionBinding> audio_level_binding(std::string_view action_name);
// "output-device" or "input-device" among `devices` (label, id); none when
// the list is empty or longer than kMaxChoices.
std::optional<kalu_actions::ActionBinding> audio_device_choice_binding(std::string_view action_name,
                                                                       const LabelList& devices);
// "profile" of "settings.audio-device:<id>" among `profiles` (label, profile
// index); none when the list is empty or longer than kMaxChoices.
std::optional<kalu_actions::ActionBinding> audio_device_profile_binding(std::uint32_t device_id,
                                                                        const LabelList& profiles);
// "route" of the stream among "Default" and `devices`; none for more than
// kMaxChoices - 1 devices.
std::optional<kalu_actions::ActionBinding> stream_route_binding(std::uint32_t stream_id,
                                                                bool playback, std::string label,
                                                                const LabelList& devices);
// "volume" and "muted" of the stream.
std::optional<kalu_actions::ActionBinding> stream_volume_binding(std::uint32_t stream_id,
                                                                 bool playback, std::string label);
std::optional<kalu_actions::ActionBinding> stream_mute_binding(std::uint32_t stream_id,
                                                               bool playback, std::string label);
// A button: "diagnostics", "test-left", "test-right", "microphone-meter" of
// the full section (the graph is read).
std::optional<kalu_actions::ActionBinding> sound_command_binding(std::string_view action_name);

}  // namespace settings::actions
