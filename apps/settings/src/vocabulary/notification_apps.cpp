#include "vocabulary/notification_apps.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <span>

#include "app_launcher/manifest.h"
#include "app_launcher/registry.h"
#include "desktop_file/cache.h"

namespace settings::panes::notifications {
namespace {

constexpr std::size_t kMaxAppId = 160;
constexpr std::uint32_t kLastMinute = 1439;

// id -> name; the first source to name an id keeps it.
using Names = std::map<std::string, std::string, std::less<>>;

void add_installed(Names& names, const desktop_file::ApplicationRoots& roots) {
  auto installed = app_launcher::registry::list_installed(roots);
  if (!installed) return;  // no folder known: no packages
  for (const auto& package : *installed) {
    auto manifest = app_launcher::manifest::read_manifest(package);
    if (!manifest || !manifest->entrypoint.gui_bin) continue;
    std::string id = manifest->app_id.empty() ? package.id : manifest->app_id;
    if (!valid_app_id(id) || names.contains(id)) continue;
    std::string name = manifest->display_name.empty()
                           ? app_launcher::registry::display_name_for_package_id(id, roots)
                           : manifest->display_name;
    names.emplace(std::move(id), std::move(name));
  }
}

// The cache's entries that are shown in menus: an entry marked NoDisplay
// is a helper, not an application a person gets notifications from.
void add_cached(Names& names, const desktop_file::ApplicationRoots& roots) {
  for (auto& entry : desktop_file::cache::cached_entries(roots)) {
    if (entry.no_display) continue;
    std::string id = entry.app_id().value_or(entry.desktop_id);
    if (!valid_app_id(id) || names.contains(id)) continue;
    names.emplace(std::move(id), std::move(entry.name));
  }
}

void add_stored(Names& names, const stored::NotificationPrefs& prefs,
                const desktop_file::ApplicationRoots& roots) {
  for (const auto& [id, rule] : prefs.per_app) {
    if (!valid_app_id(id) || names.contains(id)) continue;
    names.emplace(id, app_launcher::registry::display_name_for_package_id(id, roots));
  }
}

}  // namespace

bool valid_app_id(std::string_view id) {
  if (id.empty() || id.size() > kMaxAppId) return false;
  return std::ranges::all_of(id, [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
  });
}

std::vector<NotificationApp> app_list(const stored::NotificationPrefs& prefs,
                                      const desktop_file::ApplicationRoots& roots) {
  Names names;
  add_installed(names, roots);
  add_cached(names, roots);
  add_stored(names, prefs, roots);
  std::vector<NotificationApp> apps;
  apps.reserve(names.size());
  for (auto& [id, name] : names) apps.push_back({id, std::move(name)});
  std::ranges::sort(apps, [](const NotificationApp& a, const NotificationApp& b) {
    return a.name != b.name ? a.name < b.name : a.id < b.id;
  });
  return apps;
}

std::vector<NotificationApp> app_list(const stored::NotificationPrefs& prefs) {
  return app_list(prefs, desktop_file::ApplicationRoots::from_environment());
}

std::string_view focus_time_label(std::uint32_t minute) {
  const std::int64_t capped = std::min(minute, kLastMinute);
  const FocusTime* best = &kFocusTimes.front();
  for (const FocusTime& time : kFocusTimes) {
    if (std::abs(capped - time.minute) < std::abs(capped - best->minute)) best = &time;
  }
  return best->label;
}

std::string_view focus_days_label(std::uint8_t mask) {
  for (const FocusDays& days : kFocusDays) {
    if (days.mask == mask) return days.label;
  }
  return kFocusDays.front().label;
}

std::optional<std::uint16_t> parse_focus_time(std::string_view label) {
  for (const FocusTime& time : kFocusTimes) {
    if (time.label == label) return time.minute;
  }
  return std::nullopt;
}

std::optional<std::uint8_t> parse_focus_days(std::string_view label) {
  for (const FocusDays& days : kFocusDays) {
    if (days.label == label) return days.mask;
  }
  return std::nullopt;
}

std::string_view mute_label(std::optional<std::int64_t> muted_until, std::int64_t now) {
  if (!muted_until || *muted_until <= now) return kMuteDurations[0].label;
  std::int64_t remaining = 0;
  if (__builtin_sub_overflow(*muted_until, now, &remaining)) return kMuteDurations.back().label;
  for (const MuteDuration& mute : std::span(kMuteDurations).subspan(1, 2)) {
    if (remaining <= mute.seconds) return mute.label;
  }
  return kMuteDurations.back().label;
}

std::optional<std::int64_t> parse_mute(std::string_view label) {
  for (const MuteDuration& mute : kMuteDurations) {
    if (mute.label == label) return mute.seconds;
  }
  return std::nullopt;
}

std::string app_control_id(std::string_view app_id, std::string_view field) {
  return fmt::format("notifications.app.{}.{}", app_id, field);
}

bool effective(const stored::NotificationPrefs& prefs, std::string_view app_id,
               std::string_view field) {
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

std::string_view rule_mute_label(const stored::NotificationPrefs& prefs, std::string_view app_id,
                                 std::int64_t now) {
  const auto rule = prefs.per_app.find(std::string(app_id));
  return mute_label(rule == prefs.per_app.end() ? std::nullopt : rule->second.muted_until, now);
}

}  // namespace settings::panes::notifications
