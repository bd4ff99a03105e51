#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// The Bluetooth service of the device: the adapter's power and discovery and
// the devices it knows, on the simulated device (section "bluetooth"). Every
// call may be made from any thread; `pair` takes a while ("bluez.pair" delay)
// and is meant for a worker thread, and `cancel_pairing` from another thread
// ends it early. A fault injected as "bluez.<function>" answers its text.
namespace system_ops::bluez {

struct BluetoothDevice {
  std::string path;  // the object path; names the device in every call
  std::string address;
  std::string name;  // the alias when one is set, else the device's own name
  std::string icon;  // "audio-headphones", "input-mouse", ...
  std::optional<std::int16_t> rssi;
  std::optional<std::uint8_t> battery;
  bool paired = false;
  bool trusted = false;
  bool connected = false;
};

// An error when pairing failed; else nothing (paired and connected) or the
// text of the connection that failed after pairing.
using PairResult = kalu_ui::Result<std::optional<std::string>>;

kalu_ui::Result<std::vector<BluetoothDevice>> devices();  // empty while powered off
kalu_ui::Result<bool> is_powered();
kalu_ui::Result<bool> is_scanning();
kalu_ui::Status set_powered(bool enabled);  // off also disconnects and stops discovery
kalu_ui::Status start_scan();
kalu_ui::Status stop_scan();
PairResult pair(const std::string& path);
kalu_ui::Status cancel_pairing(const std::string& path);
kalu_ui::Status connect(const std::string& path);
kalu_ui::Status disconnect(const std::string& path);
kalu_ui::Status forget(const std::string& path);
kalu_ui::Status set_trusted(const std::string& path, bool trusted);
// An empty alias (after trimming) gives the device its own name back.
kalu_ui::Status set_alias(const std::string& path, const std::string& alias);

}  // namespace system_ops::bluez
