#include "actions/devices_sync_section.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "relay/config.h"

namespace settings::actions {

using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::Resource;
using operations::DeviceMeshOperation;

namespace {

constexpr std::string_view kSectionId = "settings.section:devices_sync";
constexpr std::array<std::string_view, 3> kMeshTags = {"device-local", "security", "device-mesh"};
constexpr std::array<std::string_view, 3> kWorkspaceTags = {"device-local", "device-mesh",
                                                            "workspace"};

constexpr std::array<std::string_view, 3> kRoleChoices = {
    "Personal device", "Available while active", "Always-on server"};
constexpr std::array<std::string_view, 3> kReplicationChoices = {"On demand", "Workspace state",
                                                                 "Full workspace copy"};

struct Service {
  std::string_view name;
  std::string_view label;
  std::string_view key;
};

constexpr std::array<Service, 4> kServices = {{
    {"inbound-relay", "Set inbound relay", "inbound_relay"},
    {"remote-control", "Set remote-control relay", "remote_control_relay"},
    {"app-serving", "Set app serving", "app_serving"},
    {"compute", "Set remote compute", "compute"},
}};

// The Continuity switches: the service is the setting key without its
// leading "device_mesh.".
constexpr std::array<Service, 10> kContinuity = {{
    {"continuity-enabled", "Continuity on this device", "device_mesh.continuity.enabled"},
    {"continuity-clipboard", "Continuity clipboard", "device_mesh.continuity.clipboard"},
    {"continuity-notifications", "Continuity notifications",
     "device_mesh.continuity.notifications"},
    {"continuity-wifi-settings", "Continuity Wi-Fi and settings",
     "device_mesh.continuity.wifi_settings"},
    {"continuity-media", "Continuity media", "device_mesh.continuity.media"},
    {"continuity-display-input", "Continuity display and input",
     "device_mesh.continuity.display_input"},
    {"continuity-file-transfer", "Continuity file transfer",
     "device_mesh.continuity.file_transfer"},
    {"continuity-realtime-sessions", "Continuity realtime sessions",
     "device_mesh.continuity.realtime_sessions"},
    {"continuity-typed-gamepad", "Continuity typed gamepad forwarding",
     "device_mesh.continuity.typed_gamepad"},
    {"continuity-app-continuations", "Continuity app continuations",
     "device_mesh.continuity.app_continuations"},
}};

std::string service_of(std::string_view setting_key) {
  constexpr std::string_view kPrefix = "device_mesh.";
  if (setting_key.starts_with(kPrefix)) setting_key.remove_prefix(kPrefix.size());
  return std::string(setting_key);
}

ActionSpec workspace_spec(std::uint64_t id) {
  std::vector<ActionParam> params;
  params.push_back(toggle_param("Whether this workspace is available on this device"));
  return typed_operation_spec<DeviceMeshOperation>(
      "set-available", "Set availability on this device", std::string(kToggleDescription),
      std::move(params),
      [id](const kalu_actions::ActionArgs& args) {
        return DeviceMeshOperation{DeviceMeshOperation::SetWorkspace{id, arg_flag(args)}};
      },
      kWorkspaceTags);
}

Resource workspace_item(const panes::device_mesh::KnownWorkspace& workspace) {
  return Resource::create("settings.device-mesh-workspace:" + std::to_string(workspace.id),
                          "settings.device-mesh-workspace", workspace.label)
      .with_action(workspace_spec(workspace.id));
}

}  // namespace

ActionSpec device_mesh_choice_spec(std::string name, std::string label,
                                   const std::array<std::string_view, 3>& choices,
                                   std::function<DeviceMeshOperation(std::string)> make) {
  const bool destructive = name == "role";
  std::vector<ActionParam> params;
  params.push_back(ActionParam::make(std::string(kChoiceParam), "Device-local value",
                                     kalu_actions::ParamKind::Text)
                       .with_choices(std::span<const std::string_view>(choices)));
  ActionSpec spec = typed_operation_spec<DeviceMeshOperation>(
      std::move(name), std::move(label), "Choose a value", std::move(params),
      [make = std::move(make)](const kalu_actions::ActionArgs& args) {
        return make(arg_text(args, kChoiceParam));
      },
      kMeshTags);
  if (destructive) return std::move(spec).destructive();
  return spec;
}

ActionSpec device_mesh_service_spec(std::string name, std::string label, std::string service) {
  return toggle_operation_spec<DeviceMeshOperation>(
      std::move(name), std::move(label),
      [service = std::move(service)](bool on) {
        return DeviceMeshOperation{DeviceMeshOperation::SetService{service, on}};
      },
      kMeshTags, "Whether this local service is enabled");
}

Resource devices_sync_resource(std::span<const panes::device_mesh::KnownWorkspace> workspaces) {
  Resource section = Resource::create(std::string(kSectionId), std::string(kSectionResourceKind),
                                      "Devices & Sync");
  section.actions.reserve(2 + kServices.size() + kContinuity.size());
  section.actions.push_back(device_mesh_choice_spec(
      "role", "Set device role on this device", kRoleChoices, [](std::string chosen) {
        return DeviceMeshOperation{DeviceMeshOperation::SetRole{std::move(chosen)}};
      }));
  section.actions.push_back(device_mesh_choice_spec(
      "replication", "Set local replication policy", kReplicationChoices, [](std::string chosen) {
        return DeviceMeshOperation{DeviceMeshOperation::SetReplication{std::move(chosen)}};
      }));
  for (const Service& service : kServices) {
    section.actions.push_back(device_mesh_service_spec(
        std::string(service.name), std::string(service.label), std::string(service.key)));
  }
  const std::size_t listed = std::min(workspaces.size(), kMaxItems);
  section.children.reserve(listed);
  for (const auto& workspace : workspaces.first(listed)) {
    section.children.push_back(workspace_item(workspace));
  }
  for (const Service& toggle : kContinuity) {
    section.actions.push_back(device_mesh_service_spec(
        std::string(toggle.name), std::string(toggle.label), service_of(toggle.key)));
  }
  return section;
}

Resource devices_sync_resource() {
  // Workspaces bound in this device's relay configuration count too; one
  // that is missing or unreadable binds none.
  const auto config = kalu_relay::load(kalu_relay::relay_config_path());
  return devices_sync_resource(
      panes::device_mesh::known_workspaces(config ? *config : kalu_relay::RelayConfig::defaults()));
}

std::optional<kalu_actions::ActionBinding> device_mesh_toggle_binding(
    std::string_view action_name) {
  // The switches need the section's actions, not its workspaces.
  return device_mesh_toggle_binding(devices_sync_resource({}), action_name);
}

std::optional<kalu_actions::ActionBinding> device_mesh_choice_binding(
    std::string_view action_name) {
  return device_mesh_choice_binding(devices_sync_resource({}), action_name);
}

std::optional<kalu_actions::ActionBinding> device_mesh_workspace_binding(
    std::uint64_t workspace_id) {
  return device_mesh_workspace_binding(devices_sync_resource(), workspace_id);
}

std::optional<kalu_actions::ActionBinding> device_mesh_toggle_binding(
    const Resource& section, std::string_view action_name) {
  return bind_toggle(section, action_name);
}

std::optional<kalu_actions::ActionBinding> device_mesh_choice_binding(
    const Resource& section, std::string_view action_name) {
  return bind_action(section, action_name, choice_arguments());
}

std::optional<kalu_actions::ActionBinding> device_mesh_workspace_binding(
    const Resource& section, std::uint64_t workspace_id) {
  auto item = find_mesh_workspace_child(section.children, workspace_id);
  if (!item) return std::nullopt;
  return bind_toggle(*item, "set-available");
}

}  // namespace settings::actions
