// The checks the executor makes before it hands an operation over, against
// a simulated device: what each refuses, with which sentence, and that the
// operation's pane is shown either way.

#include "settings_app/executor_checks.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <optional>
#include <string>

#include "executor_fixture.h"
#include "operations/keys.h"
#include "operations/mailbox.h"
#include "settings_app/executor.h"

namespace settings::settings_app {
namespace {

using kalu_ui::DeviceLocalOutcome;
using sim_device::Json;
using testing::bytes;
using testing::DeviceScope;
namespace op = operations;

using enum panes::Pane;

struct CheckCase {
  std::string name;
  std::string_view action;
  std::string payload;
  // Readies the device before the operation; may be empty.
  std::function<void()> setup;
  // The refusal; none when the operation is accepted.
  std::optional<std::string> refusal;
  panes::Pane pane;
};

// The refusal's text; empty for a success.
template <typename T>
std::string refusal(const kalu_ui::Result<T>& result) {
  return result ? std::string() : result.error();
}

std::function<void()> fault(std::string_view operation, std::string_view text) {
  return [=] { DeviceScope::inject_fault(operation, text); };
}

std::vector<CheckCase> check_cases() {
  constexpr std::string_view kDisplay = "settings.display-operation";
  constexpr std::string_view kAudio = "settings.audio-operation";
  constexpr std::string_view kPrinter = "settings.printer-operation";
  constexpr std::string_view kBt = "settings.bluetooth-operation";
  constexpr std::string_view kNet = "settings.network-operation";
  constexpr std::string_view kPow = "settings.power-operation";
  const std::string headphones = "/org/bluez/hci0/dev_3C_A1_0B_55_21_7E";  // paired, connected
  const std::string mouse = "/org/bluez/hci0/dev_F4_12_6D_88_0A_C3";       // paired
  const std::string speaker = "/org/bluez/hci0/dev_58_2F_40_9B_E7_16";     // not paired
  const auto position = [](std::size_t n) {
    return fmt::format(R"({{"SetPosition":{{"connector":"eDP-1","label":"{}"}}}})",
                       std::string(n, 'x'));
  };
  const auto bt = [](std::string_view verb, const std::string& path) {
    return fmt::format(R"({{"{}":{{"path":"{}"}}}})", verb, path);
  };
  const std::string state_changed = "Bluetooth device state changed; refresh and try again";
  const std::string no_charge_cap = "battery charge-cap control is unavailable on this device";
  const std::string profile_gone = "colour profile is no longer available for that output";
  const std::string mode_gone = "display mode is no longer supported by that output";
  return {
      // Displays.
      {"missing connector",
       kDisplay,
       R"({"SetEnabled":{"connector":"HDMI-9","enabled":true}})",
       {},
       "display output is no longer available",
       kDisplays},
      {"no live capabilities", kDisplay, R"({"SetPrimary":{"connector":"eDP-1","primary":true}})",
       fault("display.load_snapshot", "compositor gone"),
       "live display capabilities are unavailable", kDisplays},
      {"brightness names no output", kDisplay, R"({"SetBrightness":{"value":0.5}})",
       fault("display.load_snapshot", "compositor gone"), std::nullopt, kDisplays},
      {"brightness 1.0",
       kDisplay,
       R"({"SetBrightness":{"value":1.0}})",
       {},
       std::nullopt,
       kDisplays},
      {"brightness 0.0",
       kDisplay,
       R"({"SetBrightness":{"value":0.0}})",
       {},
       std::nullopt,
       kDisplays},
      {"brightness 1.0000001",
       kDisplay,
       R"({"SetBrightness":{"value":1.0000001}})",
       {},
       "display brightness must be between 0 and 1",
       kDisplays},
      // Position and mirror labels name the outputs the device has now.
      {"position of the other output",
       kDisplay,
       R"({"SetPosition":{"connector":"eDP-1","label":"Left of Studio Monitor 27"}})",
       {},
       std::nullopt,
       kDisplays},
      {"automatic position",
       kDisplay,
       R"({"SetPosition":{"connector":"eDP-1","label":"Automatic"}})",
       {},
       std::nullopt,
       kDisplays},
      {"position of an old name",
       kDisplay,
       R"({"SetPosition":{"connector":"DP-2","label":"Left of Laptop panel"}})",
       {},
       "unsupported display position \"Left of Laptop panel\"; label must be one of Automatic, "
       "Left of Built-in display, Right of Built-in display, Above of Built-in display, Below of "
       "Built-in display",
       kDisplays},
      {"position of itself",
       kDisplay,
       R"({"SetPosition":{"connector":"DP-2","label":"Left of Studio Monitor 27"}})",
       {},
       "unsupported display position \"Left of Studio Monitor 27\"; label must be one of "
       "Automatic, Left of Built-in display, Right of Built-in display, Above of Built-in "
       "display, Below of Built-in display",
       kDisplays},
      {"position of 160 bytes",
       kDisplay,
       position(160),
       {},
       fmt::format("unsupported display position \"{}…\"; label must be one of Automatic, Left "
                   "of Studio Monitor 27, Right of Studio Monitor 27, Above of Studio Monitor 27, "
                   "Below of Studio Monitor 27",
                   std::string(64, 'x')),
       kDisplays},
      {"mirror of the other output",
       kDisplay,
       R"({"SetMirror":{"connector":"DP-2","label":"Mirror Built-in display"}})",
       {},
       std::nullopt,
       kDisplays},
      {"mirror of an old name",
       kDisplay,
       R"({"SetMirror":{"connector":"DP-2","label":"Mirror Laptop panel"}})",
       {},
       "unsupported display mirroring \"Mirror Laptop panel\"; label must be one of Extend "
       "workspace, Mirror Built-in display",
       kDisplays},
      {"position of 161 bytes",
       kDisplay,
       position(161),
       {},
       "display position label is too long",
       kDisplays},
      {"mirror of 161 bytes",
       kDisplay,
       fmt::format(R"({{"SetMirror":{{"connector":"DP-2","label":"{}"}}}})", std::string(161, 'm')),
       {},
       "display mirror label is too long",
       kDisplays},
      {"HDR off without HDR",
       kDisplay,
       R"({"SetHdr":{"connector":"eDP-1","enabled":false}})",
       {},
       "HDR is not available for that output",
       kDisplays},
      {"HDR on with HDR",
       kDisplay,
       R"({"SetHdr":{"connector":"DP-2","enabled":true}})",
       {},
       std::nullopt,
       kDisplays},
      {"system default without profiles", kDisplay,
       R"({"SetColorProfileLabel":{"connector":"eDP-1","label":"System default"}})",
       [] {
         DeviceScope::edit_device(
             [](Json& s) { s["display"]["outputs"][0]["color_profiles"] = Json::object(); });
       },
       std::nullopt, kDisplays},
      {"profile label of the output",
       kDisplay,
       R"({"SetColorProfileLabel":{"connector":"DP-2","label":"Display P3 · display-p3"}})",
       {},
       std::nullopt,
       kDisplays},
      {"profile label mixing two entries",
       kDisplay,
       R"({"SetColorProfileLabel":{"connector":"DP-2","label":"Display P3 · srgb"}})",
       {},
       profile_gone,
       kDisplays},
      {"profile id of another output",
       kDisplay,
       R"({"SetColorProfile":{"connector":"eDP-1","profile":"display-p3"}})",
       {},
       profile_gone,
       kDisplays},
      {"mode label of the output",
       kDisplay,
       R"({"SetModeLabel":{"connector":"DP-2","label":"2560 × 1440 · 144 Hz"}})",
       {},
       std::nullopt,
       kDisplays},
      {"mode label of another output",
       kDisplay,
       R"({"SetModeLabel":{"connector":"eDP-1","label":"2560 × 1440 · 144 Hz"}})",
       {},
       mode_gone,
       kDisplays},
      {"mode by value",
       kDisplay,
       R"({"SetMode":{"connector":"eDP-1","mode":{"width":1920,"height":1200,"refresh_mhz":59999}}})",
       {},
       mode_gone,
       kDisplays},
      {"orientation label",
       kDisplay,
       R"({"SetTransformLabel":{"connector":"eDP-1","label":"portrait left"}})",
       {},
       "unsupported display orientation \"portrait left\"; label must be one of Landscape, "
       "Portrait right, Upside down, Portrait left",
       kDisplays},
      // Sound.
      {"route without a device",
       kAudio,
       R"({"RouteStream":{"stream_id":70,"playback":true,"device_id":null}})",
       {},
       std::nullopt,
       kSound},
      {"route to a gone device",
       kAudio,
       R"({"RouteStream":{"stream_id":70,"playback":true,"device_id":52}})",
       {},
       "audio route is no longer available",
       kSound},
      {"route of the wrong direction",
       kAudio,
       R"({"RouteStream":{"stream_id":74,"playback":true,"device_id":null}})",
       {},
       "audio stream is no longer available",
       kSound},
      {"profile not available",
       kAudio,
       R"({"SetDeviceProfile":{"device_id":42,"profile_index":3}})",
       {},
       "audio profile is no longer available",
       kSound},
      {"graph unreadable, level only", kAudio, R"({"SetOutputVolume":{"value":0.5}})",
       fault("audio.enumerate", "audio server gone"), std::nullopt, kSound},
      {"graph unreadable, look-up", kAudio, R"({"SelectOutput":{"device_id":51}})",
       fault("audio.enumerate", "audio server gone"), "audio server gone", kSound},
      {"volume above one",
       kAudio,
       R"({"SetStreamVolume":{"stream_id":70,"value":1.5}})",
       {},
       "stream volume must be between 0 and 1",
       kSound},
      // Printers.
      {"enable an enabled queue",
       kPrinter,
       R"({"SetEnabled":{"name":"Office Laser","enabled":true}})",
       {},
       "printer queue state changed; refresh and try again",
       kPrinters},
      {"disable an enabled queue",
       kPrinter,
       R"({"SetEnabled":{"name":"Office Laser","enabled":false}})",
       {},
       std::nullopt,
       kPrinters},
      {"queues unreadable count as none", kPrinter, R"({"SetDefault":{"name":"Office Laser"}})",
       fault("printing.queues", "cups gone"), "printer queue is no longer available", kPrinters},
      {"job by its number", kPrinter, R"({"CancelJob":{"id":"17"}})", {}, std::nullopt, kPrinters},
      {"gone job",
       kPrinter,
       R"({"RetryJob":{"id":"18"}})",
       {},
       "print job is no longer available",
       kPrinters},
      // Bluetooth.
      {"connect a connected device", kBt, bt("Connect", headphones), {}, state_changed, kBluetooth},
      {"connect a paired device", kBt, bt("Connect", mouse), {}, std::nullopt, kBluetooth},
      {"forget an unpaired device", kBt, bt("Forget", speaker), {}, state_changed, kBluetooth},
      {"pair an unpaired device", kBt, bt("Pair", speaker), {}, std::nullopt, kBluetooth},
      {"disconnect a gone device",
       kBt,
       bt("Disconnect", "/org/bluez/hci0/dev_00"),
       {},
       "Bluetooth device is no longer available",
       kBluetooth},
      {"devices unreadable", kBt, bt("Disconnect", headphones),
       fault("bluez.devices", "bluetoothd is not running"), "bluetoothd is not running",
       kBluetooth},
      // Network.
      {"no wired link", kNet, R"({"SetWiredEnabled":{"enabled":true}})",
       [] { DeviceScope::edit_device([](Json& s) { s["network"]["wired"]["present"] = false; }); },
       "wired networking is unavailable on this device", kNetwork},
      {"wired link unreadable", kNet, R"({"SetWiredEnabled":{"enabled":false}})",
       fault("network.get_wired", "NetworkManager is not running"), "NetworkManager is not running",
       kNetwork},
      {"wired link present",
       kNet,
       R"({"SetWiredEnabled":{"enabled":false}})",
       {},
       std::nullopt,
       kNetwork},
      // Power.
      {"charge cap outside the list",
       kPow,
       R"({"SetChargeLimit":{"percent":70}})",
       {},
       "unsupported charge cap 70%; percent must be one of 60, 80, 100",
       kPower},
      {"charge cap in the list",
       kPow,
       R"({"SetChargeLimit":{"percent":80}})",
       {},
       std::nullopt,
       kPower},
      {"no charge cap control", kPow, R"({"SetChargeLimit":{"percent":80}})",
       fault("battery.charge_capability", "no battery"), no_charge_cap, kPower},
      {"suspend label before profile",
       kPow,
       R"({"SetSuspendTimeout":{"profile":"turbo","label":"2 hours"}})",
       {},
       "unsupported suspend timeout \"2 hours\"; label must be one of 5 minutes, 10 minutes, 15 "
       "minutes, 30 minutes, 45 minutes, 1 hour, Never",
       kPower},
      {"suspend profile",
       kPow,
       R"({"SetSuspendTimeout":{"profile":"turbo","label":"1 hour"}})",
       {},
       "unsupported power profile timeout \"turbo\"; profile must be one of default, saver, "
       "balanced, performance",
       kPower},
      {"lid action",
       kPow,
       R"({"SetLidAction":{"action":"Hibernate"}})",
       {},
       "unsupported power action \"Hibernate\"; action must be one of Suspend, Lock screen, Do "
       "nothing",
       kPower},
      // Updates.
      {"schedule",
       "settings.update-operation",
       R"({"SetSchedule":{"schedule":"Monthly"}})",
       {},
       "unsupported update schedule \"Monthly\"; schedule must be one of System schedule, "
       "Daily, Weekly",
       kUpdates},
  };
}

// A refusal shows no pane; what is accepted shows its own.
TEST(ExecutorChecks, RefuseWhatTheDeviceNoLongerAllowsAndShowThePaneOnlyWhenAccepted) {
  for (const CheckCase& c : check_cases()) {
    SCOPED_TRACE(c.name);
    DeviceScope scope;
    if (c.setup) c.setup();
    testing::LoneExecutor t;
    const DeviceLocalOutcome outcome = t.executor.accept(c.action, bytes(c.payload));
    EXPECT_EQ(t.shown, c.refusal ? std::nullopt : std::optional(c.pane));
    if (c.refusal) {
      EXPECT_EQ(outcome, DeviceLocalOutcome::rejected(*c.refusal));
      EXPECT_EQ(t.cells.operation_completion->get(), op::OperationCompletion{});
      EXPECT_TRUE(t.cells.device_local_request->get().empty());
      EXPECT_FALSE(t.executor.pending_key());
    } else {
      EXPECT_EQ(outcome, DeviceLocalOutcome::accepted());
      const auto key = op::device_local_operation_key(c.action, c.payload);
      ASSERT_TRUE(key);
      EXPECT_EQ(t.cells.operation_completion->get(),
                op::OperationCompletion(op::OperationCompletion::Pending{*key}));
    }
  }
}

TEST(ExecutorChecks, UnitRangesRefuseWhatJsonCannotCarry) {
  DeviceScope scope;
  const auto snapshot = prefs_store::DisplayHardwareSnapshot::load();
  const auto graph = media_kit::AudioEnumerator().enumerate();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double value : {nan, inf, -inf, -0.0000001}) {
    SCOPED_TRACE(value);
    EXPECT_EQ(refusal(check_operation(op::DisplayOperation::SetBrightness{value}, snapshot)),
              "display brightness must be between 0 and 1");
    EXPECT_EQ(refusal(check_operation(op::AudioOperation::SetBalance{value}, graph)),
              "output balance must be between 0 and 1");
  }
  EXPECT_TRUE(check_operation(op::DisplayOperation::SetBrightness{-0.0}, snapshot));
}

TEST(ExecutorChecks, LookUpsTakeTheFirstMatch) {
  prefs_store::DisplayHardwareSnapshot snapshot;
  snapshot.live_capabilities = true;
  snapshot.cards.resize(2);
  for (std::string_view name : {"first", "second"}) {
    prefs_store::OutputDescriptor output;
    output.connector = "DP-1";
    output.name = name;
    snapshot.cards[name == "first" ? 0 : 1].outputs.push_back(output);
  }
  auto found = find_display_output(snapshot, "DP-1");
  ASSERT_TRUE(found);
  EXPECT_EQ((*found)->name, "first");
  EXPECT_EQ(refusal(find_display_output(snapshot, "dp-1")),
            "display output is no longer available");

  std::vector<system_ops::bluez::BluetoothDevice> devices(3);
  devices[0].path = "/a";
  devices[1].path = "/b";
  devices[1].name = "first b";
  devices[2].path = "/b";
  EXPECT_EQ(take_entry_by_id(devices, "/b")->name, "first b");
  EXPECT_FALSE(take_entry_by_id(devices, "/c"));
}

}  // namespace
}  // namespace settings::settings_app
