// The Notifications and Apps & Files panes in the application frame over
// fixture application folders, a settings file and a mimeapps.list, kept as
// PNG for people to look at: each with applications and with none.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "app_fixture.h"
#include "identity/testing.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "lib/time.h"
#include "panes/notifications/notifications_pane.h"
#include "panes/notifications/page.h"
#include "panes/personal_apps/page.h"
#include "panes/personal_apps/personal_apps_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/settings_prefs.h"

namespace settings::settings_app {
namespace {

using panes::notifications::NotificationsPane;
using panes::personal_apps::PersonalAppsPane;
using testing::AppFixture;
using ::testing::Contains;

using enum panes::Pane;

// The window over folders of its own: configuration, the person's
// applications, and empty system data and configuration folders (none of
// this machine's applications or defaults join in).
struct PaneInTheWindow {
  explicit PaneInTheWindow(kalu_ui::Size size)
      : config(t_root.path() / "config"),
        data_home("XDG_DATA_HOME", (t_root.path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (t_root.path() / "system").string()),
        config_dirs("XDG_CONFIG_DIRS", (t_root.path() / "system-config").string()),
        t(kalu_ui::harness::Options::sized(size)) {
    std::filesystem::create_directories(t_root.path() / "data" / "applications");
    std::filesystem::create_directories(t_root.path() / "config");
  }

  void app(std::string_view id, std::string_view name, std::string_view types = "") {
    std::ofstream(t_root.path() / "data" / "applications" / (std::string(id) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << name
        << " %f\nMimeType=" << types << "\n";
  }
  template <typename Pane>
  Pane& open(panes::Pane index) {
    t.harness.frame();
    t.app->select_pane(index);
    t.harness.frames(2);
    auto* pane = dynamic_cast<Pane*>(t.pane_widget());
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
  identity_testing::ScopedEnv config_dirs;
  sim_device::ScopedDeviceState device;
  AppFixture t;
};

TEST(NotificationsAppsPageTest, NotificationsOneAppMutedOneWithoutBanners) {
  PaneInTheWindow w({1280.0, 2400.0});  // the whole page, unscrolled
  w.app("org.example.Mail", "Mail");
  w.app("org.example.Chat", "Chat");
  stored::SettingsPrefs prefs;
  prefs.notifications.focus.enabled = true;
  prefs.notifications.per_app["org.example.Mail"].muted_until =
      static_cast<std::int64_t>(lib::unix_now_secs()) + 5 * 3600;
  prefs.notifications.per_app["org.example.Chat"].banners = false;
  ASSERT_TRUE(prefs.save());
  auto& pane = w.open<NotificationsPane>(kNotifications);
  ASSERT_EQ(pane.apps().size(), 2u);
  EXPECT_EQ(pane.apps()[0].name, "Chat");
  const auto texts = w.texts();
  EXPECT_THAT(texts, Contains("Notifications go to history without a banner."));
  EXPECT_THAT(texts, Contains("Available through the session sound theme"));
  EXPECT_EQ(actions::read_doc_text(w.t.harness.document(), kalu_ui::doc::kRoot,
                                   "notifications.app.org.example.Mail.mute"),
            "For 8 hours");
  EXPECT_TRUE(w.png("notifications.png"));
}

TEST(NotificationsAppsPageTest, NotificationsWithoutApplications) {
  PaneInTheWindow w({1280.0, 1500.0});
  auto& pane = w.open<NotificationsPane>(kNotifications);
  EXPECT_TRUE(pane.apps().empty());
  EXPECT_THAT(w.texts(), Contains(std::string(panes::notifications::kNoAppsCaption)));
  EXPECT_TRUE(w.png("notifications_empty.png"));
}

TEST(NotificationsAppsPageTest, AppsAndFilesWithTwoEditorsAndABrowser) {
  PaneInTheWindow w({1280.0, 800.0});
  w.app("org.example.Writer", "Writer", "text/plain;text/markdown;");
  w.app("org.example.Notes", "Notes", "text/plain;");
  w.app("org.example.Browser", "Browser", "text/html;x-scheme-handler/https;");
  std::ofstream(w.t_root.path() / "config" / "mimeapps.list")
      << "[Default Applications]\ntext/plain=org.example.Notes.desktop\n";
  auto& pane = w.open<PersonalAppsPane>(kAppsFiles);
  EXPECT_EQ(pane.candidates().size(), 3u);
  auto* text = dynamic_cast<kalu_ui::widget::Dropdown*>(
      w.t.harness.find("personal-default.mime:text/plain"));
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->selected(), "Notes \u2014 org.example.Notes");
  EXPECT_TRUE(w.png("apps_files.png"));
}

TEST(NotificationsAppsPageTest, AppsAndFilesWithoutApplications) {
  PaneInTheWindow w({1280.0, 800.0});
  auto& pane = w.open<PersonalAppsPane>(kAppsFiles);
  EXPECT_TRUE(pane.kinds().empty());
  EXPECT_THAT(w.texts(), Contains(std::string(panes::personal_apps::kNoKindsCaption)));
  EXPECT_TRUE(w.png("apps_files_empty.png"));
}

}  // namespace
}  // namespace settings::settings_app
