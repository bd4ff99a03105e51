#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "sim_device/shape.h"

// The sections of the simulated device's file: name, seed and shape. One entry
// per service; a later stand-in adds its own (see device_state.h).
namespace sim_device::detail {

struct SectionSpec {
  std::string_view name;
  Json (*seed)();
  const Shape& (*shape)();
};

const std::vector<SectionSpec>& section_table();

// Seeds, one per section (seed.cpp).
Json seed_faults();
Json seed_delays();
Json seed_network();
Json seed_modem();
Json seed_bluetooth();
Json seed_audio();
Json seed_audio_runtime();
Json seed_display();
Json seed_power();
Json seed_battery();
Json seed_printing();
Json seed_firmware();
Json seed_privacy();
Json seed_security();
Json seed_time();
Json seed_tools();
Json seed_storage();
Json seed_updates();
Json seed_users();
Json seed_collaboration();
Json seed_portal();

// The login accounts (users.cpp): a seed from these account and group
// database texts plus the two sample people; the account and group files
// rendered from a "users" section; the first free ids from `from` up.
Json seed_users_from(std::string_view passwd, std::string_view group);
std::string render_passwd(const Json& users);
std::string render_group(const Json& users);
std::uint32_t free_account_id(const Json& users, std::uint32_t from);
std::uint32_t free_group_id(const Json& users, std::uint32_t from);

// The machine's own time zone (/etc/timezone, else the /etc/localtime link),
// "UTC" when neither tells.
std::string machine_time_zone();

}  // namespace sim_device::detail
