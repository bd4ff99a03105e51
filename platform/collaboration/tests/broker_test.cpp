// The broker's three requests on a scoped simulated device, its unavailable
// and failing answers, and where sealed passwords end up.

#include "collaboration/broker.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "sim_device/state.h"

namespace collaboration::broker {
namespace {

using kalu_ui::secret::SecretText;
using sim_device::Json;

constexpr const char* kHomeProfile = "6f1c2a9e-4b7d-4e02-9a51-3c8d7e2f1b40";
constexpr const char* kWiredProfile = "0b8e5d3c-2f6a-4c19-8e7b-5a4d3c2b1a09";

WifiContinuityReply command(WifiContinuityRequest request) {
  return wifi_continuity_command(request);
}

std::string found_text(const WifiContinuityReply& reply) {
  const auto* found = std::get_if<Found>(&reply);
  return found ? std::string(found->passphrase.view()) : std::string("<not found>");
}

void set_device(const std::function<void(Json&)>& edit) {
  ASSERT_TRUE(sim_device::update("", [&](Json& state) -> kalu_ui::Status {
    edit(state);
    return {};
  }));
}

TEST(BrokerTest, LooksUpWhatWasSealedPerNetworkAndMode) {
  sim_device::ScopedDeviceState device;
  // Seeded: the home network, sealed in mode 0 by another device.
  EXPECT_EQ(found_text(command(LookupWifiPassword{"Lindenhof", 0})), "amber-lantern-42");
  EXPECT_TRUE(std::holds_alternative<NotFound>(command(LookupWifiPassword{"Lindenhof", 1})));
  EXPECT_TRUE(std::holds_alternative<NotFound>(command(LookupWifiPassword{"Harbour", 0})));

  auto sealed = command(SealWifiPassword{"Harbour", 1, SecretText::copy_of("tide-and-rope")});
  ASSERT_TRUE(std::holds_alternative<Sealed>(sealed));
  EXPECT_EQ(std::get<Sealed>(sealed).network, "Harbour");
  EXPECT_EQ(found_text(command(LookupWifiPassword{"Harbour", 1})), "tide-and-rope");
  // Sealing again replaces the password.
  command(SealWifiPassword{"Harbour", 1, SecretText::copy_of("new-tide")});
  EXPECT_EQ(found_text(command(LookupWifiPassword{"Harbour", 1})), "new-tide");
}

TEST(BrokerTest, SealsASavedWifiProfileWithItsNetworksPassphrase) {
  sim_device::ScopedDeviceState device;
  set_device([](Json& s) { s["collaboration"]["sealed_wifi"] = Json::array(); });
  auto reply = command(SealWifiProfile{kHomeProfile});
  ASSERT_TRUE(std::holds_alternative<Sealed>(reply));
  EXPECT_EQ(std::get<Sealed>(reply).network, "Lindenhof");
  EXPECT_EQ(found_text(command(LookupWifiPassword{"Lindenhof", 0})), "amber-lantern-42");

  // A wired profile, an unknown id, and a Wi-Fi profile whose network is not
  // around all fail, naming what they looked for.
  auto wired = command(SealWifiProfile{kWiredProfile});
  ASSERT_TRUE(std::holds_alternative<Failed>(wired));
  EXPECT_EQ(std::get<Failed>(wired).error,
            std::string("no saved Wi-Fi profile has the id ") + kWiredProfile);
  EXPECT_TRUE(std::holds_alternative<Failed>(command(SealWifiProfile{"nope"})));
  set_device([](Json& s) { s["network"]["wifi_networks"] = Json::array(); });
  auto away = command(SealWifiProfile{kHomeProfile});
  ASSERT_TRUE(std::holds_alternative<Failed>(away));
  EXPECT_EQ(std::get<Failed>(away).error, "the passphrase of Lindenhof is not known here");
}

TEST(BrokerTest, UnavailableAndFailingBrokerAnswerEveryRequestSo) {
  sim_device::ScopedDeviceState device;
  set_device([](Json& s) { s["collaboration"]["available"] = false; });
  std::vector<WifiContinuityReply> away;
  away.push_back(command(LookupWifiPassword{"Lindenhof", 0}));
  away.push_back(command(SealWifiPassword{"X", 0, SecretText::copy_of("secret-x")}));
  away.push_back(command(SealWifiProfile{kHomeProfile}));
  for (const auto& reply : away) {
    ASSERT_TRUE(std::holds_alternative<Unavailable>(reply));
    EXPECT_EQ(std::get<Unavailable>(reply).reason, "none of your certified devices is reachable");
  }
  set_device([](Json& s) {
    s["collaboration"]["available"] = true;
    s["faults"]["collaboration.wifi_continuity_command"] = "broker restarting";
  });
  std::vector<WifiContinuityReply> failing;
  failing.push_back(command(LookupWifiPassword{"Lindenhof", 0}));
  failing.push_back(command(SealWifiPassword{"X", 0, SecretText::copy_of("secret-x")}));
  for (const auto& reply : failing) {
    ASSERT_TRUE(std::holds_alternative<Failed>(reply));
    EXPECT_EQ(std::get<Failed>(reply).error, "broker restarting");
  }
  // Nothing was sealed while it failed or was away.
  auto state = sim_device::read();
  ASSERT_TRUE(state);
  for (const auto& entry : (**state)["collaboration"]["sealed_wifi"]) EXPECT_NE(entry["ssid"], "X");
}

}  // namespace
}  // namespace collaboration::broker
