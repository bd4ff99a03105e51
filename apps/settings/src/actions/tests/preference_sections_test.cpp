// The preference sections: Region & Formats, Notifications, Appearance,
// Keyboard Shortcuts and Apps & Files. Their set-setting actions in order
// with the current values they fall back to, what invoking them delivers
// (and, for one, what the registered handler then writes), their items, and
// the page bindings.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/appearance_section.h"
#include "actions/default_apps_section.h"
#include "actions/doc_readers.h"
#include "actions/keyboard_shortcuts_section.h"
#include "actions/notifications_section.h"
#include "actions/region_section.h"
#include "actions/resource_tree.h"
#include "actions/settings_action.h"
#include "actions/tests/section_support.h"
#include "kalu_ui/host.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using panes::notifications::NotificationApp;
using namespace section_testing;

constexpr std::string_view kSet = "settings.action";

std::string set_text(std::string_view key, std::string_view text) {
  return fmt::format(R"({{"SetSetting":{{"key":"{}","value":{{"Text":"{}"}}}}}})", key, text);
}
std::string set_bool(std::string_view key, bool on) {
  return fmt::format(R"({{"SetSetting":{{"key":"{}","value":{{"Bool":{}}}}}}})", key, on);
}

// Every action of a preference section is a set-setting action with the
// configuration contract.
void expect_set_setting_actions(const Resource& resource) {
  for (const auto& spec : resource.actions) {
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationSetting) << resource.id << spec.name;
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"configuration", "system-setting"}))
        << resource.id << " " << spec.name;
    EXPECT_FALSE(spec.is_destructive);
  }
}

TEST(PreferenceSectionsTest, DndFlipsThroughTheRegisteredHandler) {
  kalu_ui::doc::Document document;
  const stored::NotificationPrefs defaults;
  const Resource fresh = notifications_resource(defaults, {}, 0);
  EXPECT_EQ(fresh.id, "settings.section:notifications");
  EXPECT_EQ(fresh.kind, "settings.section");
  EXPECT_EQ(names(fresh), (std::vector<std::string>{"dnd", "banners", "previews", "sounds",
                                                    "lock_screen", "badges", "focus-enabled",
                                                    "focus-start", "focus-end", "focus-days"}));
  expect_set_setting_actions(fresh);
  EXPECT_EQ(action(fresh, "dnd").label, "Turn on Do Not Disturb");
  EXPECT_EQ(action(fresh, "banners").label, "Turn off notification banners");
  EXPECT_EQ(action(fresh, "lock_screen").label, "Turn on lock-screen notifications");

  stored::testing::TempConfig config;
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  register_settings_action_handler(*registry);
  kalu_ui::host::ActionHost host(registry);
  const std::string payload = invoke(fresh, "dnd", "{}", kSet);
  ASSERT_TRUE(host.dispatch(document, kSettingsActionNamespace, payload, std::nullopt));
  EXPECT_EQ(read_doc_bool(document, kalu_ui::doc::kRoot, "notifications.do_not_disturb"), true);
  EXPECT_TRUE(stored::SettingsPrefs::load().notifications.do_not_disturb);
  EXPECT_EQ(
      action(notifications_resource(stored::SettingsPrefs::load().notifications, {}, 0), "dnd")
          .label,
      "Turn off Do Not Disturb");

  stored::NotificationPrefs stored;
  stored.do_not_disturb = true;
  stored.focus.enabled = true;
  const Resource from_stored = notifications_resource(stored, {}, 0);
  EXPECT_EQ(action(from_stored, "dnd").label, "Turn off Do Not Disturb");
  EXPECT_EQ(invoke(from_stored, "focus-enabled", "{}", kSet),
            set_bool("notifications.focus.enabled", false));
  EXPECT_EQ(choices_of(action(from_stored, "focus-days")),
            (std::vector<std::string>{"Every day", "Weekdays", "Weekends"}));
  EXPECT_EQ(action(from_stored, "focus-start").description, "Choose a focus schedule value");
  EXPECT_EQ(invoke(from_stored, "focus-start", R"({"choice":"22:00"})", kSet),
            set_text("notifications.focus.start", "22:00"));
  EXPECT_EQ(invoke(from_stored, "focus-end", R"({"choice":"07:00"})", kSet),
            set_text("notifications.focus.end", "07:00"));
}

// An application's switches read its own stored rule, else the global switch.
TEST(PreferenceSectionsTest, NotificationAppsFollowTheListWithTheGlobalFallbacks) {
  stored::NotificationPrefs prefs;
  prefs.show_banners = false;
  prefs.per_app["org.example.Chat"].sounds = false;
  prefs.per_app["org.example.Chat"].banners = true;
  prefs.per_app["org.example.Chat"].priority = true;
  std::vector<NotificationApp> apps = {{"org.example.Mail", "Mail"}, {"org.example.Chat", "Chat"}};
  const Resource section = notifications_resource(prefs, apps, 0);
  EXPECT_EQ(child_ids(section),
            (std::vector<std::string>{"settings.notification-app:org.example.Mail",
                                      "settings.notification-app:org.example.Chat"}));
  const Resource& mail = section.children[0];
  EXPECT_EQ(mail.kind, "settings.notification-app");
  EXPECT_EQ(mail.label, "Mail");
  EXPECT_EQ(names(mail), (std::vector<std::string>{"banners", "previews", "sounds", "badges",
                                                   "priority", "priority-contacts", "mute"}));
  expect_set_setting_actions(mail);
  EXPECT_EQ(action(mail, "banners").label, "Turn on notification banners");  // global: off
  EXPECT_EQ(action(mail, "sounds").label, "Turn off notification sounds");
  EXPECT_EQ(action(mail, "priority").label, "Turn on priority during focus");
  EXPECT_EQ(invoke(mail, "priority-contacts", "{}", kSet),
            set_bool("notifications.app.org.example.Mail.priority_contacts", true));
  EXPECT_EQ(invoke(mail, "mute", R"({"choice":"Not muted"})", kSet),
            set_text("notifications.app.org.example.Mail.mute", "Not muted"));
  EXPECT_EQ(action(mail, "mute").description, "Not muted, For 1 hour, For 8 hours, For 24 hours");

  const Resource& chat = section.children[1];
  EXPECT_EQ(action(chat, "sounds").label, "Turn on notification sounds");  // its rule's
  EXPECT_EQ(action(chat, "banners").label, "Turn off notification banners");
  EXPECT_EQ(invoke(chat, "priority", "{}", kSet),
            set_bool("notifications.app.org.example.Chat.priority", false));
  EXPECT_EQ(invoke(chat, "mute", R"({"choice":"For 8 hours"})", kSet),
            set_text("notifications.app.org.example.Chat.mute", "For 8 hours"));
  EXPECT_EQ(invoke(chat, "mute", R"({"choice":"For 1 hour"})", kSet),
            set_text("notifications.app.org.example.Chat.mute", "For 1 hour"));

  std::vector<NotificationApp> many;
  for (int i = 0; i < 300; ++i) many.push_back({fmt::format("app{}", i), "App"});
  EXPECT_EQ(notifications_resource(prefs, many, 0).children.size(), kMaxItems);
}

TEST(PreferenceSectionsTest, RegionChoicesAreThePaneLabels) {
  const Resource fresh = region_resource(stored::Locale{});
  EXPECT_EQ(fresh.id, "settings.section:region_formats");
  EXPECT_EQ(fresh.label, "Region & Formats");
  EXPECT_EQ(names(fresh), (std::vector<std::string>{"currency", "date", "time", "measurement",
                                                    "number", "first-day"}));
  expect_set_setting_actions(fresh);
  const auto& date = action(fresh, "date");
  EXPECT_EQ(date.label, "Set date format");
  EXPECT_EQ(date.description, "Set date format");
  EXPECT_EQ(date.parameters.front().label, "New setting value");
  EXPECT_EQ(choices_of(date),
            (std::vector<std::string>{"ISO (2023-03-15)", "US (03/15/2023)",
                                      "European (15/03/2023)", "Long (15 Mar 2023)"}));
  EXPECT_EQ(invoke(fresh, "date", R"j({"choice":"ISO (2023-03-15)"})j", kSet),
            set_text("region.date_format", "ISO (2023-03-15)"));
  EXPECT_EQ(invoke(fresh, "currency", R"({"choice":"USD"})", kSet),
            set_text("region.currency", "USD"));
  EXPECT_EQ(
      invoke(fresh, "currency", R"({"choice":"Euro"})", kSet),
      "(failed: currency: choice must be one of USD, EUR, GBP, JPY, CHF, CAD, AUD, CNY, INR)");
  EXPECT_EQ(invoke(fresh, "first-day", R"({"choice":"Sunday"})", kSet),
            set_text("region.first_day", "Sunday"));
  EXPECT_EQ(choices_of(action(fresh, "measurement")).front(), "Metric (\u00b0C, km, kg)");
}

TEST(PreferenceSectionsTest, AppearanceReportsTheLookAsStored) {
  stored::AppearancePrefs prefs;
  prefs.theme = "Nord";
  prefs.high_contrast = true;
  prefs.text_scale = 1.2;
  prefs.ui_scale = 1.5;
  const Resource section = appearance_resource(prefs);
  EXPECT_EQ(names(section), (std::vector<std::string>{"theme", "high_contrast", "reduce_motion",
                                                      "text_size", "ui_scale"}));
  expect_set_setting_actions(section);
  EXPECT_EQ(choices_of(action(section, "theme")).size(), 12u);
  EXPECT_EQ(action(section, "theme").description, "Dark, Light, Dracula, Nord, Gruvbox, Solarized");
  EXPECT_EQ(invoke(section, "theme", R"({"choice":"Nord"})", kSet),
            set_text("appearance.theme", "Nord"));
  EXPECT_EQ(action(section, "high_contrast").label, "Turn off high contrast");
  EXPECT_EQ(action(section, "reduce_motion").label, "Turn on reduced motion");
  EXPECT_EQ(invoke(section, "text_size", R"({"choice":"Large"})", kSet),
            set_text("appearance.text_size", "Large"));
  EXPECT_EQ(invoke(section, "ui_scale", R"({"choice":"100%"})", kSet),
            set_text("appearance.ui_scale", "100%"));
}

TEST(PreferenceSectionsTest, ShortcutsNameOneFreeTextActionPerCatalogueEntry) {
  const Resource section = keyboard_shortcuts_resource(false);
  const auto catalogue = panes::keyboard_shortcuts::shortcut_keys();
  ASSERT_EQ(section.actions.size(), 1 + catalogue.size());
  expect_set_setting_actions(section);
  EXPECT_EQ(section.actions[0].name, "vim-mode");
  EXPECT_EQ(section.actions[0].label, "Turn on Vim-style desktop navigation");
  EXPECT_EQ(section.actions[1].name, "search");
  EXPECT_EQ(section.actions.back().name, "resize-wider");
  EXPECT_EQ(section.actions.back().label, "Set Make window wider shortcut");
  const auto& quick = action(section, "quick-settings");
  EXPECT_EQ(quick.label, "Set Quick Settings shortcut");
  EXPECT_EQ(quick.description, "e.g. Super+K");
  ASSERT_EQ(quick.parameters.size(), 1u);
  EXPECT_EQ(quick.parameters[0].label, "Shortcut");
  EXPECT_TRUE(quick.parameters[0].allowed_values.empty());
  EXPECT_EQ(invoke(section, "quick-settings", R"({"choice":"Super+Q"})", kSet),
            set_text("shortcuts.quick_settings", "Super+Q"));
  // An empty text clears the shortcut; no text at all is refused.
  EXPECT_EQ(invoke(section, "quick-settings", R"({"choice":""})", kSet),
            set_text("shortcuts.quick_settings", ""));
  EXPECT_EQ(invoke(section, "quick-settings", "{}", kSet),
            "(failed: quick-settings: choice is required: a string)");
  EXPECT_EQ(shortcut_action_name("shortcuts.focus_previous_window"), "focus-previous-window");
}

desktop_rules::AppCandidate candidate(std::string id, std::string name,
                                      std::vector<std::string> kind_keys) {
  desktop_rules::AppCandidate app{std::move(id), std::move(name), {}};
  for (const auto& key : kind_keys) app.kinds.push_back(*desktop_rules::ResourceKind::parse(key));
  return app;
}

const std::vector<desktop_rules::AppCandidate> kEditors = {
    candidate("beta-edit", "Beta Editor", {"mime:text/plain"}),
    candidate("org.a.Notes", "Notes", {"mime:text/plain"}),
    candidate("org.b.Notes", "Notes", {"mime:text/plain"}),
};

TEST(PreferenceSectionsTest, AppsAndFilesListsEachDeclaredKindWithItsHandlers) {
  const std::vector<desktop_rules::AppCandidate> apps = {
      candidate("org.example.Web", "Web", {"scheme:https", "mime:text/html"}),
      candidate("org.example.Editor", "Editor", {"mime:text/plain", "mime:text/html"}),
  };
  const desktop_rules::MimeDatabase no_comments({});
  const Resource section = default_apps_resource(apps, no_comments);
  EXPECT_EQ(section.id, "settings.section:default-apps");
  EXPECT_EQ(section.kind, "settings.default-apps");
  EXPECT_TRUE(section.actions.empty());
  EXPECT_EQ(child_ids(section), (std::vector<std::string>{"settings.default-app:mime:text/html",
                                                          "settings.default-app:mime:text/plain",
                                                          "settings.default-app:scheme:https"}));
  const Resource& html = section.children[0];
  EXPECT_EQ(html.kind, "settings.default-app-handler");
  EXPECT_EQ(html.label, "text/html");
  expect_set_setting_actions(html);
  const auto& set = action(html, "set-handler");
  EXPECT_EQ(set.label, "Set default application");
  EXPECT_EQ(set.description, "Choose an installed application");
  EXPECT_EQ(set.parameters.front().label, "Installed application");
  EXPECT_EQ(choices_of(set), (std::vector<std::string>{"Editor", "Web"}));
  EXPECT_EQ(invoke(html, "set-handler", R"({"choice":"Web"})", kSet),
            set_text("default_apps.mime.text/html", "Web"));
  EXPECT_EQ(section.children[2].label, "https links");
  EXPECT_EQ(invoke(section.children[2], "set-handler", R"({"choice":"Web"})", kSet),
            set_text("default_apps.scheme.https", "Web"));
  EXPECT_TRUE(default_apps_resource({}, no_comments).children.empty());
}

TEST(PreferenceSectionsTest, TheTreeAnswersTheFiveSectionsWithOpenFirst) {
  const kalu_ui::doc::Document empty;
  const stored::SettingsPrefs prefs;
  for (const auto& [pane_id, second] :
       {std::pair<std::string_view, std::string_view>{"region_formats", "currency"},
        {"notifications", "dnd"},
        {"appearance", "theme"},
        {"keyboard_shortcuts", "vim-mode"}}) {
    const Resource section = settings_sections(*panes::pane_by_id(pane_id), empty, prefs, {});
    ASSERT_GE(section.actions.size(), 2u) << pane_id;
    EXPECT_EQ(section.actions[0].name, "open");
    EXPECT_EQ(section.actions[1].name, second);
  }
}

TEST(PreferenceSectionsTest, PageBindingsSetWhatTheControlSays) {
  const auto cases = {
      std::pair{appearance_toggle_binding("high_contrast"),
                std::string("appearance.high_contrast")},
      std::pair{notifications_toggle_binding("dnd"), std::string("notifications.do_not_disturb")},
      std::pair{notification_app_toggle_binding("org.example.Mail", "priority"),
                std::string("notifications.app.org.example.Mail.priority")},
      std::pair{shortcut_toggle_binding("vim-mode"), std::string("shortcuts.vim_mode")},
  };
  for (const auto& [binding, key] : cases) {
    ASSERT_TRUE(binding) << key;
    for (const bool on : {true, false}) {
      auto encoded = binding->encode(ControlValue(on));
      ASSERT_TRUE(encoded) << key;
      EXPECT_EQ(encoded->action_id, kSet);
      EXPECT_EQ(encoded->payload_text(), set_bool(key, on));
    }
  }
  EXPECT_EQ(notification_app_toggle_binding("org.example.Mail", "priority")->resource_id,
            "settings.notification-app:org.example.Mail");

  const auto texts = {
      std::tuple{region_choice_binding("date"), std::string("US (03/15/2023)"),
                 std::string("region.date_format")},
      std::tuple{appearance_choice_binding("ui_scale"), std::string("125%"),
                 std::string("appearance.ui_scale")},
      std::tuple{notifications_choice_binding("focus-days"), std::string("Weekends"),
                 std::string("notifications.focus.days")},
      std::tuple{notification_app_choice_binding("a.b", "mute"), std::string("For 1 hour"),
                 std::string("notifications.app.a.b.mute")},
      std::tuple{shortcut_text_binding("next-tab"), std::string("Ctrl+Tab"),
                 std::string("shortcuts.next_tab")},
  };
  for (const auto& [binding, text, key] : texts) {
    ASSERT_TRUE(binding) << key;
    auto encoded = binding->encode(ControlValue(text));
    ASSERT_TRUE(encoded) << key;
    EXPECT_EQ(encoded->payload_text(), set_text(key, text));
  }

  EXPECT_FALSE(appearance_toggle_binding("theme"));
  EXPECT_FALSE(appearance_choice_binding("high_contrast"));
  EXPECT_FALSE(notifications_toggle_binding("focus-start"));
  EXPECT_FALSE(notification_app_choice_binding("a.b", "banners"));
  EXPECT_FALSE(region_choice_binding("open"));
  EXPECT_FALSE(shortcut_text_binding("vim-mode"));
  EXPECT_FALSE(default_app_binding("text/plain", "set-handler", kEditors));
  EXPECT_FALSE(default_app_binding("mime:text/plain", "set-handler", {}));
}

// The Apps & Files dropdown shows each application's label; it sends the
// choice the section offers for it: the name, or the label where two
// handlers share a name. Each is a choice the published action allows.
TEST(PreferenceSectionsTest, AppsAndFilesDropdownSendsAChoiceTheSectionOffers) {
  const desktop_rules::MimeDatabase no_comments({});
  const Resource section = default_apps_resource(kEditors, no_comments);
  ASSERT_EQ(section.children.size(), 1u);
  const auto& set = action(section.children[0], "set-handler");
  EXPECT_EQ(choices_of(set), (std::vector<std::string>{"Beta Editor", "Notes \u2014 org.a.Notes",
                                                       "Notes \u2014 org.b.Notes"}));
  const auto binding = default_app_binding("mime:text/plain", "set-handler", kEditors);
  ASSERT_TRUE(binding);
  for (const auto& [shown, sent] : {
           std::pair{"Beta Editor \u2014 beta-edit", "Beta Editor"},
           std::pair{"Notes \u2014 org.b.Notes", "Notes \u2014 org.b.Notes"},
       }) {
    auto encoded = binding->encode(ControlValue(std::string(shown)));
    ASSERT_TRUE(encoded) << shown;
    EXPECT_EQ(encoded->payload_text(), set_text("default_apps.mime.text/plain", sent));
    const std::string args = fmt::format(R"({{"choice":"{}"}})", sent);
    EXPECT_EQ(invoke(section.children[0], "set-handler", args, kSet),
              set_text("default_apps.mime.text/plain", sent));
  }
}

}  // namespace
}  // namespace settings::actions
