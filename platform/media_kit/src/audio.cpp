#include "media_kit/audio.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "sim_device/audio.h"
#include "sim_device/state.h"

namespace media_kit {

namespace {

namespace device = ::sim_device;
using device::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::optional<std::string> opt_text(const Json& v) {
  return v.is_string() ? std::optional<std::string>(v.get<std::string>()) : std::nullopt;
}

AudioDevice node_of(const Json& n) {
  return {n["node_name"].get<std::string>(),
          n["display_name"].get<std::string>(),
          opt_text(n["codec"]),
          n["channels"].get<std::uint32_t>(),
          n["id"].get<std::uint32_t>(),
          n["default"].get<bool>(),
          n["volume"].get<float>(),
          n["muted"].get<bool>()};
}

AudioStream stream_of(const Json& s) {
  AudioStream out;
  out.id = s["id"].get<std::uint32_t>();
  if (!s["target"].is_null()) out.target = s["target"].get<std::uint32_t>();
  if (!s["volume"].is_null()) out.volume = s["volume"].get<float>();
  out.muted = s["muted"].get<bool>();
  out.playback = s["playback"].get<bool>();
  out.app_name = s["app_name"].get<std::string>();
  out.media_name = opt_text(s["media_name"]);
  return out;
}

const AudioDevice* find_default(const std::vector<AudioDevice>& list) {
  for (const auto& d : list) {
    if (d.is_default) return &d;
  }
  return nullptr;
}

Json* default_node(Json& list) {
  for (auto& n : list) {
    if (n["default"] == true) return &n;
  }
  return nullptr;
}

void mix(std::uint64_t& hash, std::string_view text) {
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  hash ^= 0xff;  // a separator, so "ab"+"c" differs from "a"+"bc"
  hash *= 1099511628211ull;
}

Status change_default_node(std::string_view op, const char* list, const char* missing,
                           const std::function<void(Json&)>& edit) {
  return device::update(op, [&](Json& state) -> Status {
    Json* node = default_node(state["audio"][list]);
    if (node == nullptr) return fail(missing);
    edit(*node);
    return {};
  });
}

}  // namespace

std::string AudioStream::label() const {
  if (media_name && !media_name->empty() && *media_name != app_name) {
    return fmt::format("{} · {}", app_name, *media_name);
  }
  return app_name;
}

const AudioDevice* AudioGraph::default_sink() const { return find_default(sinks); }
const AudioDevice* AudioGraph::default_source() const { return find_default(sources); }

const AudioDevice* AudioGraph::sink_by_id(std::uint32_t id) const {
  for (const auto& s : sinks) {
    if (s.id == id) return &s;
  }
  return nullptr;
}

std::uint64_t AudioGraph::topology_signature() const {
  std::uint64_t hash = 14695981039346656037ull;
  for (const auto* list : {&sinks, &sources}) {
    mix(hash, "|");
    for (const auto& d : *list) {
      mix(hash, fmt::format("{}:{}:{}:{}:{}", d.id, d.node_name, d.display_name, d.channels,
                            d.is_default));
    }
  }
  for (const auto* list : {&playback_streams, &recording_streams}) {
    mix(hash, "|");
    for (const auto& s : *list) {
      mix(hash, fmt::format("{}:{}:{}", s.id, s.target ? static_cast<std::int64_t>(*s.target) : -1,
                            s.label()));
    }
  }
  mix(hash, "|");
  for (const auto& h : devices) {
    mix(hash, fmt::format("{}:{}:{}", h.id, h.name,
                          h.active_profile ? static_cast<std::int64_t>(*h.active_profile) : -1));
    for (const auto& p : h.profiles)
      mix(hash, fmt::format("{}:{}:{}", p.index, p.name, p.available));
  }
  return hash;
}

Result<AudioGraph> AudioEnumerator::enumerate() const {
  auto audio = device::section("audio.enumerate", "audio");
  if (!audio) return fail(audio.error());
  AudioGraph graph;
  for (const auto& n : (*audio)["sinks"]) graph.sinks.push_back(node_of(n));
  for (const auto& n : (*audio)["sources"]) graph.sources.push_back(node_of(n));
  for (const auto& s : (*audio)["streams"]) {
    (s["playback"] == true ? graph.playback_streams : graph.recording_streams)
        .push_back(stream_of(s));
  }
  for (const auto& d : (*audio)["devices"]) {
    AudioHardware hw;
    hw.id = d["id"].get<std::uint32_t>();
    hw.name = d["name"].get<std::string>();
    for (const auto& p : d["profiles"]) {
      hw.profiles.push_back({p["name"].get<std::string>(), p["index"].get<std::uint32_t>(),
                             p["available"].get<bool>()});
    }
    if (!d["active_profile"].is_null())
      hw.active_profile = d["active_profile"].get<std::uint32_t>();
    graph.devices.push_back(std::move(hw));
  }
  return graph;
}

Result<VolumeState> volume_state() {
  auto audio = device::section("audio.volume_state", "audio");
  if (!audio) return fail(audio.error());
  Json* sink = default_node((*audio)["sinks"]);
  if (sink == nullptr) return fail("there is no default audio output");
  return VolumeState{(*sink)["volume"].get<float>(), (*sink)["muted"].get<bool>()};
}

Result<VolumeState> input_state() {
  auto audio = device::section("audio.input_state", "audio");
  if (!audio) return fail(audio.error());
  Json* source = default_node((*audio)["sources"]);
  if (source == nullptr) return fail("there is no default audio input");
  return VolumeState{(*source)["volume"].get<float>(), (*source)["muted"].get<bool>()};
}

Status set_output_volume(float level) {
  if (!std::isfinite(level)) return fail("volume must be a number from 0 to 1");
  return change_default_node(
      "audio.set_output_volume", "sinks", "there is no default audio output",
      [&](Json& n) { n["volume"] = device::audio::level_of(std::clamp(level, 0.0f, 1.0f)); });
}

Status set_output_muted(bool muted) {
  return change_default_node("audio.set_output_muted", "sinks", "there is no default audio output",
                             [&](Json& n) { n["muted"] = muted; });
}

Status set_input_volume(float level) {
  if (!std::isfinite(level)) return fail("volume must be a number from 0 to 1");
  return change_default_node(
      "audio.set_input_volume", "sources", "there is no default audio input",
      [&](Json& n) { n["volume"] = device::audio::level_of(std::clamp(level, 0.0f, 1.0f)); });
}

Status set_default_device(std::uint32_t id) {
  return device::update("audio.set_default_device", [&](Json& state) -> Status {
    return device::audio::make_default_device(state["audio"], id);
  });
}

}  // namespace media_kit
