#include "panes/device_mesh/commands.h"

#include <fmt/format.h>

#include <array>
#include <nlohmann/json.hpp>
#include <utility>

namespace settings::panes::device_mesh {
namespace {

using namespace std::chrono_literals;
using limited_exec::PreparedCommand;
using Json = nlohmann::ordered_json;

constexpr auto kSetupTimeout = 120s;
constexpr auto kDiscoveryTimeout = 30s;
constexpr auto kApprovalTimeout = 600s;
constexpr auto kRelayAdminTimeout = 60s;

Json parse(std::string_view text) {
  // Never throws; a text that is not JSON gives a discarded value.
  return Json::parse(text, nullptr, false);
}

PreparedCommand command(std::string_view program, std::vector<std::string> args,
                        std::chrono::nanoseconds timeout,
                        std::optional<std::string> input = std::nullopt) {
  return PreparedCommand(std::string(program), std::move(args), timeout, kCommandOutputCap,
                         std::move(input));
}

PreparedCommand home_peer_control(std::vector<std::string> args, std::chrono::nanoseconds timeout,
                                  std::optional<std::string> input = std::nullopt) {
  args.insert(args.begin(), std::string(kHomePeerControl));
  return command(kPkexec, std::move(args), timeout, std::move(input));
}

// The candidate's four texts in order, from either form; none when one is
// missing or not text.
std::optional<std::array<std::string, 4>> candidate_texts(const Json& value) {
  static constexpr std::array<std::string_view, 4> kMembers = {
      "device_node_id", "relay_service_node_id", "label", "verification_code"};
  std::array<std::string, 4> texts;
  if (value.is_object()) {
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
      const auto member = value.find(kMembers[i]);
      if (member == value.end() || !member->is_string()) return std::nullopt;
      texts[i] = member->get<std::string>();
    }
    return texts;
  }
  if (value.is_array() && value.size() == kMembers.size()) {
    for (std::size_t i = 0; i < kMembers.size(); ++i) {
      if (!value[i].is_string()) return std::nullopt;
      texts[i] = value[i].get<std::string>();
    }
    return texts;
  }
  return std::nullopt;
}

bool flag(const Json& object, std::string_view member) {
  const auto found = object.find(member);
  return found != object.end() && found->is_boolean() && found->get<bool>();
}

std::string_view setup_replication_name(const kalu_relay::RelayConfig& config) {
  if (config.workspaces.empty()) return "on-demand";
  const std::string_view name = kalu_relay::replication_name(config.workspaces.front().replication);
  return name.empty() ? "on-demand" : name;
}

std::string_view setup_role_name(std::uint8_t role) {
  const std::string_view name = kalu_relay::role_name(role);
  return name.empty() ? kalu_relay::role_name(kalu_relay::kRoleInteractive) : name;
}

}  // namespace

kalu_ui::Result<PairCandidate> parse_pair_candidate(std::string_view output) {
  const auto texts = candidate_texts(parse(output));
  if (!texts) return kalu_ui::fail(std::string(kInvalidCandidate));
  PairCandidate candidate{(*texts)[0], (*texts)[1], (*texts)[2], (*texts)[3]};
  // The ids become arguments of the privileged approval.
  if (!kalu_relay::home_peer::valid_node_id(candidate.device_node_id) ||
      !kalu_relay::home_peer::valid_node_id(candidate.relay_service_node_id)) {
    return kalu_ui::fail(std::string(kInvalidCandidate));
  }
  return candidate;
}

std::string setup_document(const kalu_relay::RelayConfig& config,
                           const std::filesystem::path& identity_root) {
  Json document = Json::object();
  document["identity_root"] = identity_root.string();
  document["role"] = setup_role_name(config.role);
  Json ids = Json::array();
  for (const auto& binding : config.workspaces) ids.push_back(binding.workspace_id);
  document["workspace_ids"] = std::move(ids);
  document["replication"] = setup_replication_name(config);
  document["inbound_relay"] = config.inbound_relay;
  document["remote_control_relay"] = config.remote_control_relay;
  document["app_serving"] = config.app_serving;
  document["compute"] = config.compute;
  // Replacing invalid UTF-8 (a path's bytes) never throws.
  return document.dump(-1, ' ', false, Json::error_handler_t::replace);
}

PreparedCommand system_setup_command(const kalu_relay::RelayConfig& config,
                                     const std::filesystem::path& identity_root) {
  return home_peer_control({"apply"}, kSetupTimeout, setup_document(config, identity_root));
}

PreparedCommand discovery_command(PairingKind kind) {
  return command(
      kEnroll,
      {kind == PairingKind::HomeServer ? "discover" : "discover-device", "--timeout", "15"},
      kDiscoveryTimeout);
}

std::vector<std::uint64_t> approval_workspace_ids(const kalu_relay::RelayConfig& config,
                                                  std::span<const KnownWorkspace> known) {
  std::vector<std::uint64_t> ids;
  if (!config.workspaces.empty()) {
    for (const auto& binding : config.workspaces) ids.push_back(binding.workspace_id);
  } else {
    for (const auto& workspace : known) ids.push_back(workspace.id);
  }
  return ids;
}

PreparedCommand approve_home_server_command(const std::filesystem::path& identity_root,
                                            const PairCandidate& candidate,
                                            std::span<const std::uint64_t> workspace_ids) {
  std::vector<std::string> args = {"approve-enrollment",           "--identity-root",
                                   identity_root.string(),         "--expected-device",
                                   candidate.device_node_id,       "--expected-service",
                                   candidate.relay_service_node_id};
  for (std::uint64_t id : workspace_ids) {
    args.emplace_back("--workspace-id");
    args.push_back(fmt::format("{}", id));
  }
  return home_peer_control(std::move(args), kApprovalTimeout);
}

PreparedCommand approve_personal_device_command(const std::filesystem::path& identity_root,
                                                const std::filesystem::path& identity_dir,
                                                const PairCandidate& candidate) {
  return home_peer_control(
      {"approve-device", "--identity-root", identity_root.string(), "--identity-dir",
       identity_dir.string(), "--expected-device", candidate.device_node_id, "--expected-service",
       candidate.relay_service_node_id},
      kApprovalTimeout);
}

kalu_ui::Result<PreparedCommand> relay_admin_command(RelayAdmin subcommand,
                                                     const std::filesystem::path& identity_root,
                                                     const kalu_relay::HomePeerRegistration& server,
                                                     std::string_view label) {
  if (!kalu_relay::home_peer::valid_node_id(server.device_node_id) ||
      !kalu_relay::home_peer::valid_node_id(server.relay_service_node_id)) {
    return kalu_ui::fail("the home server's registration has an invalid identity");
  }
  static constexpr std::array<std::string_view, 3> kSubcommands = {
      "home-peer-status", "home-peer-rename", "home-peer-remove"};
  std::vector<std::string> args = {std::string(kSubcommands[static_cast<std::size_t>(subcommand)]),
                                   "--identity-root",
                                   identity_root.string(),
                                   "--device",
                                   server.device_node_id,
                                   "--service",
                                   server.relay_service_node_id};
  if (subcommand == RelayAdmin::Rename) {
    if (!kalu_relay::home_peer::valid_home_peer_label(label)) {
      return kalu_ui::fail("the home server's name is not valid");
    }
    args.emplace_back("--label");
    args.emplace_back(kalu_relay::home_peer::trim_label(label));
  }
  return command(kRelayAdmin, std::move(args), kRelayAdminTimeout);
}

PreparedCommand retry_removals_command(const std::filesystem::path& identity_root) {
  return command(kRelayAdmin,
                 {"home-peer-retry-removals", "--identity-root", identity_root.string()},
                 kRelayAdminTimeout);
}

std::optional<ProbeAnswer> parse_probe_answer(std::string_view output) {
  const Json value = parse(output);
  if (!value.is_object()) return std::nullopt;
  return ProbeAnswer{flag(value, "files_ready"), flag(value, "decommissioned")};
}

std::string_view probe_status_text(const ProbeAnswer& answer) {
  if (answer.decommissioned) return "Removed";
  if (answer.files_ready) return "Online · Files ready";
  return "Online · Syncing files";
}

}  // namespace settings::panes::device_mesh
