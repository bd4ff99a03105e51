#include "actions/notifications_section.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string>

#include "actions/mouse_keyboard_section.h"
#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"

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

struct ScheduleRow {
  std::string_view name;
  std::string_view label;
  std::string_view key;
  std::span<const std::string_view> values;
  std::string_view fallback;
};

constexpr std::array<ScheduleRow, 3> kScheduleRows = {{
    {"focus-start", "Set focus start time", "notifications.focus.start", kFocusTimeLabels, "22:00"},
    {"focus-end", "Set focus end time", "notifications.focus.end", kFocusTimeLabels, "07:00"},
    {"focus-days", "Set focus days", "notifications.focus.days", kFocusDayLabels, "Every day"},
}};

// An application's switch: action, key suffix, what it turns on, the
// fallback (a global preference, or off).
struct AppRow {
  std::string_view name;
  std::string_view suffix;
  std::string_view wording;
  bool (*fallback)(const NotificationPrefs&);
};

constexpr std::array<AppRow, 6> kAppRows = {{
    {"banners", "banners", "notification banners",
     [](const NotificationPrefs& p) { return p.show_banners; }},
    {"previews", "previews", "message previews",
     [](const NotificationPrefs& p) { return p.show_previews; }},
    {"sounds", "sounds", "notification sounds",
     [](const NotificationPrefs& p) { return p.play_sounds; }},
    {"badges", "badges", "notification badges",
     [](const NotificationPrefs& p) { return p.show_badges; }},
    {"priority", "priority", "priority during focus",
     [](const NotificationPrefs&) { return false; }},
    {"priority-contacts", "priority_contacts", "priority contacts during focus",
     [](const NotificationPrefs&) { return false; }},
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

Resource app_item(const kalu_ui::doc::Document& document, const NotificationPrefs& prefs,
                  const NotificationApp& app) {
  Resource item = bare_app(app.id, app.name);
  item.actions.reserve(kAppRows.size() + 1);
  for (const AppRow& row : kAppRows) {
    const std::string key = app_key(app.id, row.suffix);
    item.actions.push_back(text_assistance_spec(std::string(row.name), key, row.wording,
                                                current_bool(document, key, row.fallback(prefs))));
  }
  const std::string mute_key = app_key(app.id, "mute");
  item.actions.push_back(mute_spec(app.id, current_text(document, mute_key, kMuteLabels[0])));
  return item;
}

}  // namespace

Resource notifications_resource(const kalu_ui::doc::Document& document,
                                const NotificationPrefs& prefs,
                                std::span<const NotificationApp> apps) {
  Resource section = bare_section();
  section.actions.reserve(kGlobalRows.size() + kScheduleRows.size());
  for (const GlobalRow& row : kGlobalRows) {
    section.actions.push_back(
        text_assistance_spec(std::string(row.name), row.key, row.wording,
                             current_bool(document, row.key, row.stored(prefs))));
  }
  for (const ScheduleRow& row : kScheduleRows) {
    section.actions.push_back(setting_choice_spec(std::string(row.name), std::string(row.label),
                                                  std::string(row.key),
                                                  "Choose a focus schedule value", row.values,
                                                  current_text(document, row.key, row.fallback)));
  }
  const std::size_t count = std::min(apps.size(), kMaxItems);
  section.children.reserve(count);
  for (const NotificationApp& app : apps.first(count)) {
    section.children.push_back(app_item(document, prefs, app));
  }
  return section;
}

Resource notifications_resource(const kalu_ui::doc::Document& document,
                                const NotificationPrefs& prefs) {
  return notifications_resource(document, prefs, panes::notifications::app_list(prefs));
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
    Resource section = bare_section().with_action(
        setting_choice_spec(std::string(row.name), std::string(row.label), std::string(row.key),
                            "Choose a focus schedule value", row.values, row.fallback));
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
