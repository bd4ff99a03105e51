#pragma once

// The Sound pane's plain data and pure functions: its control ids, the route
// label of a stream, the per-stream memory, profile lookups, what an
// AudioOperation writes into the pane's document, whether that value is
// already in place, and whether a rebuilt record is the pending operation.
//
// Numbers are compared the way the pane holds them, as 32-bit floats: two
// levels within 0.001 of each other are the same level. An operation's record
// holds 64-bit numbers, so before a record is compared with the pending one
// both are narrowed to 32-bit floats; otherwise a value such as 0.1, read back
// from the document as a float, would never match the key the executor made.
//
// Every operation the pane takes completes exactly once, so the pane answers
// at once, without touching the system, an operation that:
//   - names a device, stream or profile the graph no longer holds
//     (document_write's error, the executor's own refusal texts), or
//   - asks for what is already in place (already_in_place; kAlreadyInPlace):
//     the handlers would find nothing to change and never complete it.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <variant>

#include "kalu_ui/result.h"
#include "media_kit/audio.h"
#include "operations/records.h"
#include "operations/table.h"
#include "panes/audio/tool.h"

namespace settings::panes::audio {

using operations::AudioOperation;

inline constexpr std::string_view kAudioActionId =
    operations::kOperationActionId<operations::AudioOperation>;
inline constexpr std::string_view kAlreadyInPlace = "Audio setting is already in place.";
// The route label of a stream that follows the default device.
inline constexpr std::string_view kDefaultRoute = "Default";
// Levels closer than this (as 32-bit floats) count as equal.
inline constexpr float kLevelTolerance = 0.001f;

// Control ids of the pane's document.
inline constexpr std::string_view kVolumeKey = "audio.volume";
inline constexpr std::string_view kMutedKey = "audio.muted";
inline constexpr std::string_view kInputVolumeKey = "audio.input_volume";
inline constexpr std::string_view kBalanceKey = "audio.balance";
inline constexpr std::string_view kMonoKey = "audio.mono";
inline constexpr std::string_view kAdvancedKey = "audio.advanced";
inline constexpr std::string_view kTestLeftKey = "audio.test.left";
inline constexpr std::string_view kTestRightKey = "audio.test.right";
inline constexpr std::string_view kMicTestKey = "audio.mic_test";
inline constexpr std::string_view kOutputDeviceKey = "audio.output_device";
inline constexpr std::string_view kInputDeviceKey = "audio.input_device";
std::string stream_sink_key(std::uint32_t stream_id);     // "audio.stream.{}.sink"
std::string stream_volume_key(std::uint32_t stream_id);   // "audio.stream.{}.volume"
std::string stream_muted_key(std::uint32_t stream_id);    // "audio.stream.{}.muted"
std::string device_profile_key(std::uint32_t device_id);  // "audio.device.{}.profile"

// A 64-bit number as a 32-bit float holds it, widened back.
double narrowed(double value);
// Whether two levels are the same as 32-bit floats, within kLevelTolerance.
bool same_level(double a, double b);
// A level as a whole percent, rounded half away from zero (0.555 -> 56).
long percent_of(float level);

// Lookups in the graph; null when absent.
const media_kit::AudioDevice* source_by_id(const media_kit::AudioGraph& graph, std::uint32_t id);
const media_kit::AudioStream* stream_by_id(const media_kit::AudioGraph& graph, std::uint32_t id);
const media_kit::AudioHardware* hardware_by_id(const media_kit::AudioGraph& graph,
                                               std::uint32_t id);

// The stream's route as its dropdown shows it: the display name of the sink
// (playback) or source (recording) it is pinned to; "Default" when it is not
// pinned, the target is gone, or the target is the current default device.
std::string route_label(const media_kit::AudioGraph& graph, const media_kit::AudioStream& stream);

// The name of the hardware's profile with this index number.
std::optional<std::string> profile_name(const media_kit::AudioHardware& hardware,
                                        std::uint32_t index);
// The name of the active profile, when it is among the hardware's profiles.
std::optional<std::string> active_profile_name(const media_kit::AudioHardware& hardware);
// The index number of the first available profile with this name.
std::optional<std::uint32_t> available_profile_index(const media_kit::AudioHardware& hardware,
                                                     std::string_view name);

// What the pane remembers of each stream: its route label, volume and mute as
// last written or applied, and the ids it has seen.
struct StreamMemory {
  std::map<std::uint32_t, std::string> routes;
  std::map<std::uint32_t, float> volumes;
  std::map<std::uint32_t, bool> mutes;
  std::set<std::uint32_t> seen;

  // Forgets the streams `graph` no longer holds (after a topology change).
  void keep_only(const media_kit::AudioGraph& graph);
};

// A value of the pane's document, as an operation writes it.
using DocValue = std::variant<double, bool, std::string>;

// Which control an operation writes: one per control id; the stream and
// profile controls also name their stream or device.
enum class Control {
  kVolume,
  kMuted,
  kInputVolume,
  kBalance,
  kMono,
  kAdvanced,
  kTestLeft,
  kTestRight,
  kMicTest,
  kOutputDevice,
  kInputDevice,
  kStreamRoute,
  kStreamVolume,
  kStreamMuted,
  kDeviceProfile,
};

struct DocWrite {
  Control control = Control::kVolume;
  std::uint32_t id = 0;  // the stream or device of a stream or profile control
  std::string key;       // the control id
  DocValue value;
  bool operator==(const DocWrite&) const = default;
};

// What `operation` writes into the pane's document for its handler to apply.
// Refused, with the text the executor uses for it, when it names a stream,
// device, hardware or available profile that `graph` does not hold: nothing
// would ever apply such a write. A route to a device that is gone is a route
// to the default device ("Default").
kalu_ui::Result<DocWrite> document_write(const AudioOperation& operation,
                                         const media_kit::AudioGraph& graph);

// The values the pane holds as applied, which a write is compared with.
struct AppliedValues {
  float output_volume = 0.5f;
  bool muted = false;
  float input_level = kFallbackInputLevel;
  float balance = 0.5f;
  bool mono = false;
  std::optional<std::string> default_sink_name;
  std::optional<std::string> default_source_name;
};

// Whether the handler of `write` would find it equal to what it holds:
// levels within 0.001, the same mute, mono, default device, route or profile
// label. One-shot triggers (diagnostics, tests, meter) are never in place; a
// stream or device the pane has not remembered yet is not either.
bool already_in_place(const DocWrite& write, const AppliedValues& applied,
                      const StreamMemory& streams,
                      const std::map<std::uint32_t, std::string>& profile_labels);

// The record with its numbers narrowed to 32-bit floats, and a route of a
// playback or recording stream written as RouteStream: the form in which the
// pane and the executor compare records.
AudioOperation comparable_record(const AudioOperation& operation);

// Whether `pending_key` ("settings.audio-operation:" and the record's JSON)
// names the operation `record` applies. Numbers are compared narrowed, and a
// pending RoutePlayback or RouteRecording matches the RouteStream of the same
// stream and device.
bool pending_key_matches(std::string_view pending_key, const AudioOperation& record);

}  // namespace settings::panes::audio
