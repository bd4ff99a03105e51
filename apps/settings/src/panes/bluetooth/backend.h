#pragma once

// The Bluetooth pane's one road to the system: thirteen calls, each a plain
// forward to the function of the same name in system_ops::bluez (the
// simulated device unless KALU_DEVICE=system). The real backend keeps no
// state, so one shared handle serves the UI thread and the pairing worker at
// once; the pane's tests hand the pane a fake instead. Every fallible call
// answers an error whose text the pane shows as it is.

#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "system_ops/bluez.h"

namespace settings::panes::bluetooth {

// The device record as the system lists it (path, address, name, icon,
// optional signal and battery, paired, trusted, connected).
using BluetoothDevice = system_ops::bluez::BluetoothDevice;
// An error when pairing failed; else nothing (paired and connected) or the
// text of the connection that failed after pairing.
using PairResult = system_ops::bluez::PairResult;

class BluetoothBackend {
 public:
  virtual ~BluetoothBackend() = default;

  virtual kalu_ui::Result<std::vector<BluetoothDevice>> devices() = 0;
  virtual kalu_ui::Result<bool> is_powered() = 0;
  virtual kalu_ui::Result<bool> is_scanning() = 0;
  virtual kalu_ui::Status set_powered(bool enabled) = 0;
  virtual kalu_ui::Status start_scan() = 0;
  virtual kalu_ui::Status stop_scan() = 0;
  // Slow: only the pairing worker calls it.
  virtual PairResult pair(const std::string& path) = 0;
  virtual kalu_ui::Status cancel_pairing(const std::string& path) = 0;
  virtual kalu_ui::Status connect(const std::string& path) = 0;
  virtual kalu_ui::Status disconnect(const std::string& path) = 0;
  virtual kalu_ui::Status set_trusted(const std::string& path, bool trusted) = 0;
  virtual kalu_ui::Status set_alias(const std::string& path, const std::string& alias) = 0;
  virtual kalu_ui::Status forget(const std::string& path) = 0;
};

using SharedBluetoothBackend = std::shared_ptr<BluetoothBackend>;

// The backend over system_ops::bluez.
SharedBluetoothBackend system_backend();

}  // namespace settings::panes::bluetooth
