#include "panes/audio/model.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "operations/keys.h"

namespace settings::panes::audio {

namespace {

using kalu_ui::fail;
using media_kit::AudioDevice;
using media_kit::AudioGraph;
using media_kit::AudioHardware;
using media_kit::AudioStream;
using Op = AudioOperation;

template <typename>
constexpr bool kAlwaysFalse = false;

const AudioDevice* device_in(const std::vector<AudioDevice>& list, std::uint32_t id) {
  for (const auto& d : list) {
    if (d.id == id) return &d;
  }
  return nullptr;
}

const AudioStream* stream_in(const std::vector<AudioStream>& list, std::uint32_t id) {
  for (const auto& s : list) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

DocWrite write(Control control, std::string_view key, DocValue value) {
  return {control, 0, std::string(key), std::move(value)};
}

DocWrite stream_write(Control control, std::uint32_t stream_id, DocValue value) {
  std::string key = control == Control::kStreamRoute    ? stream_sink_key(stream_id)
                    : control == Control::kStreamVolume ? stream_volume_key(stream_id)
                                                        : stream_muted_key(stream_id);
  return {control, stream_id, std::move(key), std::move(value)};
}

// The route write of a stream of one direction, refused when the stream is gone.
kalu_ui::Result<DocWrite> route_write(const AudioGraph& graph, std::uint32_t stream_id,
                                      bool playback, std::string label) {
  const auto& streams = playback ? graph.playback_streams : graph.recording_streams;
  if (stream_in(streams, stream_id) == nullptr) {
    return fail(playback ? "playback stream is no longer available"
                         : "recording stream is no longer available");
  }
  return stream_write(Control::kStreamRoute, stream_id, std::move(label));
}

bool holds_stream(const AudioGraph& graph, std::uint32_t id) {
  return stream_by_id(graph, id) != nullptr;
}

template <typename T, typename Map>
const T* remembered(const Map& map, std::uint32_t id) {
  auto it = map.find(id);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

std::string stream_sink_key(std::uint32_t stream_id) {
  return fmt::format("audio.stream.{}.sink", stream_id);
}
std::string stream_volume_key(std::uint32_t stream_id) {
  return fmt::format("audio.stream.{}.volume", stream_id);
}
std::string stream_muted_key(std::uint32_t stream_id) {
  return fmt::format("audio.stream.{}.muted", stream_id);
}
std::string device_profile_key(std::uint32_t device_id) {
  return fmt::format("audio.device.{}.profile", device_id);
}

double narrowed(double value) {
  // Past the float range a value saturates to an infinity (a plain cast of
  // such a value is undefined).
  constexpr double kMax = std::numeric_limits<float>::max();
  if (value > kMax) return std::numeric_limits<double>::infinity();
  if (value < -kMax) return -std::numeric_limits<double>::infinity();
  return static_cast<double>(static_cast<float>(value));
}

bool same_level(double a, double b) {
  float fa = static_cast<float>(narrowed(a));
  float fb = static_cast<float>(narrowed(b));
  return std::fabs(fa - fb) <= kLevelTolerance;
}

long percent_of(float level) { return std::lround(level * 100.0f); }

const AudioDevice* source_by_id(const AudioGraph& graph, std::uint32_t id) {
  return device_in(graph.sources, id);
}

const AudioStream* stream_by_id(const AudioGraph& graph, std::uint32_t id) {
  if (const auto* s = stream_in(graph.playback_streams, id)) return s;
  return stream_in(graph.recording_streams, id);
}

const AudioHardware* hardware_by_id(const AudioGraph& graph, std::uint32_t id) {
  for (const auto& h : graph.devices) {
    if (h.id == id) return &h;
  }
  return nullptr;
}

std::string route_label(const AudioGraph& graph, const AudioStream& stream) {
  if (!stream.target) return std::string(kDefaultRoute);
  const AudioDevice* device =
      device_in(stream.playback ? graph.sinks : graph.sources, *stream.target);
  if (device == nullptr || device->is_default) return std::string(kDefaultRoute);
  return device->display_name;
}

std::optional<std::string> profile_name(const AudioHardware& hardware, std::uint32_t index) {
  for (const auto& p : hardware.profiles) {
    if (p.index == index) return p.name;
  }
  return std::nullopt;
}

std::optional<std::string> active_profile_name(const AudioHardware& hardware) {
  if (!hardware.active_profile) return std::nullopt;
  return profile_name(hardware, *hardware.active_profile);
}

std::optional<std::uint32_t> available_profile_index(const AudioHardware& hardware,
                                                     std::string_view name) {
  for (const auto& p : hardware.profiles) {
    if (p.available && p.name == name) return p.index;
  }
  return std::nullopt;
}

void StreamMemory::keep_only(const AudioGraph& graph) {
  auto gone = [&](std::uint32_t id) { return !holds_stream(graph, id); };
  std::erase_if(routes, [&](const auto& e) { return gone(e.first); });
  std::erase_if(volumes, [&](const auto& e) { return gone(e.first); });
  std::erase_if(mutes, [&](const auto& e) { return gone(e.first); });
  std::erase_if(seen, gone);
}

kalu_ui::Result<DocWrite> document_write(const AudioOperation& operation, const AudioGraph& graph) {
  return std::visit(
      [&](const auto& op) -> kalu_ui::Result<DocWrite> {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, Op::SetOutputVolume>) {
          return write(Control::kVolume, kVolumeKey, op.value);
        } else if constexpr (std::is_same_v<T, Op::SetOutputMuted>) {
          return write(Control::kMuted, kMutedKey, op.muted);
        } else if constexpr (std::is_same_v<T, Op::SetInputVolume>) {
          return write(Control::kInputVolume, kInputVolumeKey, op.value);
        } else if constexpr (std::is_same_v<T, Op::SetBalance>) {
          return write(Control::kBalance, kBalanceKey, op.value);
        } else if constexpr (std::is_same_v<T, Op::SetMono>) {
          return write(Control::kMono, kMonoKey, op.enabled);
        } else if constexpr (std::is_same_v<T, Op::SetDeviceProfile>) {
          const AudioHardware* hardware = hardware_by_id(graph, op.device_id);
          if (hardware == nullptr) return fail("audio hardware is no longer available");
          auto name = profile_name(*hardware, op.profile_index);
          // The handler applies only an available profile found by its name.
          if (!name || available_profile_index(*hardware, *name) != op.profile_index) {
            return fail("audio profile is no longer available");
          }
          return DocWrite{Control::kDeviceProfile, op.device_id, device_profile_key(op.device_id),
                          *name};
        } else if constexpr (std::is_same_v<T, Op::RouteStream>) {
          const auto& devices = op.playback ? graph.sinks : graph.sources;
          const AudioDevice* device = op.device_id ? device_in(devices, *op.device_id) : nullptr;
          return route_write(graph, op.stream_id, op.playback,
                             device ? device->display_name : std::string(kDefaultRoute));
        } else if constexpr (std::is_same_v<T, Op::SetStreamVolume>) {
          if (!holds_stream(graph, op.stream_id))
            return fail("audio stream is no longer available");
          return stream_write(Control::kStreamVolume, op.stream_id, op.value);
        } else if constexpr (std::is_same_v<T, Op::SetStreamMuted>) {
          if (!holds_stream(graph, op.stream_id))
            return fail("audio stream is no longer available");
          return stream_write(Control::kStreamMuted, op.stream_id, op.muted);
        } else if constexpr (std::is_same_v<T, Op::ToggleDiagnostics>) {
          return write(Control::kAdvanced, kAdvancedKey, true);
        } else if constexpr (std::is_same_v<T, Op::TestChannel>) {
          return op.left ? write(Control::kTestLeft, kTestLeftKey, true)
                         : write(Control::kTestRight, kTestRightKey, true);
        } else if constexpr (std::is_same_v<T, Op::ToggleMicrophoneMeter>) {
          return write(Control::kMicTest, kMicTestKey, true);
        } else if constexpr (std::is_same_v<T, Op::SelectOutput>) {
          const AudioDevice* sink = graph.sink_by_id(op.device_id);
          if (sink == nullptr) return fail("audio output device is no longer available");
          return write(Control::kOutputDevice, kOutputDeviceKey, sink->display_name);
        } else if constexpr (std::is_same_v<T, Op::SelectInput>) {
          const AudioDevice* source = source_by_id(graph, op.device_id);
          if (source == nullptr) return fail("audio input device is no longer available");
          return write(Control::kInputDevice, kInputDeviceKey, source->display_name);
        } else if constexpr (std::is_same_v<T, Op::RoutePlayback>) {
          const AudioDevice* sink = graph.sink_by_id(op.device_id);
          if (sink == nullptr) return fail("audio output device is no longer available");
          return route_write(graph, op.stream_id, true, sink->display_name);
        } else if constexpr (std::is_same_v<T, Op::RouteRecording>) {
          const AudioDevice* source = source_by_id(graph, op.device_id);
          if (source == nullptr) return fail("audio input device is no longer available");
          return route_write(graph, op.stream_id, false, source->display_name);
        } else {
          static_assert(kAlwaysFalse<T>, "every operation has a write");
        }
      },
      static_cast<const AudioOperation::variant&>(operation));
}

bool already_in_place(const DocWrite& write, const AppliedValues& applied,
                      const StreamMemory& streams,
                      const std::map<std::uint32_t, std::string>& profile_labels) {
  const double* number = std::get_if<double>(&write.value);
  const bool* flag = std::get_if<bool>(&write.value);
  const std::string* text = std::get_if<std::string>(&write.value);
  auto same_text = [&](const std::optional<std::string>& held) { return text && held == *text; };
  switch (write.control) {
    case Control::kVolume:
      return number && same_level(*number, applied.output_volume);
    case Control::kMuted:
      return flag && *flag == applied.muted;
    case Control::kInputVolume:
      return number && same_level(*number, applied.input_level);
    case Control::kBalance:
      return number && same_level(*number, applied.balance);
    case Control::kMono:
      return flag && *flag == applied.mono;
    case Control::kOutputDevice:
      return same_text(applied.default_sink_name);
    case Control::kInputDevice:
      return same_text(applied.default_source_name);
    case Control::kStreamRoute: {
      const auto* label = remembered<std::string>(streams.routes, write.id);
      return text && label && *label == *text;
    }
    case Control::kStreamVolume: {
      const auto* volume = remembered<float>(streams.volumes, write.id);
      return number && volume && same_level(*number, *volume);
    }
    case Control::kStreamMuted: {
      const auto* muted = remembered<bool>(streams.mutes, write.id);
      return flag && muted && *muted == *flag;
    }
    case Control::kDeviceProfile: {
      const auto* label = remembered<std::string>(profile_labels, write.id);
      return text && label && *label == *text;
    }
    case Control::kAdvanced:
    case Control::kTestLeft:
    case Control::kTestRight:
    case Control::kMicTest:
      return false;
  }
  return false;
}

AudioOperation comparable_record(const AudioOperation& operation) {
  return std::visit(
      [](const auto& op) -> AudioOperation {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, Op::SetOutputVolume> ||
                      std::is_same_v<T, Op::SetInputVolume> || std::is_same_v<T, Op::SetBalance>) {
          return T{narrowed(op.value)};
        } else if constexpr (std::is_same_v<T, Op::SetStreamVolume>) {
          return T{op.stream_id, narrowed(op.value)};
        } else if constexpr (std::is_same_v<T, Op::RoutePlayback>) {
          return Op::RouteStream{op.stream_id, true, op.device_id};
        } else if constexpr (std::is_same_v<T, Op::RouteRecording>) {
          return Op::RouteStream{op.stream_id, false, op.device_id};
        } else {
          return op;
        }
      },
      static_cast<const AudioOperation::variant&>(operation));
}

bool pending_key_matches(std::string_view pending_key, const AudioOperation& record) {
  if (!pending_key.starts_with(kAudioActionId) ||
      !pending_key.substr(kAudioActionId.size()).starts_with(':')) {
    return false;
  }
  auto pending =
      operations::read_record<AudioOperation>(pending_key.substr(kAudioActionId.size() + 1));
  if (!pending) return false;
  const AudioOperation a = comparable_record(*pending);
  const AudioOperation b = comparable_record(record);
  return static_cast<const AudioOperation::variant&>(a) ==
         static_cast<const AudioOperation::variant&>(b);
}

}  // namespace settings::panes::audio
