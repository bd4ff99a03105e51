#pragma once

// The applications the Notifications pane keeps per-application rules for,
// as the pane lists them; the action surface's Notifications section gives
// each one an item. It lives beside the registry so the section can read it
// without including the pane.
//
// Until the Notifications pane is built the list is empty: the section then
// publishes its global actions only. The pane fills `app_list` in (installed
// graphical applications, desktop entries, stored rules) and keeps reading
// it from here.

#include <string>
#include <vector>

#include "stored/sections.h"

namespace settings::panes::notifications {

struct NotificationApp {
  std::string id;    // "org.example.Mail": the key part of its control ids
  std::string name;  // what the page and the section show

  bool operator==(const NotificationApp&) const = default;
};

// The listed applications in the pane's order (by name, then id).
std::vector<NotificationApp> app_list(const stored::NotificationPrefs& prefs);

}  // namespace settings::panes::notifications
