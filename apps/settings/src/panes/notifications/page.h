#pragma once

// The Notifications page, built from the pane's model at each layout: "Do
// Not Disturb" (with the delivery badge), "Focus schedule", "Banners", "Lock
// screen & shell integration" (with the notification sound backend),
// "Applications", "How this applies", one card per listed application and
// "Priority contacts". Every control shows its setting's edit key
// (lib/preference_pane.h) and records the person's change as its action of
// the Notifications section.

#include <cstdint>
#include <span>
#include <string_view>

#include "lib/ui_rows.h"
#include "media_kit/notification_sound.h"
#include "stored/sections.h"
#include "vocabulary/notification_apps.h"

namespace settings::panes::notifications {

inline constexpr std::string_view kAppsCaption =
    "Rules use verified Kalu, system, or Flatpak identities \u2014 never the name an application "
    "writes into a notification.";
inline constexpr std::string_view kNoAppsCaption =
    "Per-application controls appear after a packaged application is installed.";

struct PageModel {
  const stored::NotificationPrefs& prefs;
  std::span<const NotificationApp> apps;
  std::int64_t now = 0;
  media_kit::notification_sound::SoundBackend sound =
      media_kit::notification_sound::SoundBackend::Unavailable;
};

// "Silenced" with Do Not Disturb on, else "Active" with banners on, else
// "Banners off".
std::string_view delivery_label(const stored::NotificationPrefs& prefs);
// What the "Notification sounds" row says of the backend.
std::string_view sound_backend_text(media_kit::notification_sound::SoundBackend backend);
// An application card's closing caption from its effective values.
std::string_view app_caption(bool banners, bool previews);

ui_rows::WidgetBox build_page(const PageModel& model);

}  // namespace settings::panes::notifications
