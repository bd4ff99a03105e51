// What the pane reads when it is built, with the failures it survives, and
// the texts the page makes of it.

#include "panes/network/model.h"

#include <gtest/gtest.h>

#include <functional>

#include "fakes.h"

namespace settings::panes::network {
namespace {

using testing::FakeBackend;

TEST(NetworkModelTest, SeededReadSelectsTheFirstProfileOfEachType) {
  FakeBackend backend;
  const NetworkSnapshot s = read_snapshot(backend);
  ASSERT_EQ(s.wifi_networks.size(), 2u);
  EXPECT_TRUE(s.wifi_enabled);
  EXPECT_TRUE(s.has_wired_device());
  EXPECT_EQ(s.connectivity, 4);
  EXPECT_EQ(s.policy_profile, "wifi-1111-aaaa");
  EXPECT_EQ(s.ipv4_profile, "wired-2222-bbbb");
  EXPECT_EQ(s.vpns, (std::vector<VpnPair>{{"Office VPN", false}}));
  EXPECT_EQ(s.sims.size(), 1u);
}

// Each failure leaves its own part empty or at its default, nothing else.
TEST(NetworkModelTest, FailedReadsLeaveTheirPartEmpty) {
  const auto failed = kalu_ui::fail("no such device");
  struct Case {
    const char* name;
    std::function<void(FakeBackend&)> break_it;
    std::function<void(const NetworkSnapshot&)> check;
  };
  const Case cases[] = {
      {"no Wi-Fi hardware",
       [&](FakeBackend& b) {
         b.wifi = failed;
         b.wifi_on = failed;
       },
       [](const NetworkSnapshot& s) {
         EXPECT_TRUE(s.wifi_networks.empty());
         EXPECT_TRUE(s.wifi_enabled);  // shown as on
       }},
      {"wired read fails", [&](FakeBackend& b) { b.wired = failed; },
       [](const NetworkSnapshot& s) {
         EXPECT_FALSE(s.has_wired_device());
         EXPECT_FALSE(s.wired.enabled);
       }},
      {"no wired device", [](FakeBackend& b) { b.wired = std::optional<net::WiredState>(); },
       [](const NetworkSnapshot& s) { EXPECT_FALSE(s.has_wired_device()); }},
      {"radios unknown", [&](FakeBackend& b) { b.radios = failed; },
       [](const NetworkSnapshot& s) {
         EXPECT_FALSE(s.radios.airplane_mode || s.radios.mobile_broadband_present ||
                      s.radios.mobile_broadband_enabled || s.radios.hotspot_enabled);
       }},
      {"connectivity unknown", [&](FakeBackend& b) { b.connectivity = failed; },
       [](const NetworkSnapshot& s) { EXPECT_EQ(s.connectivity, 0); }},
      {"no Wi-Fi profile", [](FakeBackend& b) { b.profiles->erase(b.profiles->begin()); },
       [](const NetworkSnapshot& s) {
         EXPECT_EQ(s.policy_profile, std::nullopt);
         EXPECT_EQ(s.ipv4_profile, "wired-2222-bbbb");
       }},
      {"no wired profile", [](FakeBackend& b) { b.profiles->pop_back(); },
       [](const NetworkSnapshot& s) {
         EXPECT_EQ(s.policy_profile, "wifi-1111-aaaa");
         EXPECT_EQ(s.ipv4_profile, std::nullopt);
       }},
      {"unreadable profile settings", [](FakeBackend& b) { b.settings.erase("wifi-1111-aaaa"); },
       [](const NetworkSnapshot& s) {
         EXPECT_EQ(s.profiles.size(), 2u);
         EXPECT_EQ(s.settings_of("wifi-1111-aaaa"), nullptr);
         EXPECT_NE(s.settings_of("wired-2222-bbbb"), nullptr);
         EXPECT_EQ(s.policy_profile, "wifi-1111-aaaa");
       }},
      {"profile list fails", [&](FakeBackend& b) { b.profiles = failed; },
       [](const NetworkSnapshot& s) {
         EXPECT_TRUE(s.profiles.empty());
         EXPECT_EQ(s.policy_profile, std::nullopt);
       }},
      {"VPN lister fails", [&](FakeBackend& b) { b.vpns = failed; },
       [](const NetworkSnapshot& s) { EXPECT_TRUE(s.vpns.empty()); }},
      {"no modem", [&](FakeBackend& b) { b.sims = failed; },
       [](const NetworkSnapshot& s) { EXPECT_TRUE(s.sims.empty()); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FakeBackend backend;
    c.break_it(backend);
    c.check(read_snapshot(backend));
  }
}

TEST(NetworkModelTest, RereadKeepsSelectionsThatStillExist) {
  FakeBackend backend;
  NetworkSnapshot s = read_snapshot(backend);
  backend.profiles->push_back({"wifi-3333-cccc", "Harbour", "802-11-wireless", false});
  s.policy_profile = "wifi-3333-cccc";
  reread_profiles(s, backend);
  EXPECT_EQ(s.policy_profile, "wifi-3333-cccc");
  // Gone: back to the first of its type. A failed list keeps what was read.
  backend.profiles->pop_back();
  reread_profiles(s, backend);
  EXPECT_EQ(s.policy_profile, "wifi-1111-aaaa");
  backend.profiles = kalu_ui::fail("busy");
  reread_profiles(s, backend);
  EXPECT_EQ(s.profiles.size(), 2u);
}

TEST(NetworkModelTest, VpnPairsKeepEveryRecordInOrderAndDropAFailure) {
  const std::vector<net::VpnConnection> listed = {{"Office", "u1", "wireguard", true},
                                                  {"Office", "u2", "openvpn", false},
                                                  {"Home.lab", "u3", "wireguard", false}};
  EXPECT_EQ(vpn_connection_pairs(listed),
            (std::vector<VpnPair>{{"Office", true}, {"Office", false}, {"Home.lab", false}}));
  EXPECT_TRUE(vpn_connection_pairs(kalu_ui::fail("NetworkManager is not running")).empty());
}

TEST(NetworkModelTest, LabelsOfStatesProfilesAndPolicies) {
  const std::pair<std::uint8_t, std::string_view> connectivity[] = {
      {0, "Connectivity not checked"},  {1, "Offline"},
      {2, "Sign-in required"},          {3, "Limited connectivity"},
      {4, "Connected to the internet"}, {9, "Connectivity not checked"}};
  for (const auto& [state, text] : connectivity) EXPECT_EQ(connectivity_label(state), text);

  EXPECT_EQ(profile_label({"6f1c2a9e-4b7d", "Lindenhof", "802-11-wireless", true}),
            "Lindenhof · 6f1c2a9e");
  EXPECT_EQ(profile_label({"äöü", "Short", "802-3-ethernet", true}), "Short · äöü");
  EXPECT_EQ(metered_label(1), "Metered");
  EXPECT_EQ(metered_label(3), std::nullopt);
  EXPECT_EQ(mac_policy_label(0), "Permanent hardware address");
  EXPECT_EQ(mac_policy_label(2), "Stable per network");
  EXPECT_EQ(mac_policy_choices().front(), "Stable per network");
  EXPECT_EQ(hotspot_band("5 GHz"), net::HotspotBand::Band5GHz);
  EXPECT_EQ(hotspot_band("6 GHz"), net::HotspotBand::Automatic);
}

TEST(NetworkModelTest, StatusLineNamesTheNetworkInUse) {
  NetworkSnapshot s;
  s.wifi_networks = {{"Guest", false, 2, 1}, {"Home", true, 1, 3}, {"Other", true, 1, 2}};
  EXPECT_EQ(wifi_status_line(s), "Connected to Home");
  s.wifi_networks = {{"Guest", false, 2, 1}};
  EXPECT_EQ(wifi_status_line(s), "Not connected");
  s.wifi_enabled = false;
  EXPECT_EQ(wifi_status_line(s), "Wi-Fi is off");

  const net::WifiNetwork open_one{"Cafe", true, 0, 2};
  EXPECT_EQ(connect_label(open_one, std::nullopt), "Connect");
  EXPECT_EQ(connect_label(open_one, std::string("Cafe")), "Cancel");
  EXPECT_EQ(connect_label({"Cafe", true, 2, 2}, std::string("Cafe")), "Connected");
}

}  // namespace
}  // namespace settings::panes::network
