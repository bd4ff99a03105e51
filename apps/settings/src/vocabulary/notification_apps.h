#pragma once

// The Notifications pane's words that the action surface's Notifications
// section and the set-setting store share: the applications the pane keeps
// per-application rules for (the section gives each one an item), the
// quiet-hours tables, the temporary mute labels, and what an application's
// controls show (its rule's override, else the global switch). They live
// beside the registry so the section and the store can read them without
// including the pane.
//
// The application list joins three sources, the first name of an id
// winning: the installed applications with a graphical program, the desktop
// entries of the application cache that are not NoDisplay, and the ids of the stored rules (an
// application since removed keeps its rule and its row). Ids that could not
// be a control id's part are never listed.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_file/applications.h"
#include "stored/sections.h"

namespace settings::panes::notifications {

struct NotificationApp {
  std::string id;    // "org.example.Mail": the key part of its control ids
  std::string name;  // what the page and the section show

  bool operator==(const NotificationApp&) const = default;
};

// The listed applications in the pane's order (by name, then id, bytewise),
// from the application folders of the environment or of `roots`.
std::vector<NotificationApp> app_list(const stored::NotificationPrefs& prefs);
std::vector<NotificationApp> app_list(const stored::NotificationPrefs& prefs,
                                      const desktop_file::ApplicationRoots& roots);

// 1 to 160 bytes of ASCII letters, digits, ".", "-" and "_".
bool valid_app_id(std::string_view id);

// Quiet hours: the start and end times offered, in table order, with their
// minute of the day, and the day sets with their weekday masks.
struct FocusTime {
  std::string_view label;
  std::uint16_t minute;
};
inline constexpr std::array<FocusTime, 9> kFocusTimes = {{{"18:00", 1080},
                                                          {"20:00", 1200},
                                                          {"22:00", 1320},
                                                          {"23:00", 1380},
                                                          {"00:00", 0},
                                                          {"06:00", 360},
                                                          {"07:00", 420},
                                                          {"08:00", 480},
                                                          {"09:00", 540}}};
struct FocusDays {
  std::string_view label;
  std::uint8_t mask;
};
inline constexpr std::array<FocusDays, 3> kFocusDays = {
    {{"Every day", 0}, {"Weekdays", 31}, {"Weekends", 96}}};

// The label of the nearest time (the minute capped at 1439; the distance
// does not wrap around midnight; the earlier table entry wins a tie).
std::string_view focus_time_label(std::uint32_t minute);
// The label whose mask equals `mask`; "Every day" for any other.
std::string_view focus_days_label(std::uint8_t mask);
std::optional<std::uint16_t> parse_focus_time(std::string_view label);
std::optional<std::uint8_t> parse_focus_days(std::string_view label);

// Temporary mutes, in table order, with their length in seconds.
struct MuteDuration {
  std::string_view label;
  std::int64_t seconds;
};
inline constexpr std::array<MuteDuration, 4> kMuteDurations = {
    {{"Not muted", 0}, {"For 1 hour", 3600}, {"For 8 hours", 28800}, {"For 24 hours", 86400}}};

// "Not muted" unless `muted_until` is after `now`; else the shortest
// duration that covers what remains.
std::string_view mute_label(std::optional<std::int64_t> muted_until, std::int64_t now);
// The seconds of a mute label; nothing for another text.
std::optional<std::int64_t> parse_mute(std::string_view label);

// The global switches, by their setting's key, in page order.
struct GlobalSwitch {
  std::string_view key;
  bool stored::NotificationPrefs::*field;
};
inline constexpr std::array<GlobalSwitch, 6> kGlobalSwitches = {{
    {"notifications.do_not_disturb", &stored::NotificationPrefs::do_not_disturb},
    {"notifications.show_banners", &stored::NotificationPrefs::show_banners},
    {"notifications.show_previews", &stored::NotificationPrefs::show_previews},
    {"notifications.play_sounds", &stored::NotificationPrefs::play_sounds},
    {"notifications.show_on_lock_screen", &stored::NotificationPrefs::show_on_lock_screen},
    {"notifications.show_badges", &stored::NotificationPrefs::show_badges},
}};

// The quiet hours' two times, by their setting's key.
struct FocusTimeKey {
  std::string_view key;
  std::uint16_t stored::FocusSchedule::*minute;
};
inline constexpr std::array<FocusTimeKey, 2> kFocusTimeKeys = {{
    {"notifications.focus.start", &stored::FocusSchedule::start_minute},
    {"notifications.focus.end", &stored::FocusSchedule::end_minute},
}};

// An application's switches that follow a global one until overridden, and
// its two priority flags, by their control id's field.
struct AppSwitch {
  std::string_view field;
  std::optional<bool> stored::AppNotificationRule::*rule;
  bool stored::NotificationPrefs::*global;
};
inline constexpr std::array<AppSwitch, 4> kAppSwitches = {{
    {"banners", &stored::AppNotificationRule::banners, &stored::NotificationPrefs::show_banners},
    {"previews", &stored::AppNotificationRule::previews, &stored::NotificationPrefs::show_previews},
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
