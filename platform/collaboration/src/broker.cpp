#include "collaboration/broker.h"

#include <fmt/format.h>

#include <optional>
#include <string_view>

#include "kalu_ui/result.h"
#include "sim_device/state.h"

namespace collaboration::broker {
namespace {

using sim_device::Json;

constexpr std::string_view kOperation = "collaboration.wifi_continuity_command";

const Json* sealed_entry(const Json& broker, std::string_view ssid, std::uint8_t mode) {
  for (const auto& entry : broker["sealed_wifi"]) {
    if (entry["ssid"] == ssid && entry["mode"] == mode) return &entry;
  }
  return nullptr;
}

void seal(Json& broker, const std::string& ssid, std::uint8_t mode, std::string_view passphrase) {
  Json& list = broker["sealed_wifi"];
  for (auto& entry : list) {
    if (entry["ssid"] == ssid && entry["mode"] == mode) {
      entry["passphrase"] = std::string(passphrase);
      return;
    }
  }
  list.push_back(Json{{"ssid", ssid}, {"mode", mode}, {"passphrase", std::string(passphrase)}});
}

// What a sealing edit found: the network's name, or why the broker answers
// unavailable instead (failures are the edit's error).
struct SealOutcome {
  std::optional<std::string> network;
  std::string unavailable;
};

WifiContinuityReply reply_of(const kalu_ui::Result<SealOutcome>& outcome) {
  if (!outcome) return Failed{outcome.error()};
  if (!outcome->network) return Unavailable{outcome->unavailable};
  return Sealed{*outcome->network};
}

WifiContinuityReply lookup(const LookupWifiPassword& request) {
  auto state = sim_device::read_for(kOperation);
  if (!state) return Failed{state.error()};
  const Json& broker = (**state)["collaboration"];
  if (broker["available"] != true)
    return Unavailable{broker["unavailable_reason"].get<std::string>()};
  const Json* entry = sealed_entry(broker, request.ssid, request.mode);
  if (entry == nullptr) return NotFound{};
  return Found{kalu_ui::secret::SecretText::copy_of((*entry)["passphrase"].get<std::string>())};
}

WifiContinuityReply seal_password(const SealWifiPassword& request) {
  return reply_of(sim_device::update_with<SealOutcome>(
      kOperation, [&](Json& state) -> kalu_ui::Result<SealOutcome> {
        Json& broker = state["collaboration"];
        if (broker["available"] != true)
          return SealOutcome{{}, broker["unavailable_reason"].get<std::string>()};
        seal(broker, request.ssid, request.mode, request.passphrase.view());
        return SealOutcome{request.ssid, {}};
      }));
}

const Json* find_by(const Json& list, std::string_view key, std::string_view value) {
  for (const auto& item : list) {
    if (item[std::string(key)] == value) return &item;
  }
  return nullptr;
}

WifiContinuityReply seal_profile(const SealWifiProfile& request) {
  return reply_of(sim_device::update_with<SealOutcome>(
      kOperation, [&](Json& state) -> kalu_ui::Result<SealOutcome> {
        Json& broker = state["collaboration"];
        if (broker["available"] != true)
          return SealOutcome{{}, broker["unavailable_reason"].get<std::string>()};
        const Json& network = state["network"];
        const Json* profile = find_by(network["profiles"], "id", request.profile_id);
        if (profile == nullptr || (*profile)["type"] != "802-11-wireless") {
          return kalu_ui::fail("no saved Wi-Fi profile has the id {}", request.profile_id);
        }
        const std::string name = (*profile)["name"].get<std::string>();
        const Json* wifi = find_by(network["wifi_networks"], "ssid", name);
        if (wifi == nullptr) {
          return kalu_ui::fail("the passphrase of {} is not known here", name);
        }
        seal(broker, name, 0, (*wifi)["passphrase"].get<std::string>());
        return SealOutcome{name, {}};
      }));
}

}  // namespace

WifiContinuityReply wifi_continuity_command(const WifiContinuityRequest& request) {
  struct Visit {
    WifiContinuityReply operator()(const LookupWifiPassword& r) const { return lookup(r); }
    WifiContinuityReply operator()(const SealWifiPassword& r) const { return seal_password(r); }
    WifiContinuityReply operator()(const SealWifiProfile& r) const { return seal_profile(r); }
  };
  return std::visit(Visit{}, request);
}

}  // namespace collaboration::broker
