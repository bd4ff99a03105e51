#include "system_ops/dispatcher.h"

#include "system_ops/audio.h"
#include "system_ops/bluez.h"
#include "system_ops/display.h"
#include "system_ops/network.h"
#include "system_ops/power.h"

namespace system_ops {

namespace {
// The dispatcher names a device by its address or its object path.
std::string device_path(const std::string& address) {
  if (address.starts_with("/")) return address;
  if (auto devices = bluez::devices()) {
    for (const auto& d : *devices) {
      if (d.address == address) return d.path;
    }
  }
  return address;
}
}  // namespace

// The interface answers these five itself, from the functions of the same
// names, so every dispatcher offers them alike.
kalu_ui::Status Dispatcher::set_airplane_mode(bool enabled) {
  return network::set_airplane_mode(enabled);
}
kalu_ui::Status Dispatcher::set_hotspot(bool enabled) { return network::set_hotspot(enabled); }
kalu_ui::Status Dispatcher::set_mobile_broadband(bool enabled) {
  return network::set_mobile_broadband(enabled);
}
kalu_ui::Status Dispatcher::set_vpn_connection(const std::string& name, bool active) {
  return network::set_vpn_connection(name, active);
}
kalu_ui::Status Dispatcher::set_mute(bool muted) { return audio::set_mute(muted); }

kalu_ui::Status RealDispatcher::set_brightness(float percent) {
  return display::set_brightness(percent);
}
kalu_ui::Status RealDispatcher::set_volume(float percent) { return audio::set_volume(percent); }
kalu_ui::Status RealDispatcher::set_wifi(bool enabled) { return network::set_wifi(enabled); }
kalu_ui::Status RealDispatcher::set_bluetooth(bool enabled) { return bluez::set_powered(enabled); }
kalu_ui::Status RealDispatcher::connect_bluetooth(const std::string& address) {
  return bluez::connect(device_path(address));
}
kalu_ui::Status RealDispatcher::disconnect_bluetooth(const std::string& address) {
  return bluez::disconnect(device_path(address));
}
kalu_ui::Status RealDispatcher::set_wired(bool enabled) { return network::set_wired(enabled); }
kalu_ui::Status RealDispatcher::connect_wifi(const std::string& ssid,
                                             const std::optional<std::string>& password) {
  return network::connect_wifi(ssid, password);
}
kalu_ui::Status RealDispatcher::set_power_profile(PowerProfile profile) {
  return power::set_power_profile(profile);
}
kalu_ui::Status RealDispatcher::toggle_mute() { return audio::toggle_mute(); }

}  // namespace system_ops
