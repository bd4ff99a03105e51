// The Notifications pane in the headless harness with a settings folder of
// its own and an injected clock: the edit-mirror road both ways, the focus
// schedule, the per-application rules and mutes, one save per change and
// none without, the mend of texts that are no label, and the page's cards.

#include "panes/notifications/notifications_pane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/notifications/page.h"
#include "prefs_store/paths.h"
#include "prefs_store/testing.h"
#include "stored/settings_prefs.h"

namespace settings::panes::notifications {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using stored::NotificationPrefs;
using ::testing::Contains;
using ::testing::Not;

constexpr std::int64_t kT = 1'700'000'000;

class ConfigFolder : public prefs_store::testing::TempConfigDir {
 public:
  ConfigFolder() : TempConfigDir("notifications_pane_test") {}
  std::filesystem::path settings_file() const { return *prefs_store::settings_path(); }
  bool saved() const { return std::filesystem::exists(settings_file()); }
  void forget() const { std::filesystem::remove(settings_file()); }
  NotificationPrefs stored() const { return stored::SettingsPrefs::load().notifications; }
};

const std::vector<NotificationApp> kTwoApps = {{"org.example.Chat", "Chat"},
                                               {"org.example.Mail", "Mail"}};

struct PaneHarness {
  explicit PaneHarness(NotificationPrefs prefs, std::vector<NotificationApp> apps = kTwoApps)
      : harness(std::make_unique<NotificationsPane>(
                    std::move(prefs), std::move(apps), [this] { return now; },
                    media_kit::notification_sound::SoundBackend::PipeWireRoute),
                kalu_ui::harness::Options::sized({720.0, 3000.0})),
        pane(dynamic_cast<NotificationsPane&>(harness.root())) {
    harness.frame();
  }
  doc::Document& document() { return harness.document(); }
  std::optional<bool> flag(std::string_view key) {
    return actions::read_doc_bool(document(), doc::kRoot, key);
  }
  std::optional<std::string> text(std::string_view key) {
    return actions::read_doc_text(document(), doc::kRoot, key);
  }
  void put(std::string_view key, bool value) {
    ASSERT_TRUE(document().put(doc::kRoot, key, doc::Scalar(value)));
  }
  void put_text(std::string_view key, std::string value) {
    ASSERT_TRUE(document().put(doc::kRoot, key, doc::Scalar(std::move(value))));
  }
  // What an automation client's set-setting action does.
  void client_sets(std::string key, std::string value) {
    ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting(std::move(key), value),
                                       document()));
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(pane, out);
    return out;
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    if (const auto* b = dynamic_cast<const w::Badge*>(&widget)) out.push_back(b->text());
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  std::int64_t now = kT;
  kalu_ui::harness::Harness harness;
  NotificationsPane& pane;
};

TEST(NotificationsPaneTest, TheFirstSyncPublishesEveryControlAndSavesNothing) {
  ConfigFolder config;
  NotificationPrefs prefs;
  prefs.show_banners = false;
  prefs.focus.start_minute = 1260;  // shows 20:00
  prefs.focus.weekdays = 127;       // shows Every day
  prefs.per_app["org.example.Mail"].previews = false;
  prefs.per_app["org.example.Mail"].priority = true;
  prefs.per_app["org.example.Mail"].muted_until = kT + 3600;
  PaneHarness h(prefs);
  for (std::string_view key : {"notifications.show_banners", "notifications.show_banners.edit"}) {
    EXPECT_EQ(h.flag(key), false) << key;
  }
  EXPECT_EQ(h.flag("notifications.do_not_disturb.edit"), false);
  EXPECT_EQ(h.text("notifications.focus.start"), "20:00");
  EXPECT_EQ(h.text("notifications.focus.start.edit"), "20:00");
  EXPECT_EQ(h.text("notifications.focus.end"), "07:00");
  EXPECT_EQ(h.text("notifications.focus.days.edit"), "Every day");
  // Effective values: overrides, else the global switches.
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.previews"), false);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.banners"), false);
  EXPECT_EQ(h.flag("notifications.app.org.example.Chat.previews"), true);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.priority"), true);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.priority.edit"), true);
  EXPECT_EQ(h.text("notifications.app.org.example.Mail.mute"), "For 1 hour");
  EXPECT_EQ(h.text("notifications.app.org.example.Chat.mute"), "Not muted");
  h.harness.frames(3);
  EXPECT_FALSE(config.saved());
  // What was shown stands for the stored values, which stay as they were.
  EXPECT_EQ(h.pane.prefs().focus.start_minute, 1260);
  EXPECT_EQ(h.pane.prefs().focus.weekdays, 127);
  EXPECT_EQ(h.pane.short_type_name(), "NotificationsPane");
}

TEST(NotificationsPaneTest, AnEditIsDispatchedAdoptedAndSavedOnce) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  h.put("notifications.do_not_disturb.edit", true);
  h.harness.frame();
  // The set-setting action wrote the key; the model took the edit.
  EXPECT_EQ(h.flag("notifications.do_not_disturb"), true);
  EXPECT_TRUE(h.pane.prefs().do_not_disturb);
  ASSERT_TRUE(config.saved());
  EXPECT_TRUE(config.stored().do_not_disturb);
  config.forget();
  h.harness.frames(3);  // the key now agrees: mirrored only
  EXPECT_FALSE(config.saved());

  // The other way: the switch off again.
  h.put("notifications.do_not_disturb.edit", false);
  h.harness.frame();
  EXPECT_FALSE(config.stored().do_not_disturb);
}

TEST(NotificationsPaneTest, AClientsSettingIsMirroredAndSaved) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  h.client_sets("notifications.focus.start", "07:00");
  h.harness.frame();
  EXPECT_EQ(h.pane.prefs().focus.start_minute, 420);
  EXPECT_EQ(h.text("notifications.focus.start.edit"), "07:00");
  EXPECT_EQ(config.stored().focus.start_minute, 420);

  h.client_sets("notifications.focus.days", "Weekends");
  ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting("notifications.show_badges", false),
                                     h.document()));
  h.harness.frame();
  const NotificationPrefs stored = config.stored();
  EXPECT_EQ(stored.focus.weekdays, 96);
  EXPECT_FALSE(stored.show_badges);
  EXPECT_EQ(h.flag("notifications.show_badges.edit"), false);
}

// A text that is no label, under a key or its mirror, is put back and saves
// nothing (it used to count as a change on every frame).
TEST(NotificationsPaneTest, TextsThatAreNoLabelArePutBack) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  h.client_sets("notifications.focus.end", "7 o'clock");
  h.put_text("notifications.focus.start.edit", "25:00");
  h.harness.frames(2);
  EXPECT_EQ(h.text("notifications.focus.end"), "07:00");
  EXPECT_EQ(h.text("notifications.focus.end.edit"), "07:00");
  EXPECT_EQ(h.text("notifications.focus.start.edit"), "22:00");
  EXPECT_EQ(h.text("notifications.focus.start"), "22:00");
  EXPECT_FALSE(config.saved());
}

TEST(NotificationsPaneTest, AnApplicationsOverrideStaysWhenTheGlobalSwitchChanges) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  h.put("notifications.app.org.example.Mail.banners", false);
  h.harness.frame();
  NotificationPrefs stored = config.stored();
  EXPECT_EQ(stored.per_app.at("org.example.Mail").banners, false);
  // Every listed application has a rule now; only Mail's overrides.
  EXPECT_EQ(stored.per_app.at("org.example.Chat"), stored::AppNotificationRule{});

  h.put("notifications.show_banners.edit", false);
  h.harness.frame();
  h.put("notifications.show_banners.edit", true);
  h.harness.frame();
  stored = config.stored();
  EXPECT_TRUE(stored.show_banners);
  EXPECT_EQ(stored.per_app.at("org.example.Mail").banners, false);
  EXPECT_EQ(stored.per_app.at("org.example.Chat").banners, std::nullopt);

  h.put("notifications.app.org.example.Chat.priority_contacts", true);
  h.harness.frame();
  EXPECT_TRUE(config.stored().per_app.at("org.example.Chat").priority_contacts);
}

TEST(NotificationsPaneTest, MutesStoreTheirEndAndAnUnchangedLabelSavesNothing) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  const std::string key = "notifications.app.org.example.Chat.mute";
  h.put_text(key, "For 8 hours");
  h.harness.frame();
  EXPECT_EQ(config.stored().per_app.at("org.example.Chat").muted_until, kT + 28800);
  config.forget();
  h.now = kT + 25300;
  h.harness.frames(2);  // the label stays what was chosen
  EXPECT_FALSE(config.saved());

  h.put_text(key, "Not muted");
  h.harness.frame();
  EXPECT_EQ(config.stored().per_app.at("org.example.Chat").muted_until, std::nullopt);
  config.forget();
  h.put_text(key, "for a while");  // no label: ignored
  h.harness.frame();
  EXPECT_FALSE(config.saved());
}

TEST(NotificationsPaneTest, AFailingSaveIsLoggedAndTheModelKeepsTheChange) {
  prefs_store::ScopedConfigDir none("");
  kalu_ui::log::ScopedCapture capture;
  PaneHarness h(NotificationPrefs{});
  h.put("notifications.play_sounds.edit", false);
  h.harness.frame();
  EXPECT_FALSE(h.pane.prefs().play_sounds);
  int warnings = 0;
  for (const auto& event : capture.events()) {
    if (event.message == "failed to persist notification prefs") ++warnings;
  }
  EXPECT_EQ(warnings, 1);
}

TEST(NotificationsPaneTest, TheSaveKeepsTheOtherSectionsAndKeys) {
  ConfigFolder config;
  std::filesystem::create_directories(config.settings_file().parent_path());
  std::ofstream(config.settings_file())
      << R"({"mine": [1, 2], "audio": {"balance": 0.25}, "notifications": {"show_badges": false}})";
  PaneHarness h(stored::SettingsPrefs::load().notifications);
  h.put("notifications.do_not_disturb.edit", true);
  h.harness.frame();
  std::ifstream in(config.settings_file());
  const auto saved = nlohmann::json::parse(in);
  EXPECT_EQ(saved["mine"], nlohmann::json::array({1, 2}));
  EXPECT_EQ(saved["audio"], nlohmann::json::parse(R"({"balance": 0.25})"));
  EXPECT_EQ(saved["notifications"]["do_not_disturb"], true);
  EXPECT_EQ(saved["notifications"]["show_badges"], false);
}

TEST(NotificationsPaneTest, ThePageShowsTheModel) {
  ConfigFolder config;
  NotificationPrefs prefs;
  prefs.do_not_disturb = true;
  prefs.show_banners = false;
  prefs.per_app["org.example.Mail"].banners = true;
  prefs.per_app["org.example.Mail"].previews = false;
  PaneHarness h(prefs);
  const auto texts = h.texts();
  EXPECT_THAT(texts, Contains("Silenced"));
  EXPECT_THAT(texts, Contains(std::string(kAppsCaption)));
  EXPECT_THAT(texts, Contains("Available through the PipeWire session route"));
  // Chat follows the global banners (off); Mail overrides them.
  EXPECT_THAT(texts, Contains("Notifications go to history without a banner."));
  EXPECT_THAT(texts, Contains("Banners are allowed with their contents hidden."));
  EXPECT_THAT(texts, Contains("org.example.Mail"));
  auto* from = dynamic_cast<w::Dropdown*>(h.harness.find("notifications.focus.start"));
  ASSERT_NE(from, nullptr);
  EXPECT_EQ(from->selected(), "22:00");
  EXPECT_EQ(from->options().size(), 9u);
}

// The badge and the captions follow a change at once.
TEST(NotificationsPaneTest, ThePageFollowsAChange) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  EXPECT_THAT(h.texts(), Contains("Active"));
  h.put("notifications.do_not_disturb.edit", true);
  h.put("notifications.app.org.example.Chat.banners", false);
  h.harness.frames(2);
  const auto texts = h.texts();
  EXPECT_THAT(texts, Contains("Silenced"));
  EXPECT_THAT(texts, Contains("Notifications go to history without a banner."));
  EXPECT_EQ(h.flag("notifications.do_not_disturb.edit"), true);
}

TEST(NotificationsPaneTest, WithoutApplicationsThePageSaysWhenTheyAppear) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{}, {});
  const auto texts = h.texts();
  EXPECT_THAT(texts, Contains(std::string(kNoAppsCaption)));
  EXPECT_THAT(texts, Not(Contains("Verified application")));
  EXPECT_THAT(texts, Contains("Active"));
}

TEST(NotificationsPageTest, DeliveryAndCaptionTables) {
  NotificationPrefs prefs;
  EXPECT_EQ(delivery_label(prefs), "Active");
  prefs.show_banners = false;
  EXPECT_EQ(delivery_label(prefs), "Banners off");
  prefs.do_not_disturb = true;
  EXPECT_EQ(delivery_label(prefs), "Silenced");
  EXPECT_EQ(app_caption(false, true), "Notifications go to history without a banner.");
  EXPECT_EQ(app_caption(true, true), "Banners and their contents are currently allowed.");
  EXPECT_EQ(app_caption(true, false), "Banners are allowed with their contents hidden.");
}

// Each control also records its action of the Notifications section.
TEST(NotificationsPaneTest, ControlsAreBoundToTheSection) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  auto* dnd = dynamic_cast<w::Toggle*>(h.harness.find("notifications.dnd"));
  ASSERT_NE(dnd, nullptr);
  ASSERT_TRUE(dnd->binding());
  EXPECT_EQ(dnd->binding()->resource_id, "settings.section:notifications");
  EXPECT_EQ(dnd->binding()->action, "dnd");
  auto* banners =
      dynamic_cast<w::Toggle*>(h.harness.find("notifications.app.org.example.Mail.banners"));
  ASSERT_NE(banners, nullptr);
  ASSERT_TRUE(banners->binding());
  EXPECT_EQ(banners->binding()->resource_id, "settings.notification-app:org.example.Mail");
  auto* mute = dynamic_cast<w::Dropdown*>(h.harness.find("notifications.app.org.example.Mail.mute"));
  ASSERT_NE(mute, nullptr);
  ASSERT_TRUE(mute->binding());
  const auto encoded = mute->binding()->encode(kalu_actions::ControlValue("For 1 hour"));
  ASSERT_TRUE(encoded);
  doc::Document document;
  ASSERT_TRUE(actions::apply_setting(
      *operations::read_record<SettingsAction>(encoded->payload_text()), document));
  EXPECT_EQ(actions::read_doc_text(document, doc::kRoot, "notifications.app.org.example.Mail.mute"),
            "For 1 hour");
}

}  // namespace
}  // namespace settings::panes::notifications
