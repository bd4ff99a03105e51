// The Appearance and Accessibility panes in the application frame, kept as
// PNG for people to look at: Appearance as stored and with high contrast
// on; Accessibility on a device with a speech engine and the on-screen
// keyboard (a fixture PATH and application entry), and with neither.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app_fixture.h"
#include "kalu_ui/widget/text.h"
#include "panes/accessibility/accessibility_pane.h"
#include "panes/appearance/appearance_pane.h"
#include "prefs_store/paths.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"

namespace settings::settings_app {
namespace {

namespace fs = std::filesystem;
using testing::AppFixture;

using enum panes::Pane;

struct InTheWindow {
  InTheWindow()
      : config(t_root.path() / "config"),
        path("PATH", (t_root.path() / "bin").string()),
        data("XDG_DATA_HOME", (t_root.path() / "data").string()),
        data_dirs("XDG_DATA_DIRS", (t_root.path() / "none").string()),
        t(kalu_ui::harness::Options::sized({1280.0, 1500.0})) {}

  kalu_ui::Widget& open(panes::Pane pane) {
    t.harness.frame();
    t.app->select_pane(pane);
    t.harness.frames(2);
    return *t.pane_widget();
  }
  void write(const fs::path& file, const std::string& text) const {
    fs::create_directories((t_root.path() / file).parent_path());
    std::ofstream(t_root.path() / file) << text;
  }
  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(*t.pane_widget(), out);
    return out;
  }
  bool shows(std::string_view text) {
    const auto all = texts();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(&widget)) {
      out.push_back(text->text());
    }
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  testing::TempDir t_root;
  prefs_store::ScopedConfigDir config;
  stored::testing::ScopedEnv path;
  stored::testing::ScopedEnv data;
  stored::testing::ScopedEnv data_dirs;
  AppFixture t;
};

void store_appearance(bool high_contrast) {
  stored::SettingsPrefs prefs;
  prefs.appearance.theme = "Nord";
  prefs.appearance.text_scale = 1.075;
  prefs.appearance.ui_scale = 1.25;
  prefs.appearance.high_contrast = high_contrast;
  ASSERT_TRUE(prefs.save());
}

TEST(PreferencePagesTest, AppearanceAsStoredAndWithHighContrast) {
  for (bool high_contrast : {false, true}) {
    SCOPED_TRACE(high_contrast);
    InTheWindow w;
    store_appearance(high_contrast);
    auto* pane = dynamic_cast<panes::appearance::AppearancePane*>(&w.open(kAppearance));
    ASSERT_NE(pane, nullptr);
    EXPECT_EQ(pane->prefs().theme, "Nord");
    EXPECT_TRUE(w.shows(high_contrast ? kalu_ui::Theme::high_contrast().name : "Nord"));
    EXPECT_TRUE(w.shows("108%"));
    EXPECT_TRUE(w.shows("125%"));
    EXPECT_TRUE(w.png(high_contrast ? "appearance_high_contrast.png" : "appearance.png"));
  }
}

TEST(PreferencePagesTest, AccessibilityWithAndWithoutTheDevicesHelpers) {
  {
    InTheWindow w;
    w.write("bin/espeak-ng", "");
    w.write("data/applications/kalu.osk.desktop",
            "[Desktop Entry]\nType=Application\nName=Keyboard\nExec=osk\nX-Kalu-Kind=service\n");
    ASSERT_NE(dynamic_cast<panes::accessibility::AccessibilityPane*>(&w.open(kAccessibility)),
              nullptr);
    EXPECT_TRUE(w.shows("eSpeak NG"));
    EXPECT_NE(w.t.harness.find("a11y.on_screen_keyboard"), nullptr);
    EXPECT_NE(w.t.harness.find("a11y.reader_voice"), nullptr);
    EXPECT_TRUE(w.png("accessibility.png"));
  }
  InTheWindow w;
  w.open(kAccessibility);
  EXPECT_TRUE(w.shows(panes::accessibility::kNoSpeechEngine));
  EXPECT_TRUE(w.shows(panes::accessibility::kNoKeyboard));
  EXPECT_EQ(w.t.harness.find("a11y.reader_rate"), nullptr);
  EXPECT_TRUE(w.png("accessibility_bare.png"));
}

}  // namespace
}  // namespace settings::settings_app
