#include "relay/simulated_programs.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "kalu_ui/result.h"
#include "prefs_store/document.h"
#include "relay/config.h"
#include "relay/home_peer.h"
#include "safe_write/safe_write.h"
#include "sim_device/state.h"

namespace kalu_relay::simulated {
namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;
using sim_device::simdev::Outcome;

constexpr std::size_t kMaxFileBytes = 1'048'576;

Outcome out(std::string text) { return {0, std::move(text), {}}; }
Outcome err(int status, std::string text) { return {status, {}, std::move(text)}; }
Outcome usage(std::string_view program, std::string_view what) {
  return err(2, fmt::format("{}: {}\n", program, what));
}

// "--name value" pairs after the subcommand; a name given twice keeps all
// its values in order.
using Options = std::multimap<std::string, std::string, std::less<>>;

std::optional<Options> options_of(const std::vector<std::string>& args) {
  Options options;
  for (std::size_t i = 1; i < args.size(); i += 2) {
    if (args[i].rfind("--", 0) != 0 || i + 1 >= args.size()) return std::nullopt;
    options.emplace(args[i].substr(2), args[i + 1]);
  }
  return options;
}

std::optional<std::string> option(const Options& options, std::string_view name) {
  auto found = options.find(name);
  if (found == options.end()) return std::nullopt;
  return found->second;
}

// A JSON file of the identity root: its array, or an empty one when missing.
kalu_ui::Result<Json> read_list(const fs::path& path) {
  auto text = prefs_store::read_text(path, kMaxFileBytes);
  if (!text) return kalu_ui::fail(text.error());
  if (!*text) return Json::array();
  Json list = Json::parse(**text, nullptr, false);
  if (!list.is_array()) return kalu_ui::fail("{} is not a list", path.string());
  return list;
}

kalu_ui::Status write_list(const fs::path& path, const Json& list) {
  return safe_write::write_creating_parent_with_mode(path, list.dump(2) + "\n", 0644);
}

// ---- kalu-home-peer-control ----

kalu_ui::Result<std::uint8_t> named(std::string_view name, std::string_view (*names)(std::uint8_t),
                                    std::string_view what) {
  for (std::uint8_t value = 0; value < 3; ++value) {
    if (names(value) == name) return value;
  }
  return kalu_ui::fail("unknown {} \"{}\"", what, name);
}

kalu_ui::Status apply_setup(const Json& setup, RelayConfig& config) {
  if (!setup.is_object()) return kalu_ui::fail("the setup document is not a JSON object");
  for (const char* member : {"role", "replication"}) {
    if (!setup.contains(member) || !setup[member].is_string())
      return kalu_ui::fail("\"{}\" is missing or not text", member);
  }
  for (const char* member : {"inbound_relay", "remote_control_relay", "app_serving", "compute"}) {
    if (!setup.contains(member) || !setup[member].is_boolean())
      return kalu_ui::fail("\"{}\" is missing or not a boolean", member);
  }
  if (!setup.contains("workspace_ids") || !setup["workspace_ids"].is_array())
    return kalu_ui::fail("\"workspace_ids\" is missing or not a list");
  auto role = named(setup["role"].get<std::string>(), role_name, "role");
  if (!role) return kalu_ui::fail(role.error());
  auto replication =
      named(setup["replication"].get<std::string>(), replication_name, "replication");
  if (!replication) return kalu_ui::fail(replication.error());
  std::vector<WorkspaceBinding> bindings;
  for (const auto& id : setup["workspace_ids"]) {
    if (!id.is_number_unsigned()) return kalu_ui::fail("a workspace id is not an unsigned number");
    const auto workspace_id = id.get<std::uint64_t>();
    auto kept = std::ranges::find_if(config.workspaces, [&](const WorkspaceBinding& binding) {
      return binding.workspace_id == workspace_id;
    });
    WorkspaceBinding binding = kept != config.workspaces.end() ? *kept : WorkspaceBinding{};
    binding.workspace_id = workspace_id;
    bindings.push_back(std::move(binding));
  }
  config.role = *role;
  config.relay_enabled = *role != kRoleInteractive;
  config.full_replication = *replication == kReplicationFull;
  config.inbound_relay = setup["inbound_relay"].get<bool>();
  config.remote_control_relay = setup["remote_control_relay"].get<bool>();
  config.app_serving = setup["app_serving"].get<bool>();
  config.compute = setup["compute"].get<bool>();
  for (auto& binding : bindings) {
    binding.replication = *replication;
    binding.active = config.relay_enabled;
  }
  config.workspaces = std::move(bindings);
  return {};
}

Outcome setup_apply(std::string_view input) {
  constexpr std::string_view kName = "kalu-home-peer-control apply";
  const fs::path path = relay_config_path();
  if (path.empty()) return err(1, fmt::format("{}: there is no simulated device\n", kName));
  auto loaded = load(path);
  RelayConfig config;
  if (loaded) {
    config = std::move(*loaded);
  } else if (loaded.error().kind == LoadError::Kind::NotFound) {
    config = RelayConfig::defaults();
  } else {
    return err(1, fmt::format("{}: {}\n", kName, loaded.error().message));
  }
  if (auto applied = apply_setup(Json::parse(input, nullptr, false), config); !applied) {
    return err(1, fmt::format("{}: invalid setup document: {}\n", kName, applied.error()));
  }
  if (auto written = write(path, config); !written) {
    return err(1, fmt::format("{}: {}\n", kName, written.error()));
  }
  return out("");
}

std::string_view nearby_label(std::string_view device) {
  if (device == kHomeServerNode) return "Kalu Home Server";
  if (device == kLaptopNode) return "Laptop";
  return "Home server";
}

Outcome approve_enrollment(const Options& options) {
  constexpr std::string_view kName = "kalu-home-peer-control approve-enrollment";
  const auto root = option(options, "identity-root");
  const auto device = option(options, "expected-device");
  const auto service = option(options, "expected-service");
  if (!root || !device || !service || !home_peer::valid_node_id(*device) ||
      !home_peer::valid_node_id(*service)) {
    return usage(kName, "--identity-root, --expected-device and --expected-service are required");
  }
  Json ids = Json::array();
  for (auto [it, end] = options.equal_range("workspace-id"); it != end; ++it) {
    std::uint64_t id = 0;
    const auto& text = it->second;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
    if (ec != std::errc() || ptr != text.data() + text.size()) {
      return usage(kName, fmt::format("invalid workspace id \"{}\"", text));
    }
    ids.push_back(id);
  }
  const fs::path path = fs::path(*root) / "home-peers.json";
  auto list = read_list(path);
  if (!list) return err(1, fmt::format("{}: {}\n", kName, list.error()));
  Json record = Json::object();
  record["schema_version"] = 1;
  record["device_node_id"] = *device;
  record["relay_service_node_id"] = *service;
  record["relay_endpoint"] = {{"addrs", Json::array({"192.168.1.40:7443"})}};
  record["label"] = nearby_label(*device);
  record["user_public_key"] = Json::array();
  record["device_cert"] = {{"device_label", nearby_label(*device)}, {"can_act_as_host", true}};
  record["relay_workspace_ids"] = std::move(ids);
  Json kept = Json::array();
  for (auto& entry : *list) {
    if (!entry.is_object() || entry.value("device_node_id", "") != *device) kept.push_back(entry);
  }
  kept.push_back(std::move(record));
  if (auto written = write_list(path, kept); !written) {
    return err(1, fmt::format("{}: {}\n", kName, written.error()));
  }
  return out("");
}

Outcome home_peer_control(const std::vector<std::string>& args, std::string_view input) {
  if (args.empty()) return usage("kalu-home-peer-control", "a command is required");
  if (args[0] == "apply") return setup_apply(input);
  auto options = options_of(args);
  if (!options) return usage("kalu-home-peer-control", "options come in --name value pairs");
  if (args[0] == "approve-enrollment") return approve_enrollment(*options);
  if (args[0] == "approve-device") return out("");
  return usage("kalu-home-peer-control", fmt::format("unknown command \"{}\"", args[0]));
}

// ---- kalu-enroll ----

Outcome enroll(const std::vector<std::string>& args, std::string_view) {
  if (args.empty() || (args[0] != "discover" && args[0] != "discover-device")) {
    return usage("kalu-enroll", "discover or discover-device is required");
  }
  const bool home_server = args[0] == "discover";
  // The device shows up after a moment.
  sim_device::wait_delay(fmt::format("kalu-enroll.{}", args[0]));
  Json candidate = Json::object();
  candidate["device_node_id"] = home_server ? kHomeServerNode : kLaptopNode;
  candidate["relay_service_node_id"] = home_server ? kHomeServerService : kLaptopService;
  candidate["label"] = home_server ? "Kalu Home Server" : "Laptop";
  candidate["verification_code"] = home_server ? "482913" : "305117";
  return out(candidate.dump() + "\n");
}

// ---- kalu-relay-admin ----

Outcome retry_removals(const Options& options) {
  constexpr std::string_view kName = "kalu-relay-admin home-peer-retry-removals";
  const auto root = option(options, "identity-root");
  if (!root) return usage(kName, "--identity-root is required");
  const fs::path path = fs::path(*root) / "pending-home-peer-decommissions.json";
  auto list = read_list(path);
  if (!list) return err(1, fmt::format("{}: {}\n", kName, list.error()));
  if (!list->empty()) {
    if (auto written = write_list(path, Json::array()); !written) {
      return err(1, fmt::format("{}: {}\n", kName, written.error()));
    }
  }
  return out(fmt::format("{{\"retried\":{}}}\n", list->size()));
}

Outcome relay_admin(const std::vector<std::string>& args, std::string_view) {
  if (args.empty()) return usage("kalu-relay-admin", "a command is required");
  auto options = options_of(args);
  if (!options) return usage("kalu-relay-admin", "options come in --name value pairs");
  if (args[0] == "home-peer-retry-removals") return retry_removals(*options);
  const std::string name = fmt::format("kalu-relay-admin {}", args[0]);
  if (args[0] != "home-peer-status" && args[0] != "home-peer-rename" &&
      args[0] != "home-peer-remove") {
    return usage("kalu-relay-admin", fmt::format("unknown command \"{}\"", args[0]));
  }
  const auto root = option(*options, "identity-root");
  const auto device = option(*options, "device");
  const auto service = option(*options, "service");
  if (!root || !device || !service) {
    return usage(name, "--identity-root, --device and --service are required");
  }
  const fs::path path = fs::path(*root) / "home-peers.json";
  auto list = read_list(path);
  if (!list) return err(1, fmt::format("{}: {}\n", name, list.error()));
  auto server = std::ranges::find_if(*list, [&](const Json& entry) {
    return entry.is_object() && entry.value("device_node_id", "") == *device &&
           entry.value("relay_service_node_id", "") == *service;
  });
  if (server == list->end()) return err(1, "home server is not paired with this device\n");
  if (args[0] == "home-peer-status") {
    return out(R"({"files_ready":true,"decommissioned":false})"
               "\n");
  }
  if (args[0] == "home-peer-rename") {
    const auto label = option(*options, "label");
    if (!label || !home_peer::valid_home_peer_label(*label)) {
      return usage(name, "--label needs a valid name");
    }
    (*server)["label"] = std::string(home_peer::trim_label(*label));
  } else {
    list->erase(server);
  }
  if (auto written = write_list(path, *list); !written) {
    return err(1, fmt::format("{}: {}\n", name, written.error()));
  }
  return out(args[0] == "home-peer-remove" ? R"({"decommissioned":true})"
                                             "\n"
                                           : R"({"files_ready":true,"decommissioned":false})"
                                             "\n");
}

constexpr std::array<sim_device::simdev::ExternalProgram, 3> kPrograms = {{
    {"kalu-home-peer-control", home_peer_control, "apply"},
    {"kalu-enroll", enroll, ""},
    {"kalu-relay-admin", relay_admin, ""},
}};

}  // namespace

std::span<const sim_device::simdev::ExternalProgram> programs() { return kPrograms; }

}  // namespace kalu_relay::simulated
