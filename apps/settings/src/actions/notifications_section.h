#pragma once

// The Notifications section of the automation surface,
// "settings.section:notifications": seven set-setting switches of the global
// notification preferences (each flips the current value: "Turn on Do Not
// Disturb" while it is off), three choices of the quiet-hours schedule, and
// one item "settings.notification-app:<application id>" per application of
// the Notifications pane's list (vocabulary/notification_apps.h), at most
// kMaxItems, with six switches of its own rule and "mute". Current values
// are the stored notification preferences: an application's its own rule's,
// else the global switch's (the priority flags: off).
//
// The Notifications page binds its global switches with
// notifications_toggle_binding and its schedule dropdowns with
// notifications_choice_binding; each application row's switches with
// notification_app_toggle_binding and its mute dropdown with
// notification_app_choice_binding. The switches set what the control says.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "stored/sections.h"
#include "vocabulary/notification_apps.h"

namespace settings::actions {

// The section with the applications of the pane's list.
kalu_actions::Resource notifications_resource(const stored::NotificationPrefs& prefs);
// The same with the applications given, the mutes read at `now` (seconds
// since the epoch).
kalu_actions::Resource notifications_resource(
    const stored::NotificationPrefs& prefs,
    std::span<const panes::notifications::NotificationApp> apps, std::int64_t now);

// "dnd", "banners", "previews", "sounds", "lock_screen", "badges",
// "focus-enabled".
std::optional<kalu_actions::ActionBinding> notifications_toggle_binding(
    std::string_view action_name);
// "focus-start", "focus-end", "focus-days": the control's text is "choice".
std::optional<kalu_actions::ActionBinding> notifications_choice_binding(
    std::string_view action_name);
// "banners", "previews", "sounds", "badges", "priority", "priority-contacts"
// of the application's item.
std::optional<kalu_actions::ActionBinding> notification_app_toggle_binding(
    std::string_view app_id, std::string_view action_name);
// "mute" of the application's item.
std::optional<kalu_actions::ActionBinding> notification_app_choice_binding(
    std::string_view app_id, std::string_view action_name);

}  // namespace settings::actions
