#pragma once

// The Devices & Sync section of the automation surface,
// "settings.section:devices_sync": the device's role (the one destructive
// action) and replication policy, its four local services, the Continuity
// master switch and the nine Continuity capabilities; below it one item
// "settings.device-mesh-workspace:<id>" per workspace this device knows (at
// most kMaxItems), each with "set-available". Every action is an effect
// carried by "settings.device-mesh-operation", which the Devices & Sync pane
// carries out.
//
// The section reads only the known workspaces (vocabulary/device_mesh_vocabulary.h,
// with this device's relay configuration); no document, no current value.
//
// The Devices & Sync page binds its switches with device_mesh_toggle_binding
// ("inbound-relay", "remote-control", "app-serving", "compute",
// "continuity-enabled" and continuity_action_name of each capability), its
// role and replication dropdowns with device_mesh_choice_binding and each
// workspace's switch with device_mesh_workspace_binding.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "operations/records.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::actions {

// The section with the workspaces this device knows.
kalu_actions::Resource devices_sync_resource();
// The section with these workspaces as its items, in order.
kalu_actions::Resource devices_sync_resource(
    std::span<const panes::device_mesh::KnownWorkspace> workspaces);

// A choice among three texts ("choice", "Device-local value"); an invocation
// without one gives `make` the empty text. Destructive when named "role".
kalu_actions::ActionSpec device_mesh_choice_spec(
    std::string name, std::string label, const std::array<std::string_view, 3>& choices,
    std::function<operations::DeviceMeshOperation(std::string)> make);
// A local service switched on or off: `SetService` of `service`.
kalu_actions::ActionSpec device_mesh_service_spec(std::string name, std::string label,
                                                  std::string service);

// The first section action of that name, the control's bool becoming
// "value"; none when there is none.
std::optional<kalu_actions::ActionBinding> device_mesh_toggle_binding(std::string_view action_name);
// The same, the control's text becoming "choice".
std::optional<kalu_actions::ActionBinding> device_mesh_choice_binding(std::string_view action_name);
// "set-available" of the workspace's item; none when the section has no such
// workspace.
std::optional<kalu_actions::ActionBinding> device_mesh_workspace_binding(
    std::uint64_t workspace_id);

// The same three from a section built already, so a page that binds many
// controls builds (and reads) it once.
std::optional<kalu_actions::ActionBinding> device_mesh_toggle_binding(
    const kalu_actions::Resource& section, std::string_view action_name);
std::optional<kalu_actions::ActionBinding> device_mesh_choice_binding(
    const kalu_actions::Resource& section, std::string_view action_name);
std::optional<kalu_actions::ActionBinding> device_mesh_workspace_binding(
    const kalu_actions::Resource& section, std::uint64_t workspace_id);

}  // namespace settings::actions
