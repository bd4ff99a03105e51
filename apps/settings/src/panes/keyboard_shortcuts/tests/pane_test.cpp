// The Keyboard Shortcuts pane in the headless harness, with a configuration
// folder of its own: the first sync shows the files over what an earlier
// visit left, a recording is the shortcut's action and its set-setting is
// followed (in the stored chord's own spelling), the failures that leave
// everything as it was (a chord that does not parse, one another shortcut
// holds, a file that cannot be written) and the Vim switch both ways.

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "actions/doc_readers.h"
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/shortcut_recorder.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/preference_pane.h"
#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"
#include "panes/keyboard_shortcuts/page.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "vocabulary/shortcut_keys.h"

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

// The rectangle of the page's text that reads `text`, if one does.
std::optional<kalu_ui::Rect> rect_saying(kalu_ui::Widget& root, std::string_view text) {
  for (auto* found : kalu_ui::frame::collect(root, [text](const kalu_ui::Widget& widget) {
         const auto* shown = dynamic_cast<const w::Text*>(&widget);
         return shown != nullptr && shown->text() == text;
       })) {
    return found->get_rect();
  }
  return std::nullopt;
}

bool page_says(kalu_ui::Widget& root, std::string_view text) {
  return rect_saying(root, text).has_value();
}

struct PaneRig {
  explicit PaneRig(ShortcutConfig config = ShortcutConfig::load(),
                   bool vim = prefs_store::DesktopControlsConfig::load().vim_mode,
                   doc::Document document = {})
      : harness(std::make_unique<ShortcutPane>(std::move(config), vim), std::move(document),
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
  // A set-setting as the application's handler carries it out, then a
  // frame; whether it was kept.
  template <typename Value>
  bool set(std::string_view key, Value value) {
    const bool kept =
        actions::apply_setting(operations::SettingsAction::set_setting(std::string(key), value),
                               harness.document(), &actions::store_setting)
            .has_value();
    harness.frame();
    return kept;
  }
  // A control's edit that no set-setting follows, then a frame.
  template <typename Value>
  void edit(std::string_view key, Value value) {
    ASSERT_TRUE(harness.document().put(doc::kRoot, lib::edit_key(key), doc::Scalar(value)));
    harness.frame();
  }
  std::string chord(ShortcutAction action) {
    auto found = pane.shortcuts().chord(action);
    return found ? found->display() : "";
  }

  kalu_ui::harness::Harness harness;
  ShortcutPane& pane;
};

TEST(ShortcutPaneTest, TheFirstSyncShowsTheFilesOverAnEarlierVisit) {
  ConfigFolder folder;
  folder.write_shortcuts(R"({"shortcuts": {"lock_screen": null, "open_search": "Super+K"}})");
  // What a visit before the files changed left in the document.
  doc::Document document;
  for (const char* key : {"shortcuts.search", "shortcuts.search.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(std::string("Super+Space"))));
  }
  ASSERT_TRUE(document.put(doc::kRoot, "shortcuts.vim_mode", doc::Scalar(true)));
  PaneRig rig(ShortcutConfig{}, true, std::move(document));
  EXPECT_EQ(rig.text("shortcuts.search"), "Super+K");
  EXPECT_EQ(rig.text("shortcuts.search.edit"), "Super+K");
  EXPECT_EQ(rig.text("shortcuts.lock"), "");
  EXPECT_EQ(rig.text("shortcuts.lock.edit"), "");
  EXPECT_EQ(rig.text("shortcuts.resize_wider"), "Super+Equal");
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), false);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_FALSE(rig.pane.vim_mode());

  rig.harness.frame();
  auto* search = dynamic_cast<w::ShortcutRecorder*>(rig.harness.find("shortcuts.search"));
  ASSERT_NE(search, nullptr);
  EXPECT_EQ(search->chord(), "Super+K");
  EXPECT_EQ(search->default_chord(), "Super+Space");
  auto* vim = dynamic_cast<w::Toggle*>(rig.harness.find("shortcuts.vim_mode"));
  ASSERT_NE(vim, nullptr);
  ASSERT_TRUE(vim->binding());
  EXPECT_EQ(vim->binding()->action, "vim-mode");
  EXPECT_FALSE(vim->value());
  // System above navigation, the Vim switch first of navigation.
  const auto help = rig.harness.rect_of("shortcuts.help");
  const auto toggle = rig.harness.rect_of("shortcuts.vim_mode");
  const auto window = rig.harness.rect_of("shortcuts.focus_previous_window");
  ASSERT_TRUE(help && toggle && window);
  EXPECT_LT(help->y0, toggle->y0);
  EXPECT_LT(toggle->y0, window->y0);
  // Showing saved nothing.
  EXPECT_FALSE(fs::exists(folder.controls()));
}

// A recording is the shortcut's action of the section; its set-setting
// (here carried out as the control replay would) saves the chord, which the
// recorder then shows as stored.
TEST(ShortcutPaneTest, ARecordingIsTheShortcutsActionAndItsChordIsFollowed) {
  ConfigFolder folder;
  folder.write_shortcuts(R"({"shortcuts": {"lock_screen": null}})");
  PaneRig rig;
  ASSERT_TRUE(rig.harness.click_id("shortcuts.lock"));
  rig.harness.key(kalu_ui::Key::L, {.alt = true, .super = true});
  const auto replayed = rig.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:keyboard_shortcuts");
  EXPECT_EQ(replayed[0].invocation.action, "lock");
  EXPECT_EQ(replayed[0].invocation.arguments_json, R"({"choice":"Alt+Super+L"})");

  EXPECT_TRUE(rig.set("shortcuts.lock", "Alt+Super+L"));
  EXPECT_EQ(folder.stored_chord("lock_screen"), "Super+Alt+L");
  EXPECT_EQ(rig.chord(ShortcutAction::LockScreen), "Super+Alt+L");
  EXPECT_EQ(rig.text("shortcuts.lock"), "Super+Alt+L");
  EXPECT_EQ(rig.text("shortcuts.lock.edit"), "Super+Alt+L");
  rig.harness.frame();
  EXPECT_EQ(dynamic_cast<w::ShortcutRecorder*>(rig.harness.find("shortcuts.lock"))->chord(),
            "Super+Alt+L");
  // Settled: nothing more is written.
  fs::remove(folder.shortcuts());
  rig.harness.frames(2);
  EXPECT_FALSE(fs::exists(folder.shortcuts()));
}

TEST(ShortcutPaneTest, FailedChangesLeaveEverythingAsItWas) {
  const struct {
    std::string_view name;
    std::string_view id;
    std::string_view value;   // the new chord
    std::string_view before;  // the chord text before, under id and edit key
    bool block_file;
    std::string_view reason;  // what the client is told, and the page says beside the recorder
  } cases[] = {
      {"an unparsable chord", "shortcuts.search", "Hello", "Super+Space", false,
       "Hello is not a key combination"},
      {"a chord another shortcut holds", "shortcuts.lock", "super+space", "Ctrl+Alt+L", false,
       "Super+Space is already used by Open search"},
      {"a chord a shortcut the page does not offer holds", "shortcuts.next_strip",
       "Super+Shift+Down", "Super+Down", false,
       "Super+Shift+Down is already used by Move group to next strip"},
      {"F1 alone", "shortcuts.help", "F1", "Super+Shift+Slash", false,
       "F1 is kept for the desktop guide"},
      {"an unparsable chord for a shortcut without one", "shortcuts.overview", "Nonsense", "",
       false, "Nonsense is not a key combination"},
      {"a file that cannot be written", "shortcuts.next_tab", "Super+N", "Super+BracketRight", true,
       ""},
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
    // The recorder wrote it, and its set-setting is refused.
    rig.edit(c.id, std::string(c.value));
    const auto refused = actions::apply_setting(
        operations::SettingsAction::set_setting(std::string(c.id), std::string(c.value)),
        rig.harness.document(), &actions::store_setting);
    rig.harness.frames(2);
    ASSERT_FALSE(refused.has_value());
    if (!c.reason.empty()) {
      EXPECT_EQ(refused.error(), c.reason);
      EXPECT_EQ(rig.pane.refusals().at(std::string(c.id)), c.reason);
      EXPECT_TRUE(page_says(rig.harness.root(), c.reason));
    } else {
      EXPECT_THAT(rig.pane.refusals().at(std::string(c.id)), testing::HasSubstr("Super+N"));
    }
    EXPECT_EQ(rig.text(c.id), c.before);
    EXPECT_EQ(rig.text(std::string(c.id) + ".edit"), c.before);
    // A file that cannot be read shows the defaults.
    EXPECT_EQ(rig.pane.shortcuts(), c.block_file ? ShortcutConfig{} : before);
    if (!c.block_file) {
      EXPECT_EQ(folder.stored_chord("open_search"), std::nullopt);  // file untouched
    }
    // Settled: the next syncs change nothing.
    rig.harness.frames(2);
    EXPECT_EQ(rig.text(c.id), c.before);
  }
}

// A refusal stands under its recorder until that shortcut is recorded again
// and kept.
TEST(ShortcutPaneTest, ARefusalStandsUnderItsRecorderUntilTheShortcutChanges) {
  ConfigFolder folder;
  PaneRig rig;
  const std::string reason = "Super+Tab is already used by Workspace overview";
  rig.edit("shortcuts.search", std::string("Super+Tab"));
  EXPECT_FALSE(rig.set("shortcuts.search", "Super+Tab"));
  rig.harness.frame();
  EXPECT_TRUE(page_says(rig.harness.root(), reason));
  EXPECT_EQ(rig.text("shortcuts.search.edit"), "Super+Space");
  const auto recorder = rig.harness.rect_of("shortcuts.search");
  const auto said = rect_saying(rig.harness.root(), reason);
  ASSERT_TRUE(recorder && said);
  EXPECT_GE(said->y0, recorder->y1);
  EXPECT_LT(said->y0 - recorder->y1, 40.0);
  // Another shortcut's change leaves it; its own kept chord takes it away.
  EXPECT_TRUE(rig.set("shortcuts.lock", "Super+Alt+L"));
  rig.harness.frame();
  EXPECT_TRUE(page_says(rig.harness.root(), reason));
  EXPECT_TRUE(rig.set("shortcuts.search", "Super+K"));
  rig.harness.frame();
  EXPECT_FALSE(page_says(rig.harness.root(), reason));
  EXPECT_TRUE(rig.pane.refusals().empty());
}

TEST(ShortcutPaneTest, TheVimSwitchIsSavedEitherWay) {
  ConfigFolder folder;
  PaneRig rig;
  rig.edit("shortcuts.vim_mode", true);  // the switch, and its action
  EXPECT_TRUE(rig.set("shortcuts.vim_mode", true));
  EXPECT_TRUE(prefs_store::DesktopControlsConfig::load().vim_mode);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), true);
  EXPECT_TRUE(rig.pane.vim_mode());
  EXPECT_TRUE(rig.set("shortcuts.vim_mode", false));  // a client
  EXPECT_FALSE(prefs_store::DesktopControlsConfig::load().vim_mode);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_FALSE(rig.pane.vim_mode());
}

TEST(ShortcutPaneTest, AVimSwitchThatCannotBeSavedSnapsBack) {
  ConfigFolder folder;
  folder.block(folder.controls());
  PaneRig rig(ShortcutConfig{}, false);
  rig.edit("shortcuts.vim_mode", true);
  EXPECT_FALSE(rig.set("shortcuts.vim_mode", true));
  EXPECT_EQ(rig.flag("shortcuts.vim_mode.edit"), false);
  EXPECT_EQ(rig.flag("shortcuts.vim_mode"), false);
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
