#include "system_ops/network.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <thread>

#include "sim_device/simdev.h"
#include "sim_device/state.h"
#include "system_ops/bluez.h"

namespace system_ops {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Network, ASecuredNetworkNeedsItsPassphraseAndNoTextRepeatsATypedOne) {
  sim_device::ScopedDeviceState scoped;
  // The device starts on Lindenhof; drop its profile so it is a stranger.
  ASSERT_TRUE(network::forget_network_profile("6f1c2a9e-4b7d-4e02-9a51-3c8d7e2f1b40"));
  auto none = network::connect_wifi("Lindenhof", std::nullopt);
  ASSERT_FALSE(none);
  EXPECT_THAT(none.error(), HasSubstr("needs a password"));
  auto wrong = network::connect_wifi("Lindenhof", "hunter2-typed");
  ASSERT_FALSE(wrong);
  EXPECT_THAT(wrong.error(), Not(HasSubstr("hunter2")));
  ASSERT_TRUE(network::connect_wifi("Lindenhof", "amber-lantern-42"));
  auto networks = network::list_wifi_networks();
  EXPECT_EQ((*networks)[0].state, 1);
  // A saved profile is enough the next time.
  ASSERT_TRUE(network::connect_wifi("Nordlicht Cafe Guest", std::nullopt));
  ASSERT_TRUE(network::connect_wifi("Lindenhof", std::nullopt));
}

TEST(Network, AWrongSimPinFailsAndCostsAnAttempt) {
  sim_device::ScopedDeviceState scoped;
  const std::string sim = "/org/freedesktop/ModemManager1/SIM/0";
  auto wrong = modem::unlock_mobile_sim_on(sim, "1111");
  ASSERT_FALSE(wrong);
  EXPECT_EQ(wrong.error(), "Wrong SIM PIN; 2 attempts left");
  EXPECT_THAT(wrong.error(), Not(HasSubstr("2468")));
  EXPECT_FALSE(modem::unlock_mobile_sim_on(sim, "1111"));
  EXPECT_EQ(modem::unlock_mobile_sim_on(sim, "1111").error(),
            "Wrong SIM PIN; the SIM is now blocked and needs its PUK");
  EXPECT_THAT(modem::unlock_mobile_sim_on(sim, "2468").error(), HasSubstr("PUK"));
}

TEST(Network, HotspotConfigurationValidatesAndMakesTheJoinCode) {
  struct Case {
    network::HotspotConfiguration config;
    const char* payload;  // empty: invalid
  } cases[] = {
      {{"Kalu Hotspot", "correct horse"}, "WIFI:T:WPA;S:Kalu Hotspot;P:correct horse;;"},
      {{"A;B", "pass:word\"1\\"}, "WIFI:T:WPA;S:A\\;B;P:pass\\:word\\\"1\\\\;;"},
      {{"Kalu Hotspot", "short"}, ""},
      {{"", "long enough"}, ""},
      {{std::string(33, 'x'), "long enough"}, ""},
      {{"Kalu", std::string(64, 'p')}, ""},
  };
  for (const auto& c : cases) {
    auto payload = c.config.qr_payload();
    if (*c.payload == '\0') {
      EXPECT_FALSE(c.config.validate()) << c.config.ssid;
      EXPECT_FALSE(payload);
    } else {
      ASSERT_TRUE(payload) << payload.error();
      EXPECT_EQ(*payload, c.payload);
    }
  }
}

TEST(Network, TheHotspotNeedsAConfigurationAndWifi) {
  sim_device::ScopedDeviceState scoped;
  EXPECT_THAT(network::set_hotspot(true).error(), HasSubstr("not set up"));
  ASSERT_TRUE(network::configure_hotspot({"Kalu Hotspot", "correct horse"}));
  EXPECT_EQ(network::list_hotspot_clients()->size(), 2u);
  EXPECT_TRUE(network::get_radio_state()->hotspot_enabled);
  ASSERT_TRUE(network::set_wifi(false));
  EXPECT_FALSE(network::get_radio_state()->hotspot_enabled);
  EXPECT_TRUE(network::list_hotspot_clients()->empty());
  EXPECT_TRUE(network::list_wifi_networks()->empty());
}

TEST(Network, ConnectivityAndCaptivePortal) {
  sim_device::ScopedDeviceState scoped;
  EXPECT_EQ(*network::get_connectivity(), 4);
  EXPECT_FALSE(network::captive_portal_uri());
  ASSERT_EQ(sim_device::simdev::run("simdev", {"set", "network.connectivity", "2"}).status, 0);
  EXPECT_EQ(*network::captive_portal_uri(), "http://portal.nordlicht-cafe.example/login");
  ASSERT_TRUE(network::set_wired(false));
  ASSERT_TRUE(network::set_wifi(false));
  EXPECT_EQ(*network::get_connectivity(), 1);
  auto diagnostics = network::connection_diagnostics();
  ASSERT_TRUE(diagnostics);
  EXPECT_EQ(diagnostics->manager_state, "disconnected");
  EXPECT_THAT(diagnostics->notes, ::testing::Contains("Wi-Fi is off."));
}

TEST(Network, Ipv4AndPolicyRefuseWhatTheLinkCannotUse) {
  sim_device::ScopedDeviceState scoped;
  const std::string wired = "0b8e5d3c-2f6a-4c19-8e7b-5a4d3c2b1a09";
  EXPECT_THAT(network::configure_ipv4(wired, {false, {"192.168.1.300/24"}, {}, {}}).error(),
              HasSubstr("192.168.1.300/24"));
  EXPECT_THAT(network::configure_ipv4(wired, {false, {}, {}, {}}).error(), HasSubstr("address"));
  EXPECT_THAT(network::configure_ipv4(wired, {true, {}, "gateway", {}}).error(),
              HasSubstr("gateway"));
  network::ConnectionPolicyPatch patch;
  patch.proxy_url = std::optional<std::string>("ftp://proxy");
  EXPECT_FALSE(network::configure_connection_policy_patch(wired, patch));
  patch.proxy_url = std::optional<std::string>("http://proxy.example/wpad.dat");
  ASSERT_TRUE(network::configure_connection_policy_patch(wired, patch));
  EXPECT_EQ(*network::connection_profile_settings(wired)->proxy_url,
            "http://proxy.example/wpad.dat");
  EXPECT_FALSE(network::connection_profile_settings(wired)->ipv4->automatic);
}

TEST(Bluetooth, PairingConnectsOrReportsTheConnectionThatFailed) {
  sim_device::ScopedDeviceState scoped;
  const std::string speaker = "/org/bluez/hci0/dev_58_2F_40_9B_E7_16";
  auto paired = bluez::pair(speaker);
  ASSERT_TRUE(paired) << paired.error();
  EXPECT_FALSE(*paired);
  EXPECT_THAT(bluez::pair(speaker).error(), HasSubstr("already paired"));

  sim_device::ScopedDeviceState fresh;  // the speaker unpaired again
  ASSERT_EQ(sim_device::simdev::run("simdev",
                                    {"set", "bluetooth.devices[2].connect_error", "Page timeout"})
                .status,
            0);
  auto half = bluez::pair(speaker);
  ASSERT_TRUE(half);
  EXPECT_EQ(*half, "Page timeout");
}

TEST(Bluetooth, CancellingEndsAPairingInFlight) {
  sim_device::ScopedDeviceState scoped;
  const std::string speaker = "/org/bluez/hci0/dev_58_2F_40_9B_E7_16";
  // The pairing lasts longer than any patience, so only the cancel ends it.
  ASSERT_EQ(sim_device::simdev::run("simdev", {"delay", "bluez.pair", "600000"}).status, 0);
  bluez::PairResult result = std::optional<std::string>();
  std::thread worker([&] { result = bluez::pair(speaker); });
  // Until the worker's pairing is under way there is nothing to cancel.
  kalu_ui::Status cancelled = kalu_ui::fail("not yet");
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!cancelled && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    cancelled = bluez::cancel_pairing(speaker);
  }
  worker.join();
  ASSERT_TRUE(cancelled);
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), "pairing was cancelled");
  EXPECT_FALSE(bluez::devices()->at(2).paired);
}

}  // namespace
}  // namespace system_ops
