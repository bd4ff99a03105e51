#include "actions/notifications_section.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <limits>
#include <string>

#include "actions/mouse_keyboard_section.h"
#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "lib/time.h"

namespace settings::actions {

using kalu_actions::Resource;
using panes::notifications::NotificationApp;
using stored::NotificationPrefs;

namespace {

constexpr std::string_view kAppPrefix = "settings.notification-app:";
constexpr std::string_view kAppKind = "settings.notification-app";

// A global switch: action, key, what it turns on, the stored value.
struct GlobalRow {
  std::string_view name;
  std::string_view key;
  std::string_view wording;
  bool (*stored)(const NotificationPrefs&);
};

constexpr std::array<GlobalRow, 7> kGlobalRows = {{
    {"dnd", "notifications.do_not_disturb", "Do Not Disturb",
     [](const NotificationPrefs& p) { return p.do_not_disturb; }},
    {"banners", "notifications.show_banners", "notification banners",
     [](const NotificationPrefs& p) { return p.show_banners; }},
    {"previews", "notifications.show_previews", "message previews",
     [](const NotificationPrefs& p) { return p.show_previews; }},
    {"sounds", "notifications.play_sounds", "notification sounds",
     [](const NotificationPrefs& p) { return p.play_sounds; }},
    {"lock_screen", "notifications.show_on_lock_screen", "lock-screen notifications",
     [](const NotificationPrefs& p) { return p.show_on_lock_screen; }},
    {"badges", "notifications.show_badges", "notification badges",
     [](const NotificationPrefs& p) { return p.show_badges; }},
    {"focus-enabled", "notifications.focus.enabled", "scheduled quiet hours",
     [](const NotificationPrefs& p) { return p.focus.enabled; }},
}};

// The labels of one of the pane's tables, in its order.
template <typename Row, std::size_t N>
constexpr std::array<std::string_view, N> labels_of(const std::array<Row, N>& table) {
  std::array<std::string_view, N> labels{};
  for (std::size_t i = 0; i < N; ++i) labels[i] = table[i].label;
  return labels;
}

constexpr auto kFocusTimeLabels = labels_of(panes::notifications::kFocusTimes);
constexpr auto kFocusDayLabels = labels_of(panes::notifications::kFocusDays);
constexpr auto kMuteLabels = labels_of(panes::notifications::kMuteDurations);

// A quiet-hours choice; `stored` is the label of the stored schedule.
struct ScheduleRow {
  std::string_view name;
  std::string_view label;
  std::string_view key;
  std::span<const std::string_view> values;
  std::string_view (*stored)(const NotificationPrefs&);
};

constexpr std::array<ScheduleRow, 3> kScheduleRows = {{
    {"focus-start", "Set focus start time", "notifications.focus.start", kFocusTimeLabels,
     [](const NotificationPrefs& p) {
       return panes::notifications::focus_time_label(p.focus.start_minute);
     }},
    {"focus-end", "Set focus end time", "notifications.focus.end", kFocusTimeLabels,
     [](const NotificationPrefs& p) {
       return panes::notifications::focus_time_label(p.focus.end_minute);
     }},
    {"focus-days", "Set focus days", "notifications.focus.days", kFocusDayLabels,
     [](const NotificationPrefs& p) {
       return panes::notifications::focus_days_label(p.focus.weekdays);
     }},
}};

// An application's switch: action, field of its rule (the key suffix), what
// it turns on. Its value is the rule's, else the global switch's
// (panes::notifications::effective).
struct AppRow {
  std::string_view name;
  std::string_view suffix;
  std::string_view wording;
};

constexpr std::array<AppRow, 6> kAppRows = {{
    {"banners", "banners", "notification banners"},
    {"previews", "previews", "message previews"},
    {"sounds", "sounds", "notification sounds"},
    {"badges", "badges", "notification badges"},
    {"priority", "priority", "priority during focus"},
    {"priority-contacts", "priority_contacts", "priority contacts during focus"},
}};

Resource bare_section() {
  return Resource::create("settings.section:notifications", std::string(kSectionResourceKind),
                          "Notifications");
}

Resource bare_app(std::string_view app_id, std::string label) {
  return Resource::create(fmt::format("{}{}", kAppPrefix, app_id), std::string(kAppKind),
                          std::move(label));
}

std::string app_key(std::string_view app_id, std::string_view suffix) {
  return fmt::format("notifications.app.{}.{}", app_id, suffix);
}

kalu_actions::ActionSpec mute_spec(std::string_view app_id, std::string current) {
  return setting_choice_spec("mute", "Mute notifications temporarily", app_key(app_id, "mute"),
                             "Not muted, For 1 hour, For 8 hours, For 24 hours",
                             std::vector<std::string>(kMuteLabels.begin(), kMuteLabels.end()),
                             std::move(current));
}

Resource app_item(const NotificationPrefs& prefs, const NotificationApp& app, std::int64_t now) {
  namespace notifications = panes::notifications;
  Resource item = bare_app(app.id, app.name);
  item.actions.reserve(kAppRows.size() + 1);
  for (const AppRow& row : kAppRows) {
    item.actions.push_back(
        text_assistance_spec(std::string(row.name), app_key(app.id, row.suffix), row.wording,
                             notifications::effective(prefs, app.id, row.suffix)));
  }
  item.actions.push_back(
      mute_spec(app.id, std::string(notifications::rule_mute_label(prefs, app.id, now))));
  return item;
}

}  // namespace

Resource notifications_resource(const NotificationPrefs& prefs,
                                std::span<const NotificationApp> apps, std::int64_t now) {
  Resource section = bare_section();
  section.actions.reserve(kGlobalRows.size() + kScheduleRows.size());
  for (const GlobalRow& row : kGlobalRows) {
    section.actions.push_back(
        text_assistance_spec(std::string(row.name), row.key, row.wording, row.stored(prefs)));
  }
  for (const ScheduleRow& row : kScheduleRows) {
    section.actions.push_back(
        setting_choice_spec(std::string(row.name), std::string(row.label), std::string(row.key),
                            "Choose a focus schedule value", row.values, row.stored(prefs)));
  }
  const std::size_t count = std::min(apps.size(), kMaxItems);
  section.children.reserve(count);
  for (const NotificationApp& app : apps.first(count)) {
    section.children.push_back(app_item(prefs, app, now));
  }
  return section;
}

Resource notifications_resource(const NotificationPrefs& prefs) {
  return notifications_resource(
      prefs, panes::notifications::app_list(prefs),
      static_cast<std::int64_t>(
          std::min<std::uint64_t>(lib::unix_now_secs(), std::numeric_limits<std::int64_t>::max())));
}

std::optional<kalu_actions::ActionBinding> notifications_toggle_binding(
    std::string_view action_name) {
  for (const GlobalRow& row : kGlobalRows) {
    if (row.name == action_name) {
      return bind_setting_toggle(bare_section(), std::string(row.name),
                                 fmt::format("Set {}", row.wording), std::string(row.key));
    }
  }
  return std::nullopt;
}

std::optional<kalu_actions::ActionBinding> notifications_choice_binding(
    std::string_view action_name) {
  for (const ScheduleRow& row : kScheduleRows) {
    if (row.name != action_name) continue;
    Resource section = bare_section().with_action(setting_choice_spec(
        std::string(row.name), std::string(row.label), std::string(row.key),
        "Choose a focus schedule value", row.values, row.stored(NotificationPrefs{})));
    return bind_action(section, action_name, choice_arguments());
  }
  return std::nullopt;
}

std::optional<kalu_actions::ActionBinding> notification_app_toggle_binding(
    std::string_view app_id, std::string_view action_name) {
  for (const AppRow& row : kAppRows) {
    if (row.name == action_name) {
      return bind_setting_toggle(bare_app(app_id, std::string(app_id)), std::string(row.name),
                                 fmt::format("Set {}", row.wording), app_key(app_id, row.suffix));
    }
  }
  return std::nullopt;
}

std::optional<kalu_actions::ActionBinding> notification_app_choice_binding(
    std::string_view app_id, std::string_view action_name) {
  if (action_name != "mute") return std::nullopt;
  const Resource item = bare_app(app_id, std::string(app_id))
                            .with_action(mute_spec(app_id, std::string(kMuteLabels[0])));
  return bind_action(item, action_name, choice_arguments());
}

}  // namespace settings::actions
