#include "panes/notification_apps.h"

namespace settings::panes::notifications {

std::vector<NotificationApp> app_list(const stored::NotificationPrefs&) { return {}; }

}  // namespace settings::panes::notifications
