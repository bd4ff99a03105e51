#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// The network service of the device: Wi-Fi, the wired link, airplane mode,
// the hotspot, saved connection profiles and their policy, VPN connections,
// connectivity and diagnostics. Every call reads or changes the simulated
// device (system_ops/device_state.h, section "network") and may be made from
// any thread; a change either lands whole or not at all. Errors are display
// texts; a fault injected as "network.<function>" answers its text.
//
// Calls that name something (an SSID, a profile id, a VPN name) that the
// device does not have fail with a sentence that names it; a change to the
// value already in place succeeds.
namespace system_ops::network {

struct WifiNetwork {
  std::string ssid;
  bool secured = false;  // a passphrase is needed
  // 0: not connected; 1: the connection in use; other values are connected
  // too. The connect worker also takes 1 and 2 as the two share modes.
  std::uint8_t state = 0;
  std::uint8_t signal = 0;  // 0 to 3; other values: no level known
};

struct WiredState {
  std::optional<std::string> interface;
  std::optional<std::string> connection;
  std::optional<std::string> ipv4;
  bool enabled = false;
};

struct RadioState {
  bool airplane_mode = false;
  bool mobile_broadband_present = false;
  bool mobile_broadband_enabled = false;
  bool hotspot_enabled = false;
};

struct NetworkProfile {
  std::string id;
  std::string name;
  std::string connection_type;  // "802-11-wireless", "802-3-ethernet", ...
  bool autoconnect = false;
};

struct Ipv4Settings {
  bool automatic = true;
  std::vector<std::string> addresses;  // "address/prefix"
  std::optional<std::string> gateway;
  std::vector<std::string> dns;
};

struct ProfileSettings {
  std::uint8_t metered = 0;     // 0 automatic, 1 metered, 2 unmetered
  std::uint8_t mac_policy = 0;  // 0 permanent, 1 random each connection, 2 stable per network
  // The automatic proxy URL: absent when none is set.
  kalu_ui::Result<std::optional<std::string>> proxy_url = std::optional<std::string>();
  // Absent when the profile's IPv4 method is not automatic or manual.
  std::optional<Ipv4Settings> ipv4;
};

// Only the values that are set are changed.
struct ConnectionPolicyPatch {
  std::optional<std::uint8_t> metered;
  std::optional<std::uint8_t> mac_policy;
  std::optional<std::optional<std::string>> proxy_url;  // set to nothing clears it
};

struct VpnConnection {
  std::string name;
  std::string uuid;
  std::string vpn_type;
  bool active = false;
};

struct HotspotClient {
  std::string name;  // a name, or the client's hardware address
  std::optional<int> signal_dbm;
};

struct ConnectionDiagnostics {
  std::string manager_state;
  std::uint8_t connectivity = 0;
  std::optional<std::string> device;
  std::optional<std::string> address;
  std::optional<std::string> gateway;
  std::vector<std::string> dns;
  std::vector<std::string> notes;
};

enum class HotspotBand { Automatic, Band2_4GHz, Band5GHz };

struct HotspotConfiguration {
  std::string ssid;
  std::string password;
  HotspotBand band = HotspotBand::Automatic;

  // Success, or why the hotspot cannot use it: an SSID of 1 to 32 bytes, a
  // WPA password of 8 to 63 characters.
  kalu_ui::Status validate() const;
  // The text of the join code phones read: "WIFI:T:WPA;S:<ssid>;P:<pw>;;"
  // with '\', ';', ',', ':' and '"' escaped by a backslash; fails as validate.
  kalu_ui::Result<std::string> qr_payload() const;
};

enum class EapMethod { Peap, Ttls, Tls };
enum class Phase2Auth { Mschapv2, Pap, Chap };

struct EnterpriseWifiConfig {
  std::string profile_name;  // empty: the SSID
  std::string ssid;
  std::string identity;
  std::optional<std::string> anonymous_identity;
  std::optional<std::string> ca_certificate;  // absolute path; required
  EapMethod method = EapMethod::Peap;
  Phase2Auth phase2 = Phase2Auth::Mschapv2;
  std::optional<std::string> client_certificate;  // TLS only
  std::optional<std::string> private_key;         // TLS only
  std::string password;                           // PEAP and TTLS
};

// Readers.
kalu_ui::Result<std::vector<WifiNetwork>> list_wifi_networks();  // empty while Wi-Fi is off
kalu_ui::Result<bool> get_wifi();
// Nothing when the device has no wired interface.
kalu_ui::Result<std::optional<WiredState>> get_wired();
kalu_ui::Result<RadioState> get_radio_state();
// 0 not checked, 1 offline, 2 sign-in required, 3 limited, 4 connected.
kalu_ui::Result<std::uint8_t> get_connectivity();
kalu_ui::Result<std::vector<NetworkProfile>> list_saved_network_profiles();
kalu_ui::Result<ProfileSettings> connection_profile_settings(const std::string& profile_id);
kalu_ui::Result<std::vector<VpnConnection>> list_vpn_connections();
// Empty while the hotspot is off.
kalu_ui::Result<std::vector<HotspotClient>> list_hotspot_clients();
kalu_ui::Result<ConnectionDiagnostics> connection_diagnostics();
// Fails unless the network asks for a browser sign-in (connectivity 2).
kalu_ui::Result<std::string> captive_portal_uri();

// Changers.
kalu_ui::Status set_wifi(bool enabled);
kalu_ui::Status set_wired(bool enabled);          // fails without a wired device
kalu_ui::Status set_airplane_mode(bool enabled);  // on: Wi-Fi, hotspot and mobile off
kalu_ui::Status set_hotspot(bool enabled);        // needs Wi-Fi on and a valid configuration
kalu_ui::Status set_mobile_broadband(bool enabled);
kalu_ui::Status set_vpn_connection(const std::string& name, bool active);
kalu_ui::Status set_network_autoconnect(const std::string& profile_id, bool autoconnect);
kalu_ui::Status forget_network_profile(const std::string& profile_id);
// Stores the configuration and starts the hotspot.
kalu_ui::Status configure_hotspot(const HotspotConfiguration& configuration);
kalu_ui::Status configure_ipv4(const std::string& profile_id, const Ipv4Settings& settings);
kalu_ui::Status configure_connection_policy_patch(const std::string& profile_id,
                                                  const ConnectionPolicyPatch& patch);

// Jobs (run on worker threads; "delays" slow them).
// Joins a network: a secured one needs its passphrase, unless the network has
// a saved profile. Saves a profile for a network joined the first time.
kalu_ui::Status connect_wifi(const std::string& ssid, const std::optional<std::string>& password);
kalu_ui::Status create_mobile_profile(const std::string& name, const std::string& apn);
kalu_ui::Status connect_enterprise_wifi(const EnterpriseWifiConfig& configuration);

}  // namespace system_ops::network

namespace system_ops::modem {

struct MobileSim {
  std::string path;
  std::string label;
};

kalu_ui::Result<std::vector<MobileSim>> list_mobile_sims();
// A wrong PIN fails and costs one of the SIM's attempts; none left blocks it.
kalu_ui::Status unlock_mobile_sim_on(const std::string& sim_path, const std::string& pin);

}  // namespace system_ops::modem
