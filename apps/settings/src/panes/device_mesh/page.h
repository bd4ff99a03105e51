#pragma once

// The Devices & Sync page, built from the pane's state whenever the pane
// reports a structure change: "Continue across devices", the Continuity
// cards, roaming settings, "Add a personal device", the trusted devices,
// "Device availability", "Synced workspaces", "Home server or NAS", one card
// per paired home server and, for a serving role, "Device services".
// Controls that change a setting carry a binding of the Devices & Sync
// section, so a change comes back to the pane as an operation; buttons that
// start work write their one-shot flags into the state document.

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "panes/device_mesh/page_continuity.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::panes::device_mesh {

class DeviceMeshPane;

struct PageBindings {
  // Switches by action name ("inbound-relay", "continuity-clipboard", ...).
  ToggleBindings toggles;
  // Dropdowns by action name ("role", "replication").
  std::function<std::optional<kalu_actions::ActionBinding>(std::string_view)> choices;
  // A workspace's switch ("set-available" of its item).
  std::function<std::optional<kalu_actions::ActionBinding>(std::uint64_t)> workspaces;
};

// The Devices & Sync section's builders, over one section built with these
// workspaces as its items (the pane's own list, so building the page reads
// no file for its bindings).
PageBindings section_bindings(std::span<const KnownWorkspace> workspaces);

// The status line's place: under "Continue across devices" for a saving
// status ("Configuration could not ...", "Not saved ...", "Saving ...",
// "Waiting ...", "Could not start pairing ...", "Saved").
bool status_belongs_to_settings(std::string_view status);

// A home server's availability badge from its status text.
struct ServerBadge {
  std::string_view text;
  std::uint8_t tone;
  bool operator==(const ServerBadge&) const = default;
};
ServerBadge server_badge(std::string_view status_text);

// The whole page, cards in order.
ui_rows::WidgetBox build_page(const DeviceMeshPane& pane, const PageBindings& bindings);

}  // namespace settings::panes::device_mesh
