// One table per service, on a temporary device: what a fresh device holds,
// that each change lands for a fresh reader and for `simdev get`, that an
// injected fault answers its text, and that an unknown id is refused clearly.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "kalu_power_mgmt/history.h"
#include "kalu_ui/wake.h"
#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"
#include "media_kit/audio.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"
#include "system_ops/audio.h"
#include "system_ops/bluez.h"
#include "system_ops/dispatcher.h"
#include "system_ops/display.h"
#include "system_ops/firmware.h"
#include "system_ops/network.h"
#include "system_ops/power.h"
#include "system_ops/printing.h"
#include "system_ops/privacy.h"
#include "system_ops/time.h"

namespace system_ops {
namespace {

namespace device = ::sim_device;
using device::Json;
using ::testing::HasSubstr;

Json on_disk(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return Json::parse(text.str());
}

// The value at a dotted path with [n] items, as simdev reads it in a process
// of its own: a fresh reader of the file.
Json simdev_get(const std::string& path) {
  limited_exec::ProgramTable table;
  table.add("simdev", SIMDEV_PATH);
  limited_exec::ScopedTestPrograms programs(table);
  std::vector<std::string> args = {"get", path};
  auto out = limited_exec::run("simdev", args, std::chrono::seconds(20), 1 << 20);
  if (!out || !out->success()) {
    ADD_FAILURE() << path << ": " << (out ? out->stderr_bytes : out.error());
    return Json();
  }
  return Json::parse(out->stdout_bytes);
}

TEST(Services, AFreshDeviceHoldsThePlausibleInventory) {
  device::ScopedDeviceState scoped;
  auto wifi = network::list_wifi_networks();
  ASSERT_TRUE(wifi);
  ASSERT_EQ(wifi->size(), 2u);
  EXPECT_TRUE((*wifi)[0].secured);
  EXPECT_FALSE((*wifi)[1].secured);
  auto wired = network::get_wired();
  ASSERT_TRUE(wired && *wired);
  EXPECT_EQ((*wired)->interface, "enp3s0");
  EXPECT_EQ(network::list_vpn_connections()->size(), 1u);
  EXPECT_EQ(modem::list_mobile_sims()->size(), 1u);
  EXPECT_EQ(bluez::devices()->size(), 3u);
  auto graph = media_kit::AudioEnumerator().enumerate();
  ASSERT_TRUE(graph);
  EXPECT_EQ(graph->sinks.size(), 2u);
  EXPECT_EQ(graph->sources.size(), 1u);
  EXPECT_EQ(graph->playback_streams.size(), 1u);
  EXPECT_EQ(graph->recording_streams.size(), 1u);
  ASSERT_EQ(graph->devices.size(), 1u);
  EXPECT_FALSE(graph->devices[0].profiles.empty());
  EXPECT_FLOAT_EQ(*display::get_brightness(), 0.7f);
  EXPECT_TRUE(display::has_ambient_light_sensor());
  auto battery = battery::BatteryInfo::from_system();
  EXPECT_TRUE(battery.present);
  EXPECT_EQ(battery.health_percent(), 91u);
  ASSERT_TRUE(battery::charge_capability());
  EXPECT_EQ(battery::charge_capability()->allowed, (std::vector<std::uint32_t>{60, 80, 100}));
  EXPECT_EQ(power::available_power_profiles()->size(), 3u);
  EXPECT_EQ(*power::get_power_profile(), PowerProfile::Balanced);
  EXPECT_EQ(kalu_power_mgmt::history::load_battery_history().size(), 24u);
  EXPECT_EQ(printing::queues()->size(), 1u);
  EXPECT_EQ(printing::jobs()->front().progress_percent(), 25);
  EXPECT_EQ(printing::scanners()->size(), 1u);
  EXPECT_EQ(firmware::get_firmware_updates()->size(), 1u);
  EXPECT_TRUE(privacy::get_privacy_status()->camera_present);
  EXPECT_EQ(time::get_time_sync_status()->timezone,
            device::seeded_state()["time"]["timezone"].get<std::string>());
}

struct Change {
  const char* name;
  std::function<kalu_ui::Status()> apply;
  const char* path;   // where it lands, for simdev get
  Json expected;      // what lands there
  const char* fault;  // the operation a fault stops
};

class ServiceChange : public ::testing::TestWithParam<Change> {};

TEST_P(ServiceChange, LandsForAFreshReaderAndSimdevAndAFaultStopsIt) {
  const Change& c = GetParam();
  {
    device::ScopedDeviceState scoped;
    auto ok = c.apply();
    ASSERT_TRUE(ok) << ok.error();
    EXPECT_EQ(simdev_get(c.path), c.expected);
  }
  device::ScopedDeviceState scoped;
  ASSERT_EQ(sim_device::simdev::run("simdev", {"fault", c.fault, "service is down"}).status, 0);
  auto refused = c.apply();
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "service is down");
}

const char* kLindenhof = "6f1c2a9e-4b7d-4e02-9a51-3c8d7e2f1b40";
const char* kWiredProfile = "0b8e5d3c-2f6a-4c19-8e7b-5a4d3c2b1a09";
const char* kMouse = "/org/bluez/hci0/dev_F4_12_6D_88_0A_C3";
const char* kHeadphones = "/org/bluez/hci0/dev_3C_A1_0B_55_21_7E";

INSTANTIATE_TEST_SUITE_P(
    All, ServiceChange,
    ::testing::Values(
        Change{"WifiOff", [] { return network::set_wifi(false); }, "network.wifi_enabled", false,
               "network.set_wifi"},
        Change{"WiredOff", [] { return network::set_wired(false); }, "network.wired.enabled", false,
               "network.set_wired"},
        Change{"Airplane", [] { return network::set_airplane_mode(true); }, "network.airplane_mode",
               true, "network.set_airplane_mode"},
        Change{"Vpn", [] { return network::set_vpn_connection("Office VPN", true); },
               "network.vpn[0].active", true, "network.set_vpn_connection"},
        Change{"Autoconnect", [] { return network::set_network_autoconnect(kLindenhof, false); },
               "network.profiles[0].autoconnect", false, "network.set_network_autoconnect"},
        Change{"Forget", [] { return network::forget_network_profile(kLindenhof); },
               "network.profiles[0].name", "Wired connection 1", "network.forget_network_profile"},
        Change{"Hotspot",
               [] {
                 return network::configure_hotspot(
                     {"Kalu Hotspot", "correct horse", network::HotspotBand::Band5GHz});
               },
               "network.hotspot.band", "5 GHz", "network.configure_hotspot"},
        Change{"Ipv4",
               [] {
                 return network::configure_ipv4(
                     kWiredProfile, {false, {"192.168.1.50/24"}, "192.168.1.1", {"9.9.9.9"}});
               },
               "network.wired.ipv4", "192.168.1.50/24", "network.configure_ipv4"},
        Change{"Policy",
               [] {
                 network::ConnectionPolicyPatch patch;
                 patch.metered = 1;
                 return network::configure_connection_policy_patch(kLindenhof, patch);
               },
               "network.profiles[0].metered", 1, "network.configure_connection_policy_patch"},
        Change{"JoinOpenNetwork",
               [] { return network::connect_wifi("Nordlicht Cafe Guest", std::nullopt); },
               "network.wifi_networks[1].state", 1, "network.connect_wifi"},
        Change{"MobileProfile",
               [] { return network::create_mobile_profile("Nordwind", "internet"); },
               "modem.profiles[0].apn", "internet", "network.create_mobile_profile"},
        Change{"SimUnlock",
               [] {
                 return modem::unlock_mobile_sim_on("/org/freedesktop/ModemManager1/SIM/0", "2468");
               },
               "modem.sims[0].locked", false, "modem.unlock_mobile_sim_on"},
        Change{"BluetoothOff", [] { return bluez::set_powered(false); }, "bluetooth.powered", false,
               "bluez.set_powered"},
        Change{"Scan", [] { return bluez::start_scan(); }, "bluetooth.scanning", true,
               "bluez.start_scan"},
        Change{"Connect", [] { return bluez::connect(kMouse); }, "bluetooth.devices[1].connected",
               true, "bluez.connect"},
        Change{"Disconnect", [] { return bluez::disconnect(kHeadphones); },
               "bluetooth.devices[0].connected", false, "bluez.disconnect"},
        Change{"Trust", [] { return bluez::set_trusted(kMouse, false); },
               "bluetooth.devices[1].trusted", false, "bluez.set_trusted"},
        Change{"Alias", [] { return bluez::set_alias(kMouse, "  Desk mouse "); },
               "bluetooth.devices[1].alias", "Desk mouse", "bluez.set_alias"},
        Change{"ForgetDevice", [] { return bluez::forget(kHeadphones); },
               "bluetooth.devices[0].name", "Travel Mouse", "bluez.forget"},
        Change{"Pause", [] { return printing::set_enabled("Office Laser", false); },
               "printing.queues[0].state", "paused", "printing.set_enabled"},
        Change{"AddPrinter",
               [] {
                 return printing::add_driverless("Studio Inkjet",
                                                 "ipp://studio-inkjet.local:631/ipp/print");
               },
               "printing.queues[1].name", "Studio Inkjet", "printing.add_driverless"},
        Change{"CancelJob", [] { return printing::cancel_job(17); }, "printing.jobs", Json::array(),
               "printing.cancel_job"},
        Change{"Profile", [] { return power::set_power_profile(PowerProfile::Performance); },
               "power.profile", "performance", "power.set_power_profile"},
        Change{"ChargeLimit",
               []() -> kalu_ui::Status {
                 auto cap = battery::set_charge_limit_checked(60);
                 if (!cap) return kalu_ui::fail(cap.error());
                 return {};
               },
               "battery.charge_capability.current", 60, "battery.set_charge_limit_checked"},
        Change{"Ntp", [] { return time::set_ntp(false); }, "time.ntp", false, "time.set_ntp"},
        Change{"Brightness", [] { return display::set_brightness(40.0f); }, "display.brightness",
               40.0, "display.set_brightness"},
        Change{"Volume", [] { return audio::set_volume(30.0f); }, "audio.sinks[0].volume", 0.3,
               "audio.set_output_volume"},
        Change{"Mute", [] { return audio::set_mute(true); }, "audio.sinks[0].muted", true,
               "audio.set_output_muted"},
        Change{"DefaultSink", [] { return media_kit::set_default_device(58); },
               "audio.sinks[1].default", true, "audio.set_default_device"},
        Change{"Tool",
               [] {
                 return tool_intent::open_tool(tool_intent::ToolIntent::Vpn, std::nullopt,
                                               "Office VPN");
               },
               "tools.opened[0].subject", "Office VPN", "tool_intent.open_tool"}),
    [](const auto& info) { return std::string(info.param.name); });

struct Unknown {
  const char* name;
  std::function<kalu_ui::Status()> apply;
  const char* says;
};

class UnknownId : public ::testing::TestWithParam<Unknown> {};

TEST_P(UnknownId, IsRefusedByName) {
  device::ScopedDeviceState scoped;
  auto refused = GetParam().apply();
  ASSERT_FALSE(refused);
  EXPECT_THAT(refused.error(), HasSubstr(GetParam().says));
}

INSTANTIATE_TEST_SUITE_P(
    All, UnknownId,
    ::testing::Values(
        Unknown{"Vpn", [] { return network::set_vpn_connection("Home VPN", true); }, "Home VPN"},
        Unknown{"Profile", [] { return network::forget_network_profile("no-such"); }, "no-such"},
        Unknown{"Ipv4", [] { return network::configure_ipv4("no-such", {}); }, "no-such"},
        Unknown{"Network", [] { return network::connect_wifi("Elsewhere", std::nullopt); },
                "Elsewhere"},
        Unknown{"Sim", [] { return modem::unlock_mobile_sim_on("/sim/9", "1234"); }, "/sim/9"},
        Unknown{"Bluetooth", [] { return bluez::connect("/org/bluez/hci0/dev_00"); },
                "/org/bluez/hci0/dev_00"},
        Unknown{"Queue",
                []() -> kalu_ui::Status {
                  auto set = printing::set_default("Basement");
                  if (!set) return kalu_ui::fail(set.error());
                  return {};
                },
                "Basement"},
        Unknown{"Job", [] { return printing::cancel_job(999); }, "999"},
        Unknown{"Zone", [] { return time::set_timezone("Mars/Olympus_Mons"); },
                "Mars/Olympus_Mons"},
        Unknown{"AudioNode", [] { return media_kit::set_default_device(999); }, "999"},
        Unknown{"ChargeLimit",
                []() -> kalu_ui::Status {
                  auto cap = battery::set_charge_limit_checked(55);
                  if (!cap) return kalu_ui::fail(cap.error());
                  return {};
                },
                "55%"}),
    [](const auto& info) { return std::string(info.param.name); });

// A default or a retry with nothing to do says so, and changes nothing; a
// job that ended is refused.
TEST(Services, PrintingSaysWhenNothingNeededDoing) {
  device::ScopedDeviceState scoped;
  EXPECT_EQ(printing::set_default("Office Laser"), false);
  EXPECT_EQ(printing::retry_job(17), false);
  EXPECT_EQ(simdev_get("printing.jobs[0].pages_completed"), 3);
  ASSERT_TRUE(device::update("", [](Json& state) -> kalu_ui::Status {
    state["printing"]["jobs"][0]["state"] = "stopped";
    return {};
  }));
  EXPECT_EQ(printing::retry_job(17), true);
  EXPECT_EQ(simdev_get("printing.jobs[0].state"), "pending");
  ASSERT_TRUE(device::update("", [](Json& state) -> kalu_ui::Status {
    state["printing"]["jobs"][0]["state"] = "canceled";
    return {};
  }));
  EXPECT_EQ(printing::retry_job(17),
            kalu_ui::Result<bool>(kalu_ui::fail("print job 17 has ended and cannot be retried")));
  EXPECT_FALSE(printing::can_retry(printing::JobState::Canceled));
}

// A supply without a level and jobs without a known state read as such; a
// job whose state is not known is never restarted on a guess, and a queue
// with such jobs still pauses and resumes.
TEST(Services, PrintingReadsWhatThePrinterLeavesUnsaid) {
  device::ScopedDeviceState scoped;
  ASSERT_TRUE(device::update("", [](Json& state) -> kalu_ui::Status {
    auto& printing = state["printing"];
    printing["queues"][0]["supplies"].push_back({{"name", "Drum"}, {"level", nullptr}});
    printing["queues"][0]["supplies"].push_back({{"name", "Waste toner"}});
    Json job = printing["jobs"][0];
    job.erase("state");
    for (int id : {30, 31, 32}) {
      job["id"] = id;
      printing["jobs"].push_back(job);
    }
    printing["jobs"][2]["state"] = nullptr;
    printing["jobs"][3]["state"] = "resting";
    return {};
  }));
  auto queues = printing::queues();
  ASSERT_TRUE(queues);
  ASSERT_TRUE(queues->front().live);
  EXPECT_EQ(queues->front().live->supplies,
            (std::vector<printing::Supply>{
                {"Black toner", 64}, {"Drum", std::nullopt}, {"Waste toner", std::nullopt}}));
  auto jobs = printing::jobs();
  ASSERT_TRUE(jobs);
  ASSERT_EQ(jobs->size(), 4u);
  EXPECT_EQ((*jobs)[0].state, printing::JobState::Processing);
  EXPECT_EQ((*jobs)[1].state, std::nullopt);
  EXPECT_EQ((*jobs)[2].state, std::nullopt);
  EXPECT_EQ((*jobs)[3].state, printing::JobState::Unrecognized);
  for (std::uint32_t id : {30u, 31u, 32u}) {
    auto retried = printing::retry_job(id);
    ASSERT_FALSE(retried) << id;
    EXPECT_EQ(retried.error(),
              "print job " + std::to_string(id) + " reports no state it can be retried from");
  }
  EXPECT_TRUE(printing::set_enabled("Office Laser", false));
  EXPECT_TRUE(printing::set_enabled("Office Laser", true));
  EXPECT_EQ(simdev_get("printing.queues[0].state"), "printing");
  EXPECT_TRUE(printing::cancel_job(30));
}

TEST(Services, TheDispatcherActsOnTheDeviceAndProvidesItsFiveOperations) {
  device::ScopedDeviceState scoped;
  RealDispatcher dispatcher;
  EXPECT_TRUE(dispatcher.set_brightness(55.0f));
  EXPECT_TRUE(dispatcher.set_mobile_broadband(true));
  EXPECT_TRUE(dispatcher.set_vpn_connection("Office VPN", true));
  EXPECT_TRUE(dispatcher.set_mute(true));
  EXPECT_TRUE(dispatcher.connect_bluetooth("F4:12:6D:88:0A:C3"));
  EXPECT_TRUE(dispatcher.set_airplane_mode(true));
  EXPECT_FALSE(dispatcher.set_hotspot(true));  // airplane mode keeps the radio off
  Json state = on_disk(scoped.path());
  EXPECT_EQ(state["display"]["brightness"], 55.0);
  EXPECT_EQ(state["network"]["vpn"][0]["active"], true);
  EXPECT_EQ(state["audio"]["sinks"][0]["muted"], true);
  EXPECT_EQ(state["bluetooth"]["devices"][1]["connected"], true);
  EXPECT_EQ(state["network"]["airplane_mode"], true);
  EXPECT_EQ(state["modem"]["enabled"], false);
  EXPECT_EQ(state["network"]["wifi_enabled"], false);
}

TEST(Services, FirmwareInstallReportsProgressAndMovesTheUpdateToHistory) {
  device::ScopedDeviceState scoped;
  auto updates = firmware::get_firmware_updates();
  ASSERT_TRUE(updates);
  auto receiver = firmware::start_firmware_install(*updates);
  ASSERT_TRUE(receiver) << receiver.error();
  std::vector<firmware::FirmwareInstallEvent> events;
  firmware::FirmwareInstallEvent event;
  for (;;) {
    auto poll = receiver->try_receive(event);
    if (poll == firmware::FirmwareInstallReceiver::Poll::Closed) break;
    if (poll == firmware::FirmwareInstallReceiver::Poll::Event) events.push_back(event);
  }
  ASSERT_GE(events.size(), 3u);
  EXPECT_TRUE(std::holds_alternative<firmware::Preparing>(events.front()));
  ASSERT_TRUE(std::holds_alternative<firmware::Finished>(events.back()));
  EXPECT_TRUE(std::get<firmware::Finished>(events.back()).restart_required);
  EXPECT_TRUE(firmware::get_firmware_updates()->empty());
  EXPECT_EQ(firmware::get_firmware_history()->front().new_version, "1.15.2");

  // An offer that is gone cannot be installed; a fault in the job fails it.
  EXPECT_FALSE(firmware::start_firmware_install(*updates));
}

TEST(Services, AFailingInstallJobSendsFailed) {
  device::ScopedDeviceState scoped;
  ASSERT_EQ(
      sim_device::simdev::run("simdev", {"fault", "firmware.install_job", "device is on battery"})
          .status,
      0);
  auto receiver = firmware::start_firmware_install(*firmware::get_firmware_updates());
  ASSERT_TRUE(receiver);
  firmware::FirmwareInstallEvent event, last;
  while (receiver->try_receive(event) != firmware::FirmwareInstallReceiver::Poll::Closed)
    last = event;
  ASSERT_TRUE(std::holds_alternative<firmware::Failed>(last));
  EXPECT_EQ(std::get<firmware::Failed>(last).message, "device is on battery");
  EXPECT_EQ(firmware::get_firmware_updates()->size(), 1u);
}

// A channel with no job behind it: its events and its end wake the UI loop,
// and a sender dropped without a last event still ends it.
TEST(Services, AnInstallChannelEndsWhenItsSenderGoes) {
  using Poll = firmware::FirmwareInstallReceiver::Poll;
  auto waker = std::make_shared<kalu_ui::wake::Waker>();
  auto previous = kalu_ui::wake::install_waker(waker);
  auto [sender, receiver] = firmware::install_channel();
  firmware::FirmwareInstallEvent event;
  EXPECT_EQ(receiver.try_receive(event), Poll::Empty);
  sender.send(firmware::Progress{"Writing", 40});
  EXPECT_TRUE(waker->take()) << "an event wakes the loop";
  { firmware::FirmwareInstallSender gone = std::move(sender); }
  EXPECT_TRUE(waker->take()) << "so does the end";
  ASSERT_EQ(receiver.try_receive(event), Poll::Event);
  EXPECT_EQ(std::get<firmware::Progress>(event).percent, 40);
  EXPECT_EQ(receiver.try_receive(event), Poll::Closed);
  kalu_ui::wake::install_waker(previous);
}

}  // namespace
}  // namespace system_ops
