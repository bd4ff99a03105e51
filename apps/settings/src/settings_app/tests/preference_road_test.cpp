// One road for a preference, in the application frame: a setting a client
// makes while another pane is shown is what its pane shows when opened (for
// every preference pane, each visited before so that the document holds
// what it showed then), and the look the window draws with: the stored one
// from the first frame, every change to it from the frame after (whoever
// made it, Accessibility's vision comforts included), a new UI scale
// building the shell anew.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "app_fixture.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "prefs_store/paths.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"

namespace settings::settings_app {
namespace {

namespace fs = std::filesystem;
namespace w = kalu_ui::widget;
using testing::AppFixture;

// The application with a configuration folder of its own and application
// folders holding two text editors.
struct Road {
  Road()
      : config(root.path() / "config"),
        data("XDG_DATA_HOME", (root.path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (root.path() / "none").string()),
        theme("KALU_UI_THEME", "") {
    fs::create_directories(root.path() / "data" / "applications");
    for (std::string_view name : {"Writer", "Notes"}) {
      std::ofstream(root.path() / "data" / "applications" /
                    ("org.example." + std::string(name) + ".desktop"))
          << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << name
          << " %f\nMimeType=text/plain;\n";
    }
  }
  void open(std::string_view pane) {
    ASSERT_TRUE(t.invoke("settings.section:" + std::string(pane), "open")) << pane;
    t.harness.frames(2);
  }
  std::string selected(std::string_view id) {
    auto* dropdown = dynamic_cast<w::Dropdown*>(t.harness.find(id));
    return dropdown != nullptr ? dropdown->selected() : "(no " + std::string(id) + ")";
  }
  std::optional<bool> on(std::string_view id) {
    auto* toggle = dynamic_cast<w::Toggle*>(t.harness.find(id));
    return toggle != nullptr ? std::optional(toggle->value()) : std::nullopt;
  }
  const kalu_ui::Theme& theme_drawn() { return t.harness.driver().theme(); }

  testing::TempDir root;
  prefs_store::ScopedConfigDir config;
  stored::testing::ScopedEnv data;
  stored::testing::ScopedEnv data_dirs;
  stored::testing::ScopedEnv theme;
  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 1500.0})};
};

TEST(PreferenceRoadTest, ASettingMadeWhileAnotherPaneIsShownIsWhatItsPaneShows) {
  struct Case {
    std::string_view pane;
    std::string_view action;
    std::string_view arguments;
    std::function<bool(Road&)> shows;
  };
  const Case cases[] = {
      {"appearance", "theme", R"({"choice":"Light"})",
       [](Road& r) { return r.selected("appearance.theme") == "Light"; }},
      {"region_formats", "currency", R"({"choice":"EUR"})",
       [](Road& r) { return r.selected("region.currency") == "EUR"; }},
      {"notifications", "focus-days", R"({"choice":"Weekends"})",
       [](Road& r) { return r.selected("notifications.focus.days") == "Weekends"; }},
      {"keyboard_shortcuts", "vim-mode", "{}",
       [](Road& r) { return r.on("shortcuts.vim_mode") == true; }},
      {"mouse_keyboard", "spell-checking", "{}",
       [](Road& r) { return r.on("text.check_spelling") == false; }},
      {"accessibility", "high-contrast", R"({"value":true})",
       [](Road& r) { return r.on("a11y.high_contrast") == true; }},
  };
  Road r;
  r.t.harness.frame();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pane);
    r.open(c.pane);
    r.open("about");
    const auto invoked =
        r.t.invoke("settings.section:" + std::string(c.pane), c.action, c.arguments);
    ASSERT_TRUE(invoked) << invoked.error().message;
    EXPECT_TRUE(
        std::holds_alternative<kalu_ui::DeviceLocalOutcome::Completed>(invoked->outcome.value));
    r.t.harness.frame();
    r.open(c.pane);
    EXPECT_TRUE(c.shows(r));
  }
  // Apps & Files: by display name, shown by its label.
  r.open("default-apps");
  r.open("about");
  ASSERT_TRUE(
      r.t.invoke("settings.default-app:mime:text/plain", "set-handler", R"({"choice":"Notes"})"));
  r.open("default-apps");
  EXPECT_EQ(r.selected("personal-default.mime:text/plain"), "Notes \u2014 org.example.Notes");
}

TEST(PreferenceRoadTest, TheWindowDrawsTheStoredLookAndEveryChangeToIt) {
  Road r;
  {
    stored::SettingsPrefs prefs;
    prefs.appearance.theme = "Nord";
    prefs.appearance.reduce_motion = true;
    ASSERT_TRUE(prefs.save());
  }
  r.t.harness.frame();
  EXPECT_EQ(r.theme_drawn().name, "Nord");
  EXPECT_TRUE(r.theme_drawn().reduce_motion);

  // A client, while Network is shown.
  ASSERT_TRUE(r.t.invoke("settings.section:appearance", "theme", R"({"choice":"Light"})"));
  r.t.harness.frame();
  EXPECT_EQ(r.theme_drawn().name, "Light");
  ASSERT_TRUE(r.t.invoke("settings.section:appearance", "high_contrast"));
  r.t.harness.frame();
  EXPECT_TRUE(r.theme_drawn().is_high_contrast);

  // Accessibility's comforts are the look's too.
  r.open("accessibility");
  ASSERT_TRUE(r.t.invoke("settings.section:accessibility", "text-size", R"({"choice":"Larger"})"));
  r.t.harness.frame();
  EXPECT_FLOAT_EQ(r.theme_drawn().text_scale, 1.3f);

  // A new UI scale builds the shell, and with it the page, anew.
  r.open("appearance");
  const int built = (*r.t.counts)[panes::Pane::kAppearance];
  ASSERT_TRUE(r.t.invoke("settings.section:appearance", "ui_scale", R"({"choice":"125%"})"));
  r.t.harness.frames(2);
  EXPECT_FLOAT_EQ(r.theme_drawn().ui_scale, 1.25f);
  EXPECT_DOUBLE_EQ(r.t.harness.driver().scale(), 1.25);
  EXPECT_EQ((*r.t.counts)[panes::Pane::kAppearance], built + 1);
  // What the Appearance pane shows is what the window draws.
  EXPECT_EQ(r.selected("appearance.theme"), "Light");
  EXPECT_TRUE(r.theme_drawn().is_high_contrast);

  // What is stored is what the next start draws.
  AppFixture restarted;
  restarted.harness.frame();
  EXPECT_TRUE(restarted.harness.driver().theme().is_high_contrast);
  EXPECT_FLOAT_EQ(restarted.harness.driver().theme().ui_scale, 1.25f);
  EXPECT_FLOAT_EQ(restarted.harness.driver().theme().text_scale, 1.3f);
}

}  // namespace
}  // namespace settings::settings_app
