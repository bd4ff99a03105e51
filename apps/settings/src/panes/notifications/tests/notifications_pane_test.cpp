// The Notifications pane in the headless harness with a settings folder of
// its own and an injected clock: the first sync shows the stored section
// over what an earlier visit left, a change kept by its set-setting is
// followed by the controls and the page, an edit no set-setting took goes
// back, the pane saves nothing, and the page's cards and bindings.

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
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/notifications/page.h"
#include "prefs_store/document.h"
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
  void store(const NotificationPrefs& prefs) const {
    ASSERT_TRUE(prefs_store::update_section("notifications", stored::write_section(prefs)));
  }
};

const std::vector<NotificationApp> kTwoApps = {{"org.example.Chat", "Chat"},
                                               {"org.example.Mail", "Mail"}};

// The pane is built with `prefs` and its first sync reads what is stored.
struct PaneHarness {
  explicit PaneHarness(NotificationPrefs prefs, std::vector<NotificationApp> apps = kTwoApps,
                       doc::Document document = {})
      : harness(std::make_unique<NotificationsPane>(
                    std::move(prefs), std::move(apps), [this] { return now; },
                    media_kit::notification_sound::SoundBackend::PipeWireRoute),
                std::move(document), kalu_ui::harness::Options::sized({720.0, 3000.0})),
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
  // A set-setting as the application's handler carries it out (a client's,
  // or a control's through the control replay).
  template <typename Value>
  void set(std::string key, Value value) {
    ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting(std::move(key), value),
                                       document(), &actions::store_setting));
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

TEST(NotificationsPaneTest, TheFirstSyncShowsTheStoredSectionOverAnEarlierVisit) {
  ConfigFolder config;
  NotificationPrefs prefs;
  prefs.show_banners = false;
  prefs.focus.start_minute = 1260;  // shows 20:00
  prefs.focus.weekdays = 127;       // shows Every day
  prefs.per_app["org.example.Mail"].previews = false;
  prefs.per_app["org.example.Mail"].priority = true;
  prefs.per_app["org.example.Mail"].muted_until = kT + 3600;
  config.store(prefs);
  const auto written = std::filesystem::last_write_time(config.settings_file());
  // What a visit before the section was saved left in the document.
  doc::Document document;
  for (const char* key : {"notifications.show_banners", "notifications.show_banners.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(true)));
  }
  ASSERT_TRUE(document.put(doc::kRoot, "notifications.focus.days.edit",
                           doc::Scalar(std::string("Weekends"))));
  PaneHarness h(NotificationPrefs{}, kTwoApps, std::move(document));
  EXPECT_EQ(h.pane.prefs(), prefs);
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
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.banners.edit"), false);
  EXPECT_EQ(h.flag("notifications.app.org.example.Chat.previews"), true);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.priority"), true);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.priority.edit"), true);
  EXPECT_EQ(h.text("notifications.app.org.example.Mail.mute"), "For 1 hour");
  EXPECT_EQ(h.text("notifications.app.org.example.Chat.mute.edit"), "Not muted");
  h.harness.frames(3);
  EXPECT_EQ(std::filesystem::last_write_time(config.settings_file()), written);
  // What was shown stands for the stored values, which stay as they were.
  EXPECT_EQ(h.pane.prefs().focus.start_minute, 1260);
  EXPECT_EQ(h.pane.prefs().focus.weekdays, 127);
  EXPECT_THAT(h.texts(), Contains("Banners off"));  // the page built anew
  EXPECT_EQ(h.pane.short_type_name(), "NotificationsPane");
}

// Changes kept by their set-settings (a client's, or a control's through
// the control replay) while the page is shown: the controls and the page
// follow, and an application's override outlives the global switch.
TEST(NotificationsPaneTest, AChangeKeptByItsSetSettingIsFollowed) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  EXPECT_THAT(h.texts(), Contains("Active"));
  h.set("notifications.do_not_disturb", true);
  h.set("notifications.app.org.example.Chat.banners", false);
  h.set("notifications.focus.start", "07:00");
  h.harness.frames(2);
  EXPECT_TRUE(h.pane.prefs().do_not_disturb);
  EXPECT_EQ(h.flag("notifications.do_not_disturb.edit"), true);
  EXPECT_EQ(h.flag("notifications.app.org.example.Chat.banners.edit"), false);
  EXPECT_EQ(h.text("notifications.focus.start.edit"), "07:00");
  EXPECT_EQ(dynamic_cast<w::Dropdown*>(h.harness.find("notifications.focus.start"))->selected(),
            "07:00");
  const auto texts = h.texts();
  EXPECT_THAT(texts, Contains("Silenced"));
  EXPECT_THAT(texts, Contains("Notifications go to history without a banner."));

  h.set("notifications.show_banners", false);
  h.set("notifications.show_banners", true);
  h.harness.frame();
  const NotificationPrefs stored = config.stored();
  EXPECT_TRUE(stored.show_banners);
  EXPECT_EQ(stored.per_app.at("org.example.Chat").banners, false);
  EXPECT_EQ(stored.per_app.count("org.example.Mail"), 0u);
  EXPECT_EQ(h.flag("notifications.app.org.example.Chat.banners"), false);
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.banners"), true);
}

// An edit no set-setting took (its save failed, or it named no value) goes
// back to the stored value; the pane writes no file.
TEST(NotificationsPaneTest, AnEditNoSetSettingTookGoesBack) {
  ConfigFolder config;
  PaneHarness h(NotificationPrefs{});
  h.put("notifications.do_not_disturb.edit", true);
  h.put_text("notifications.focus.start.edit", "25:00");
  h.put("notifications.app.org.example.Mail.priority.edit", true);
  h.harness.frame();
  EXPECT_EQ(h.flag("notifications.do_not_disturb.edit"), false);
  EXPECT_EQ(h.text("notifications.focus.start.edit"), "22:00");
  EXPECT_EQ(h.flag("notifications.app.org.example.Mail.priority.edit"), false);
  EXPECT_EQ(h.pane.prefs(), NotificationPrefs{});
  EXPECT_FALSE(config.saved());
}

TEST(NotificationsPaneTest, TheSaveKeepsTheOtherSectionsAndKeys) {
  ConfigFolder config;
  std::filesystem::create_directories(config.settings_file().parent_path());
  std::ofstream(config.settings_file())
      << R"({"mine": [1, 2], "audio": {"balance": 0.25}, "notifications": {"show_badges": false}})";
  PaneHarness h(stored::SettingsPrefs::load().notifications);
  h.set("notifications.do_not_disturb", true);
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
  config.store(prefs);
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
  auto* mute =
      dynamic_cast<w::Dropdown*>(h.harness.find("notifications.app.org.example.Mail.mute"));
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
