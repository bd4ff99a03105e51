// The Notifications pane in the application frame over fixture application
// folders and a settings file, kept as PNG for people to look at: with
// applications (one muted, one with banners off) and with none.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "app_fixture.h"
#include "identity/testing.h"
#include "kalu_ui/widget/text.h"
#include "lib/time.h"
#include "panes/notifications/notifications_pane.h"
#include "panes/notifications/page.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/settings_prefs.h"

namespace settings::settings_app {
namespace {

using panes::notifications::NotificationsPane;
using testing::AppFixture;

constexpr panes::PaneIndex kNotifications = 13;

struct NotificationsInTheWindow {
  // Tall enough to show the whole page without scrolling.
  explicit NotificationsInTheWindow(kalu_ui::Size size = {1280.0, 2800.0})
      : config(t_root.path() / "config"),
        data_home("XDG_DATA_HOME", (t_root.path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (t_root.path() / "system").string()),
        t(kalu_ui::harness::Options::sized(size)) {
    std::filesystem::create_directories(t_root.path() / "data" / "applications");
  }

  void app(std::string_view desktop_id, std::string_view name) {
    std::ofstream(t_root.path() / "data" / "applications" / desktop_id)
        << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << name << "\n";
  }
  NotificationsPane& open() {
    t.harness.frame();
    t.app->select_pane(kNotifications);
    t.harness.frames(2);
    auto* pane = dynamic_cast<NotificationsPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    return *pane;
  }
  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(*t.pane_widget(), out);
    return out;
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(&widget)) {
      out.push_back(text->text());
    }
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  testing::TempDir t_root;
  prefs_store::ScopedConfigDir config;
  identity_testing::ScopedEnv data_home;
  identity_testing::ScopedEnv data_dirs;
  sim_device::ScopedDeviceState device;
  AppFixture t;
};

TEST(NotificationsPageTest, FixtureApplicationsOneMutedOneWithoutBanners) {
  NotificationsInTheWindow w;
  w.app("org.example.Mail.desktop", "Mail");
  w.app("org.example.Chat.desktop", "Chat");
  stored::SettingsPrefs prefs;
  prefs.notifications.focus.enabled = true;
  auto& mail = prefs.notifications.per_app["org.example.Mail"];
  mail.muted_until = static_cast<std::int64_t>(lib::unix_now_secs()) + 5 * 3600;
  prefs.notifications.per_app["org.example.Chat"].banners = false;
  ASSERT_TRUE(prefs.save());
  NotificationsPane& pane = w.open();
  ASSERT_EQ(pane.apps().size(), 2u);
  EXPECT_EQ(pane.apps()[0].name, "Chat");
  const auto texts = w.texts();
  EXPECT_THAT(texts, ::testing::Contains("Notifications go to history without a banner."));
  EXPECT_THAT(texts, ::testing::Contains("Available through the session sound theme"));
  EXPECT_EQ(actions::read_doc_text(w.t.harness.document(), kalu_ui::doc::kRoot,
                                  "notifications.app.org.example.Mail.mute"),
            "For 8 hours");
  EXPECT_TRUE(w.png("notifications.png"));
}

TEST(NotificationsPageTest, NoApplications) {
  NotificationsInTheWindow w({1280.0, 1500.0});
  NotificationsPane& pane = w.open();
  EXPECT_TRUE(pane.apps().empty());
  EXPECT_THAT(w.texts(),
              ::testing::Contains(std::string(panes::notifications::kNoAppsCaption)));
  EXPECT_TRUE(w.png("notifications_empty.png"));
}

}  // namespace
}  // namespace settings::settings_app
