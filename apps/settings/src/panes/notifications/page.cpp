#include "panes/notifications/page.h"

#include <string>
#include <vector>

#include "actions/notifications_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/preference_pane.h"
#include "vocabulary/notification_apps.h"

namespace settings::panes::notifications {
namespace {

namespace w = kalu_ui::widget;
using media_kit::notification_sound::SoundBackend;
using stored::NotificationPrefs;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr float kDeliverySize = 13.0f;

// The Notifications section publishes an action for every control of the
// page, so a missing one is the program's own fault: logged, and the control
// then changes nothing.
template <typename Control>
void bind_control(Control& control, std::optional<kalu_actions::ActionBinding> binding,
                  std::string_view control_id) {
  if (binding) {
    control.on_action(std::move(*binding));
    return;
  }
  kalu_ui::log::warn("kalu::settings", "settings::panes::notifications",
                     "Notifications action must be published",
                     {{"op", "build_page"}, {"requested", std::string(control_id)}});
}

// A global switch on the edit key of its setting, named `name`.
WidgetBox mirror_toggle(std::string_view name, std::string_view key, std::string_view action) {
  w::Toggle toggle(std::string(name), lib::edit_key(key));
  toggle.with_id(std::string(name));
  bind_control(toggle, actions::notifications_toggle_binding(action), key);
  return w::boxed(std::move(toggle));
}

// A schedule dropdown on the edit key of its setting.
WidgetBox mirror_choice(std::string_view key, std::vector<std::string> options,
                        std::string_view current, std::string_view action) {
  w::Dropdown dropdown(lib::edit_key(key), std::move(options), std::string(current));
  dropdown.with_id(std::string(key));
  bind_control(dropdown, actions::notifications_choice_binding(action), key);
  return w::boxed(std::move(dropdown));
}

template <typename Row, std::size_t N>
std::vector<std::string> options_of(const std::array<Row, N>& table) {
  std::vector<std::string> options;
  options.reserve(N);
  for (const Row& row : table) options.emplace_back(row.label);
  return options;
}

// A tone of the theme shown, so the badge reads in every look.
std::uint8_t delivery_tone(const NotificationPrefs& prefs) {
  if (prefs.do_not_disturb) return kalu_ui::kToneWarning;
  return prefs.show_banners ? kalu_ui::kToneSuccess : kalu_ui::kToneNeutral;
}

WidgetBox do_not_disturb_card(const NotificationPrefs& prefs) {
  WidgetList rows;
  rows.push_back(
      w::boxed(w::Row()
                   .with_alignment(w::Alignment::Center)
                   .push(w::boxed(w::Text("Delivery").with_size(kDeliverySize)))
                   .push(w::boxed(w::Spacer()))
                   .push(ui_rows::badge_with_tone(delivery_label(prefs), delivery_tone(prefs)))));
  rows.push_back(ui_rows::described_row(
      "Do Not Disturb", "Silence all banners and sounds until you turn it off",
      mirror_toggle("notifications.dnd", "notifications.do_not_disturb", "dnd")));
  return ui_rows::section_card("Do Not Disturb", ui_rows::rows_column(std::move(rows)));
}

WidgetBox focus_card(const NotificationPrefs& prefs) {
  WidgetList rows;
  rows.push_back(
      ui_rows::described_row("Scheduled quiet hours", "Hold banners and sounds automatically",
                             mirror_toggle("notifications.focus.enabled",
                                           "notifications.focus.enabled", "focus-enabled")));
  rows.push_back(ui_rows::setting_row(
      "From", mirror_choice("notifications.focus.start", options_of(kFocusTimes),
                            focus_time_label(prefs.focus.start_minute), "focus-start")));
  rows.push_back(ui_rows::setting_row(
      "Days", mirror_choice("notifications.focus.days", options_of(kFocusDays),
                            focus_days_label(prefs.focus.weekdays), "focus-days")));
  rows.push_back(ui_rows::setting_row(
      "Until", mirror_choice("notifications.focus.end", options_of(kFocusTimes),
                             focus_time_label(prefs.focus.end_minute), "focus-end")));
  rows.push_back(ui_rows::caption(
      "The schedule follows local time. User-approved priority apps may still notify; an app "
      "cannot mark itself as priority."));
  return ui_rows::section_card("Focus schedule", ui_rows::rows_column(std::move(rows)));
}

WidgetBox banners_card() {
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "Show banners", "Pop up a banner when a notification arrives",
      mirror_toggle("notifications.banners", "notifications.show_banners", "banners")));
  rows.push_back(ui_rows::described_row(
      "Show message previews", "Reveal the message body in the banner, not just the app",
      mirror_toggle("notifications.previews", "notifications.show_previews", "previews")));
  return ui_rows::section_card("Banners", ui_rows::rows_column(std::move(rows)));
}

WidgetBox lock_screen_card(SoundBackend sound) {
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "Show on lock screen", "Show only a redacted count while the session is locked",
      mirror_toggle("notifications.lock_screen", "notifications.show_on_lock_screen",
                    "lock_screen")));
  rows.push_back(ui_rows::info_row("Notification sounds", sound_backend_text(sound)));
  rows.push_back(ui_rows::described_row(
      "Play sounds", "Use the current desktop sound theme and audio route",
      mirror_toggle("notifications.sounds", "notifications.play_sounds", "sounds")));
  rows.push_back(ui_rows::described_row(
      "Show notification badges",
      "Show verified application counts in shell surfaces that support badges",
      mirror_toggle("notifications.badges", "notifications.show_badges", "badges")));
  return ui_rows::section_card("Lock screen & shell integration",
                               ui_rows::rows_column(std::move(rows)));
}

// A per-application switch on the edit key of its setting, bound to the
// item's action (which flips the setting: the switch cannot write it).
WidgetBox app_toggle(std::string_view app_id, std::string_view field, std::string_view action) {
  const std::string key = app_control_id(app_id, field);
  w::Toggle toggle(key, lib::edit_key(key));
  toggle.with_id(key);
  bind_control(toggle, actions::notification_app_toggle_binding(app_id, action), key);
  return w::boxed(std::move(toggle));
}

struct AppRowText {
  std::string_view field;
  std::string_view action;
  std::string_view label;
  std::string_view description;
};
constexpr std::array<AppRowText, 6> kAppRowTexts = {{
    {"banners", "banners", "Allow banners",
     "Override the global banner choice for this application"},
    {"previews", "previews", "Show previews", "Allow message contents from this application"},
    {"sounds", "sounds", "Play sounds", "Override the global sound choice for this application"},
    {"badges", "badges", "Show badges", "Allow verified unread counts in supported shell surfaces"},
    {"priority", "priority", "Priority during focus",
     "Let this verified application pierce scheduled focus"},
    {"priority_contacts", "priority-contacts", "Priority contacts",
     "Allow this verified communications app to identify senders; only Contacts favourites can "
     "pierce focus"},
}};

WidgetBox app_card(const PageModel& model, const NotificationApp& app) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Verified application", app.id));
  for (const AppRowText& row : kAppRowTexts) {
    rows.push_back(ui_rows::described_row(row.label, row.description,
                                          app_toggle(app.id, row.field, row.action)));
  }
  const std::string mute_key = app_control_id(app.id, "mute");
  w::Dropdown mute(lib::edit_key(mute_key), options_of(kMuteDurations),
                   std::string(rule_mute_label(model.prefs, app.id, model.now)));
  mute.with_id(mute_key);
  bind_control(mute, actions::notification_app_choice_binding(app.id, "mute"), mute_key);
  rows.push_back(ui_rows::setting_row("Mute temporarily", w::boxed(std::move(mute))));
  rows.push_back(ui_rows::caption(app_caption(effective(model.prefs, app.id, "banners"),
                                              effective(model.prefs, app.id, "previews"))));
  return ui_rows::section_card(app.name, ui_rows::rows_column(std::move(rows)));
}

WidgetBox priority_contacts_card() {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Source", "Favourites in Contacts"));
  rows.push_back(ui_rows::caption(
      "Contacts publishes a redacted, salted priority registry to the shell. Raw addresses are "
      "not stored there. Only communication apps you authorize above may assert a sender; the "
      "shell verifies the sender against that registry."));
  return ui_rows::section_card("Priority contacts", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string_view delivery_label(const NotificationPrefs& prefs) {
  if (prefs.do_not_disturb) return "Silenced";
  return prefs.show_banners ? "Active" : "Banners off";
}

std::string_view sound_backend_text(SoundBackend backend) {
  switch (backend) {
    case SoundBackend::SoundTheme:
      return "Available through the session sound theme";
    case SoundBackend::PipeWireRoute:
      return "Available through the PipeWire session route";
    case SoundBackend::Unavailable:
      break;
  }
  return "Unavailable: install libcanberra or PipeWire sound tools";
}

std::string_view app_caption(bool banners, bool previews) {
  if (!banners) return "Notifications go to history without a banner.";
  return previews ? "Banners and their contents are currently allowed."
                  : "Banners are allowed with their contents hidden.";
}

WidgetBox build_page(const PageModel& model) {
  WidgetList cards;
  cards.push_back(do_not_disturb_card(model.prefs));
  cards.push_back(focus_card(model.prefs));
  cards.push_back(banners_card());
  cards.push_back(lock_screen_card(model.sound));
  cards.push_back(ui_rows::section_card(
      "Applications", ui_rows::caption(model.apps.empty() ? kNoAppsCaption : kAppsCaption)));
  cards.push_back(ui_rows::section_card(
      "How this applies",
      ui_rows::caption("These choices are read by the compositor's notification layer, so every "
                       "verified app follows the same delivery policy. Do Not Disturb overrides "
                       "the individual banner and sound toggles.")));
  for (const NotificationApp& app : model.apps) cards.push_back(app_card(model, app));
  cards.push_back(priority_contacts_card());
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::notifications
