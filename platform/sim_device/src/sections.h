#pragma once

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

// The machine's own time zone (/etc/timezone, else the /etc/localtime link),
// "UTC" when neither tells.
std::string machine_time_zone();

}  // namespace sim_device::detail
