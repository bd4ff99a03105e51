#include "panes/notifications/notifications_pane.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "kalu_ui/widget/support.h"
#include "lib/time.h"
#include "panes/notifications/page.h"
#include "stored/settings_prefs.h"

namespace settings::panes::notifications {
using stored::NotificationPrefs;

NotificationsPane::Clock NotificationsPane::system_clock() {
  return [] {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(lib::unix_now_secs(), std::numeric_limits<std::int64_t>::max()));
  };
}

NotificationsPane::NotificationsPane(NotificationPrefs prefs, std::vector<NotificationApp> apps,
                                     Clock clock, media_kit::notification_sound::SoundBackend sound)
    : PreferencePane(true),
      prefs_(std::move(prefs)),
      apps_(std::move(apps)),
      clock_(std::move(clock)),
      sound_(sound) {}

NotificationPrefs NotificationsPane::stored_prefs() {
  return stored::SettingsPrefs::load().notifications;
}

kalu_ui::WidgetBox NotificationsPane::boxed() {
  NotificationPrefs prefs = stored_prefs();
  std::vector<NotificationApp> apps = app_list(prefs);
  return kalu_ui::widget::boxed(NotificationsPane(std::move(prefs), std::move(apps), system_clock(),
                                                  media_kit::notification_sound::sound_backend()));
}

bool NotificationsPane::reload() {
  NotificationPrefs stored = stored_prefs();
  if (stored == prefs_) return false;
  prefs_ = std::move(stored);
  return true;
}

std::vector<lib::ShownSetting> NotificationsPane::shown() const {
  std::vector<lib::ShownSetting> shown;
  for (const GlobalSwitch& s : kGlobalSwitches)
    shown.push_back({std::string(s.key), prefs_.*s.field});
  shown.push_back({"notifications.focus.enabled", prefs_.focus.enabled});
  for (const FocusTimeKey& time : kFocusTimeKeys) {
    shown.push_back(
        {std::string(time.key), std::string(focus_time_label(prefs_.focus.*time.minute))});
  }
  shown.push_back(
      {"notifications.focus.days", std::string(focus_days_label(prefs_.focus.weekdays))});
  const std::int64_t now = clock_();
  for (const NotificationApp& app : apps_) {
    for (const AppSwitch& s : kAppSwitches) {
      shown.push_back({app_control_id(app.id, s.field), effective(prefs_, app.id, s.field)});
    }
    for (const AppFlag& f : kAppFlags) {
      shown.push_back({app_control_id(app.id, f.field), effective(prefs_, app.id, f.field)});
    }
    shown.push_back(
        {app_control_id(app.id, "mute"), std::string(rule_mute_label(prefs_, app.id, now))});
  }
  return shown;
}

kalu_ui::layout::NodeId NotificationsPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page({prefs_, apps_, clock_(), sound_}));
}

}  // namespace settings::panes::notifications
