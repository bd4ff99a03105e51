#pragma once

// The Network pane's picture of the device, read in one pass when the pane is
// built (and partly again on refresh), with the drafts and view flags of the
// page, and the pure functions that turn them into the page's texts. A read
// that fails leaves its part empty or at its default; nothing here fails.
// Lists keep the platform's order; nothing is sorted.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_ui/result.h"
#include "panes/network/backend.h"
#include "system_ops/network.h"

namespace settings::panes::network {

inline constexpr std::string_view kWifiProfileType = "802-11-wireless";
inline constexpr std::string_view kWiredProfileType = "802-3-ethernet";
inline constexpr std::string_view kDefaultHotspotName = "Kalu Hotspot";
inline constexpr std::string_view kDefaultHotspotBand = "Automatic";

// A VPN connection as the pane keeps it: the name it shows and switches, and
// whether it is active.
struct VpnPair {
  std::string name;
  bool active = false;
  bool operator==(const VpnPair&) const = default;
};

struct NetworkSnapshot {
  std::vector<net::WifiNetwork> wifi_networks;
  bool wifi_enabled = true;
  // All absent and off when the device has no wired interface or the read
  // failed; a wired device is present when its interface is known.
  net::WiredState wired;
  net::RadioState radios;
  std::uint8_t connectivity = 0;
  std::vector<net::NetworkProfile> profiles;
  // Only the profiles whose settings could be read.
  std::map<std::string, net::ProfileSettings> profile_settings;
  std::optional<std::string> policy_profile;  // a Wi-Fi profile's id
  std::optional<std::string> ipv4_profile;    // a wired profile's id
  std::vector<VpnPair> vpns;
  std::vector<system_ops::modem::MobileSim> sims;
  std::vector<net::HotspotClient> hotspot_clients;
  std::optional<net::ConnectionDiagnostics> diagnostics;

  bool has_wired_device() const { return wired.interface.has_value(); }
  const net::NetworkProfile* profile(std::string_view id) const;
  const net::ProfileSettings* settings_of(std::string_view id) const;
  // The profiles of one connection type, in list order.
  std::vector<const net::NetworkProfile*> profiles_of(std::string_view type) const;
};

struct HotspotDraft {
  std::string ssid{kDefaultHotspotName};
  std::string band{kDefaultHotspotBand};
};

// Where a result stands on the page: in the card, under the control that
// produced it, so that it is read where the person looks and nothing above
// that control moves when it comes.
enum class StatusPlace : std::uint8_t {
  kWifi,           // a network's connect and join, under the network list
  kInternet,       // the sign-in page
  kEnterprise,     // under "Save and connect" (and the certificate chooser)
  kIpv4,           // under "Apply IP settings"
  kProfiles,       // forget, share, automatic connection and policy
  kDiagnostics,    // under "Run diagnostics"
  kHotspot,        // under "Apply and start"
  kMobileProfile,  // under "Create profile"
  kSim,            // under "Unlock SIM"
};

// What the page shows besides the device: drafts, view flags, the status line.
struct NetworkView {
  HotspotDraft hotspot;
  // The SSID whose password row is open.
  std::optional<std::string> expanded;
  // SSIDs with a connect worker running.
  std::set<std::string, std::less<>> connects_in_flight;
  bool qr_shown = false;
  bool policy_shown = false;     // "network.advanced"
  bool enterprise_open = false;  // "network.enterprise.editor"
  // The last result, and the card it stands in.
  std::optional<std::string> status;
  StatusPlace status_place = StatusPlace::kWifi;
};

// Construction's reads, in their order: the Wi-Fi list (empty on failure),
// Wi-Fi power (on when unknown), the wired state, the radios (all off when
// unknown), connectivity (0 when unknown), the saved profiles with their
// settings and the first Wi-Fi and wired profile selected, the VPN
// connections, the SIMs and the hotspot's clients.
NetworkSnapshot read_snapshot(const NetworkBackend& backend);

// Reads the saved profiles and their settings again, keeping the selections
// that still exist. A failed list keeps the previous profiles.
void reread_profiles(NetworkSnapshot& snapshot, const NetworkBackend& backend);

// Drops a profile that was forgotten, with its settings; a selection that
// named it moves to the first profile of its type.
void drop_profile(NetworkSnapshot& snapshot, std::string_view id);

// The device's VPN connections as (name, active) pairs, in the platform's
// order; an error gives an empty list and is not reported.
std::vector<VpnPair> vpn_connection_pairs();
std::vector<VpnPair> vpn_connection_pairs(
    const kalu_ui::Result<std::vector<net::VpnConnection>>& listed);

// 0 "Connectivity not checked", 1 "Offline", 2 "Sign-in required",
// 3 "Limited connectivity", 4 "Connected to the internet"; other values read
// as not checked.
std::string_view connectivity_label(std::uint8_t state);
inline constexpr std::uint8_t kConnectivitySignIn = 2;

// "{name} · {first 8 characters of the id}".
std::string profile_label(const net::NetworkProfile& profile);
// The labels of the policy choices; none for values outside 0 to 2.
std::optional<std::string_view> metered_label(std::uint8_t metered);
std::optional<std::string_view> mac_policy_label(std::uint8_t policy);
// The policy values of those labels; none for any other text.
std::optional<std::uint8_t> metered_value(std::string_view label);
std::optional<std::uint8_t> mac_policy_value(std::string_view label);
// The labels in the order the page's dropdowns offer them.
const std::vector<std::string>& metered_choices();
const std::vector<std::string>& mac_policy_choices();

// The Wi-Fi card's status line: "Wi-Fi is off", "Connected to {}" (the first
// network whose state byte is 1) or "Not connected".
std::string wifi_status_line(const NetworkSnapshot& snapshot);
// The label of a Wi-Fi row's button.
std::string_view connect_label(const net::WifiNetwork& network,
                               const std::optional<std::string>& expanded);
// The hotspot band of a label; anything unknown is automatic.
net::HotspotBand hotspot_band(std::string_view label);

// A comma-separated list as typed: every piece trimmed, empty pieces dropped.
std::vector<std::string> split_list(std::string_view text);

}  // namespace settings::panes::network
