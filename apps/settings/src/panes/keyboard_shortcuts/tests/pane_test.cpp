// The Keyboard Shortcuts pane in the headless harness, with a configuration
// folder of its own: seeding, a recording (set, saved, dispatched), an
// action's value (set, saved, shown by the recorder, still there two syncs
// later), the failures that leave everything as it was (a chord that does
// not parse, one another shortcut holds, a file that cannot be written) and
// the Vim switch both ways.

#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "actions/doc_readers.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/shortcut_recorder.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/keyboard_shortcuts/page.h"
#include "panes/shortcut_keys.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace settings::panes::keyboard_shortcuts {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
namespace fs = std::filesystem;
using prefs_store::ShortcutAction;
using prefs_store::ShortcutConfig;

class ConfigFolder {
 public:
  ConfigFolder() {
    char pattern[] = "/tmp/shortcut_pane_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) dir_ = made;
    scope_.emplace(dir_);
  }
  ~ConfigFolder() {
    scope_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  fs::path shortcuts() const { return *ShortcutConfig::path(); }
  fs::path controls() const { return *prefs_store::DesktopControlsConfig::path(); }
  void write_shortcuts(std::string_view text) const {
    fs::create_directories(shortcuts().parent_path());
    std::ofstream(shortcuts()) << text;
  }
  // A folder in the file's place: it cannot be read or replaced.
  void block(const fs::path& file) const { fs::create_directories(file); }
  std::optional<std::string> stored_chord(std::string_view member) const {
    auto document = prefs_store::load_at(shortcuts());
    if (!document || !document->contains("shortcuts")) return std::nullopt;
    const auto& value = (*document)["shortcuts"][std::string(member)];
    return value.is_string() ? std::optional(value.get<std::string>()) : std::nullopt;
  }

 private:
  fs::path dir_;
  std::optional<prefs_store::ScopedConfigDir> scope_;
};

struct PaneRig {
  explicit PaneRig(ShortcutConfig config = ShortcutConfig::load(),
                   bool vim = prefs_store::DesktopControlsConfig::load().vim_mode)
      : harness(std::make_unique<ShortcutPane>(std::move(config), vim),
                kalu_ui::harness::Options::sized({900.0, 1400.0})),
        pane(dynamic_cast<ShortcutPane&>(harness.root())) {
    harness.frame();
  }
  std::optional<std::string> text(std::string_view key) {
    return actions::read_doc_text(harness.document(), doc::kRoot, key);
  }
  std::optional<bool> flag(std::string_view key) {
    return actions::read_doc_bool(harness.document(), doc::kRoot, key);
  }
  void set(std::string_view key, std::string_view text) {
    ASSERT_TRUE(harness.document().put(doc::kRoot, key, doc::Scalar(std::string(text))));
    harness.frame();
  }
  void set_flag(std::string_view key, bool value) {
    ASSERT_TRUE(harness.document().put(doc::kRoot, key, doc::Scalar(value)));
    harness.frame();
  }
  std::string chord(ShortcutAction action) {
    auto found = pane.shortcuts().chord(action);
    return found ? found->display() : "";
  }

  kalu_ui::harness::Harness harness;
  ShortcutPane& pane;
};

TEST(ShortcutPaneTest, SeedsEveryShortcutAndBuildsTwoCards) {
  ConfigFolder folder;
  folder.write_shortcuts(R"({"shortcuts": {"lock_screen": null, "open_search": "Super+K"}})");
  PaneRig rig;
  EXPECT_EQ(rig.text("shortcuts.search"), "Super+K");
  EXPECT_EQ(rig.text("shortcuts.search.edit"), "Super+K");
  EXPECT_EQ(rig.text("shortcuts.lock"), "");
  EXPECT_EQ(rig.text("shortcuts.lock.edit"), "");
  EXPECT_EQ(rig.text("shortcuts.resize_wider"), "Super+Equal");
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), false);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_EQ(rig.pane.applied(19), "Super+Minus");

  auto* search = dynamic_cast<w::ShortcutRecorder*>(rig.harness.find("shortcuts.search"));
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->chord(), "Super+K");
  EXPECT_EQ(search->default_chord(), "Super+Space");
  auto* vim = dynamic_cast<w::Toggle*>(rig.harness.find("shortcuts.vim_mode"));
  ASSERT_NE(vim, nullptr);
  ASSERT_TRUE(vim->binding());
  EXPECT_EQ(vim->binding()->action, "vim-mode");
  // System above navigation, the Vim switch first of navigation.
  const auto help = rig.harness.rect_of("shortcuts.help");
  const auto toggle = rig.harness.rect_of("shortcuts.vim_mode");
  const auto window = rig.harness.rect_of("shortcuts.focus_previous_window");
  ASSERT_TRUE(help && toggle && window);
  EXPECT_LT(help->y0, toggle->y0);
  EXPECT_LT(toggle->y0, window->y0);
  // Seeding saved nothing.
  EXPECT_FALSE(fs::exists(folder.controls()));
}

TEST(ShortcutPaneTest, ARecordingForAShortcutWithoutAChordIsSetSavedAndDispatched) {
  ConfigFolder folder;
  folder.write_shortcuts(R"({"shortcuts": {"lock_screen": null}})");
  PaneRig rig;
  // The recorder's spelling.
  rig.set("shortcuts.lock.edit", "Alt+Super+l");
  EXPECT_EQ(rig.chord(ShortcutAction::LockScreen), "Super+Alt+L");
  EXPECT_EQ(folder.stored_chord("lock_screen"), "Super+Alt+L");
  EXPECT_EQ(rig.text("shortcuts.lock"), "Alt+Super+l");
  EXPECT_EQ(rig.pane.applied(2), "Alt+Super+l");
  EXPECT_EQ(rig.flag("shortcuts.lock.error"), false);
  // Settled: nothing more happens.
  fs::remove(folder.shortcuts());
  rig.harness.frames(2);
  EXPECT_FALSE(fs::exists(folder.shortcuts()));
}

TEST(ShortcutPaneTest, RecordingTheAppliedChordDoesNothing) {
  ConfigFolder folder;
  PaneRig rig;
  rig.set("shortcuts.overview.edit", "Super+Tab");
  EXPECT_FALSE(fs::exists(folder.shortcuts()));
  EXPECT_EQ(rig.flag("shortcuts.overview.error"), std::nullopt);
}

TEST(ShortcutPaneTest, AnActionsChangeStaysAfterTwoSyncs) {
  ConfigFolder folder;
  PaneRig rig;
  rig.set("shortcuts.search", "Super+K");
  rig.harness.frames(2);
  EXPECT_EQ(rig.text("shortcuts.search"), "Super+K");
  EXPECT_EQ(rig.text("shortcuts.search.edit"), "Super+K");
  EXPECT_EQ(rig.flag("shortcuts.search.error"), false);
  EXPECT_EQ(rig.chord(ShortcutAction::OpenSearch), "Super+K");
  EXPECT_EQ(folder.stored_chord("open_search"), "Super+K");
}

TEST(ShortcutPaneTest, FailedChangesLeaveEverythingAsItWas) {
  const struct {
    std::string_view name;
    std::string_view key;    // what changes: the id key (an action) or the edit key
    std::string_view value;  // the new text
    std::string_view id;
    std::string_view before;  // the chord text before, under id and edit key
    bool block_file;
  } cases[] = {
      {"an unparsable chord from an action", "shortcuts.search", "Hello", "shortcuts.search",
       "Super+Space", false},
      {"a chord another shortcut holds, from an action", "shortcuts.lock", "Super+Space",
       "shortcuts.lock", "Ctrl+Alt+L", false},
      {"F1 alone, recorded", "shortcuts.help.edit", "F1", "shortcuts.help", "Super+Shift+Slash",
       false},
      {"an unparsable chord for a shortcut without one", "shortcuts.overview", "Nonsense",
       "shortcuts.overview", "", false},
      {"a file that cannot be written, recorded", "shortcuts.next_tab.edit", "Super+N",
       "shortcuts.next_tab", "Super+BracketRight", true},
      {"a file that cannot be written, from an action", "shortcuts.next_tab", "Super+N",
       "shortcuts.next_tab", "Super+BracketRight", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ConfigFolder folder;
    folder.write_shortcuts(R"({"shortcuts": {"workspace_overview": null}})");
    const ShortcutConfig before = ShortcutConfig::load();
    if (c.block_file) {
      fs::remove(folder.shortcuts());
      folder.block(folder.shortcuts());
    }
    PaneRig rig(before);
    rig.set(c.key, c.value);
    EXPECT_EQ(rig.text(c.id), c.before);
    EXPECT_EQ(rig.text(std::string(c.id) + ".edit"), c.before);
    EXPECT_EQ(rig.flag(std::string(c.id) + ".error"), true);
    EXPECT_EQ(rig.pane.shortcuts(), before);
    if (!c.block_file) {
      EXPECT_EQ(folder.stored_chord("open_search"), std::nullopt);  // file untouched
    }
    // Settled: the next syncs change nothing.
    rig.harness.frames(2);
    EXPECT_EQ(rig.text(c.id), c.before);
  }
}

TEST(ShortcutPaneTest, TheVimSwitchIsSavedEitherWay) {
  ConfigFolder folder;
  PaneRig rig;
  rig.set_flag("shortcuts.vim_mode.edit", true);  // the switch
  EXPECT_TRUE(prefs_store::DesktopControlsConfig::load().vim_mode);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), true);  // the action value follows
  EXPECT_TRUE(rig.pane.vim_mode());
  rig.set_flag("shortcuts.vim_mode", false);  // an action
  EXPECT_FALSE(prefs_store::DesktopControlsConfig::load().vim_mode);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_FALSE(rig.pane.vim_mode());
}

TEST(ShortcutPaneTest, AVimSwitchThatCannotBeSavedSnapsBack) {
  ConfigFolder folder;
  folder.block(folder.controls());
  PaneRig rig(ShortcutConfig{}, false);
  rig.set_flag("shortcuts.vim_mode.edit", true);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), false);  // nothing dispatched
  EXPECT_FALSE(rig.pane.vim_mode());
  rig.set_flag("shortcuts.vim_mode", true);  // an action: undone
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), false);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_FALSE(rig.pane.vim_mode());
}

TEST(ShortcutPaneTest, AHandledEventAsksPermissionOnce) {
  ConfigFolder folder;
  PaneRig rig;
  EXPECT_FALSE(rig.pane.take_permission_request());
  ASSERT_TRUE(rig.harness.click_id("shortcuts.vim_mode"));
  const auto context = rig.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:keyboard-shortcuts");
  EXPECT_EQ(context->title, "Keyboard shortcuts");
  EXPECT_EQ(context->purpose, "Change keyboard shortcuts");
  EXPECT_FALSE(rig.pane.take_permission_request());
}

TEST(ShortcutKeysTest, TheCatalogueConfiguresTheDesktopsActions) {
  const auto keys = shortcut_keys();
  ASSERT_EQ(keys.size(), 17u);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].action, i < 13 ? i : i + 4) << keys[i].id;
    EXPECT_FALSE(
        prefs_store::shortcut_action_name(static_cast<ShortcutAction>(keys[i].action)).empty());
  }
}

}  // namespace
}  // namespace settings::panes::keyboard_shortcuts
