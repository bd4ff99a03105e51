#include "panes/bluetooth/model.h"

#include <fmt/format.h>

#include <algorithm>
#include <unordered_map>

namespace settings::panes::bluetooth {
namespace {

constexpr std::string_view kControlIdFormat = "bluetooth.device.{}.{}";

bool plain_key_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// A prefix code over the path's bytes, so two paths never meet; it starts
// with '-', which no key device_key gives here does (those are refused).
std::string escaped_path_key(std::string_view path) {
  std::string key = "-";
  for (const char ch : path) {
    const auto c = static_cast<unsigned char>(ch);
    if (plain_key_byte(c)) {
      key += ch;
    } else if (ch == '/') {
      key += "-s";
    } else if (ch == '.') {
      key += "-d";
    } else if (ch == '-') {
      key += "--";
    } else {
      key += fmt::format("-x{:02X}", c);
    }
  }
  return key;
}

}  // namespace

std::string device_key(std::string_view path) {
  const auto slash = path.rfind('/');
  std::string key(slash == std::string_view::npos ? path : path.substr(slash + 1));
  std::replace(key.begin(), key.end(), '.', '_');
  return key;
}

std::string device_control_id(std::string_view path, std::string_view action) {
  return control_id_for_key(device_key(path), action);
}

std::string control_id_for_key(std::string_view key, std::string_view action) {
  return fmt::format(kControlIdFormat, key, action);
}

std::vector<std::string> device_keys(std::span<const BluetoothDevice> devices) {
  std::vector<std::string> keys;
  keys.reserve(devices.size());
  // The paths each plain key stands for; a key shared by two paths is escaped.
  std::unordered_map<std::string, std::string_view> first_path;
  std::unordered_map<std::string, bool> shared;
  for (const auto& device : devices) {
    keys.push_back(device_key(device.path));
    auto [at, fresh] = first_path.try_emplace(keys.back(), device.path);
    if (!fresh && at->second != device.path) shared[keys.back()] = true;
  }
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].starts_with('-') || shared.contains(keys[i])) {
      keys[i] = escaped_path_key(devices[i].path);
    }
  }
  return keys;
}

DeviceControlIds device_control_ids(std::string_view key) {
  DeviceControlIds ids;
  for (std::size_t i = 0; i < kDeviceKeyNames.size(); ++i) {
    ids[i] = control_id_for_key(key, kDeviceKeyNames[i]);
  }
  return ids;
}

PrimaryAction primary_action(const BluetoothDevice& device, bool pairing_this) {
  if (pairing_this) return PrimaryAction::kCancel;
  if (!device.paired) return PrimaryAction::kPair;
  if (!device.connected) return PrimaryAction::kConnect;
  return PrimaryAction::kDisconnect;
}

std::string_view primary_action_name(PrimaryAction action) {
  switch (action) {
    case PrimaryAction::kCancel:
      return device_key_name(DeviceKey::kCancel);
    case PrimaryAction::kPair:
      return device_key_name(DeviceKey::kPair);
    case PrimaryAction::kConnect:
      return device_key_name(DeviceKey::kConnect);
    case PrimaryAction::kDisconnect:
      return device_key_name(DeviceKey::kDisconnect);
  }
  return {};
}

std::string_view primary_action_label(PrimaryAction action) {
  switch (action) {
    case PrimaryAction::kCancel:
      return "Cancel pairing";
    case PrimaryAction::kPair:
      return "Pair";
    case PrimaryAction::kConnect:
      return "Connect";
    case PrimaryAction::kDisconnect:
      return "Disconnect";
  }
  return {};
}

std::string device_state_text(const BluetoothDevice& device) {
  std::string text = device.connected ? "Connected" : device.paired ? "Paired" : "Nearby";
  if (device.battery) text += fmt::format(" · Battery {}%", *device.battery);
  return text;
}

std::string device_name_at(std::span<const BluetoothDevice> devices, std::string_view path) {
  for (const auto& device : devices) {
    if (device.path == path) return device.name;
  }
  return "Device";
}

std::string as_sentence(std::string_view error) {
  std::string text(error);
  if (text.empty() || !(text.ends_with('.') || text.ends_with('!') || text.ends_with('?'))) {
    text += '.';
  }
  return text;
}

PairOutcome pair_outcome(std::string_view name, const PairResult& result) {
  if (!result) {
    return {fmt::format("Could not pair {}: {} Check that it is awake and in pairing mode, then "
                        "retry.",
                        name, as_sentence(result.error())),
            false};
  }
  if (!*result) return {fmt::format("{} is paired and connected.", name), true};
  return {fmt::format("{} paired, but did not connect: {} Use Connect to retry.", name,
                      as_sentence(**result)),
          true};
}

}  // namespace settings::panes::bluetooth
