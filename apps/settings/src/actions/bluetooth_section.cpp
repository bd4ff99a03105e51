#include "actions/bluetooth_section.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "operations/records.h"

namespace settings::actions {

using operations::BluetoothOperation;

namespace {

constexpr std::array<std::string_view, 3> kDeviceTags = {"device-local", "bluetooth",
                                                         "live-device"};

void add(kalu_actions::Resource& resource, std::optional<kalu_actions::ActionSpec> spec) {
  if (spec) resource.actions.push_back(std::move(*spec));
}

kalu_actions::Resource device_item(const system_ops::bluez::BluetoothDevice& device) {
  auto item = kalu_actions::Resource::create("settings.bluetooth-device:" + device.path,
                                             "settings.bluetooth-device", device.name);
  const std::string& path = device.path;
  if (!device.paired) {
    add(item,
        bluetooth_operation_spec("pair", "Pair", BluetoothOperation::Pair{path}, kDeviceTags));
    return item;
  }
  if (device.connected) {
    add(item, bluetooth_operation_spec("disconnect", "Disconnect",
                                       BluetoothOperation::Disconnect{path}, kDeviceTags));
  } else {
    add(item, bluetooth_operation_spec("connect", "Connect", BluetoothOperation::Connect{path},
                                       kDeviceTags));
  }
  auto forget =
      bluetooth_operation_spec("forget", "Forget device", BluetoothOperation::Forget{path},
                               {"device-local", "bluetooth", "destructive", "live-device"});
  if (forget) add(item, std::move(*forget).destructive());
  return item;
}

}  // namespace

kalu_actions::Resource bluetooth_resource(
    std::span<const system_ops::bluez::BluetoothDevice> devices) {
  auto section = kalu_actions::Resource::create(std::string(kSectionResourcePrefix) + "bluetooth",
                                                std::string(kSectionResourceKind), "Bluetooth");
  section = std::move(section).with_action(toggle_operation_spec<BluetoothOperation>(
      "bluetooth", "Set Bluetooth power",
      [](bool on) { return BluetoothOperation{BluetoothOperation::SetPowered{on}}; },
      {"device-local", "bluetooth", "hardware"}));
  add(section,
      bluetooth_operation_spec("scan", "Scan for Bluetooth devices",
                               BluetoothOperation::StartScan{}, {"device-local", "bluetooth"}));
  add(section,
      bluetooth_operation_spec("refresh", "Refresh Bluetooth devices",
                               BluetoothOperation::Refresh{}, {"device-local", "bluetooth"}));
  const std::size_t listed = std::min(devices.size(), kMaxItems);
  section.children.reserve(listed);
  for (const auto& device : devices.first(listed)) section.children.push_back(device_item(device));
  return section;
}

kalu_actions::Resource bluetooth_resource() {
  auto devices = system_ops::bluez::devices();
  if (!devices) return bluetooth_resource({});
  return bluetooth_resource(*devices);
}

std::optional<kalu_actions::ActionBinding> bluetooth_toggle_binding(std::string_view action_name) {
  // The binding needs the section's actions, not its devices.
  return bind_toggle(bluetooth_resource({}), action_name);
}

}  // namespace settings::actions
