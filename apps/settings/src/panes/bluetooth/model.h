#pragma once

// The Bluetooth pane's plain data and pure functions: its document keys,
// the device keys and control ids, the device's primary action and state
// caption, and the texts of pairing outcomes. Nothing here reads the system
// or touches a widget.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "panes/bluetooth/backend.h"

namespace settings::panes::bluetooth {

// Adapter-wide document keys: the power toggle's value, and two momentary
// keys (a true value is a press, written back to false when handled).
inline constexpr std::string_view kEnabledKey = "bluetooth.enabled";
inline constexpr std::string_view kScanKey = "bluetooth.scan";
inline constexpr std::string_view kRefreshKey = "bluetooth.refresh";

// The per-device keys, "bluetooth.device.{device key}.{action}". All are
// momentary booleans except "trusted" (a setting) and "alias" (text).
enum class DeviceKey : std::uint8_t {
  kPair,
  kCancel,
  kConnect,
  kDisconnect,
  kDetails,
  kTrusted,
  kRename,
  kAlias,
  kForget,
};
inline constexpr std::array<std::string_view, 9> kDeviceKeyNames = {
    "pair", "cancel", "connect", "disconnect", "details", "trusted", "rename", "alias", "forget"};
inline constexpr std::array<DeviceKey, 7> kMomentaryKeys = {
    DeviceKey::kPair,    DeviceKey::kConnect, DeviceKey::kCancel, DeviceKey::kDisconnect,
    DeviceKey::kDetails, DeviceKey::kRename,  DeviceKey::kForget};

constexpr std::string_view device_key_name(DeviceKey key) {
  return kDeviceKeyNames[static_cast<std::size_t>(key)];
}

// The text after the last '/' of the object path (the whole path without
// one), every '.' replaced by '_': "/a/b.c" gives "b_c".
std::string device_key(std::string_view path);
// "bluetooth.device.{device key of path}.{action}".
std::string device_control_id(std::string_view path, std::string_view action);
// "bluetooth.device.{key}.{action}" for a key already made.
std::string control_id_for_key(std::string_view key, std::string_view action);

// The keys of a listed device, one per device in list order, never shared
// by two devices of different paths: device_key where that is unique in the
// list; where it is not (the same device seen through two adapters), or
// where it begins with '-', the device's whole path escaped injectively
// ("-" then '/' as "-s", '.' as "-d", '-' as "--", other bytes outside
// [A-Za-z0-9_] as "-xHH"), so one press always names one device.
std::vector<std::string> device_keys(std::span<const BluetoothDevice> devices);

// The document keys of one device, by DeviceKey.
using DeviceControlIds = std::array<std::string, kDeviceKeyNames.size()>;
DeviceControlIds device_control_ids(std::string_view key);

// The main button of a device's row.
enum class PrimaryAction : std::uint8_t { kCancel, kPair, kConnect, kDisconnect };
// "cancel" while this device is being paired; else "pair" when not paired;
// else "connect" when not connected; else "disconnect".
PrimaryAction primary_action(const BluetoothDevice& device, bool pairing_this);
std::string_view primary_action_name(PrimaryAction action);   // "pair", ...
std::string_view primary_action_label(PrimaryAction action);  // "Pair", ...

// "Connected", "Paired" or "Nearby", then " · Battery {}%" when known.
std::string device_state_text(const BluetoothDevice& device);

// The name of the device at `path` in the list, or "Device".
std::string device_name_at(std::span<const BluetoothDevice> devices, std::string_view path);

// A backend's error text as a sentence that another may follow: with a final
// stop unless it already ends in one.
std::string as_sentence(std::string_view error);

// What a pairing came to, for the status line and the Pair operation.
struct PairOutcome {
  std::string message;
  bool success = false;
};
// Failed: "Could not pair {name}: {error} Check that ...". Paired and
// connected: "{name} is paired and connected.". Paired, connection refused:
// "{name} paired, but did not connect: {error} Use Connect to retry." (a
// success).
PairOutcome pair_outcome(std::string_view name, const PairResult& result);

}  // namespace settings::panes::bluetooth
