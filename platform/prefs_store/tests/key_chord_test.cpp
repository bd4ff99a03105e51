#include "prefs_store/key_chord.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using prefs_store::ChordKey;
using prefs_store::KeyChord;

TEST(KeyChord, ParsesAnySpellingToTheCanonicalText) {
  const struct {
    std::string_view text;
    std::string_view display;
  } cases[] = {
      {"Super+Space", "Super+Space"},
      {"Super+Shift+Slash", "Super+Shift+Slash"},
      // Modifiers in the recorder's order come back in display order.
      {"Ctrl+Alt+Shift+Super+slash", "Super+Ctrl+Alt+Shift+Slash"},
      {"shift+SUPER+k", "Super+Shift+K"},
      {"  Control + Alt + Delete ", "Ctrl+Alt+Delete"},
      {"Super+Page_Up", "Super+PageUp"},
      {"Super+Shift+Page_Down", "Super+Shift+PageDown"},
      {"Alt+BackSpace", "Alt+Backspace"},
      {"Ctrl+Enter", "Ctrl+Return"},
      {"Super+equal", "Super+Equal"},
      {"Super+Shift+/", "Super+Shift+Slash"},
      {"Super+[", "Super+BracketLeft"},
      {"Super+7", "Super+7"},
      {"F5", "F5"},
      {"Shift+F24", "Shift+F24"},
      {"Print", "Print"},
  };
  for (const auto& c : cases) {
    auto chord = KeyChord::parse(c.text);
    ASSERT_TRUE(chord) << c.text << ": " << chord.error();
    EXPECT_EQ(chord->display(), c.display) << c.text;
    // The canonical text reads back as the same chord.
    EXPECT_EQ(KeyChord::parse(chord->display()), chord) << c.text;
  }
  auto help = KeyChord::parse("Super+Shift+Slash");
  ASSERT_TRUE(help);
  EXPECT_EQ(*help, KeyChord(KeyChord::kShift | KeyChord::kSuper, ChordKey::Slash));
  EXPECT_TRUE(help->has(KeyChord::kSuper));
  EXPECT_FALSE(help->has(KeyChord::kCtrl));
}

TEST(KeyChord, EveryKeyRoundTripsThroughItsName) {
  for (int k = 0; k <= static_cast<int>(ChordKey::Print); ++k) {
    const KeyChord chord(KeyChord::kCtrl, static_cast<ChordKey>(k));
    EXPECT_EQ(KeyChord::parse(chord.display()), chord) << chord.display();
  }
}

TEST(KeyChord, RefusesTextsThatAreNoChordWithTheReason) {
  const struct {
    std::string_view text;
    std::string_view reason;
  } cases[] = {
      {"", "it is empty"},
      {"   ", "it is empty"},
      {"Super", "it has no key after its modifiers"},
      {"Super+Shift", "it has no key after its modifiers"},
      {"Super+", "a part between '+' signs is empty"},
      {"Super++K", "a part between '+' signs is empty"},
      {"+K", "a part between '+' signs is empty"},
      {"Super+Super+K", "it names Super twice"},
      {"Ctrl+Control+K", "it names Control twice"},
      {"Super+A+B", "only the last part may be a key"},
      {"K+Super", "only the last part may be a key"},
      {"Hyper+K", "\"Hyper\" is not a modifier"},
      {"Super+Banana", "\"Banana\" is not a known key"},
      {"Super+F25", "\"F25\" is not a known key"},
      {"Super+KK", "\"KK\" is not a known key"},
      // A chord of a typing key alone, or with Shift, would swallow typing.
      {"K", "a chord needs Super, Ctrl or Alt unless its key is a function key"},
      {"Shift+K", "a chord needs Super, Ctrl or Alt unless its key is a function key"},
      {"Space", "a chord needs Super, Ctrl or Alt unless its key is a function key"},
  };
  for (const auto& c : cases) {
    auto chord = KeyChord::parse(c.text);
    ASSERT_FALSE(chord) << c.text;
    EXPECT_EQ(chord.error(),
              "\"" + std::string(c.text) + "\" is not a key chord: " + std::string(c.reason));
  }
}

}  // namespace
