#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// Paths into the device's state as people write them for simdev.
namespace sim_device::simdev_detail {

using Json = nlohmann::ordered_json;

struct Segment {
  std::string key;                   // a member name, or
  std::optional<std::size_t> index;  // a list position
};

// "network.wifi_networks[0].ssid", "faults[\"bluez.pair\"]", "audio.sinks.1".
kalu_ui::Result<std::vector<Segment>> parse_path(std::string_view text);

// The value at `path`, or why there is none.
kalu_ui::Result<Json*> resolve(Json& root, const std::vector<Segment>& path);

// A copy of `value` with every secret member's text replaced by a mask.
Json masked(const Json& value);

// Whether a member of this name holds a secret.
bool is_secret_key(std::string_view key);

}  // namespace sim_device::simdev_detail
