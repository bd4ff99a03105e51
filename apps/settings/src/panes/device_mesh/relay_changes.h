#pragma once

// The changes a device-mesh operation makes to the pane's copy of the relay
// configuration: role, replication, the four relay services and the
// workspaces it keeps. Plain functions on the configuration; saving it is
// the system setup's (commands.h), which the pane runs afterwards.

#include <cstdint>
#include <span>
#include <string_view>

#include "kalu_ui/result.h"
#include "relay/config.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::panes::device_mesh {

// The replication the page shows: the first binding's, "On demand" (1)
// without bindings.
std::uint8_t shown_replication(const kalu_relay::RelayConfig& config);

// Sets the role named by its label ("unsupported device role" otherwise).
// The same role changes nothing. Another: relay_enabled, the inbound relay
// and every binding's active flag follow whether the role is a personal
// device's; "Always-on server" binds every known workspace when none is
// bound and asks for full replication of all, any other role for none.
// Answers whether the change crossed between a personal device and a
// serving role (the page then shows other cards).
kalu_ui::Result<bool> set_role(kalu_relay::RelayConfig& config, std::string_view label,
                               std::span<const KnownWorkspace> known);

// Sets every binding's replication by its label ("unsupported replication
// policy" otherwise) and full_replication for "Full workspace copy".
kalu_ui::Status set_replication(kalu_relay::RelayConfig& config, std::string_view label);

// Switches "inbound_relay", "remote_control_relay", "app_serving" or
// "compute" ("unsupported device service" otherwise).
kalu_ui::Status set_relay_service(kalu_relay::RelayConfig& config, std::string_view service,
                                  bool enabled);

// Binds the workspace (on demand, active while the role serves) unless it
// is bound already, or removes every binding of it. The caller checks that
// the workspace is known.
void set_workspace(kalu_relay::RelayConfig& config, std::uint64_t workspace_id, bool enabled);

}  // namespace settings::panes::device_mesh
