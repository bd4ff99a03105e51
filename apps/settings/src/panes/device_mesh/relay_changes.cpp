#include "panes/device_mesh/relay_changes.h"

#include <algorithm>
#include <string>

namespace settings::panes::device_mesh {
namespace {

using kalu_relay::RelayConfig;
using kalu_relay::WorkspaceBinding;

WorkspaceBinding binding_of(std::uint64_t id, std::uint8_t replication, bool active) {
  WorkspaceBinding binding;
  binding.replication = replication;
  binding.workspace_id = id;
  binding.active = active;
  return binding;
}

}  // namespace

std::uint8_t shown_replication(const RelayConfig& config) {
  return config.workspaces.empty() ? kalu_relay::kReplicationOnDemand
                                   : config.workspaces.front().replication;
}

kalu_ui::Result<bool> set_role(RelayConfig& config, std::string_view label,
                               std::span<const KnownWorkspace> known) {
  const auto role = role_from_label(label);
  if (!role) return kalu_ui::fail("unsupported device role");
  if (*role == config.role) return false;
  const bool crossed =
      (config.role == kalu_relay::kRoleInteractive) != (*role == kalu_relay::kRoleInteractive);
  const bool serving = *role != kalu_relay::kRoleInteractive;
  config.role = *role;
  config.relay_enabled = serving;
  config.inbound_relay = serving;
  for (auto& binding : config.workspaces) binding.active = serving;
  if (*role == kalu_relay::kRoleAlwaysOn) {
    if (config.workspaces.empty()) {
      for (const auto& workspace : known) {
        config.workspaces.push_back(binding_of(workspace.id, kalu_relay::kReplicationFull, true));
      }
    }
    config.full_replication = true;
    for (auto& binding : config.workspaces) binding.replication = kalu_relay::kReplicationFull;
  } else {
    config.full_replication = false;
  }
  return crossed;
}

kalu_ui::Status set_replication(RelayConfig& config, std::string_view label) {
  const auto replication = replication_from_label(label);
  if (!replication) return kalu_ui::fail("unsupported replication policy");
  for (auto& binding : config.workspaces) binding.replication = *replication;
  config.full_replication = *replication == kalu_relay::kReplicationFull;
  return {};
}

kalu_ui::Status set_relay_service(RelayConfig& config, std::string_view service, bool enabled) {
  if (service == "inbound_relay") {
    config.inbound_relay = enabled;
  } else if (service == "remote_control_relay") {
    config.remote_control_relay = enabled;
  } else if (service == "app_serving") {
    config.app_serving = enabled;
  } else if (service == "compute") {
    config.compute = enabled;
  } else {
    return kalu_ui::fail("unsupported device service");
  }
  return {};
}

void set_workspace(RelayConfig& config, std::uint64_t workspace_id, bool enabled) {
  if (!enabled) {
    config.remove_workspace(workspace_id);
    return;
  }
  const bool bound = std::ranges::any_of(config.workspaces, [&](const WorkspaceBinding& binding) {
    return binding.workspace_id == workspace_id;
  });
  if (bound) return;
  config.workspaces.push_back(binding_of(workspace_id, kalu_relay::kReplicationOnDemand,
                                         config.role != kalu_relay::kRoleInteractive));
}

}  // namespace settings::panes::device_mesh
