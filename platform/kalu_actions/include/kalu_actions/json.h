#pragma once

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "kalu_actions/resource.h"

// The JSON forms in which resources travel to automation clients.
namespace kalu_actions {

nlohmann::ordered_json to_json(const ActionParam& param);
nlohmann::ordered_json to_json(const ActionContract& contract);
nlohmann::ordered_json to_json(const ActionSpec& spec);
nlohmann::ordered_json to_json(const Resource& resource);

}  // namespace kalu_actions
