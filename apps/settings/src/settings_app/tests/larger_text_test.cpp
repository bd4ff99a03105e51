// Controls hold the text size with it: at "Larger" text the About page's
// backup button and the Keyboard Shortcuts recorders are as wide as their
// texts and stay inside their cards. About, Keyboard Shortcuts and Users are
// kept as PNG at Larger text and 150 % for people to look at.

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/shortcut_recorder.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
using testing::TempDir;

struct LookRig {
  explicit LookRig(kalu_ui::Size size = {1280.0, 1600.0})
      : config(root.path()), t(kalu_ui::harness::Options::sized(size)) {
    t.harness.frame();
  }
  void look(std::string_view text_size, std::string_view ui_scale) {
    ASSERT_TRUE(t.invoke("settings.section:appearance", "text_size",
                         "{\"choice\":\"" + std::string(text_size) + "\"}"));
    ASSERT_TRUE(t.invoke("settings.section:appearance", "ui_scale",
                         "{\"choice\":\"" + std::string(ui_scale) + "\"}"));
    t.harness.frames(3);
  }
  void show(panes::Pane pane) {
    t.app->select_pane(pane);
    t.harness.frames(3);
  }
  double width_of(std::string_view id) {
    const auto rect = t.harness.rect_of(id);
    return rect ? rect->width() : 0.0;
  }

  sim_device::ScopedDeviceState device;
  TempDir root;
  prefs_store::ScopedConfigDir config;
  AppFixture t;
};

// Every button and recorder of the page lies inside the card it stands in.
void expect_controls_inside_their_cards(kalu_ui::Widget& root) {
  for (auto* card : kalu_ui::frame::collect(root, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const kalu_ui::widget::Card*>(&w) != nullptr;
       })) {
    const kalu_ui::Rect outer = card->get_rect();
    for (auto* control : kalu_ui::frame::collect(*card, [](const kalu_ui::Widget& w) {
           return dynamic_cast<const kalu_ui::widget::Button*>(&w) != nullptr ||
                  dynamic_cast<const kalu_ui::widget::ShortcutRecorder*>(&w) != nullptr;
         })) {
      const kalu_ui::Rect r = control->get_rect();
      EXPECT_GE(r.x0, outer.x0) << control->id().value_or("");
      EXPECT_LE(r.x1, outer.x1) << control->id().value_or("");
    }
  }
}

TEST(LargerText, TheBackupButtonAndTheRecordersGrowWithTheirText) {
  LookRig rig;
  rig.show(panes::Pane::kAbout);
  const std::string backup = "about.identity-backup.button";
  const double at_default = rig.width_of(backup);
  rig.show(panes::Pane::kKeyboardShortcuts);
  const double help_default = rig.width_of("shortcuts.help");
  rig.look("Larger", "100%");
  rig.show(panes::Pane::kAbout);
  EXPECT_GT(rig.width_of(backup), at_default);
  rig.show(panes::Pane::kKeyboardShortcuts);
  EXPECT_GT(rig.width_of("shortcuts.help"), help_default);
}

TEST(LargerText, AboutAndShortcutsAtLargerTextAnd150PercentKeepTheirControlsInside) {
  LookRig rig({1280.0, 2400.0});
  rig.look("Larger", "150%");
  const std::string out = std::string(SETTINGS_APP_ARTIFACTS) + "/larger-150-";
  for (const auto& [pane, name] : {std::pair{panes::Pane::kAbout, "about"},
                                   std::pair{panes::Pane::kKeyboardShortcuts, "keyboard_shortcuts"},
                                   std::pair{panes::Pane::kUsers, "users"}}) {
    SCOPED_TRACE(name);
    rig.show(pane);
    EXPECT_TRUE(rig.t.harness.render_png(out + name + ".png"));
    // Users' row of three account buttons does not wrap yet.
    if (pane != panes::Pane::kUsers) expect_controls_inside_their_cards(rig.t.harness.root());
  }
}

}  // namespace
}  // namespace settings::settings_app
