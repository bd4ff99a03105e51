#include "prefs_store/input_sources.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using prefs_store::KeyboardInputSource;
using prefs_store::RichInputConfig;
using Sources = std::vector<std::string>;

TEST(KeyboardInputSource, ParsesLayoutAndVariantIds) {
  struct Case {
    const char* text;
    const char* id;  // nullptr: refused
  };
  const Case cases[] = {
      {"us", "us"},
      {"us:colemak", "us:colemak"},
      {" de ", "de"},
      {"de(nodeadkeys)", "de:nodeadkeys"},
      {"us:dvorak-alt-intl", "us:dvorak-alt-intl"},
      {"ch:fr_mac", "ch:fr_mac"},
      {"", nullptr},
      {"   ", nullptr},
      {"us:", nullptr},
      {":colemak", nullptr},
      {"us:a:b", nullptr},
      {"us+de", nullptr},
      {"u s", nullptr},
      {"de(", nullptr},
      {"de()", nullptr},
  };
  for (const Case& c : cases) {
    auto source = KeyboardInputSource::parse(c.text);
    if (c.id == nullptr) {
      ASSERT_FALSE(source) << c.text;
      EXPECT_NE(source.error().find("is not a keyboard input source"), std::string::npos);
    } else {
      ASSERT_TRUE(source) << c.text;
      EXPECT_EQ(source->id(), c.id);
    }
  }
  EXPECT_FALSE(KeyboardInputSource::parse(std::string(65, 'a')));
}

TEST(RichInputConfig, NormaliseSourcesRepairsActiveAndList) {
  struct Case {
    const char* name;
    std::string active;
    Sources list;
    std::string want_active;
    Sources want_list;
  };
  const Case cases[] = {
      {"kept as is", "de", {"us", "de"}, "de", {"us", "de"}},
      {"empty list takes the active source", "fr", {}, "fr", {"fr"}},
      {"nothing at all falls back to us", "", {}, "us", {"us"}},
      {"unusable active takes the first", "not valid!", {"gb", "de"}, "gb", {"gb", "de"}},
      {"empty and repeated sources dropped",
       "us",
       {"", "us", " us ", "de", "us"},
       "us",
       {"us", "de"}},
      {"canonical ids", "de(neo)", {"de(neo)", "us"}, "de:neo", {"de:neo", "us"}},
      {"at most four", "a", {"a", "b", "c", "d", "e"}, "a", {"a", "b", "c", "d"}},
      {"missing active appended", "fr", {"us", "de"}, "fr", {"us", "de", "fr"}},
      {"missing active takes the last place",
       "fr",
       {"a", "b", "c", "d", "e"},
       "fr",
       {"a", "b", "c", "fr"}},
      {"invalid sources only", "", {"", "?"}, "us", {"us"}},
  };
  for (const Case& c : cases) {
    RichInputConfig config;
    config.keyboard_layout = c.active;
    config.keyboard_layouts = c.list;
    config.adaptive_acceleration = false;
    config.compose_key = "ralt";
    config.pointer_speed = 0.9;
    config.normalise_sources();
    EXPECT_EQ(config.keyboard_layout, c.want_active) << c.name;
    EXPECT_EQ(config.keyboard_layouts, c.want_list) << c.name;
    // Nothing but the two source fields changes.
    EXPECT_FALSE(config.adaptive_acceleration);
    EXPECT_EQ(config.compose_key, "ralt");
    EXPECT_EQ(config.pointer_speed, 0.9);
  }
}

}  // namespace
