#pragma once

#include <optional>
#include <string>

#include "kalu_ui/result.h"
#include "system_ops/power.h"

// The system operations dispatcher: the changes the panes make to the device
// (radios, connections, brightness, volume, power profile). One shared,
// stateless object serves every pane and worker thread, so every operation
// must be callable from any thread. Each answers success when the system took
// the change, or an error with a display text. The real dispatcher acts on the
// device through the network, bluez, display, audio and power calls of the
// same names.
namespace system_ops {

class Dispatcher {
 public:
  virtual ~Dispatcher() = default;

  virtual kalu_ui::Status set_brightness(float percent) = 0;  // 0 to 100
  virtual kalu_ui::Status set_volume(float percent) = 0;      // 0 to 100
  virtual kalu_ui::Status set_wifi(bool enabled) = 0;
  virtual kalu_ui::Status set_bluetooth(bool enabled) = 0;
  virtual kalu_ui::Status connect_bluetooth(const std::string& address) = 0;
  virtual kalu_ui::Status disconnect_bluetooth(const std::string& address) = 0;
  virtual kalu_ui::Status set_wired(bool enabled) = 0;
  // The next five are answered by the interface itself from the network and
  // audio functions of the same names, so implementations need not supply them.
  virtual kalu_ui::Status set_airplane_mode(bool enabled);
  virtual kalu_ui::Status set_hotspot(bool enabled);
  virtual kalu_ui::Status set_mobile_broadband(bool enabled);
  virtual kalu_ui::Status set_vpn_connection(const std::string& name, bool active);
  virtual kalu_ui::Status connect_wifi(const std::string& ssid,
                                       const std::optional<std::string>& password) = 0;
  virtual kalu_ui::Status set_power_profile(PowerProfile profile) = 0;
  virtual kalu_ui::Status toggle_mute() = 0;
  virtual kalu_ui::Status set_mute(bool muted);
};

// The dispatcher of the running device (the simulated device). It carries no
// data.
class RealDispatcher : public Dispatcher {
 public:
  kalu_ui::Status set_brightness(float percent) override;
  kalu_ui::Status set_volume(float percent) override;
  kalu_ui::Status set_wifi(bool enabled) override;
  kalu_ui::Status set_bluetooth(bool enabled) override;
  kalu_ui::Status connect_bluetooth(const std::string& address) override;
  kalu_ui::Status disconnect_bluetooth(const std::string& address) override;
  kalu_ui::Status set_wired(bool enabled) override;
  kalu_ui::Status connect_wifi(const std::string& ssid,
                               const std::optional<std::string>& password) override;
  kalu_ui::Status set_power_profile(PowerProfile profile) override;
  kalu_ui::Status toggle_mute() override;
};

}  // namespace system_ops
