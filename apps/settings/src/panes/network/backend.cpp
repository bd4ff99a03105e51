#include "panes/network/backend.h"

#include "host_portal_xdg/portal.h"
#include "system_ops/privacy.h"

namespace settings::panes::network {
namespace {

using kalu_ui::Result;
using kalu_ui::Status;
namespace modem = system_ops::modem;

class SystemNetworkBackend final : public NetworkBackend {
 public:
  Result<std::vector<net::WifiNetwork>> list_wifi_networks() const override {
    return net::list_wifi_networks();
  }
  Result<bool> get_wifi() const override { return net::get_wifi(); }
  Result<std::optional<net::WiredState>> get_wired() const override { return net::get_wired(); }
  Result<net::RadioState> get_radio_state() const override { return net::get_radio_state(); }
  Result<std::uint8_t> get_connectivity() const override { return net::get_connectivity(); }
  Result<std::vector<net::NetworkProfile>> list_saved_network_profiles() const override {
    return net::list_saved_network_profiles();
  }
  Result<net::ProfileSettings> connection_profile_settings(
      const std::string& profile_id) const override {
    return net::connection_profile_settings(profile_id);
  }
  Result<std::vector<net::VpnConnection>> list_vpn_connections() const override {
    return net::list_vpn_connections();
  }
  Result<std::vector<modem::MobileSim>> list_mobile_sims() const override {
    return modem::list_mobile_sims();
  }
  Result<std::vector<net::HotspotClient>> list_hotspot_clients() const override {
    return net::list_hotspot_clients();
  }
  Result<net::ConnectionDiagnostics> connection_diagnostics() const override {
    return net::connection_diagnostics();
  }
  Result<std::string> captive_portal_uri() const override { return net::captive_portal_uri(); }

  Status set_network_autoconnect(const std::string& profile_id, bool autoconnect) const override {
    return net::set_network_autoconnect(profile_id, autoconnect);
  }
  Status forget_network_profile(const std::string& profile_id) const override {
    return net::forget_network_profile(profile_id);
  }
  Status configure_hotspot(const net::HotspotConfiguration& config) const override {
    return net::configure_hotspot(config);
  }
  Status configure_ipv4(const std::string& profile_id,
                        const net::Ipv4Settings& settings) const override {
    return net::configure_ipv4(profile_id, settings);
  }
  Status configure_connection_policy_patch(const std::string& profile_id,
                                           const net::ConnectionPolicyPatch& patch) const override {
    return net::configure_connection_policy_patch(profile_id, patch);
  }

  Status create_mobile_profile(const std::string& name, const std::string& apn) const override {
    return net::create_mobile_profile(name, apn);
  }
  Status unlock_mobile_sim_on(const std::string& sim_path, const std::string& pin) const override {
    return modem::unlock_mobile_sim_on(sim_path, pin);
  }
  Status connect_enterprise_wifi(const net::EnterpriseWifiConfig& config) const override {
    return net::connect_enterprise_wifi(config);
  }

  Result<std::optional<std::filesystem::path>> choose_file(
      const std::string& title) const override {
    return host_portal_xdg::FileChooser::open(title);
  }
  Status open_uri(const std::string& uri) const override { return host_portal_xdg::open_uri(uri); }
  Status open_vpn_tool(const std::optional<std::string>& connection) const override {
    return system_ops::tool_intent::open_tool(system_ops::tool_intent::ToolIntent::Vpn,
                                              std::nullopt, connection);
  }
};

}  // namespace

std::shared_ptr<const NetworkBackend> system_network_backend() {
  static const auto backend = std::make_shared<const SystemNetworkBackend>();
  return backend;
}

collaboration::broker::WifiContinuityReply WifiContinuityBackend::command(
    const collaboration::broker::WifiContinuityRequest& request) const {
  return collaboration::broker::wifi_continuity_command(request);
}

}  // namespace settings::panes::network
