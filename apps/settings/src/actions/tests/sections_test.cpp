// The fixed sections: Network, Updates, Power, Bluetooth and Time & Date,
// their actions in order, what invoking them delivers, and their bindings.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/bluetooth_section.h"
#include "actions/network_section.h"
#include "actions/power_section.h"
#include "actions/tests/section_support.h"
#include "actions/time_date_section.h"
#include "actions/updates_section.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ActionArgs;
using kalu_actions::ActionSpec;
using kalu_actions::ControlValue;
using kalu_actions::Resource;

using namespace section_testing;

TEST(NetworkSectionTest, ElevenActionsInOrderWithTheirRecords) {
  const Resource network = network_resource();
  EXPECT_EQ(network.id, "settings.section:network");
  EXPECT_EQ(network.kind, "settings.section");
  EXPECT_EQ(network.label, "Network");
  EXPECT_TRUE(network.children.empty());
  EXPECT_EQ(names(network),
            (std::vector<std::string>{"wifi", "refresh", "run-diagnostics", "enable-wired",
                                      "disable-wired", "enable-airplane-mode",
                                      "disable-airplane-mode", "enable-hotspot", "disable-hotspot",
                                      "enable-mobile-broadband", "disable-mobile-broadband"}));
  constexpr std::string_view kId = "settings.network-operation";
  const std::pair<std::string_view, std::string_view> delivered[] = {
      {"refresh", R"("Refresh")"},
      {"run-diagnostics", R"("RunDiagnostics")"},
      {"enable-wired", R"({"SetWiredEnabled":{"enabled":true}})"},
      {"disable-wired", R"({"SetWiredEnabled":{"enabled":false}})"},
      {"enable-airplane-mode", R"({"SetAirplaneMode":{"enabled":true}})"},
      {"disable-airplane-mode", R"({"SetAirplaneMode":{"enabled":false}})"},
      {"enable-hotspot", R"({"SetHotspot":{"enabled":true}})"},
      {"disable-hotspot", R"({"SetHotspot":{"enabled":false}})"},
      {"enable-mobile-broadband", R"({"SetMobileBroadband":{"enabled":true}})"},
      {"disable-mobile-broadband", R"({"SetMobileBroadband":{"enabled":false}})"},
  };
  for (const auto& [name, payload] : delivered) {
    EXPECT_EQ(invoke(network, name, "{}", kId), payload);
    EXPECT_EQ(tags_of(action(network, name)),
              (std::vector<std::string>{"device-local", "network"}));
  }
  EXPECT_EQ(invoke(network, "wifi", R"({"value":false})", kId),
            R"({"SetWifiEnabled":{"enabled":false}})");
  // The parameter is "value": another name is refused, not read as "off".
  EXPECT_EQ(invoke(network, "wifi", R"({"enabled":true})", kId),
            "(failed: wifi: unknown argument \"enabled\"; wifi takes value (true or false))");
  EXPECT_EQ(invoke(network, "wifi", R"({"value":true})", kId),
            R"({"SetWifiEnabled":{"enabled":true}})");
  EXPECT_EQ(tags_of(action(network, "wifi")),
            (std::vector<std::string>{"device-local", "network", "hardware"}));
  for (const ActionSpec& spec : network.actions) {
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationEffect) << spec.name;
    EXPECT_FALSE(spec.is_privileged || spec.is_destructive) << spec.name;
  }
  EXPECT_EQ(network_resource(), network);
}

TEST(NetworkSectionTest, ToggleBindingOnlyForWifi) {
  auto wifi = network_toggle_binding("wifi");
  ASSERT_TRUE(wifi);
  EXPECT_EQ(wifi->resource_id, "settings.section:network");
  auto encoded = wifi->encode(ControlValue(true));
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->payload_text(), R"({"SetWifiEnabled":{"enabled":true}})");
  EXPECT_FALSE(network_toggle_binding("wired"));
}

TEST(UpdatesSectionTest, NineActionsThreeDestructiveAndOnlyTheReviewAnsweredAtOnce) {
  const Resource updates = updates_resource();
  EXPECT_EQ(updates.id, "settings.section:updates");
  EXPECT_EQ(updates.label, "Updates");
  EXPECT_EQ(names(updates), (std::vector<std::string>{"automatic", "check", "restart", "rollback",
                                                      "refresh-firmware", "install-firmware",
                                                      "review-rollback", "schedule", "metered"}));
  std::vector<std::string> destructive;
  for (const ActionSpec& spec : updates.actions) {
    if (spec.is_destructive) destructive.push_back(spec.name);
    EXPECT_FALSE(spec.is_privileged);
    const bool review = spec.name == "review-rollback";
    EXPECT_EQ(spec.operation_kind,
              review ? kalu_actions::kOperationInterface : kalu_actions::kOperationEffect);
    EXPECT_EQ(spec.contract.has_value(), !review) << spec.name;
    if (!review) {
      EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "system-update"}));
    }
  }
  EXPECT_EQ(destructive, (std::vector<std::string>{"restart", "rollback", "install-firmware"}));

  constexpr std::string_view kId = "settings.update-operation";
  EXPECT_EQ(invoke(updates, "review-rollback", "{}", kId), R"("ReviewRollback")");
  EXPECT_EQ(invoke(updates, "install-firmware", "{}", kId), R"("InstallFirmware")");
  EXPECT_EQ(invoke(updates, "schedule", R"({"choice":"Weekly"})", kId),
            R"({"SetSchedule":{"schedule":"Weekly"}})");
  EXPECT_EQ(invoke(updates, "metered", R"({"value":true})", kId),
            R"({"SetMetered":{"allowed":true}})");
  EXPECT_EQ(invoke(updates, "automatic", R"({"value":false})", kId),
            R"({"SetAutomatic":{"enabled":false}})");
  EXPECT_EQ(action(updates, "schedule").parameters.at(0).allowed_values,
            (std::vector<std::string>{"System schedule", "Daily", "Weekly"}));
}

TEST(UpdatesSectionTest, BindingsOfThePage) {
  for (const std::string_view name : {"automatic", "metered"}) {
    EXPECT_TRUE(updates_toggle_binding(name)) << name;
  }
  EXPECT_FALSE(updates_toggle_binding("automatic-updates"));
  auto schedule = updates_choice_binding();
  ASSERT_TRUE(schedule);
  auto encoded = schedule->encode(ControlValue(std::string("Daily")));
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->payload_text(), R"({"SetSchedule":{"schedule":"Daily"}})");
  for (const std::string_view name : {"check", "restart", "refresh-firmware", "install-firmware"}) {
    auto command = updates_command_binding(name);
    ASSERT_TRUE(command) << name;
    EXPECT_EQ(command->invocation(ControlValue())->arguments_json, "{}");
  }
  EXPECT_FALSE(updates_command_binding("reboot"));
}

TEST(PowerSectionTest, ChoicesBecomeTheirRecordsByKey) {
  const Resource power = power_resource(std::nullopt);
  constexpr std::string_view kId = "settings.power-operation";
  struct Case {
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
  };
  const Case cases[] = {
      {"auto_suspend", R"({"value":true})", R"({"SetAutoSuspend":{"enabled":true}})"},
      {"profile", R"({"choice":"Balanced"})", R"({"SetProfile":{"profile":"Balanced"}})"},
      // Not case-folded: not one of the choices.
      {"profile", R"({"choice":"balanced"})",
       "(failed: profile: choice must be one of Power Saver, Balanced, Performance)"},
      {"suspend-after", R"({"choice":"45 minutes"})",
       R"({"SetSuspendTimeout":{"profile":"default","label":"45 minutes"}})"},
      {"blank-after", R"({"choice":"1 minute"})", R"({"SetBlankTimeout":{"label":"1 minute"}})"},
      {"lock-after", R"({"choice":"Never"})", R"({"SetLockTimeout":{"label":"Never"}})"},
      {"saver-suspend", R"({"choice":"1 hour"})",
       R"({"SetSuspendTimeout":{"profile":"saver","label":"1 hour"}})"},
      {"balanced-suspend", R"({"choice":"Never"})",
       R"({"SetSuspendTimeout":{"profile":"balanced","label":"Never"}})"},
      {"performance-suspend", R"({"choice":"5 minutes"})",
       R"({"SetSuspendTimeout":{"profile":"performance","label":"5 minutes"}})"},
      {"lid", R"({"choice":"Suspend"})", R"({"SetLidAction":{"action":"Suspend"}})"},
      {"power_key", R"({"choice":"Lock screen"})",
       R"({"SetPowerKeyAction":{"action":"Lock screen"}})"},
      {"critical", R"({"choice":"Do nothing"})",
       R"({"SetCriticalAction":{"action":"Do nothing"}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(power, c.name, c.arguments, kId), c.payload) << c.name;
  }
}

TEST(PowerSectionTest, ElevenActionsWithoutAChargeCapAndTheCapLastAndPrivilegedWithOne) {
  const std::vector<std::string> fixed = {
      "auto_suspend", "profile",       "suspend-after",    "blank-after",
      "lock-after",   "saver-suspend", "balanced-suspend", "performance-suspend",
      "lid",          "power_key",     "critical"};
  const Resource without = power_resource(std::nullopt);
  EXPECT_EQ(without.id, "settings.section:power");
  EXPECT_EQ(without.label, "Power");
  EXPECT_EQ(names(without), fixed);
  EXPECT_EQ(without.action("power-key"), nullptr);
  for (const ActionSpec& spec : without.actions) {
    EXPECT_FALSE(spec.is_privileged || spec.is_destructive) << spec.name;
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "power"})) << spec.name;
  }
  // Screen delays start at one minute and stop before 45; suspend delays the reverse.
  EXPECT_EQ(action(without, "blank-after").parameters.at(0).allowed_values,
            (std::vector<std::string>{"1 minute", "5 minutes", "10 minutes", "15 minutes",
                                      "30 minutes", "Never"}));
  EXPECT_EQ(action(without, "saver-suspend").parameters.at(0).allowed_values,
            (std::vector<std::string>{"5 minutes", "10 minutes", "15 minutes", "30 minutes",
                                      "45 minutes", "1 hour", "Never"}));

  const Resource with = power_resource(system_ops::battery::ChargeCapability{{60, 80, 100}, 80});
  ASSERT_EQ(with.actions.size(), 12u);
  const ActionSpec& cap = with.actions.back();
  EXPECT_EQ(cap.name, "set-charge-cap");
  EXPECT_TRUE(cap.is_privileged);
  EXPECT_FALSE(cap.is_destructive);
  EXPECT_EQ(cap.description, "Choose a supported charge percentage");
  ASSERT_EQ(cap.parameters.size(), 1u);
  EXPECT_EQ(cap.parameters[0].name, "percent");
  EXPECT_EQ(cap.parameters[0].label, "Charge percentage");
  EXPECT_EQ(cap.parameters[0].allowed_values, (std::vector<std::string>{"60", "80", "100"}));
  EXPECT_EQ(tags_of(cap), (std::vector<std::string>{"device-local", "hardware"}));
}

TEST(PowerSectionTest, ChargeCapTakesOneOfTheSupportedPercentages) {
  const std::vector<std::uint32_t> supported = {60, 80, 100};
  const Resource power = power_resource(system_ops::battery::ChargeCapability{supported, 60});
  constexpr std::string_view kId = "settings.power-operation";
  const std::pair<std::string_view, std::string_view> cases[] = {
      {R"({"percent":"80"})", R"({"SetChargeLimit":{"percent":80}})"},
      {R"({"percent":"100"})", R"({"SetChargeLimit":{"percent":100}})"},
      // Anything else is refused saying what is allowed, never read as the
      // current cap.
      {R"({"percent":"70%"})", "(failed: set-charge-cap: percent must be one of 60, 80, 100)"},
      {R"({"percent":"80%"})", "(failed: set-charge-cap: percent must be one of 60, 80, 100)"},
      {R"({"percent":60})",
       "(failed: set-charge-cap: percent must be a string, one of 60, 80, 100)"},
      {"{}", "(failed: set-charge-cap: percent is required: one of 60, 80, 100)"},
  };
  for (const auto& [arguments, delivered] : cases) {
    EXPECT_EQ(invoke(power, "set-charge-cap", arguments, kId), delivered) << arguments;
  }
  auto binding = charge_cap_binding(supported, 60);
  ASSERT_TRUE(binding);
  EXPECT_EQ(binding->resource_id, "settings.section:power");
  auto encoded = binding->encode(ControlValue(std::string("100%")));
  ASSERT_TRUE(encoded);
  EXPECT_EQ(encoded->payload_text(), R"({"SetChargeLimit":{"percent":100}})");
}

TEST(PowerSectionTest, BindingsReadTheChargeCapabilityOfTheDevice) {
  sim_device::ScopedDeviceState device;
  // The seeded battery offers a charge cap.
  EXPECT_EQ(power_resource().actions.size(), 12u);
  EXPECT_TRUE(power_choice_binding("set-charge-cap"));
  auto lid = power_choice_binding("lid");
  ASSERT_TRUE(lid);
  EXPECT_EQ(lid->encode(ControlValue(std::string("Suspend")))->payload_text(),
            R"({"SetLidAction":{"action":"Suspend"}})");
  auto suspend = power_toggle_binding("auto_suspend");
  ASSERT_TRUE(suspend);
  EXPECT_EQ(suspend->encode(ControlValue(true))->payload_text(),
            R"({"SetAutoSuspend":{"enabled":true}})");
  EXPECT_FALSE(power_choice_binding("power-key"));

  ASSERT_EQ(sim_device::simdev::command({"set", "battery.charge_capability", "null"}).status, 0);
  EXPECT_EQ(power_resource().actions.size(), 11u);
  EXPECT_FALSE(power_choice_binding("set-charge-cap"));
  EXPECT_TRUE(power_choice_binding("critical"));
}

system_ops::bluez::BluetoothDevice device(std::string path, bool paired, bool connected) {
  system_ops::bluez::BluetoothDevice d;
  d.path = std::move(path);
  d.name = "Device " + d.path;
  d.paired = paired;
  d.connected = connected;
  return d;
}

TEST(BluetoothSectionTest, EachDeviceCarriesTheActionsItsStateAllows) {
  const std::vector<system_ops::bluez::BluetoothDevice> devices = {
      device("/hci0/dev_A", true, true), device("/hci0/dev_B", true, false),
      device("/hci0/dev_C", false, false)};
  const Resource bluetooth = bluetooth_resource(devices);
  EXPECT_EQ(bluetooth.id, "settings.section:bluetooth");
  EXPECT_EQ(names(bluetooth), (std::vector<std::string>{"bluetooth", "scan", "refresh"}));
  ASSERT_EQ(bluetooth.children.size(), 3u);
  const Resource& connected = bluetooth.children[0];
  EXPECT_EQ(connected.id, "settings.bluetooth-device:/hci0/dev_A");
  EXPECT_EQ(connected.kind, "settings.bluetooth-device");
  EXPECT_EQ(connected.label, "Device /hci0/dev_A");
  EXPECT_EQ(names(connected), (std::vector<std::string>{"disconnect", "forget"}));
  EXPECT_EQ(names(bluetooth.children[1]), (std::vector<std::string>{"connect", "forget"}));
  EXPECT_EQ(names(bluetooth.children[2]), (std::vector<std::string>{"pair"}));

  constexpr std::string_view kId = "settings.bluetooth-operation";
  const ActionSpec& forget = action(connected, "forget");
  EXPECT_TRUE(forget.is_destructive);
  EXPECT_EQ(tags_of(forget),
            (std::vector<std::string>{"device-local", "bluetooth", "destructive", "live-device"}));
  EXPECT_EQ(invoke(connected, "forget", "{}", kId), R"({"Forget":{"path":"/hci0/dev_A"}})");
  EXPECT_EQ(invoke(connected, "disconnect", "{}", kId), R"({"Disconnect":{"path":"/hci0/dev_A"}})");
  EXPECT_FALSE(action(connected, "disconnect").is_destructive);
  EXPECT_EQ(tags_of(action(connected, "disconnect")),
            (std::vector<std::string>{"device-local", "bluetooth", "live-device"}));
  EXPECT_EQ(invoke(bluetooth.children[2], "pair", "{}", kId), R"({"Pair":{"path":"/hci0/dev_C"}})");
  EXPECT_EQ(invoke(bluetooth, "bluetooth", R"({"value":false})", kId),
            R"({"SetPowered":{"enabled":false}})");
  EXPECT_EQ(invoke(bluetooth, "scan", "{}", kId), R"("StartScan")");
  EXPECT_EQ(tags_of(action(bluetooth, "bluetooth")),
            (std::vector<std::string>{"device-local", "bluetooth", "hardware"}));
}

TEST(BluetoothSectionTest, ListsAtMost256Devices) {
  std::vector<system_ops::bluez::BluetoothDevice> devices;
  for (int i = 0; i < 300; ++i) devices.push_back(device(fmt::format("/dev_{}", i), false, false));
  const Resource bluetooth = bluetooth_resource(devices);
  ASSERT_EQ(bluetooth.children.size(), 256u);
  EXPECT_EQ(bluetooth.children.back().id, "settings.bluetooth-device:/dev_255");
}

TEST(BluetoothSectionTest, ReadsTheDevicesOfTheBluetoothServiceAndBindsThePowerToggle) {
  sim_device::ScopedDeviceState state;
  const Resource seeded = bluetooth_resource();
  ASSERT_EQ(seeded.children.size(), 3u);
  EXPECT_EQ(seeded.children[0].label, "Studio Headphones");
  // Powered off, the service lists nothing, and nothing is reported.
  ASSERT_EQ(sim_device::simdev::command({"set", "bluetooth.powered", "false"}).status, 0);
  EXPECT_TRUE(bluetooth_resource().children.empty());
  ASSERT_EQ(sim_device::simdev::command({"fault", "bluez.devices", "adapter gone"}).status, 0);
  EXPECT_EQ(names(bluetooth_resource()),
            (std::vector<std::string>{"bluetooth", "scan", "refresh"}));

  auto power = bluetooth_toggle_binding("bluetooth");
  ASSERT_TRUE(power);
  EXPECT_EQ(power->encode(ControlValue(true))->payload_text(),
            R"({"SetPowered":{"enabled":true}})");
  EXPECT_FALSE(bluetooth_toggle_binding("scan-toggle"));
}

TEST(TimeDateSectionTest, ThreeActionsAndTheZoneIsNamedUnderChoice) {
  const Resource time = time_date_resource();
  EXPECT_EQ(time.id, "settings.section:time_date");
  EXPECT_EQ(time.label, "Time & Date");
  EXPECT_EQ(names(time), (std::vector<std::string>{"automatic-time", "24-hour", "timezone"}));
  constexpr std::string_view kId = "settings.time-date-operation";
  EXPECT_EQ(invoke(time, "24-hour", R"({"value":true})", kId), R"({"SetHourCycle":{"h24":true}})");
  EXPECT_EQ(invoke(time, "automatic-time", R"({"value":false})", kId),
            R"({"SetAutomaticTime":{"enabled":false}})");
  // The field has its name: another one is refused, never read as "UTC".
  EXPECT_EQ(invoke(time, "timezone", "{}", kId),
            "(failed: timezone: choice is required: a string)");
  EXPECT_EQ(invoke(time, "timezone", R"({"timezone":"Europe/Paris"})", kId),
            "(failed: timezone: unknown argument \"timezone\"; timezone takes choice (a string))");
  EXPECT_EQ(invoke(time, "timezone", R"({"choice":"Europe/Berlin"})", kId),
            R"({"SetTimezone":{"timezone":"Europe/Berlin"}})");
  const ActionSpec& zone = action(time, "timezone");
  EXPECT_EQ(zone.description, "IANA time-zone identifier");
  ASSERT_EQ(zone.parameters.size(), 1u);
  EXPECT_EQ(zone.parameters[0].name, "choice");
  EXPECT_EQ(zone.parameters[0].label, "Time zone");
  EXPECT_TRUE(zone.parameters[0].allowed_values.empty());
  EXPECT_EQ(action(time, "24-hour").parameters.at(0).label,
            "Whether this local time control is enabled");
  for (const ActionSpec& spec : time.actions) {
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "time-date"}));
  }

  EXPECT_TRUE(time_date_toggle_binding("automatic-time"));
  EXPECT_TRUE(time_date_toggle_binding("24-hour"));
  auto zone_binding = time_date_choice_binding("timezone");
  ASSERT_TRUE(zone_binding);
  EXPECT_EQ(zone_binding->encode(ControlValue(std::string("Asia/Tokyo")))->payload_text(),
            R"({"SetTimezone":{"timezone":"Asia/Tokyo"}})");
  EXPECT_FALSE(time_date_choice_binding("zone"));
}

}  // namespace
}  // namespace settings::actions
