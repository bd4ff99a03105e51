#pragma once

// What the Network pane asks of the platform besides the dispatcher: the
// device's network and modem services (system_ops), the desktop portal's file
// chooser and URI opener, and the VPN tool; and, apart, the collaboration
// broker's Wi-Fi continuity through which passwords are shared with the
// person's certified devices. The pane and its workers hold both as shared,
// read-only objects: every call may come from any thread. Tests replace them
// with fakes; the defaults forward to the platform unchanged.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "collaboration/broker.h"
#include "kalu_ui/result.h"
#include "system_ops/network.h"

namespace settings::panes::network {

namespace net = system_ops::network;

class NetworkBackend {
 public:
  virtual ~NetworkBackend() = default;

  // Readers (the Wi-Fi and VPN listers among them).
  virtual kalu_ui::Result<std::vector<net::WifiNetwork>> list_wifi_networks() const = 0;
  virtual kalu_ui::Result<bool> get_wifi() const = 0;
  virtual kalu_ui::Result<std::optional<net::WiredState>> get_wired() const = 0;
  virtual kalu_ui::Result<net::RadioState> get_radio_state() const = 0;
  virtual kalu_ui::Result<std::uint8_t> get_connectivity() const = 0;
  virtual kalu_ui::Result<std::vector<net::NetworkProfile>> list_saved_network_profiles() const = 0;
  virtual kalu_ui::Result<net::ProfileSettings> connection_profile_settings(
      const std::string& profile_id) const = 0;
  virtual kalu_ui::Result<std::vector<net::VpnConnection>> list_vpn_connections() const = 0;
  virtual kalu_ui::Result<std::vector<system_ops::modem::MobileSim>> list_mobile_sims() const = 0;
  virtual kalu_ui::Result<std::vector<net::HotspotClient>> list_hotspot_clients() const = 0;
  virtual kalu_ui::Result<net::ConnectionDiagnostics> connection_diagnostics() const = 0;
  virtual kalu_ui::Result<std::string> captive_portal_uri() const = 0;

  // Changers.
  virtual kalu_ui::Status set_network_autoconnect(const std::string& profile_id,
                                                  bool autoconnect) const = 0;
  virtual kalu_ui::Status forget_network_profile(const std::string& profile_id) const = 0;
  virtual kalu_ui::Status configure_hotspot(const net::HotspotConfiguration& config) const = 0;
  virtual kalu_ui::Status configure_ipv4(const std::string& profile_id,
                                         const net::Ipv4Settings& settings) const = 0;
  virtual kalu_ui::Status configure_connection_policy_patch(
      const std::string& profile_id, const net::ConnectionPolicyPatch& patch) const = 0;

  // Jobs, run on worker threads.
  virtual kalu_ui::Status create_mobile_profile(const std::string& name,
                                                const std::string& apn) const = 0;
  virtual kalu_ui::Status unlock_mobile_sim_on(const std::string& sim_path,
                                               const std::string& pin) const = 0;
  virtual kalu_ui::Status connect_enterprise_wifi(
      const net::EnterpriseWifiConfig& config) const = 0;

  // The desktop portal: the chosen file, none when cancelled, or its error.
  virtual kalu_ui::Result<std::optional<std::filesystem::path>> choose_file(
      const std::string& title) const = 0;
  virtual kalu_ui::Status open_uri(const std::string& uri) const = 0;
  // The VPN tool, for one connection or for none.
  virtual kalu_ui::Status open_vpn_tool(const std::optional<std::string>& connection) const = 0;
};

// The device's services.
std::shared_ptr<const NetworkBackend> system_network_backend();

// The collaboration broker's Wi-Fi continuity command (see
// collaboration/broker.h for the requests and replies).
class WifiContinuityBackend {
 public:
  virtual ~WifiContinuityBackend() = default;
  // Forwards the request unchanged and answers the broker's reply.
  virtual collaboration::broker::WifiContinuityReply command(
      const collaboration::broker::WifiContinuityRequest& request) const;
};

}  // namespace settings::panes::network
