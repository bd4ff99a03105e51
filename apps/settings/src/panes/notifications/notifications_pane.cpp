#include "panes/notifications/notifications_pane.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <limits>
#include <utility>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "actions/settings_action.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "lib/time.h"
#include "panes/notifications/model.h"
#include "panes/notifications/page.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::panes::notifications {
namespace {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using stored::NotificationPrefs;

constexpr std::string_view kModule = "settings::panes::notifications";

void write(doc::Document& document, std::string_view key, doc::Scalar value) {
  if (auto written = document.put(doc::kRoot, key, std::move(value)); !written) {
    kalu_ui::log::warn("kalu::settings", kModule, "failed to write notification setting",
                       {{"op", "notifications_write"},
                        {"key", std::string(key)},
                        {"error", written.error()}});
  }
}

std::string edit_key_of(std::string_view key) { return fmt::format("{}.edit", key); }

// The global switches in the order sync reads them after Do Not Disturb.
struct GlobalSwitch {
  std::string_view key;
  bool NotificationPrefs::*field;
};
constexpr std::array<GlobalSwitch, 5> kDeliverySwitches = {{
    {"notifications.show_banners", &NotificationPrefs::show_banners},
    {"notifications.show_previews", &NotificationPrefs::show_previews},
    {"notifications.play_sounds", &NotificationPrefs::play_sounds},
    {"notifications.show_on_lock_screen", &NotificationPrefs::show_on_lock_screen},
    {"notifications.show_badges", &NotificationPrefs::show_badges},
}};
constexpr std::string_view kDoNotDisturb = "notifications.do_not_disturb";
constexpr std::string_view kFocusEnabled = "notifications.focus.enabled";
constexpr std::string_view kFocusStart = "notifications.focus.start";
constexpr std::string_view kFocusEnd = "notifications.focus.end";
constexpr std::string_view kFocusDaysKey = "notifications.focus.days";

template <typename Row, std::size_t N>
constexpr std::array<std::string_view, N> labels_of(const std::array<Row, N>& table) {
  std::array<std::string_view, N> labels{};
  for (std::size_t i = 0; i < N; ++i) labels[i] = table[i].label;
  return labels;
}
constexpr auto kTimeLabels = labels_of(kFocusTimes);
constexpr auto kDayLabels = labels_of(kFocusDays);

}  // namespace

NotificationsPane::Clock NotificationsPane::system_clock() {
  return [] {
    return static_cast<std::int64_t>(
        std::min<std::uint64_t>(lib::unix_now_secs(), std::numeric_limits<std::int64_t>::max()));
  };
}

NotificationsPane::NotificationsPane(NotificationPrefs prefs, std::vector<NotificationApp> apps,
                                     Clock clock, media_kit::notification_sound::SoundBackend sound)
    : prefs_(std::move(prefs)), apps_(std::move(apps)), clock_(std::move(clock)), sound_(sound) {
  const std::int64_t now = clock_();
  for (const NotificationApp& app : apps_) {
    mute_labels_.emplace(app.id, rule_mute_label(prefs_, app.id, now));
  }
}

kalu_ui::WidgetBox NotificationsPane::boxed() {
  NotificationPrefs prefs = stored::SettingsPrefs::load().notifications;
  std::vector<NotificationApp> apps = app_list(prefs);
  return kalu_ui::widget::boxed(NotificationsPane(std::move(prefs), std::move(apps),
                                                  system_clock(),
                                                  media_kit::notification_sound::sound_backend()));
}

void NotificationsPane::dispatch_setting(kalu_ui::host::ActionHost& host, doc::Document& document,
                                         const SettingsAction& action) {
  host.dispatch_with_context(document, actions::kSettingsActionNamespace,
                             actions::TypedSettingsAction(action),
                             actions::settings_action_context(actions::kSettingsAppId,
                                                              actions::kSettingsAppTitle, action));
}

void NotificationsPane::publish_bool(doc::Document& document, std::string_view key, bool value) {
  write(document, key, doc::Scalar(value));
  write(document, edit_key_of(key), doc::Scalar(value));
}

void NotificationsPane::publish_text(doc::Document& document, std::string_view key,
                                     std::string_view text) {
  write(document, key, doc::Scalar(std::string(text)));
  write(document, edit_key_of(key), doc::Scalar(std::string(text)));
}

NotificationsPane::ControlRead<bool> NotificationsPane::read_bool_control(doc::Document& document,
                                                                         std::string_view key,
                                                                         bool current) {
  const std::string edit_key = edit_key_of(key);
  const bool stored = actions::read_doc_bool(document, doc::kRoot, key).value_or(current);
  const bool edited = actions::read_doc_bool(document, doc::kRoot, edit_key).value_or(stored);
  if (stored != current) {
    write(document, edit_key, doc::Scalar(stored));
    return {stored, true};
  }
  if (edited != stored) {
    dispatch_setting(host_, document, SettingsAction::set_setting(std::string(key), edited));
    return {edited, true};
  }
  return {current, false};
}

NotificationsPane::ControlRead<std::string> NotificationsPane::read_text_control(
    doc::Document& document, std::string_view key, std::string_view current,
    std::span<const std::string_view> labels) {
  const auto is_label = [&](std::string_view text) {
    return std::ranges::find(labels, text) != labels.end();
  };
  const std::string edit_key = edit_key_of(key);
  std::string stored =
      actions::read_doc_text(document, doc::kRoot, key).value_or(std::string(current));
  if (stored != current && !is_label(stored)) {
    // No value of this control: taken for a change it would save the section
    // on every frame and adopt nothing. The current label goes back.
    publish_text(document, key, current);
    return {std::string(current), false};
  }
  std::string edited = actions::read_doc_text(document, doc::kRoot, edit_key).value_or(stored);
  if (stored != current) {
    if (edited != stored) write(document, edit_key, doc::Scalar(stored));
    return {std::move(stored), true};
  }
  if (edited != stored) {
    if (!is_label(edited)) {
      write(document, edit_key, doc::Scalar(std::string(current)));
      return {std::string(current), false};
    }
    dispatch_setting(host_, document, SettingsAction::set_setting(std::string(key), edited));
    return {std::move(edited), true};
  }
  return {std::string(current), false};
}

void NotificationsPane::publish(doc::Document& document) {
  publish_bool(document, kDoNotDisturb, prefs_.do_not_disturb);
  for (const GlobalSwitch& s : kDeliverySwitches) publish_bool(document, s.key, prefs_.*s.field);
  publish_bool(document, kFocusEnabled, prefs_.focus.enabled);
  publish_text(document, kFocusStart, focus_time_label(prefs_.focus.start_minute));
  publish_text(document, kFocusEnd, focus_time_label(prefs_.focus.end_minute));
  publish_text(document, kFocusDaysKey, focus_days_label(prefs_.focus.weekdays));
  publish_apps(document);
}

void NotificationsPane::publish_apps(doc::Document& document) {
  const std::int64_t now = clock_();
  for (const NotificationApp& app : apps_) {
    for (const AppSwitch& s : kAppSwitches) {
      const std::string key = app_control_id(app.id, s.field);
      const bool value = effective(prefs_, app.id, s.field);
      publish_bool(document, key, value);
      published_[key] = value;
    }
    for (const AppFlag& f : kAppFlags) {
      publish_bool(document, app_control_id(app.id, f.field), effective(prefs_, app.id, f.field));
    }
    write(document, app_control_id(app.id, "mute"),
          doc::Scalar(std::string(rule_mute_label(prefs_, app.id, now))));
  }
}

bool NotificationsPane::read_app(doc::Document& document, const NotificationApp& app,
                                 std::int64_t now) {
  // The switches the person (or a client) changed since the last read.
  std::array<std::optional<bool>, kAppSwitches.size()> marked;
  for (std::size_t i = 0; i < kAppSwitches.size(); ++i) {
    const std::string key = app_control_id(app.id, kAppSwitches[i].field);
    const auto value = actions::read_doc_bool(document, doc::kRoot, key);
    if (!value) continue;
    const auto last = published_.find(key);
    if (last != published_.end() && last->second == *value) continue;
    published_.insert_or_assign(key, *value);
    marked[i] = *value;
  }
  stored::AppNotificationRule& rule = prefs_.per_app[app.id];
  bool changed = false;
  for (std::size_t i = 0; i < kAppSwitches.size(); ++i) {
    std::optional<bool>& field = rule.*kAppSwitches[i].rule;
    if (marked[i] && field != marked[i]) {
      field = marked[i];
      changed = true;
    }
  }
  for (const AppFlag& f : kAppFlags) {
    const auto value =
        actions::read_doc_bool(document, doc::kRoot, app_control_id(app.id, f.field));
    if (value && *value != rule.*f.rule) {
      rule.*f.rule = *value;
      changed = true;
    }
  }
  const auto mute = actions::read_doc_text(document, doc::kRoot, app_control_id(app.id, "mute"));
  const auto seconds = mute ? parse_mute(*mute) : std::nullopt;
  const auto shown = mute_labels_.find(app.id);
  if (seconds && (shown == mute_labels_.end() || shown->second != *mute)) {
    std::int64_t until = 0;
    if (*seconds == 0) {
      rule.muted_until.reset();
    } else if (__builtin_add_overflow(now, *seconds, &until)) {
      rule.muted_until = std::numeric_limits<std::int64_t>::max();
    } else {
      rule.muted_until = until;
    }
    mute_labels_.insert_or_assign(app.id, *mute);
    changed = true;
  }
  return changed;
}

bool NotificationsPane::read_apps(doc::Document& document, std::int64_t now) {
  bool changed = false;
  for (const NotificationApp& app : apps_) changed = read_app(document, app, now) || changed;
  return changed;
}

bool NotificationsPane::read_days(doc::Document& document) {
  auto days = read_text_control(document, kFocusDaysKey, focus_days_label(prefs_.focus.weekdays),
                                kDayLabels);
  // Unchanged, the shown label stands for the stored mask (127 shows "Every
  // day") and must not replace it.
  if (!days.changed) return false;
  if (auto mask = parse_focus_days(days.value)) prefs_.focus.weekdays = *mask;
  return days.changed;
}

bool NotificationsPane::read_times(doc::Document& document) {
  auto start = read_text_control(document, kFocusStart,
                                 focus_time_label(prefs_.focus.start_minute), kTimeLabels);
  if (start.changed) {
    if (auto minute = parse_focus_time(start.value)) prefs_.focus.start_minute = *minute;
  }
  auto end = read_text_control(document, kFocusEnd, focus_time_label(prefs_.focus.end_minute),
                               kTimeLabels);
  if (end.changed) {
    if (auto minute = parse_focus_time(end.value)) prefs_.focus.end_minute = *minute;
  }
  return start.changed || end.changed;
}

void NotificationsPane::sync(doc::Document& document) {
  if (std::exchange(needs_publish_, false)) publish(document);
  bool changed = false;
  auto dnd = read_bool_control(document, kDoNotDisturb, prefs_.do_not_disturb);
  prefs_.do_not_disturb = dnd.value;
  changed = dnd.changed;
  changed = read_days(document) || changed;
  changed = read_apps(document, clock_()) || changed;
  for (const GlobalSwitch& s : kDeliverySwitches) {
    auto read = read_bool_control(document, s.key, prefs_.*s.field);
    prefs_.*s.field = read.value;
    changed = read.changed || changed;
  }
  auto focus = read_bool_control(document, kFocusEnabled, prefs_.focus.enabled);
  prefs_.focus.enabled = focus.value;
  changed = focus.changed || changed;
  changed = read_times(document) || changed;
  if (changed) {
    save();
    rebuild_ = true;
  }
  PagePane::sync(document);
}

void NotificationsPane::save() const {
  // Merged into the document as it is on disk now: the other sections, and
  // what other programs keep there, stay.
  if (auto saved = prefs_store::update_section("notifications", stored::write_section(prefs_));
      !saved) {
    kalu_ui::log::warn("kalu::settings", kModule, "failed to persist notification prefs",
                       {{"op", "notifications_save"}, {"error", saved.error()}});
  }
}

bool NotificationsPane::take_structure_dirty() {
  const bool page = PagePane::take_structure_dirty();
  return std::exchange(rebuild_, false) || page;
}

kalu_ui::layout::NodeId NotificationsPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page({prefs_, apps_, clock_(), sound_}));
}

}  // namespace settings::panes::notifications
