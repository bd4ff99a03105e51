// What the window and the tree tell is what is stored: every section switch
// reports the stored value right after a start, before its pane was shown;
// the look has one reader, which the window and the panes share, and which
// follows a change whoever made it (a client, another pane, another writer
// of the settings file); a dropdown's choice goes through the same check as
// a client's, and a refused one is put back with a notice on the page.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "desktop_rules/default_apps.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/paths.h"
#include "stored/tests/stored_fixture.h"

namespace settings::settings_app {
namespace {

namespace fs = std::filesystem;
namespace w = kalu_ui::widget;
using testing::AppFixture;

std::string read_file(const fs::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Replaces the settings file as another program does: a new file renamed
// over it.
void replace_settings(std::string_view text) {
  const fs::path path = *prefs_store::settings_path();
  fs::create_directories(path.parent_path());
  const fs::path next = path.parent_path() / "settings.json.new";
  std::ofstream(next) << text;
  fs::rename(next, path);
}

// A configuration folder and application folders of their own, two text
// editors installed, and the theme the environment names.
struct World {
  explicit World(std::string_view configured_theme = "")
      : config(root.path() / "config"),
        data("XDG_DATA_HOME", (root.path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (root.path() / "none").string()),
        theme("KALU_UI_THEME", std::string(configured_theme)) {
    fs::create_directories(root.path() / "data" / "applications");
    for (std::string_view name : {"Writer", "Notes"}) {
      std::ofstream(root.path() / "data" / "applications" /
                    ("org.example." + std::string(name) + ".desktop"))
          << "[Desktop Entry]\nType=Application\nName=" << name << "\nExec=" << name
          << " %f\nMimeType=text/plain;\n";
    }
  }
  testing::TempDir root;
  prefs_store::ScopedConfigDir config;
  stored::testing::ScopedEnv data;
  stored::testing::ScopedEnv data_dirs;
  stored::testing::ScopedEnv theme;
};

struct App {
  App() { t.harness.frame(); }
  void open(std::string_view pane) {
    ASSERT_TRUE(t.invoke("settings.section:" + std::string(pane), "open")) << pane;
    t.harness.frames(2);
  }
  // The label of an action of a resource of the tree, as a client reads it.
  std::string label(std::string_view resource, std::string_view action) {
    auto found = t.app->resource_by_id(t.harness.document(), resource);
    if (!found) return "(no " + std::string(resource) + ")";
    const auto* spec = found->action(action);
    return spec != nullptr ? spec->label : "(no " + std::string(action) + ")";
  }
  w::Dropdown* dropdown(std::string_view id) {
    return dynamic_cast<w::Dropdown*>(t.harness.find(id));
  }
  w::Toggle* toggle(std::string_view id) { return dynamic_cast<w::Toggle*>(t.harness.find(id)); }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(t.harness.root(), out);
    return out;
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* text = dynamic_cast<const w::Text*>(&widget)) out.push_back(text->text());
    if (const auto* badge = dynamic_cast<const w::Badge*>(&widget)) out.push_back(badge->text());
    for (const kalu_ui::Widget* child : widget.children()) {
      if (child != nullptr) collect(*child, out);
    }
  }
  bool shows_text(std::string_view wanted) {
    for (const std::string& text : texts()) {
      if (text.find(wanted) != std::string::npos) return true;
    }
    return false;
  }
  const kalu_ui::Theme& drawn() { return t.harness.driver().theme(); }
  // Frames until `done`, each after a short sleep so a worker can notice
  // what changed; a bound only against a hang.
  bool frames_until(const std::function<bool()>& done) {
    for (int i = 0; i < 500 && !done(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      t.harness.frame();
    }
    return done();
  }

  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 1500.0})};
};

std::string flipped(const std::string& label) {
  if (label.starts_with("Turn on ")) return "Turn off " + label.substr(8);
  if (label.starts_with("Turn off ")) return "Turn on " + label.substr(9);
  return "(not a switch: " + label + ")";
}

TEST(StoredTruthTest, EverySectionSwitchTellsTheStoreBeforeItsPaneIsShown) {
  World world;
  replace_settings(R"({
    "appearance": {"high_contrast": true},
    "notifications": {"do_not_disturb": true, "show_banners": false, "focus": {"enabled": true},
                      "per_app": {"org.example.Mail": {"sounds": false, "priority": true}}},
    "text_assistance": {"check_spelling": false}
  })");
  prefs_store::DesktopControlsConfig controls = prefs_store::DesktopControlsConfig::load();
  controls.vim_mode = true;
  ASSERT_TRUE(controls.save());

  struct Case {
    std::string_view resource;
    std::string_view action;
    std::string_view label;
  };
  const Case cases[] = {
      {"settings.section:keyboard_shortcuts", "vim-mode", "Turn off Vim-style desktop navigation"},
      {"settings.section:mouse_keyboard", "spell-checking", "Turn on spell checking while typing"},
      {"settings.section:mouse_keyboard", "auto-correct", "Turn off automatic spelling correction"},
      {"settings.section:appearance", "high_contrast", "Turn off high contrast"},
      {"settings.section:appearance", "reduce_motion", "Turn on reduced motion"},
      {"settings.section:notifications", "dnd", "Turn off Do Not Disturb"},
      {"settings.section:notifications", "banners", "Turn on notification banners"},
      {"settings.section:notifications", "sounds", "Turn off notification sounds"},
      {"settings.section:notifications", "focus-enabled", "Turn off scheduled quiet hours"},
      // An application's switch: its own rule, else the global one.
      {"settings.notification-app:org.example.Mail", "sounds", "Turn on notification sounds"},
      {"settings.notification-app:org.example.Mail", "priority", "Turn off priority during focus"},
      {"settings.notification-app:org.example.Mail", "banners", "Turn on notification banners"},
      {"settings.notification-app:org.example.Mail", "badges", "Turn off notification badges"},
  };
  // A fresh start: Network is shown, no other pane was.
  App app;
  for (const Case& c : cases) {
    EXPECT_EQ(app.label(c.resource, c.action), c.label) << c.resource << " " << c.action;
  }
  // Each first invoke changes what is stored: the switch then tells the
  // other value.
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.resource) + " " + std::string(c.action));
    const std::string before = app.label(c.resource, c.action);
    ASSERT_TRUE(app.t.invoke(c.resource, c.action));
    EXPECT_EQ(app.label(c.resource, c.action), flipped(before));
  }
  // Appearance's switch follows the stored value whoever set it.
  ASSERT_TRUE(app.t.invoke("settings.section:accessibility", "high-contrast", R"({"value":true})"));
  EXPECT_EQ(app.label("settings.section:appearance", "high_contrast"), "Turn off high contrast");
}

// The environment's theme, when nothing names one, is the look everywhere:
// the window on any pane, Appearance's dropdown and "Active theme".
TEST(StoredTruthTest, TheLookHasOneReaderWhicheverPaneIsShown) {
  World world("Light");
  App app;
  EXPECT_EQ(app.drawn().name, "Light");
  app.open("appearance");
  EXPECT_EQ(app.drawn().name, "Light");
  ASSERT_NE(app.dropdown("appearance.theme"), nullptr);
  EXPECT_EQ(app.dropdown("appearance.theme")->selected(), "Light");
  EXPECT_TRUE(app.shows_text("Light"));
  EXPECT_FALSE(app.shows_text("Dark"));

  // Accessibility's comforts while Appearance is shown: drawn, and shown.
  ASSERT_TRUE(app.t.invoke("settings.section:accessibility", "high-contrast", R"({"value":true})"));
  ASSERT_TRUE(
      app.t.invoke("settings.section:accessibility", "text-size", R"({"choice":"Larger"})"));
  app.t.harness.frames(2);
  EXPECT_TRUE(app.drawn().is_high_contrast);
  EXPECT_FLOAT_EQ(app.drawn().text_scale, 1.3f);
  ASSERT_NE(app.toggle("appearance.high_contrast"), nullptr);
  EXPECT_TRUE(app.toggle("appearance.high_contrast")->value());
  EXPECT_EQ(app.dropdown("appearance.text_size")->selected(), "Larger");
  // The theme stays unnamed: it still follows the environment.
  EXPECT_EQ(read_file(*prefs_store::settings_path()).find("\"theme\""), std::string::npos);

  // And Appearance's changes while Accessibility is shown.
  app.open("accessibility");
  ASSERT_TRUE(app.t.invoke("settings.section:appearance", "high_contrast"));
  app.t.harness.frames(2);
  ASSERT_NE(app.toggle("a11y.high_contrast"), nullptr);
  EXPECT_FALSE(app.toggle("a11y.high_contrast")->value());
  EXPECT_FALSE(app.drawn().is_high_contrast);
}

// Another program replaces the settings file: the window and the pane shown
// follow it within a frame of noticing, with no input.
TEST(StoredTruthTest, AReplacedSettingsFileIsDrawnAndShown) {
  World world;
  App app;
  app.open("accessibility");
  EXPECT_EQ(app.drawn().name, "Dark");
  replace_settings(R"({"appearance": {"theme": "Nord", "high_contrast": true}})");
  EXPECT_TRUE(app.frames_until([&] { return app.drawn().is_high_contrast; }));
  EXPECT_TRUE(app.frames_until([&] {
    const auto* toggle = app.toggle("a11y.high_contrast");
    return toggle != nullptr && toggle->value();
  }));
  app.open("appearance");
  replace_settings(R"({"appearance": {"theme": "Light"}})");
  EXPECT_TRUE(app.frames_until([&] {
    const auto* dropdown = app.dropdown("appearance.theme");
    return app.drawn().name == "Light" && dropdown != nullptr && dropdown->selected() == "Light";
  }));
}

// The window's own edit: the dropdown shows labels ("Writer — id"), and its
// choice passes the published action's check, so mimeapps.list changes.
TEST(StoredTruthTest, AnAppsAndFilesDropdownChoiceChangesMimeappsList) {
  World world;
  App app;
  app.open("default-apps");
  w::Dropdown* dropdown = app.dropdown("personal-default.mime:text/plain");
  ASSERT_NE(dropdown, nullptr);
  const std::string before = dropdown->selected();
  const std::string other =
      before.starts_with("Writer") ? "org.example.Notes" : "org.example.Writer";
  const auto& options = dropdown->options();
  const auto at = std::ranges::find_if(
      options, [&](const std::string& option) { return option.ends_with(other); });
  ASSERT_NE(at, options.end());
  dropdown->choose(static_cast<std::size_t>(at - options.begin()));
  app.t.harness.frames(2);
  for (const auto& replayed : app.t.harness.take_replayed()) {
    EXPECT_EQ(replayed.fate, kalu_ui::host::ReplayedControl::Fate::Completed) << replayed.message;
  }
  const auto list = desktop_rules::PersonalDefaults::default_location();
  ASSERT_TRUE(list);
  EXPECT_NE(read_file(*list).find(other + ".desktop"), std::string::npos) << read_file(*list);
  EXPECT_TRUE(app.dropdown("personal-default.mime:text/plain")->selected().ends_with(other));
}

// A save that fails: the control goes back to the stored value in the next
// frames, and the page says why.
TEST(StoredTruthTest, ARefusedEditIsPutBackWithANotice) {
  World world;
  App app;
  app.open("appearance");
  ASSERT_EQ(app.dropdown("appearance.theme")->selected(), "Dark");
  // A folder where the settings file should be: nothing can be saved.
  const fs::path path = *prefs_store::settings_path();
  fs::remove(path);
  fs::create_directories(path);
  w::Dropdown* theme = app.dropdown("appearance.theme");
  const auto& options = theme->options();
  const auto nord = std::ranges::find(options, std::string("Nord"));
  ASSERT_NE(nord, options.end());
  theme->choose(static_cast<std::size_t>(nord - options.begin()));
  app.t.harness.frames(3);
  EXPECT_EQ(app.dropdown("appearance.theme")->selected(), "Dark");
  EXPECT_TRUE(app.shows_text("Not saved:"));
  EXPECT_EQ(app.drawn().name, "Dark");
}

}  // namespace
}  // namespace settings::settings_app
