#include "sim_device/audio.h"

#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sim_device::audio {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;

constexpr const char* kNodeLists[] = {"sinks", "sources", "streams"};

std::string_view kind_of(std::string_view list) {
  if (list == "sinks") return "output";
  if (list == "sources") return "input";
  return "stream";
}

Json* find_in(Json& audio, std::string_view list, std::uint32_t id) {
  for (auto& n : audio[std::string(list)]) {
    if (n["id"] == id) return &n;
  }
  return nullptr;
}

}  // namespace

double level_of(float level) {
  char text[32];
  auto written = std::to_chars(text, text + sizeof text, level);
  double out = level;
  std::from_chars(text, written.ptr, out);
  return out;
}

const char* list_of(const Json& audio, std::uint32_t id) {
  for (const char* list : kNodeLists) {
    const Json& nodes = audio[list];
    if (std::any_of(nodes.begin(), nodes.end(), [&](const Json& n) { return n["id"] == id; })) {
      return list;
    }
  }
  return nullptr;
}

Json* find_node(Json& audio, std::uint32_t id) {
  const char* list = list_of(audio, id);
  return list == nullptr ? nullptr : find_in(audio, list, id);
}

const Json* find_node(const Json& audio, std::uint32_t id) {
  return find_node(const_cast<Json&>(audio), id);
}

const Json* default_node(const Json& audio, std::string_view list) {
  for (const auto& n : audio[std::string(list)]) {
    if (n["default"] == true) return &n;
  }
  return nullptr;
}

Status make_default(Json& audio, std::string_view list, std::uint32_t id) {
  if (find_in(audio, list, id) == nullptr) {
    return fail("no audio {} has the id {}", kind_of(list), id);
  }
  for (auto& n : audio[std::string(list)]) n["default"] = n["id"] == id;
  return {};
}

Status make_default_device(Json& audio, std::uint32_t id) {
  const char* list = list_of(audio, id);
  if (list == nullptr || std::string_view(list) == "streams") {
    return fail("no audio device has the id {}", id);
  }
  return make_default(audio, list, id);
}

Status route_stream(Json& audio, std::uint32_t stream_id, std::optional<std::uint32_t> device_id) {
  Json* stream = find_in(audio, "streams", stream_id);
  if (stream == nullptr) return fail("no audio stream has the id {}", stream_id);
  if (!device_id) {
    (*stream)["target"] = nullptr;
    return {};
  }
  // A playback stream plays into an output, a recording stream reads an input.
  std::string_view list = (*stream)["playback"] == true ? "sinks" : "sources";
  if (find_in(audio, list, *device_id) == nullptr) {
    return fail("no audio {} has the id {}", kind_of(list), *device_id);
  }
  (*stream)["target"] = *device_id;
  return {};
}

Status set_node_volume(Json& audio, std::uint32_t id, double volume) {
  if (!std::isfinite(volume)) return fail("volume must be a number from 0 to 1");
  Json* node = find_node(audio, id);
  if (node == nullptr) return fail("no audio node has the id {}", id);
  (*node)["volume"] = std::clamp(volume, 0.0, 1.0);
  return {};
}

Status set_node_mute(Json& audio, std::uint32_t id, bool muted) {
  Json* node = find_node(audio, id);
  if (node == nullptr) return fail("no audio node has the id {}", id);
  (*node)["muted"] = muted;
  return {};
}

Status set_device_profile(Json& audio, std::uint32_t device_id, std::uint32_t profile_index) {
  for (auto& device : audio["devices"]) {
    if (device["id"] != device_id) continue;
    for (const auto& profile : device["profiles"]) {
      if (profile["index"] != profile_index) continue;
      if (profile["available"] != true) {
        return fail("profile {} of audio hardware {} is not available", profile_index, device_id);
      }
      device["active_profile"] = profile_index;
      return {};
    }
    return fail("audio hardware {} has no profile {}", device_id, profile_index);
  }
  return fail("no audio hardware has the id {}", device_id);
}

}  // namespace sim_device::audio
