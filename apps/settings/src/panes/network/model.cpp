#include "panes/network/model.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>

#include "limited_exec/text.h"

namespace settings::panes::network {
namespace {

constexpr std::array<std::string_view, 3> kMeteredLabels = {"Automatic", "Metered", "Unmetered"};
constexpr std::array<std::string_view, 3> kMacPolicyLabels = {
    "Permanent hardware address", "Random each connection", "Stable per network"};

// The first profile of `type` whose id is `wanted`, else the first of `type`.
std::optional<std::string> keep_or_first(const NetworkSnapshot& snapshot,
                                         const std::optional<std::string>& wanted,
                                         std::string_view type) {
  const auto of_type = snapshot.profiles_of(type);
  if (wanted) {
    for (const auto* profile : of_type) {
      if (profile->id == *wanted) return wanted;
    }
  }
  if (of_type.empty()) return std::nullopt;
  return of_type.front()->id;
}

std::map<std::string, net::ProfileSettings> read_settings(
    const std::vector<net::NetworkProfile>& profiles, const NetworkBackend& backend) {
  std::map<std::string, net::ProfileSettings> out;
  for (const auto& profile : profiles) {
    auto settings = backend.connection_profile_settings(profile.id);
    if (settings) out.emplace(profile.id, std::move(*settings));
  }
  return out;
}

// The first `count` characters of a UTF-8 text.
std::string_view first_chars(std::string_view text, std::size_t count) {
  std::size_t end = 0;
  for (std::size_t n = 0; n < count && end < text.size(); ++n) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  return text.substr(0, end);
}

}  // namespace

const net::NetworkProfile* NetworkSnapshot::profile(std::string_view id) const {
  for (const auto& p : profiles) {
    if (p.id == id) return &p;
  }
  return nullptr;
}

const net::ProfileSettings* NetworkSnapshot::settings_of(std::string_view id) const {
  auto found = profile_settings.find(std::string(id));
  return found == profile_settings.end() ? nullptr : &found->second;
}

std::vector<const net::NetworkProfile*> NetworkSnapshot::profiles_of(std::string_view type) const {
  std::vector<const net::NetworkProfile*> out;
  for (const auto& p : profiles) {
    if (p.connection_type == type) out.push_back(&p);
  }
  return out;
}

NetworkSnapshot read_snapshot(const NetworkBackend& backend) {
  NetworkSnapshot s;
  if (auto listed = backend.list_wifi_networks()) s.wifi_networks = std::move(*listed);
  if (auto wifi = backend.get_wifi()) s.wifi_enabled = *wifi;
  if (auto wired = backend.get_wired(); wired && *wired) s.wired = std::move(**wired);
  if (auto radios = backend.get_radio_state()) s.radios = *radios;
  if (auto connectivity = backend.get_connectivity()) s.connectivity = *connectivity;
  reread_profiles(s, backend);
  s.vpns = vpn_connection_pairs(backend.list_vpn_connections());
  if (auto sims = backend.list_mobile_sims()) s.sims = std::move(*sims);
  if (auto clients = backend.list_hotspot_clients()) s.hotspot_clients = std::move(*clients);
  return s;
}

void reread_profiles(NetworkSnapshot& snapshot, const NetworkBackend& backend) {
  auto listed = backend.list_saved_network_profiles();
  if (!listed) return;
  snapshot.profile_settings = read_settings(*listed, backend);
  snapshot.profiles = std::move(*listed);
  snapshot.policy_profile = keep_or_first(snapshot, snapshot.policy_profile, kWifiProfileType);
  snapshot.ipv4_profile = keep_or_first(snapshot, snapshot.ipv4_profile, kWiredProfileType);
}

void drop_profile(NetworkSnapshot& snapshot, std::string_view id) {
  std::erase_if(snapshot.profiles, [&](const net::NetworkProfile& p) { return p.id == id; });
  snapshot.profile_settings.erase(std::string(id));
  snapshot.policy_profile = keep_or_first(snapshot, snapshot.policy_profile, kWifiProfileType);
  snapshot.ipv4_profile = keep_or_first(snapshot, snapshot.ipv4_profile, kWiredProfileType);
}

std::vector<VpnPair> vpn_connection_pairs() {
  return vpn_connection_pairs(net::list_vpn_connections());
}

std::vector<VpnPair> vpn_connection_pairs(
    const kalu_ui::Result<std::vector<net::VpnConnection>>& listed) {
  std::vector<VpnPair> out;
  if (!listed) return out;
  out.reserve(listed->size());
  for (const auto& connection : *listed) out.push_back({connection.name, connection.active});
  return out;
}

std::string_view connectivity_label(std::uint8_t state) {
  switch (state) {
    case 1:
      return "Offline";
    case 2:
      return "Sign-in required";
    case 3:
      return "Limited connectivity";
    case 4:
      return "Connected to the internet";
    default:
      return "Connectivity not checked";
  }
}

std::string profile_label(const net::NetworkProfile& profile) {
  return fmt::format("{} · {}", profile.name, first_chars(profile.id, 8));
}

std::optional<std::string_view> metered_label(std::uint8_t metered) {
  if (metered >= kMeteredLabels.size()) return std::nullopt;
  return kMeteredLabels[metered];
}

std::optional<std::string_view> mac_policy_label(std::uint8_t policy) {
  if (policy >= kMacPolicyLabels.size()) return std::nullopt;
  return kMacPolicyLabels[policy];
}

std::optional<std::uint8_t> metered_value(std::string_view label) {
  for (std::size_t i = 0; i < kMeteredLabels.size(); ++i) {
    if (kMeteredLabels[i] == label) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

std::optional<std::uint8_t> mac_policy_value(std::string_view label) {
  for (std::size_t i = 0; i < kMacPolicyLabels.size(); ++i) {
    if (kMacPolicyLabels[i] == label) return static_cast<std::uint8_t>(i);
  }
  return std::nullopt;
}

const std::vector<std::string>& metered_choices() {
  static const std::vector<std::string> choices(kMeteredLabels.begin(), kMeteredLabels.end());
  return choices;
}

const std::vector<std::string>& mac_policy_choices() {
  // The page offers the per-network choice first.
  static const std::vector<std::string> choices = {std::string(kMacPolicyLabels[2]),
                                                   std::string(kMacPolicyLabels[1]),
                                                   std::string(kMacPolicyLabels[0])};
  return choices;
}

std::string wifi_status_line(const NetworkSnapshot& snapshot) {
  if (!snapshot.wifi_enabled) return "Wi-Fi is off";
  for (const auto& network : snapshot.wifi_networks) {
    if (network.state == 1) return fmt::format("Connected to {}", network.ssid);
  }
  return "Not connected";
}

std::string_view connect_label(const net::WifiNetwork& network,
                               const std::optional<std::string>& expanded) {
  if (network.state != 0) return "Connected";
  if (expanded && *expanded == network.ssid) return "Cancel";
  return "Connect";
}

net::HotspotBand hotspot_band(std::string_view label) {
  if (label == "2.4 GHz") return net::HotspotBand::Band2_4GHz;
  if (label == "5 GHz") return net::HotspotBand::Band5GHz;
  return net::HotspotBand::Automatic;
}

std::vector<std::string> split_list(std::string_view text) {
  std::vector<std::string> out;
  while (true) {
    const auto comma = text.find(',');
    const std::string_view piece = limited_exec::trim_white_space(text.substr(0, comma));
    if (!piece.empty()) out.emplace_back(piece);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

}  // namespace settings::panes::network
