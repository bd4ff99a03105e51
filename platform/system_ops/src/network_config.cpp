// The network service's configuration calls (hotspot, IPv4, connection
// policy) and its jobs (joining networks, mobile profiles).
#include <arpa/inet.h>
#include <fmt/format.h>
#include <sys/stat.h>

#include <random>

#include "access.h"
#include "system_ops/network.h"

namespace system_ops::network {

namespace {

using detail::find_item;
using detail::Json;
using detail::text_or_null;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::string band_text(HotspotBand band) {
  switch (band) {
    case HotspotBand::Band2_4GHz:
      return "2.4 GHz";
    case HotspotBand::Band5GHz:
      return "5 GHz";
    case HotspotBand::Automatic:
      break;
  }
  return "Automatic";
}

std::size_t utf8_length(std::string_view text) {
  std::size_t n = 0;
  for (unsigned char c : text) n += (c & 0xC0) != 0x80;
  return n;
}

void escape_into(std::string& out, std::string_view text) {
  for (char c : text) {
    if (c == '\\' || c == ';' || c == ',' || c == ':' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
}

bool ipv4_address(std::string_view text) {
  in_addr addr{};
  return ::inet_pton(AF_INET, std::string(text).c_str(), &addr) == 1;
}

bool ip_address(std::string_view text) {
  in6_addr addr{};
  return ipv4_address(text) || ::inet_pton(AF_INET6, std::string(text).c_str(), &addr) == 1;
}

Status check_cidr(const std::string& entry) {
  auto slash = entry.find('/');
  bool ok = slash != std::string::npos && ipv4_address(entry.substr(0, slash));
  if (ok) {
    std::string prefix = entry.substr(slash + 1);
    ok = !prefix.empty() && prefix.size() <= 2 &&
         prefix.find_first_not_of("0123456789") == std::string::npos && std::stoi(prefix) <= 32;
  }
  if (!ok) return fail("{} is not an IPv4 address with a prefix (192.0.2.10/24)", entry);
  return {};
}

std::string new_uuid() {
  std::random_device random;
  std::uniform_int_distribution<int> nibble(0, 15);
  std::string out;
  for (int i = 0; i < 32; ++i) {
    if (i == 8 || i == 12 || i == 16 || i == 20) out.push_back('-');
    int v = i == 12 ? 4 : i == 16 ? (8 | (nibble(random) & 3)) : nibble(random);
    out.push_back("0123456789abcdef"[v]);
  }
  return out;
}

Json wifi_profile(const std::string& name) {
  return Json{{"id", new_uuid()},
              {"name", name},
              {"type", "802-11-wireless"},
              {"autoconnect", true},
              {"metered", 0},
              {"mac_policy", 2},
              {"proxy_url", nullptr},
              {"ipv4",
               {{"method", "auto"},
                {"addresses", Json::array()},
                {"gateway", nullptr},
                {"dns", Json::array()}}}};
}

bool has_wifi_profile(const Json& net, const std::string& ssid) {
  for (const auto& p : net["profiles"]) {
    if (p["type"] == "802-11-wireless" && p["name"] == ssid) return true;
  }
  return false;
}

// Makes `ssid` the network in use, saving a profile the first time.
void join(Json& net, Json& network, const std::string& profile_name) {
  for (auto& n : net["wifi_networks"]) n["state"] = 0;
  network["state"] = 1;
  net["hotspot"]["active"] = false;
  if (!has_wifi_profile(net, network["ssid"].get<std::string>())) {
    net["profiles"].push_back(wifi_profile(profile_name));
  }
}

Status require_wifi(const Json& net) {
  if (net["airplane_mode"] == true) return fail("Airplane mode is on");
  if (net["wifi_enabled"] != true) return fail("Wi-Fi is off");
  return {};
}

Status check_certificate_file(const std::optional<std::string>& path, std::string_view what) {
  if (!path || path->empty()) return fail("Choose the {}.", what);
  if (path->front() != '/') return fail("The {} path must be absolute.", what);
  struct stat st {};
  if (::stat(path->c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return fail("The {} {} cannot be read.", what, *path);
  }
  return {};
}

Status check_enterprise(const EnterpriseWifiConfig& c) {
  if (c.ssid.empty()) return fail("Enter the network name (SSID).");
  if (c.identity.empty()) return fail("Enter the username or identity.");
  if (auto ok = check_certificate_file(c.ca_certificate, "CA certificate"); !ok) {
    return fail(ok.error() + " Server certificate validation is mandatory.");
  }
  if (c.method == EapMethod::Tls) {
    if (auto ok = check_certificate_file(c.client_certificate, "client certificate"); !ok)
      return ok;
    if (auto ok = check_certificate_file(c.private_key, "private key"); !ok) return ok;
  } else if (c.password.empty()) {
    return fail("Enter the password.");
  }
  return {};
}

}  // namespace

Status HotspotConfiguration::validate() const {
  if (ssid.empty() || ssid.size() > 32) return fail("Hotspot name must be 1 to 32 bytes long");
  std::size_t length = utf8_length(password);
  if (length < 8) return fail("Hotspot password must be at least 8 characters");
  if (length > 63) return fail("Hotspot password must be at most 63 characters");
  return {};
}

Result<std::string> HotspotConfiguration::qr_payload() const {
  if (auto ok = validate(); !ok) return fail(ok.error());
  std::string out = "WIFI:T:WPA;S:";
  escape_into(out, ssid);
  out += ";P:";
  escape_into(out, password);
  out += ";;";
  return out;
}

Status configure_hotspot(const HotspotConfiguration& configuration) {
  if (auto ok = configuration.validate(); !ok) return ok;
  return device::update("network.configure_hotspot", [&](Json& state) -> Status {
    Json& net = state["network"];
    if (auto ok = require_wifi(net); !ok) return ok;
    Json& hotspot = net["hotspot"];
    hotspot["ssid"] = configuration.ssid;
    hotspot["password"] = configuration.password;
    hotspot["band"] = band_text(configuration.band);
    hotspot["active"] = true;
    for (auto& n : net["wifi_networks"]) n["state"] = 0;
    return {};
  });
}

Status configure_ipv4(const std::string& profile_id, const Ipv4Settings& settings) {
  for (const auto& address : settings.addresses) {
    if (auto ok = check_cidr(address); !ok) return ok;
  }
  if (!settings.automatic && settings.addresses.empty()) {
    return fail("Manual IPv4 needs at least one address");
  }
  if (settings.gateway && !ipv4_address(*settings.gateway)) {
    return fail("{} is not an IPv4 gateway address", *settings.gateway);
  }
  for (const auto& server : settings.dns) {
    if (!ip_address(server)) return fail("{} is not a DNS server address", server);
  }
  return device::update("network.configure_ipv4", [&](Json& state) -> Status {
    Json* profile = find_item(state["network"]["profiles"], "id", profile_id);
    if (profile == nullptr) {
      return fail("no saved network profile has the id {}", profile_id);
    }
    (*profile)["ipv4"] = Json{{"method", settings.automatic ? "auto" : "manual"},
                              {"addresses", settings.addresses},
                              {"gateway", text_or_null(settings.gateway)},
                              {"dns", settings.dns}};
    Json& wired = state["network"]["wired"];
    if ((*profile)["name"] == wired["connection"] && !settings.addresses.empty()) {
      wired["ipv4"] = settings.addresses.front();
    }
    return {};
  });
}

Status configure_connection_policy_patch(const std::string& profile_id,
                                         const ConnectionPolicyPatch& patch) {
  if (patch.metered && *patch.metered > 2) return fail("unknown metered policy");
  if (patch.mac_policy && *patch.mac_policy > 2) return fail("unknown hardware address policy");
  if (patch.proxy_url && *patch.proxy_url) {
    const std::string& url = **patch.proxy_url;
    if (!url.starts_with("http://") && !url.starts_with("https://") &&
        !url.starts_with("file://")) {
      return fail("the automatic proxy URL must start with http://, https:// or file://");
    }
  }
  return device::update("network.configure_connection_policy_patch", [&](Json& state) -> Status {
    Json* profile = find_item(state["network"]["profiles"], "id", profile_id);
    if (profile == nullptr) {
      return fail("no saved network profile has the id {}", profile_id);
    }
    if (patch.metered) (*profile)["metered"] = *patch.metered;
    if (patch.mac_policy) (*profile)["mac_policy"] = *patch.mac_policy;
    if (patch.proxy_url) (*profile)["proxy_url"] = text_or_null(*patch.proxy_url);
    return {};
  });
}

Status connect_wifi(const std::string& ssid, const std::optional<std::string>& password) {
  device::wait_delay("network.connect_wifi");
  return device::update("network.connect_wifi", [&](Json& state) -> Status {
    Json& net = state["network"];
    if (auto ok = require_wifi(net); !ok) return ok;
    Json* network = find_item(net["wifi_networks"], "ssid", ssid);
    if (network == nullptr) return fail("Wi-Fi network {} is not in range", ssid);
    if ((*network)["secured"] == true) {
      if (password) {
        // The text never repeats what was typed.
        if (*password != (*network)["passphrase"]) {
          return fail("The password for {} is not correct", ssid);
        }
      } else if (!has_wifi_profile(net, ssid)) {
        return fail("{} needs a password", ssid);
      }
    }
    join(net, *network, ssid);
    return {};
  });
}

Status create_mobile_profile(const std::string& name, const std::string& apn) {
  device::wait_delay("network.create_mobile_profile");
  if (name.empty()) return fail("Enter a profile name");
  if (apn.empty() || apn.size() > 100 ||
      apn.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789.-_") !=
          std::string::npos) {
    return fail("The access point name (APN) may hold letters, digits, '.', '-' and '_' only");
  }
  return device::update("network.create_mobile_profile", [&](Json& state) -> Status {
    Json& modem = state["modem"];
    if (modem["present"] != true) return fail("this device has no mobile broadband modem");
    if (find_item(modem["profiles"], "name", name) != nullptr) {
      return fail("a mobile profile named {} already exists", name);
    }
    modem["profiles"].push_back(Json{{"name", name}, {"apn", apn}});
    return {};
  });
}

Status connect_enterprise_wifi(const EnterpriseWifiConfig& configuration) {
  device::wait_delay("network.connect_enterprise_wifi");
  if (auto ok = check_enterprise(configuration); !ok) return ok;
  return device::update("network.connect_enterprise_wifi", [&](Json& state) -> Status {
    Json& net = state["network"];
    if (auto ok = require_wifi(net); !ok) return ok;
    Json* network = find_item(net["wifi_networks"], "ssid", configuration.ssid);
    if (network == nullptr) {
      // Enterprise networks are often hidden: joining by name makes it known.
      net["wifi_networks"].push_back(Json{{"ssid", configuration.ssid},
                                          {"secured", true},
                                          {"passphrase", ""},
                                          {"signal", 2},
                                          {"state", 0}});
      network = &net["wifi_networks"].back();
    }
    join(net, *network,
         configuration.profile_name.empty() ? configuration.ssid : configuration.profile_name);
    return {};
  });
}

}  // namespace system_ops::network
