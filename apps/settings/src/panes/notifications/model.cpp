#include "panes/notifications/model.h"

#include <fmt/format.h>

#include "panes/notification_apps.h"

namespace settings::panes::notifications {

using stored::NotificationPrefs;

std::string app_control_id(std::string_view app_id, std::string_view field) {
  return fmt::format("notifications.app.{}.{}", app_id, field);
}

bool effective(const NotificationPrefs& prefs, std::string_view app_id, std::string_view field) {
  const auto rule = prefs.per_app.find(std::string(app_id));
  for (const AppSwitch& s : kAppSwitches) {
    if (s.field != field) continue;
    if (rule != prefs.per_app.end() && (rule->second.*s.rule)) return *(rule->second.*s.rule);
    return prefs.*s.global;
  }
  for (const AppFlag& f : kAppFlags) {
    if (f.field == field) return rule != prefs.per_app.end() && rule->second.*f.rule;
  }
  return false;
}

std::string_view rule_mute_label(const NotificationPrefs& prefs, std::string_view app_id,
                                 std::int64_t now) {
  const auto rule = prefs.per_app.find(std::string(app_id));
  return mute_label(rule == prefs.per_app.end() ? std::nullopt : rule->second.muted_until, now);
}

}  // namespace settings::panes::notifications
