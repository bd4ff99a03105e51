// The Keyboard Shortcuts pane in the application frame, kept as PNG for
// people to look at; a chord set through the section's action, as a client
// invokes it, reaches the shortcut file and the recorder.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/widget/shortcut_recorder.h"
#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"
#include "prefs_store/paths.h"
#include "prefs_store/shortcuts.h"

namespace settings::settings_app {
namespace {

using panes::keyboard_shortcuts::ShortcutPane;
using testing::AppFixture;
using testing::TempDir;

using enum panes::Pane;

TEST(KeyboardShortcutsPageTest, ShowsTheChordsAndSavesAnActionsChord) {
  TempDir root;
  prefs_store::ScopedConfigDir config(root.path());
  AppFixture t;
  t.harness.frame();
  t.app->select_pane(kKeyboardShortcuts);
  t.harness.frames(2);
  auto* pane = dynamic_cast<ShortcutPane*>(t.pane_widget());
  ASSERT_NE(pane, nullptr);
  auto* search =
      dynamic_cast<kalu_ui::widget::ShortcutRecorder*>(t.harness.find("shortcuts.search"));
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->chord(), "Super+Space");
  EXPECT_TRUE(
      t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/keyboard_shortcuts.png"));

  ASSERT_TRUE(t.invoke("settings.section:keyboard_shortcuts", "search", R"({"choice":"Super+K"})"));
  t.harness.frames(2);
  const auto chord =
      prefs_store::ShortcutConfig::load().chord(prefs_store::ShortcutAction::OpenSearch);
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->display(), "Super+K");
  EXPECT_EQ(search->chord(), "Super+K");
}

}  // namespace
}  // namespace settings::settings_app
