#include "prefs_store/shortcuts.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "prefs_store/desktop_controls.h"
#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"

namespace {

namespace fs = std::filesystem;
using prefs_store::ChordKey;
using prefs_store::DesktopControlsConfig;
using prefs_store::KeyChord;
using prefs_store::SetChordResult;
using prefs_store::ShortcutAction;
using prefs_store::ShortcutConfig;

KeyChord chord(std::string_view text) {
  auto parsed = KeyChord::parse(text);
  EXPECT_TRUE(parsed) << text;
  return parsed.value_or(KeyChord(KeyChord::kCtrl, ChordKey::A));
}

std::string display(const std::optional<KeyChord>& chord) {
  return chord ? chord->display() : "(none)";
}

class ShortcutFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/prefs_store_shortcuts.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    root_ = tmpl;
    config_.emplace(root_);
    shortcuts_ = root_ / "kalu" / "shortcuts.json";
    controls_ = root_ / "kalu" / "desktop-controls.json";
  }
  void TearDown() override {
    config_.reset();
    fs::remove_all(root_);
  }
  static void put(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  fs::path root_;
  fs::path shortcuts_;
  fs::path controls_;
  std::optional<prefs_store::ScopedConfigDir> config_;
};

TEST(ShortcutConfig, DefaultsGiveEveryActionItsOwnChord) {
  const ShortcutConfig defaults;
  std::set<std::string> names;
  std::set<std::string> chords;
  for (std::size_t i = 0; i < prefs_store::kShortcutActionCount; ++i) {
    const auto action = static_cast<ShortcutAction>(i);
    names.insert(std::string(prefs_store::shortcut_action_name(action)));
    auto chord = defaults.chord(action);
    ASSERT_TRUE(chord) << i;
    chords.insert(chord->display());
    EXPECT_EQ(defaults.action_with(*chord), action) << chord->display();
    // Vim navigation takes Super with H, J, K and L.
    const bool vim_key = chord->key() == ChordKey::H || chord->key() == ChordKey::J ||
                         chord->key() == ChordKey::K || chord->key() == ChordKey::L;
    EXPECT_FALSE(chord->has(KeyChord::kSuper) && vim_key) << chord->display();
  }
  EXPECT_EQ(names.size(), prefs_store::kShortcutActionCount);
  EXPECT_EQ(chords.size(), prefs_store::kShortcutActionCount);
  EXPECT_FALSE(names.contains(""));
  EXPECT_EQ(display(defaults.chord(ShortcutAction::OpenSearch)), "Super+Space");
  EXPECT_EQ(display(defaults.chord(ShortcutAction::DesktopHelp)), "Super+Shift+Slash");
  EXPECT_EQ(defaults.chord(static_cast<ShortcutAction>(21)), std::nullopt);
  EXPECT_EQ(prefs_store::shortcut_action_name(static_cast<ShortcutAction>(255)), "");
}

TEST(ShortcutConfig, SetRefusesWhatWouldBreakAnotherShortcut) {
  ShortcutConfig config;
  EXPECT_EQ(config.set(ShortcutAction::OpenSearch, chord("Super+K")), SetChordResult::Success);
  EXPECT_EQ(display(config.chord(ShortcutAction::OpenSearch)), "Super+K");
  // The chord it already has is no conflict with itself.
  EXPECT_EQ(config.set(ShortcutAction::OpenSearch, chord("super+k")), SetChordResult::Success);

  const ShortcutConfig before = config;
  EXPECT_EQ(config.set(ShortcutAction::LockScreen, chord("Super+K")), SetChordResult::InUse);
  EXPECT_EQ(config.set(ShortcutAction::NextTab, chord("F1")), SetChordResult::Reserved);
  EXPECT_EQ(config.set(static_cast<ShortcutAction>(21), chord("Super+F9")),
            SetChordResult::UnknownAction);
  EXPECT_EQ(config.set(static_cast<ShortcutAction>(255), chord("Super+F9")),
            SetChordResult::UnknownAction);
  EXPECT_EQ(config, before) << "a refused chord changes nothing";

  // Only F1 alone is the guide's; with a modifier it is an ordinary chord.
  EXPECT_EQ(config.set(ShortcutAction::NextTab, chord("Shift+F1")), SetChordResult::Success);
  // The old chord of Open search is free again.
  EXPECT_EQ(config.set(ShortcutAction::LockScreen, chord("Super+Space")), SetChordResult::Success);
}

TEST_F(ShortcutFilesTest, ShortcutsSaveEveryActionAndReadBack) {
  EXPECT_EQ(ShortcutConfig::load(), ShortcutConfig()) << "no file: the defaults";

  ShortcutConfig config;
  ASSERT_EQ(config.set(ShortcutAction::ResizeWider, chord("Ctrl+Alt+Shift+Super+equal")),
            SetChordResult::Success);
  ASSERT_TRUE(config.save());
  const std::string text = read(shortcuts_);
  EXPECT_NE(text.find(R"("open_search": "Super+Space",)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("resize_wider": "Super+Ctrl+Alt+Shift+Equal")"), std::string::npos);
  EXPECT_EQ(ShortcutConfig::load(), config);
}

TEST_F(ShortcutFilesTest, ShortcutsTakeWhatTheyUnderstandAndKeepTheRest) {
  put(shortcuts_, R"({"owner":"desktop","shortcuts":{
      "lock_screen": null,
      "open_search": "shift+super+k",
      "next_tab": "not a chord",
      "previous_tab": 7,
      "future_action": "Super+F9"}})");
  ShortcutConfig loaded = ShortcutConfig::load();
  ShortcutConfig expected;
  EXPECT_EQ(loaded.chord(ShortcutAction::LockScreen), std::nullopt);
  EXPECT_EQ(display(loaded.chord(ShortcutAction::OpenSearch)), "Super+Shift+K");
  EXPECT_EQ(loaded.chord(ShortcutAction::NextTab), expected.chord(ShortcutAction::NextTab));
  EXPECT_EQ(loaded.chord(ShortcutAction::PreviousTab), expected.chord(ShortcutAction::PreviousTab));

  ASSERT_TRUE(loaded.save());
  const std::string text = read(shortcuts_);
  EXPECT_EQ(text.find(R"("owner": "desktop")"), 4u) << text;
  EXPECT_NE(text.find(R"("future_action": "Super+F9")"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("lock_screen": null)"), std::string::npos) << text;
  EXPECT_NE(text.find(R"("next_tab": "Super+BracketRight")"), std::string::npos) << text;
  EXPECT_EQ(ShortcutConfig::load(), loaded);

  for (const char* unusable : {"{broken", "[1]", R"({"shortcuts":[1]})", ""}) {
    put(shortcuts_, unusable);
    EXPECT_EQ(ShortcutConfig::load(), ShortcutConfig()) << unusable;
  }
}

TEST_F(ShortcutFilesTest, DesktopControlsSaveTheVimSwitchAndKeepOtherKeys) {
  EXPECT_FALSE(DesktopControlsConfig::load().vim_mode) << "no file: off";
  put(controls_, R"({"focus_follows_mouse":true,"vim_mode":false})");
  ASSERT_TRUE(DesktopControlsConfig{.vim_mode = true}.save());
  EXPECT_EQ(read(controls_), "{\n  \"focus_follows_mouse\": true,\n  \"vim_mode\": true\n}");
  EXPECT_TRUE(DesktopControlsConfig::load().vim_mode);

  for (const char* unusable : {R"({"vim_mode":"yes"})", R"({"vim_mode":1})", "{broken", "true"}) {
    put(controls_, unusable);
    EXPECT_FALSE(DesktopControlsConfig::load().vim_mode) << unusable;
  }
}

// Both files: what cannot be read gives the defaults and is never replaced;
// an interrupted save leaves the previous file.
TEST_F(ShortcutFilesTest, FailedReadsAndWritesLoseNothing) {
  ShortcutConfig changed;
  ASSERT_EQ(changed.set(ShortcutAction::OpenSearch, chord("Super+K")), SetChordResult::Success);

  // A directory in the file's place cannot be read (even by root).
  fs::create_directories(shortcuts_ / "inner");
  fs::create_directories(controls_ / "inner");
  EXPECT_EQ(ShortcutConfig::load(), ShortcutConfig());
  EXPECT_FALSE(DesktopControlsConfig::load().vim_mode);
  auto shortcuts_saved = changed.save();
  ASSERT_FALSE(shortcuts_saved);
  EXPECT_NE(shortcuts_saved.error().find("could not read"), std::string::npos);
  EXPECT_FALSE(DesktopControlsConfig{.vim_mode = true}.save());
  EXPECT_TRUE(fs::is_directory(shortcuts_ / "inner"));
  EXPECT_TRUE(fs::is_directory(controls_ / "inner"));
  fs::remove_all(root_ / "kalu");

  ASSERT_TRUE(ShortcutConfig().save());
  ASSERT_TRUE(DesktopControlsConfig{.vim_mode = false}.save());
  const std::string shortcuts_before = read(shortcuts_);
  const std::string controls_before = read(controls_);
  {
    safe_write::testing::ScopedRenameHook crash(
        [](const fs::path&, const fs::path&) { return EIO; });
    EXPECT_FALSE(changed.save());
    EXPECT_FALSE(DesktopControlsConfig{.vim_mode = true}.save());
  }
  EXPECT_EQ(read(shortcuts_), shortcuts_before);
  EXPECT_EQ(read(controls_), controls_before);
  EXPECT_EQ(ShortcutConfig::load(), ShortcutConfig());
  EXPECT_FALSE(DesktopControlsConfig::load().vim_mode);

  prefs_store::ScopedConfigDir none{fs::path()};
  EXPECT_EQ(ShortcutConfig::load(), ShortcutConfig());
  EXPECT_EQ(changed.save().error(), "no config dir");
  EXPECT_EQ(DesktopControlsConfig{}.save().error(), "no config dir");
}

}  // namespace
