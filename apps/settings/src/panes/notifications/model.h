#pragma once

// What the Notifications pane and its page derive from the stored section:
// the per-application control ids, the values an application's controls
// show (its rule's override, else the global switch) and its mute label.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "stored/sections.h"

namespace settings::panes::notifications {

// An application's switches that follow a global one until overridden, and
// its two priority flags, by their control id's field.
struct AppSwitch {
  std::string_view field;
  std::optional<bool> stored::AppNotificationRule::*rule;
  bool stored::NotificationPrefs::*global;
};
inline constexpr std::array<AppSwitch, 4> kAppSwitches = {{
    {"banners", &stored::AppNotificationRule::banners, &stored::NotificationPrefs::show_banners},
    {"previews", &stored::AppNotificationRule::previews,
     &stored::NotificationPrefs::show_previews},
    {"sounds", &stored::AppNotificationRule::sounds, &stored::NotificationPrefs::play_sounds},
    {"badges", &stored::AppNotificationRule::badges, &stored::NotificationPrefs::show_badges},
}};
struct AppFlag {
  std::string_view field;
  bool stored::AppNotificationRule::*rule;
};
inline constexpr std::array<AppFlag, 2> kAppFlags = {{
    {"priority", &stored::AppNotificationRule::priority},
    {"priority_contacts", &stored::AppNotificationRule::priority_contacts},
}};

// "notifications.app.<id>.<field>".
std::string app_control_id(std::string_view app_id, std::string_view field);
// The value of one of the fields above for the application: its rule's
// override, else the global switch (the priority flags: the rule's, else
// off). False for another field.
bool effective(const stored::NotificationPrefs& prefs, std::string_view app_id,
               std::string_view field);
// The mute label of the application's rule at `now`.
std::string_view rule_mute_label(const stored::NotificationPrefs& prefs, std::string_view app_id,
                                 std::int64_t now);

}  // namespace settings::panes::notifications
