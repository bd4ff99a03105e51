#include "system_ops/power.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "access.h"

namespace system_ops {

namespace {

using detail::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr std::array<const char*, 3> kProfileIds = {"power-saver", "balanced", "performance"};

PowerProfile profile_of(const Json& id) {
  for (std::size_t i = 0; i < kProfileIds.size(); ++i) {
    if (id == kProfileIds[i]) return static_cast<PowerProfile>(i);
  }
  return PowerProfile::Balanced;
}

const char* id_of(PowerProfile profile) {
  auto i = static_cast<std::size_t>(profile);
  return i < kProfileIds.size() ? kProfileIds[i] : "balanced";
}

std::optional<battery::ChargeCapability> capability_of(const Json& battery) {
  const Json& c = battery["charge_capability"];
  if (c.is_null() || battery["present"] != true) return std::nullopt;
  return battery::ChargeCapability{c["allowed"].get<std::vector<std::uint32_t>>(),
                                   c["current"].get<std::uint32_t>(),
                                   c["start_threshold"].get<bool>(), c["kind"].get<std::uint8_t>()};
}

std::string state_label(const std::string& state) {
  if (state == "charging") return "Charging";
  if (state == "discharging") return "Discharging";
  if (state == "fully-charged") return "Fully charged";
  if (state == "pending-charge") return "Not charging";
  if (state == "empty") return "Empty";
  return "State unknown";
}

}  // namespace

namespace power {

Result<PowerProfile> get_power_profile() {
  auto power = device::section("power.get_power_profile", "power");
  if (!power) return fail(power.error());
  return profile_of((*power)["profile"]);
}

Result<std::vector<PowerProfile>> available_power_profiles() {
  auto power = device::section("power.available_power_profiles", "power");
  if (!power) return fail(power.error());
  std::vector<PowerProfile> out;
  for (const auto& id : (*power)["available"]) out.push_back(profile_of(id));
  return out;
}

Status set_power_profile(PowerProfile profile) {
  return device::update("power.set_power_profile", [&](Json& state) -> Status {
    Json& power = state["power"];
    const char* id = id_of(profile);
    auto& available = power["available"];
    if (std::find(available.begin(), available.end(), Json(id)) == available.end()) {
      return fail("this device does not offer the {} profile", id);
    }
    power["profile"] = id;
    return {};
  });
}

}  // namespace power

namespace battery {

BatteryInfo BatteryInfo::from_system() {
  auto battery = device::section("battery.from_system", "battery");
  BatteryInfo out;
  if (!battery || (*battery)["present"] != true) return out;
  const Json& b = *battery;
  out.present = true;
  out.percentage = b["percentage"].get<std::uint32_t>();
  out.cycle_count = detail::opt_value<std::uint32_t>(b["cycle_count"]);
  if (auto cap = capability_of(b)) out.charge_limit = cap->current;
  out.state = b["state"].get<std::string>();
  out.energy_full_wh = b["energy_full_wh"].get<double>();
  out.energy_full_design_wh = b["energy_full_design_wh"].get<double>();
  out.time_to_empty_min = detail::opt_value<std::uint32_t>(b["time_to_empty_min"]);
  return out;
}

std::string BatteryInfo::summary() const {
  if (!present) return "No battery";
  std::string text = fmt::format("{}% · {}", percentage, state_label(state));
  if (state == "discharging" && time_to_empty_min) {
    text +=
        fmt::format(" · about {} h {} min left", *time_to_empty_min / 60, *time_to_empty_min % 60);
  }
  return text;
}

std::optional<std::uint32_t> BatteryInfo::health_percent() const {
  if (!present || energy_full_design_wh <= 0) return std::nullopt;
  double ratio = std::min(1.0, energy_full_wh / energy_full_design_wh);
  return static_cast<std::uint32_t>(std::lround(ratio * 100));
}

std::string BatteryInfo::health_explanation() const {
  auto health = health_percent();
  if (!health) return "Battery health is not reported by this device.";
  if (*health >= 80) {
    return fmt::format("The battery holds {}% of its design capacity; that is normal wear.",
                       *health);
  }
  return fmt::format(
      "The battery holds {}% of its design capacity; expect noticeably shorter runtimes.", *health);
}

std::vector<PowerDevice> power_devices() {
  auto battery = device::section("battery.power_devices", "battery");
  std::vector<PowerDevice> out;
  if (!battery) return out;
  for (const auto& d : (*battery)["devices"]) {
    out.push_back({d["kind"] == "ups" ? PowerDeviceKind::Ups : PowerDeviceKind::Battery,
                   d["name"].get<std::string>(), detail::opt_text(d["model"]),
                   d["percentage"].get<std::uint32_t>(), d["state"].get<std::string>()});
  }
  return out;
}

std::optional<ChargeCapability> charge_capability() {
  auto battery = device::section("battery.charge_capability", "battery");
  if (!battery) return std::nullopt;
  return capability_of(*battery);
}

Result<ChargeCapability> set_charge_limit_checked(std::uint32_t percent) {
  return device::update_with<ChargeCapability>(
      "battery.set_charge_limit_checked", [&](Json& state) -> Result<ChargeCapability> {
        Json& battery = state["battery"];
        auto cap = capability_of(battery);
        if (!cap) return fail("this battery has no charge limit control");
        if (std::find(cap->allowed.begin(), cap->allowed.end(), percent) == cap->allowed.end()) {
          return fail("the battery does not accept a {}% charge limit", percent);
        }
        battery["charge_capability"]["current"] = percent;
        cap->current = percent;
        return *cap;
      });
}

}  // namespace battery
}  // namespace system_ops
