// The set-setting store: every kind of key kept in its own file (a section
// merged into the settings document, the locale, the shortcut and
// desktop-controls files, mimeapps.list), a value the preference holds
// already written nowhere, values no preference can hold refused with
// nothing written, an unreadable settings document left as it is, and the
// application's handler writing what the store kept (or nothing, when it
// refused).

#include "actions/setting_store.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <concepts>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "actions/settings_action.h"
#include "kalu_ui/host.h"
#include "lib/stored_notices.h"
#include "lib/time.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/document.h"
#include "prefs_store/shortcuts.h"
#include "stored/locale.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"

namespace settings::actions {
namespace {

namespace fs = std::filesystem;
namespace doc = kalu_ui::doc;
using operations::SettingsAction;

SettingsAction set(std::string_view key, std::string_view text) {
  return SettingsAction::set_setting(std::string(key), text);
}
template <std::same_as<bool> B>
SettingsAction set(std::string_view key, B on) {
  return SettingsAction::set_setting(std::string(key), on);
}

// A configuration folder, and application folders holding two text editors
// and nothing of this machine's.
struct Folders {
  Folders()
      : data("XDG_DATA_HOME", (config.path().parent_path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (config.path().parent_path() / "none").string()) {
    const fs::path apps = config.path().parent_path() / "data" / "applications";
    fs::create_directories(apps);
    for (std::string_view name : {"Writer", "Notes"}) {
      std::ofstream(apps / ("org.example." + std::string(name) + ".desktop"))
          << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << name
          << " %f\nMimeType=text/plain;\n";
    }
  }
  // A file of the configuration folder (the settings document's folder is
  // "kalu" below it).
  fs::path file(std::string_view name) const {
    return config.path().parent_path().parent_path() / name;
  }
  std::string read(std::string_view name) const {
    std::ifstream in(file(name));
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  stored::testing::TempConfig config;
  stored::testing::ScopedEnv data;
  stored::testing::ScopedEnv data_dirs;
};

stored::SettingsPrefs settings() { return stored::SettingsPrefs::load(); }

TEST(SettingStoreTest, EveryKeyIsKeptWhereItsPreferenceIsStored) {
  Folders f;
  struct Case {
    SettingsAction action;
    Store store;
    std::function<bool()> kept;
  };
  const std::int64_t now = static_cast<std::int64_t>(lib::unix_now_secs());
  const Case cases[] = {
      {set("appearance.theme", "Nord"), Store::kAppearance,
       [] { return settings().appearance.theme == "Nord"; }},
      {set("appearance.text_size", "Large"), Store::kAppearance,
       [] { return settings().appearance.text_scale == 1.15; }},
      {set("appearance.ui_scale", "110%"), Store::kAppearance,
       [] { return settings().appearance.ui_scale == 1.1; }},
      {set("appearance.reduce_motion", true), Store::kAppearance,
       [] { return settings().appearance.reduce_motion; }},
      {set("a11y.high_contrast", true), Store::kAccessibility,
       [] { return settings().appearance.high_contrast; }},
      {set("a11y.text_size", "Larger"), Store::kAccessibility,
       [] { return settings().appearance.text_scale == 1.3; }},
      {set("a11y.cursor_size", "Large"), Store::kAccessibility,
       [] { return settings().accessibility.cursor_size == 36; }},
      {set("a11y.sticky_keys", true), Store::kAccessibility,
       [] { return settings().accessibility.sticky_keys; }},
      {set("region.currency", "EUR"), Store::kLocale,
       [] { return stored::Locale::load().currency == stored::Currency::EUR; }},
      {set("region.date_format", "US (03/15/2023)"), Store::kLocale,
       [] { return stored::Locale::load().date_format == stored::DateFormat::US; }},
      {set("notifications.do_not_disturb", true), Store::kNotifications,
       [] { return settings().notifications.do_not_disturb; }},
      {set("notifications.focus.days", "Weekends"), Store::kNotifications,
       [] { return settings().notifications.focus.weekdays == 96; }},
      {set("notifications.focus.start", "20:00"), Store::kNotifications,
       [] { return settings().notifications.focus.start_minute == 1200; }},
      {set("notifications.app.mail.client.banners", false), Store::kNotifications,
       [] { return settings().notifications.per_app.at("mail.client").banners == false; }},
      {set("notifications.app.mail.client.mute", "For 1 hour"), Store::kNotifications,
       [now] {
         const auto until = settings().notifications.per_app.at("mail.client").muted_until;
         return until && *until >= now + 3600 && *until <= now + 3700;
       }},
      {set("text.check_spelling", false), Store::kTextAssistance,
       [] { return stored::TextAssistance::load().check_spelling == false; }},
      {set("shortcuts.vim_mode", true), Store::kDesktopControls,
       [] { return prefs_store::DesktopControlsConfig::load().vim_mode; }},
      {set("shortcuts.search", "Super+K"), Store::kShortcuts,
       [] {
         const auto chord =
             prefs_store::ShortcutConfig::load().chord(prefs_store::ShortcutAction::OpenSearch);
         return chord && chord->display() == "Super+K";
       }},
      {set("default_apps.mime.text/plain", "Notes"), Store::kDefaultApps,
       [&f] { return f.read("mimeapps.list").find("org.example.Notes") != std::string::npos; }},
  };
  const std::uint64_t noted = lib::stored_generation();
  std::uint64_t changes = 0;
  for (const Case& c : cases) {
    const auto& key = std::get<SettingsAction::SetSetting>(c.action).key;
    SCOPED_TRACE(key);
    auto kept = store_setting(c.action);
    ASSERT_TRUE(kept) << kept.error();
    EXPECT_EQ(kept->store, c.store);
    EXPECT_TRUE(kept->changed);
    EXPECT_TRUE(c.kept());
    changes += kept->changed ? 1 : 0;
    // Once is enough: the same value again writes nothing (a mute runs
    // from now, so a second later it is set again).
    auto again = store_setting(c.action);
    ASSERT_TRUE(again) << again.error();
    if (!key.ends_with(".mute")) {
      EXPECT_FALSE(again->changed);
    }
    changes += again->changed ? 1 : 0;
  }
  // Every save was noted, and only the saves.
  EXPECT_EQ(lib::stored_generation() - noted, changes);
  // Every change merged into the one document.
  const stored::SettingsPrefs all = settings();
  EXPECT_EQ(all.appearance.theme, "Nord");
  EXPECT_TRUE(all.appearance.high_contrast);
  EXPECT_TRUE(all.notifications.do_not_disturb);
  EXPECT_EQ(stored::Locale::load().currency, stored::Currency::EUR);
}

TEST(SettingStoreTest, TheTextKeptIsTheOneThePreferenceShows) {
  Folders f;
  auto chord = store_setting(set("shortcuts.lock", "super+shift+l"));
  ASSERT_TRUE(chord) << chord.error();
  EXPECT_EQ(chord->text, "Super+Shift+L");
  auto named = store_setting(set("default_apps.mime.text/plain", "Writer"));
  ASSERT_TRUE(named) << named.error();
  EXPECT_EQ(named->text, "Writer \u2014 org.example.Writer");
  auto label = store_setting(set("default_apps.mime.text/plain", "Notes \u2014 org.example.Notes"));
  ASSERT_TRUE(label) << label.error();
  EXPECT_TRUE(label->changed);
  EXPECT_EQ(store_setting(set("appearance.theme", "Light"))->text, std::nullopt);
}

// A label the stored value shows already is no change: its value stays.
// A value the document only reads as (a default) is written.
TEST(SettingStoreTest, TheLabelOfTheStoredValueKeepsIt) {
  Folders f;
  stored::SettingsPrefs prefs;
  prefs.appearance.text_scale = 1.075;
  prefs.appearance.ui_scale = 1.2;
  prefs.notifications.focus.start_minute = 1330;
  ASSERT_TRUE(prefs.save());
  for (const SettingsAction& action :
       {set("appearance.text_size", "Default"), set("appearance.ui_scale", "125%"),
        set("a11y.text_size", "Default"), set("notifications.focus.start", "22:00"),
        set("notifications.app.org.example.Mail.banners", true),
        set("notifications.app.org.example.Mail.mute", "Not muted")}) {
    auto kept = store_setting(action);
    ASSERT_TRUE(kept) << kept.error();
    EXPECT_FALSE(kept->changed) << std::get<SettingsAction::SetSetting>(action).key;
  }
  EXPECT_EQ(settings().appearance.text_scale, 1.075);
  EXPECT_EQ(settings().appearance.ui_scale, 1.2);
  EXPECT_EQ(settings().notifications.focus.start_minute, 1330);
  // The application still follows the global switches.
  EXPECT_TRUE(settings().notifications.per_app.empty());

  // Nothing stored: the defaults are read, and written when set.
  fs::remove(f.config.path());
  auto written = store_setting(set("appearance.theme", "Dark"));
  ASSERT_TRUE(written) << written.error();
  EXPECT_TRUE(written->changed);
  EXPECT_NE(f.config.read().find("\"theme\": \"Dark\""), std::string::npos);
  f.config.put("{\"text_assistance\": {\"check_spelling\": \"yes\"}} not JSON");
  auto fresh = store_setting(set("text.check_spelling", true));
  ASSERT_TRUE(fresh) << fresh.error();
  EXPECT_TRUE(fresh->changed);
  EXPECT_EQ(stored::TextAssistance::load().check_spelling, true);
}

TEST(SettingStoreTest, ValuesNoPreferenceHoldsAreRefusedWithNothingWritten) {
  Folders f;
  const std::string before = R"({"zeta": 1})";
  f.config.put(before);
  const SettingsAction refused[] = {
      set("appearance.theme", "Neon"),
      set("appearance.theme", "custom:mine"),
      set("appearance.theme", true),
      set("appearance.text_size", "Huge"),
      set("appearance.ui_scale", "1.1"),
      set("a11y.cursor_size", "Huge"),
      set("a11y.large_cursor", "on"),
      set("region.date_format", "ISO"),
      set("notifications.focus.start", "21:00"),
      set("notifications.focus.days", "Mondays"),
      set("notifications.app.mail.client.mute", "forever"),
      set("notifications.app.bad id.banners", true),
      set("default_apps.mime.text/plain", "Nobody"),
      set("default_apps.mime.image/png", "Notes"),
      set("no.such.key", true),
  };
  for (const SettingsAction& action : refused) {
    const auto& key = std::get<SettingsAction::SetSetting>(action).key;
    auto kept = store_setting(action);
    ASSERT_FALSE(kept) << key;
    EXPECT_EQ(kept.error(), "settings target is stale, unknown, or has an invalid value: " + key);
  }
  // A chord is refused with the reason a person can act on.
  const std::pair<SettingsAction, std::string_view> chords[] = {
      {set("shortcuts.search", "Hello"), "Hello is not a key combination"},
      // Another shortcut's chord.
      {set("shortcuts.search", "ctrl+alt+l"), "Ctrl+Alt+L is already used by Lock the screen"},
  };
  for (const auto& [action, reason] : chords) {
    auto kept = store_setting(action);
    ASSERT_FALSE(kept) << reason;
    EXPECT_EQ(kept.error(), reason);
  }
  EXPECT_EQ(f.config.read(), before);
  EXPECT_FALSE(fs::exists(f.file("kalu/shortcuts.json")));
  EXPECT_FALSE(fs::exists(f.file("mimeapps.list")));
}

// A settings document that cannot be read is never replaced by one holding
// only the change.
TEST(SettingStoreTest, AnUnreadableSettingsDocumentIsLeftAsItIs) {
  Folders f;
  fs::create_directories(f.config.path());
  for (const SettingsAction& action :
       {set("appearance.theme", "Nord"), set("a11y.sticky_keys", true),
        set("region.currency", "EUR"), set("notifications.show_badges", false),
        set("text.auto_correct", false)}) {
    auto kept = store_setting(action);
    EXPECT_FALSE(kept) << std::get<SettingsAction::SetSetting>(action).key;
  }
  EXPECT_TRUE(fs::is_directory(f.config.path()));
  EXPECT_TRUE(fs::is_empty(f.config.path()));
}

// A change of the look keeps every member the section holds and names no
// theme it does not: an unnamed one goes on following the environment's.
TEST(SettingStoreTest, AChangeOfTheLookKeepsWhatTheSectionHolds) {
  Folders f;
  stored::testing::ScopedEnv theme("KALU_UI_THEME", "Nord");
  f.config.put(R"({"appearance": {"theme": "Light"}})");
  ASSERT_TRUE(store_setting(set("a11y.text_size", "Larger")));
  ASSERT_TRUE(store_setting(set("appearance.high_contrast", true)));
  auto section = prefs_store::load_section("appearance");
  ASSERT_TRUE(section);
  EXPECT_EQ((*section)["theme"], "Light");
  EXPECT_EQ((*section)["text_scale"], 1.3);

  f.config.put(R"({"appearance": {"reduce_motion": true}})");
  ASSERT_TRUE(store_setting(set("appearance.text_size", "Large")));
  section = prefs_store::load_section("appearance");
  EXPECT_FALSE(section->contains("theme")) << section->dump();
  EXPECT_EQ((*section)["reduce_motion"], true);
  // Choosing a theme names it, the environment's too.
  auto chosen = store_setting(set("appearance.theme", "Nord"));
  ASSERT_TRUE(chosen) << chosen.error();
  section = prefs_store::load_section("appearance");
  EXPECT_EQ((*section)["theme"], "Nord");
}

TEST(SettingStoreTest, TheApplicationsHandlerWritesWhatTheStoreKept) {
  Folders f;
  auto registry = std::make_shared<kalu_actions::ActionRegistry>();
  register_settings_action_handler(*registry);
  kalu_ui::host::ActionHost host(registry);
  doc::Document document;
  auto dispatch = [&](const SettingsAction& action) {
    return host.dispatch(document, kSettingsActionNamespace,
                         TypedSettingsAction(action).payload_json(), std::nullopt);
  };
  ASSERT_TRUE(dispatch(set("shortcuts.search", "super+k")));
  EXPECT_EQ(document.read_str(doc::kRoot, "shortcuts.search"), "Super+K");
  ASSERT_TRUE(dispatch(set("region.currency", "GBP")));
  EXPECT_EQ(stored::Locale::load().currency, stored::Currency::GBP);

  auto refused = dispatch(set("appearance.theme", "Neon"));
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.error().to_string().find("appearance.theme"), std::string::npos);
  EXPECT_EQ(document.get(doc::kRoot, "appearance.theme"), std::nullopt);

  // The document alone, without the application's keeper.
  doc::Document plain;
  ASSERT_TRUE(apply_setting(set("appearance.theme", "Neon"), plain));
  EXPECT_EQ(plain.read_str(doc::kRoot, "appearance.theme"), "Neon");
  EXPECT_EQ(settings().appearance.theme, "Dark");
}

}  // namespace
}  // namespace settings::actions
