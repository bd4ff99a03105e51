#pragma once

// The Notifications pane (Pane::kNotifications): the "notifications" section of the
// settings document. It changes nothing on the system: the compositor's
// notification layer reads the saved section.
//
// It shows the section as stored (lib/preference_pane.h): every control's
// value under its setting's key ("notifications.show_banners",
// "notifications.app.<id>.banners") and edit key, which the control shows.
// Each control records its action of the Notifications section, and that
// set-setting keeps the section (actions/setting_store.h), whoever sets it;
// the pane saves nothing. A section read anew that differs builds the page
// again: the delivery badge and the applications' captions follow it.
//
// The application list (vocabulary/notification_apps.h) is read once, when the
// pane is built; the clock is injectable for the mute labels.

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "media_kit/notification_sound.h"
#include "stored/sections.h"
#include "vocabulary/notification_apps.h"
#include "vocabulary/registry.h"

namespace settings::panes::notifications {

class NotificationsPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kNotifications).type_name;

  // Seconds since the epoch.
  using Clock = std::function<std::int64_t()>;
  static Clock system_clock();

  NotificationsPane(stored::NotificationPrefs prefs, std::vector<NotificationApp> apps,
                    Clock clock = system_clock(),
                    media_kit::notification_sound::SoundBackend sound =
                        media_kit::notification_sound::SoundBackend::Unavailable);
  // Loads the settings document, lists the applications and asks for the
  // notification sound backend, as the page frame does.
  static kalu_ui::WidgetBox boxed();
  // The section as stored.
  static stored::NotificationPrefs stored_prefs();

  const stored::NotificationPrefs& prefs() const { return prefs_; }
  const std::vector<NotificationApp>& apps() const { return apps_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;

 protected:
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  stored::NotificationPrefs prefs_;
  std::vector<NotificationApp> apps_;
  Clock clock_;
  media_kit::notification_sound::SoundBackend sound_;
};

}  // namespace settings::panes::notifications
