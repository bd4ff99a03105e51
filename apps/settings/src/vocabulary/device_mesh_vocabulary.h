#pragma once

// What the Devices & Sync pane and the action surface both name: the
// Continuity capabilities with the action names of their toggles, the role,
// replication and revocation-reason labels, and the list of workspaces this
// device knows. The pane folder and the rooms below the panes (the action
// surface) read them from here. Texts live for the whole program.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "relay/config.h"

namespace settings::panes::device_mesh {

struct ContinuityCapabilityInfo {
  std::string_view id;           // "wifi_settings": the member of the stored record
  std::string_view label;        // "Wi-Fi & settings"
  std::string_view description;  // the first sentence of its caption
};

// The nine capabilities in page order, which is also the order of
// stored::ContinuityCapability.
std::span<const ContinuityCapabilityInfo> continuity_capabilities();
// The index of the capability with this id, byte for byte.
std::optional<std::size_t> continuity_capability_index(std::string_view id);

// The action names of the Continuity toggles: "continuity-enabled" for the
// master switch, "continuity-" and the capability id with '-' for '_'.
inline constexpr std::string_view kContinuityMasterAction = "continuity-enabled";
std::string continuity_action_name(std::string_view capability_id);

// Roles by index (kalu_relay::kRoleInteractive ...): "Personal device",
// "Always-on server", "Available while active". The page's dropdown offers
// them in another order (role_choice_order).
std::span<const std::string_view> role_labels();
// "Personal device", "Available while active", "Always-on server".
std::span<const std::string_view> role_choice_order();
std::optional<std::uint8_t> role_from_label(std::string_view label);

// Replication by value: "Workspace state", "On demand", "Full workspace copy";
// a mode outside the three reads "On demand".
std::string_view replication_label(std::uint8_t replication);
// "On demand", "Workspace state", "Full workspace copy": the dropdown's order.
std::span<const std::string_view> replication_choice_order();
std::optional<std::uint8_t> replication_from_label(std::string_view label);

// "Retired", "Lost", "Stolen", "Compromised": the reason dropdown's order.
std::span<const std::string_view> revocation_reason_labels();

struct KnownWorkspace {
  std::string label;
  std::uint64_t id = 0;

  bool operator==(const KnownWorkspace&) const = default;
};

// The desktop's state file, "<config dir>/kalu/state.json"; nothing without
// a configuration directory.
std::optional<std::filesystem::path> desktop_state_path();

// The workspaces this device knows, sorted by label (byte order), then id:
// those of the desktop's state file, then each workspace bound in `config`
// that the file did not list, labelled "Workspace {id}".
//
// In the state file, each object of the array "workspaces" is a workspace:
// its id is kalu_relay::room_workspace_id of the text "room" when that is
// accepted, else the unsigned integer "id" (an element with neither is
// skipped); its label is the text "name", else "Workspace". An id listed
// twice is listed once, with its first label. A missing, unreadable or
// unparsable file (or one over 16 MiB), or one without such an array,
// contributes nothing; nothing is read without a configuration directory.
std::vector<KnownWorkspace> known_workspaces(const kalu_relay::RelayConfig& config);

}  // namespace settings::panes::device_mesh
