// The set-setting store of Notifications (the global switches, quiet hours
// and the per-application rules) and of the default applications.

#include <algorithm>
#include <limits>
#include <variant>

#include "actions/default_apps_section.h"
#include "actions/setting_store_internal.h"
#include "lib/time.h"
#include "vocabulary/app_candidates.h"
#include "vocabulary/notification_apps.h"

namespace settings::actions::store_detail {
namespace {

namespace notifications = panes::notifications;
using operations::SettingValue;
using stored::NotificationPrefs;

constexpr std::string_view kAppPrefix = "notifications.app.";

std::int64_t now_secs() {
  return static_cast<std::int64_t>(
      std::min<std::uint64_t>(lib::unix_now_secs(), std::numeric_limits<std::int64_t>::max()));
}

// Quiet hours by label. A label the stored value shows already is no change:
// 22:10 shows "22:00" and stays 22:10 when "22:00" is set.
bool set_schedule(NotificationPrefs& prefs, std::string_view key, const SettingValue& value) {
  if (key == "notifications.focus.enabled") {
    const auto on = bool_of(value);
    if (on) prefs.focus.enabled = *on;
    return on.has_value();
  }
  const std::string* text = text_of(value);
  if (text == nullptr) return false;
  if (key == "notifications.focus.days") {
    const auto mask = notifications::parse_focus_days(*text);
    if (mask && notifications::focus_days_label(prefs.focus.weekdays) != *text) {
      prefs.focus.weekdays = *mask;
    }
    return mask.has_value();
  }
  for (const notifications::FocusTimeKey& time : notifications::kFocusTimeKeys) {
    if (time.key != key) continue;
    const auto parsed = notifications::parse_focus_time(*text);
    if (parsed && notifications::focus_time_label(prefs.focus.*time.minute) != *text) {
      prefs.focus.*time.minute = *parsed;
    }
    return parsed.has_value();
  }
  return false;
}

// One field of an application's rule. A switch already showing the value
// (its override, else the global one) is no change, so a no-op leaves the
// application following the global switch.
bool set_app_field(NotificationPrefs& prefs, std::string_view app_id, std::string_view field,
                   const SettingValue& value) {
  if (!notifications::valid_app_id(app_id)) return false;
  const std::string id(app_id);
  if (field == "mute") {
    const std::string* text = text_of(value);
    const auto seconds = text ? notifications::parse_mute(*text) : std::nullopt;
    if (!seconds) return false;
    const auto rule = prefs.per_app.find(id);
    const bool muted = rule != prefs.per_app.end() && rule->second.muted_until;
    if (*seconds == 0) {
      if (muted) prefs.per_app[id].muted_until.reset();
      return true;
    }
    const std::int64_t now = now_secs();
    std::int64_t until = 0;
    if (__builtin_add_overflow(now, *seconds, &until))
      until = std::numeric_limits<std::int64_t>::max();
    prefs.per_app[id].muted_until = until;
    return true;
  }
  const auto on = bool_of(value);
  if (!on) return false;
  for (const notifications::AppSwitch& s : notifications::kAppSwitches) {
    if (s.field != field) continue;
    if (notifications::effective(prefs, id, field) != *on) prefs.per_app[id].*s.rule = *on;
    return true;
  }
  for (const notifications::AppFlag& f : notifications::kAppFlags) {
    if (f.field != field) continue;
    if (notifications::effective(prefs, id, field) != *on) prefs.per_app[id].*f.rule = *on;
    return true;
  }
  return false;
}

bool set_notification(NotificationPrefs& prefs, std::string_view key, const SettingValue& value) {
  if (key.starts_with(kAppPrefix)) {
    const std::string_view rest = key.substr(kAppPrefix.size());
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos) return false;
    return set_app_field(prefs, rest.substr(0, dot), rest.substr(dot + 1), value);
  }
  for (const notifications::GlobalSwitch& s : notifications::kGlobalSwitches) {
    if (s.key != key) continue;
    const auto on = bool_of(value);
    if (on) prefs.*s.field = *on;
    return on.has_value();
  }
  return set_schedule(prefs, key, value);
}

}  // namespace

kalu_ui::Result<StoredSetting> store_notifications(std::string_view key,
                                                   const SettingValue& value) {
  auto prefs = load_section<NotificationPrefs>("notifications");
  if (!prefs) return kalu_ui::fail(prefs.error());
  NotificationPrefs next = prefs->value;
  if (!set_notification(next, key, value)) return refuse(key);
  if (holds(prefs->members, stored::write_section(next))) {
    return StoredSetting{Store::kNotifications, false, std::nullopt};
  }
  if (auto status = save_section("notifications", next); !status) {
    return kalu_ui::fail(status.error());
  }
  return StoredSetting{Store::kNotifications, true, std::nullopt};
}

kalu_ui::Result<StoredSetting> store_default_app(std::string_view key, const SettingValue& value) {
  const std::string* text = text_of(value);
  if (text == nullptr) return refuse(key);
  const std::vector<desktop_rules::AppCandidate> candidates =
      panes::personal_apps::app_candidates();
  const std::vector<desktop_rules::ResourceKind> kinds =
      panes::personal_apps::resource_kinds(candidates);
  const auto kind = std::ranges::find_if(
      kinds, [&](const desktop_rules::ResourceKind& k) { return default_app_key(k.key()) == key; });
  if (kind == kinds.end()) return refuse(key);
  const desktop_rules::AppCandidate* chosen =
      panes::personal_apps::candidate_named(candidates, *kind, *text);
  if (chosen == nullptr) return refuse(key);

  auto defaults = desktop_rules::PersonalDefaults::load();
  if (!defaults) return kalu_ui::fail(defaults.error());
  StoredSetting kept{Store::kDefaultApps, false, chosen->label()};
  if (defaults->get(*kind) == chosen->id) return kept;
  if (auto set = defaults->set(*kind, chosen->id, candidates); !set) {
    return kalu_ui::fail(set.error());
  }
  if (auto status = defaults->save(); !status) return kalu_ui::fail(status.error());
  kept.changed = true;
  return kept;
}

}  // namespace settings::actions::store_detail
