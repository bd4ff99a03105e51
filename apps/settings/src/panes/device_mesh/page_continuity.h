#pragma once

// The Continuity cards of the Devices & Sync page and its card of trusted
// devices, built from the pane's ContinuityModel with the shared row
// builders. The page places them among its other cards; each builder is
// called afresh whenever the page is rebuilt.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "panes/device_mesh/continuity.h"

namespace settings::panes::device_mesh {

// The binding of a Devices & Sync toggle action by its name
// ("continuity-enabled", "continuity-wifi-settings", ...), or none. An empty
// function or a none leaves the toggle without an action.
using ToggleBindings =
    std::function<std::optional<kalu_actions::ActionBinding>(std::string_view action_name)>;

// A toggle (by its control id and label) showing `on`, carrying `binding`
// when there is one. Shared by every switch of the page.
ui_rows::WidgetBox bound_toggle(std::string id, std::string_view label, bool on,
                                std::optional<kalu_actions::ActionBinding> binding);

// "Continuity privacy": the master toggle ("device_mesh.continuity.enabled")
// and one toggle per capability ("device_mesh.continuity.{id}"), each bound
// to its action, with the capabilities' state in their captions.
ui_rows::WidgetBox continuity_privacy_card(const ContinuityModel& model,
                                           const ToggleBindings& bindings);

// "Current Continuity route": the target and the source.
ui_rows::WidgetBox continuity_route_card(const ContinuityModel& model);

// "Recent Continuity activity": the audit, newest first.
ui_rows::WidgetBox continuity_activity_card(const ContinuityModel& model);

// "Your trusted devices": one row per certified device with its badge, or
// its "Decommission" button, or the revocation's confirmation (the "Revoke
// access" button, the reason dropdown and "Cancel"). The buttons write their
// flags (personal_device_control_id) into the state document.
ui_rows::WidgetBox trusted_devices_card(const ContinuityModel& model);

}  // namespace settings::panes::device_mesh
