#include "system_ops/dispatcher.h"

namespace system_ops {

namespace {
kalu_ui::Status unavailable() { return kalu_ui::fail(kNotAvailable); }
}  // namespace

// No device service is wired in yet: every change is refused rather than
// reported as done.
kalu_ui::Status Dispatcher::set_airplane_mode(bool) { return unavailable(); }
kalu_ui::Status Dispatcher::set_hotspot(bool) { return unavailable(); }
kalu_ui::Status Dispatcher::set_mobile_broadband(bool) { return unavailable(); }
kalu_ui::Status Dispatcher::set_vpn_connection(const std::string&, bool) { return unavailable(); }
kalu_ui::Status Dispatcher::set_mute(bool) { return unavailable(); }

kalu_ui::Status RealDispatcher::set_brightness(float) { return unavailable(); }
kalu_ui::Status RealDispatcher::set_volume(float) { return unavailable(); }
kalu_ui::Status RealDispatcher::set_wifi(bool) { return unavailable(); }
kalu_ui::Status RealDispatcher::set_bluetooth(bool) { return unavailable(); }
kalu_ui::Status RealDispatcher::connect_bluetooth(const std::string&) { return unavailable(); }
kalu_ui::Status RealDispatcher::disconnect_bluetooth(const std::string&) { return unavailable(); }
kalu_ui::Status RealDispatcher::set_wired(bool) { return unavailable(); }
kalu_ui::Status RealDispatcher::connect_wifi(const std::string&,
                                             const std::optional<std::string>&) {
  return unavailable();
}
kalu_ui::Status RealDispatcher::set_power_profile(PowerProfile) { return unavailable(); }
kalu_ui::Status RealDispatcher::toggle_mute() { return unavailable(); }

}  // namespace system_ops
