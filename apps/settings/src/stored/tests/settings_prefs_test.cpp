#include "stored/settings_prefs.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "safe_write/safe_write.h"
#include "stored/locale.h"
#include "stored_fixture.h"

namespace {

using settings::stored::ColorFilter;
using settings::stored::InputPrefs;
using settings::stored::Locale;
using settings::stored::PowerAction;
using settings::stored::SettingsPrefs;
using settings::stored::TextAssistance;
using settings::stored::testing::TempConfig;
using Json = nlohmann::ordered_json;
using Sources = std::vector<std::string>;

SettingsPrefs parse(const std::string& text) { return SettingsPrefs::from_document(text); }

// The record's sections in their stored form, for comparing whole sections.
Json sections_of(const SettingsPrefs& prefs) {
  return Json::parse(SettingsPrefs::write_into_document("", prefs));
}

TEST(SettingsDocument, UnusableDocumentsGiveDefaults) {
  SettingsPrefs defaults;
  for (const char* text : {"", "not json", "[1,2]", "null", "{}", "{\"version\":3}"}) {
    EXPECT_EQ(parse(text), defaults) << text;
  }
  EXPECT_EQ(defaults.input.keyboard_layouts, Sources{"us"});
}

// Each line: one section as stored, and whether it reads (else the whole
// section is at its default while the others still read). A member left out
// takes its default alone.
TEST(SettingsDocument, BadSectionFallsBackAlone) {
  struct Case {
    const char* key;
    const char* value;
    bool reads;
  };
  const Case cases[] = {
      {"display", R"({"auto_brightness":true})", true},  // night_light at its default
      {"display", R"({"auto_brightness":true,"night_light":true,"x":1})", true},
      {"audio", R"({"event_sounds":false,"chat_join":true})", true},  // chat_leave at its default
      {"audio", R"([false,true,false])", true},
      {"audio", R"(["no",true,false])", false},
      {"audio", R"([false,true,false,null,null,0.5,false,"extra"])", false},
      {"audio", R"({"event_sounds":null,"chat_join":true,"chat_leave":true})", false},
      {"power", R"({"auto_suspend":false,"blank_minutes":3})", true},
      {"power", R"({"auto_suspend":false})", true},
      {"power", R"({"auto_suspend":false,"blank_minutes":3.0})", false},
      {"power", R"({"auto_suspend":false,"blank_minutes":4294967296})", false},
      {"updates", R"({"auto":false,"channel":"Beta"})", true},
      {"appearance",
       R"({"theme":"Light","high_contrast":true,"reduce_motion":false,"text_scale":1.5})", true},
      {"appearance", R"({"theme":"Light","high_contrast":true,"reduce_motion":false})", true},
      {"appearance", R"({"theme":"Light","text_scale":"big"})", false},
      {"accessibility", R"({"color_filter":"Grayscale"})", false},
      {"accessibility", R"({"color_filter":"grayscale"})", true},
      {"accessibility", R"({"switch_scan_ms":-1})", false},
      {"accessibility", R"({"switch_scan_ms":65536})", false},
      {"accessibility", R"({"switch_scan_ms":65535})", true},
      {"notifications", R"({"focus":{"weekdays":256}})", false},
      {"notifications", R"({"per_app":{"a":{"muted_until":-5}}})", true},
      {"input",
       "[false,true,false,true,0.5,null,null,0.5,null,null,\"de\",true,true,"
       "true,false,\"adaptive\",true,null,[\"de\"],null]",
       false},
  };
  const Json defaults = sections_of(SettingsPrefs{});
  for (const Case& c : cases) {
    // A valid section beside the bad one shows that only the bad one is
    // discarded.
    const bool updates = std::string(c.key) == "updates";
    const std::string text =
        std::string("{\"") + c.key + "\":" + c.value +
        (updates ? R"(,"display":{"auto_brightness":true,"night_light":true}})"
                 : R"(,"updates":{"auto":false,"channel":"Beta","last_checked":"x"}})");
    const Json read = sections_of(parse(text));
    EXPECT_EQ(read[c.key] == defaults[c.key], !c.reads) << c.value;
    if (updates) {
      EXPECT_EQ(read["display"]["night_light"], true);
    } else {
      EXPECT_EQ(read["updates"]["channel"], "Beta") << c.value;
    }
  }
}

// A section holding some of its members keeps each of them and takes the
// defaults of the rest; written back, the members it held are still there.
TEST(SettingsDocument, PartialSectionKeepsWhatItHolds) {
  const SettingsPrefs prefs = parse(R"({"appearance": {"theme": "Light"}})");
  settings::stored::AppearancePrefs expected;
  expected.theme = "Light";
  EXPECT_EQ(prefs.appearance, expected);
  const Json written = Json::parse(
      SettingsPrefs::write_into_document(R"({"appearance": {"theme": "Light"}})", prefs));
  EXPECT_EQ(written["appearance"]["theme"], "Light");
  EXPECT_EQ(written["appearance"]["text_scale"], 1.0);
}

TEST(SettingsDocument, FieldValuesAndEnumerationForms) {
  SettingsPrefs prefs = parse(R"({
    "audio": [true, true, false],
    "power": {"auto_suspend": false, "blank_minutes": 3, "lid_close_action": {"lock": null}},
    "appearance": {"theme": "Light", "high_contrast": true, "reduce_motion": false, "text_scale": 1.25},
    "notifications": {"per_app": {"b": {"muted_until": 9}, "a": {"banners": false}}},
    "accessibility": {"color_filter": "grayscale_inverted", "magnifier_zoom": 255}
  })");
  EXPECT_FALSE(prefs.audio.chat_leave);
  EXPECT_EQ(prefs.audio.balance, 0.5f);
  EXPECT_EQ(prefs.audio.output_device, std::nullopt);
  EXPECT_FALSE(prefs.power.auto_suspend);
  EXPECT_EQ(prefs.power.blank_minutes, 3u);
  EXPECT_EQ(prefs.power.suspend_minutes, 15u);
  EXPECT_EQ(prefs.power.lid_close_action, PowerAction::Lock);
  EXPECT_EQ(prefs.appearance.ui_scale, 1.0);
  EXPECT_EQ(prefs.appearance.text_scale, 1.25);
  EXPECT_EQ(prefs.accessibility.color_filter, ColorFilter::GrayscaleInverted);
  EXPECT_EQ(prefs.accessibility.magnifier_zoom, 255);
  ASSERT_EQ(prefs.notifications.per_app.size(), 2u);
  EXPECT_EQ(prefs.notifications.per_app.at("b").muted_until, 9);

  // The map is written in ascending key order, whatever order it was read in.
  Json written = Json::parse(SettingsPrefs::write_into_document("", prefs));
  EXPECT_EQ(written["notifications"]["per_app"].begin().key(), "a");
  EXPECT_EQ(written["audio"]["output_device"], nullptr);
}

TEST(SettingsDocument, LegacyNaturalScrollKeys) {
  struct Case {
    const char* input;
    bool both;
    bool touchpad;
    bool mouse;
  };
  const Case cases[] = {
      {R"({"natural_scroll":true})", true, true, true},
      {R"({"natural_scroll":false,"touchpad_natural_scroll":null})", false, false, false},
      {R"({})", false, true, false},
      {R"({"natural_scroll":true,"mouse_natural_scroll":false})", true, true, false},
      {R"({"touchpad_natural_scroll":false,"mouse_natural_scroll":true})", false, false, true},
  };
  for (const Case& c : cases) {
    InputPrefs input = parse(std::string("{\"input\":") + c.input + "}").input;
    EXPECT_EQ(input.natural_scroll, c.both) << c.input;
    EXPECT_EQ(input.touchpad_natural_scroll, c.touchpad) << c.input;
    EXPECT_EQ(input.mouse_natural_scroll, c.mouse) << c.input;
  }
}

TEST(SettingsDocument, SourceListEmptiedThenNormalised) {
  struct Case {
    const char* document;
    const char* active;
    Sources sources;
  };
  const Case cases[] = {
      // No list stored: the active source alone, not the default "us".
      {R"({"input":{"keyboard_layout":"de"}})", "de", {"de"}},
      // The legacy key only counts as present: the default list stays.
      {R"({"input":{"keyboard_layout":"de","layouts":["fr"]}})", "de", {"us", "de"}},
      {R"({"input":{"keyboard_layouts":[]}})", "us", {"us"}},
      {R"j({"input":{"keyboard_layout":"gb","keyboard_layouts":["us","us","","de(neo)"]}})j",
       "gb",
       {"us", "de:neo", "gb"}},
      {R"({"input":[1]})", "us", {"us"}},
      {R"({})", "us", {"us"}},
  };
  for (const Case& c : cases) {
    InputPrefs input = parse(c.document).input;
    EXPECT_EQ(input.keyboard_layout, c.active) << c.document;
    EXPECT_EQ(input.keyboard_layouts, c.sources) << c.document;
  }
}

TEST(SettingsDocument, NormalisingTouchesOnlyTheSourceFields) {
  InputPrefs input;
  input.accel_profile = "something else";
  input.keyboard_layout = "";
  input.keyboard_layouts = {"fr", "fr"};
  input.touchpad_natural_scroll = std::nullopt;
  InputPrefs expected = input;
  expected.keyboard_layout = "fr";
  expected.keyboard_layouts = {"fr"};
  settings::stored::normalise_input_sources(input);
  EXPECT_EQ(input, expected);
}

// Everything a save must keep or change, in one document.
TEST(SettingsDocument, MergeIsByteExact) {
  const std::string stored =
      R"({"version":7,"locale":{"currency":"EUR"},"appearance":{"wallpaper":"x.png","theme":"Old"},)"
      R"("foreign":[1e3,{},[]],"input":{"natural_scroll":true,"layouts":["us"],"stray":1},)"
      R"("continuity":{"enabled":true},"text_assistance":{"auto_correct":false}})";
  SettingsPrefs prefs = SettingsPrefs::from_document(stored);
  prefs.audio.balance = 0.3f;
  prefs.audio.output_device = "Speakers";
  prefs.display.scale = 2.0;
  const std::string expected = R"({
  "version": 1,
  "locale": {
    "currency": "EUR"
  },
  "appearance": {
    "wallpaper": "x.png",
    "theme": "Old",
    "high_contrast": false,
    "reduce_motion": false,
    "text_scale": 1.0,
    "ui_scale": 1.0
  },
  "foreign": [
    1000.0,
    {},
    []
  ],
  "input": {
    "natural_scroll": true,
    "touchpad_natural_scroll": true,
    "mouse_natural_scroll": true,
    "tap_to_click": true,
    "pointer_speed": 0.5,
    "touchpad_pointer_speed": null,
    "mouse_pointer_speed": null,
    "key_repeat": 0.5,
    "key_repeat_delay_ms": null,
    "key_repeat_rate_hz": null,
    "keyboard_layout": "us",
    "tap_drag": true,
    "disable_while_typing": true,
    "middle_emulation": true,
    "left_handed": false,
    "accel_profile": "adaptive",
    "touchpad_gestures": true,
    "compose_key": null,
    "keyboard_layouts": [
      "us"
    ],
    "pen_output": null
  },
  "continuity": {
    "enabled": true
  },
  "text_assistance": {
    "auto_correct": false
  },
  "audio": {
    "event_sounds": true,
    "chat_join": true,
    "chat_leave": true,
    "output_device": "Speakers",
    "input_device": null,
    "balance": 0.30000001192092896,
    "mono_output": false
  },
  "display": {
    "auto_brightness": false,
    "night_light": false,
    "night_light_temperature": 3700,
    "scale": 2.0
  },
  "power": {
    "auto_suspend": true,
    "suspend_minutes": 15,
    "saver_suspend_minutes": 10,
    "balanced_suspend_minutes": 15,
    "performance_suspend_minutes": 30,
    "blank_minutes": 10,
    "lock_minutes": 5,
    "lid_close_action": "suspend",
    "power_key_action": "suspend",
    "low_battery_percent": 15,
    "critical_battery_percent": 5,
    "critical_action": "suspend"
  },
  "updates": {
    "auto": true,
    "channel": "Stable",
    "last_checked": "Never"
  },
  "notifications": {
    "do_not_disturb": false,
    "show_banners": true,
    "show_previews": true,
    "play_sounds": true,
    "show_on_lock_screen": false,
    "show_badges": true,
    "focus": {
      "enabled": false,
      "start_minute": 1320,
      "end_minute": 420,
      "weekdays": 0,
      "allow_priority": true
    },
    "per_app": {}
  },
  "accessibility": {
    "large_cursor": false,
    "cursor_size": 24,
    "screen_reader": false,
    "on_screen_keyboard": false,
    "sticky_keys": false,
    "slow_keys": false,
    "visual_alerts": false,
    "color_filter": "none",
    "magnifier_zoom": 1,
    "cursor_crosshair": false,
    "thick_text_caret": false,
    "switch_control": false,
    "switch_key_pair": "f6_f7",
    "switch_scan_ms": 0,
    "screen_reader_rate": 100,
    "screen_reader_voice": "system"
  }
})";
  const std::string written = SettingsPrefs::write_into_document(stored, prefs);
  EXPECT_EQ(written, expected);
  // Reading it back gives the same record: 0.3 survives as the same float.
  EXPECT_EQ(SettingsPrefs::from_document(written), prefs);
}

TEST(SettingsDocument, AppearanceThatIsNotAnObjectIsReplacedInPlace) {
  Json written =
      Json::parse(SettingsPrefs::write_into_document(R"({"a":1,"appearance":"Light","b":2})", {}));
  std::vector<std::string> keys;
  for (const auto& [key, value] : written.items()) keys.push_back(key);
  EXPECT_EQ(keys, (Sources{"a", "appearance", "b", "version", "audio", "display", "input", "power",
                           "updates", "notifications", "accessibility"}));
  EXPECT_EQ(written["appearance"].size(), 5u);
}

TEST(SettingsDocument, SaveCreatesTheFileAndLoadReadsIt) {
  TempConfig config;
  EXPECT_EQ(SettingsPrefs::load(), SettingsPrefs{});
  SettingsPrefs prefs;
  prefs.power.lid_close_action = PowerAction::Ignore;
  auto path = prefs.save();
  ASSERT_TRUE(path) << path.error();
  EXPECT_EQ(*path, config.path());
  std::vector<std::string> keys;
  const Json written = Json::parse(config.read());
  for (const auto& [key, value] : written.items()) keys.push_back(key);
  EXPECT_EQ(keys, (Sources{"version", "audio", "display", "input", "power", "updates", "appearance",
                           "notifications", "accessibility"}));
  EXPECT_EQ(SettingsPrefs::load(), prefs);
}

TEST(SettingsDocument, FailedSaveLeavesTheDocumentAsItWas) {
  TempConfig config;
  const std::string before = R"({"locale":{"currency":"GBP"}})";
  config.put(before);
  {
    safe_write::testing::ScopedRenameHook crash(
        [](const std::filesystem::path&, const std::filesystem::path&) { return EIO; });
    EXPECT_FALSE(SettingsPrefs{}.save());
  }
  EXPECT_EQ(config.read(), before);

  // A directory where the file should be is a read error, not an empty file.
  std::filesystem::remove(config.path());
  std::filesystem::create_directories(config.path() / "keep");
  auto unreadable = SettingsPrefs{}.save();
  ASSERT_FALSE(unreadable);
  EXPECT_EQ(unreadable.error(),
            "settings document could not be read: not a regular file (a directory)");
  EXPECT_TRUE(std::filesystem::is_directory(config.path() / "keep"));
  EXPECT_EQ(SettingsPrefs::load(), SettingsPrefs{});

  prefs_store::ScopedConfigDir none{std::filesystem::path()};
  EXPECT_EQ(SettingsPrefs{}.save().error(), "no config dir");
  EXPECT_EQ(SettingsPrefs::load(), SettingsPrefs{});
}

// Another program's member nested 100,000 levels deep: the document does
// not read as a whole, loads give the defaults, and no writer prints it back
// (which would exhaust the stack): the save keeps it aside and starts afresh.
TEST(SettingsDocument, DocumentNestedTooDeepLoadsDefaultsAndIsKeptAsideBySave) {
  TempConfig config;
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  const std::string before =
      R"({"power":{"auto_suspend":false,"blank_minutes":3},"other":)" + deep + "}";
  config.put(before);
  EXPECT_EQ(SettingsPrefs::load(), SettingsPrefs{});
  EXPECT_EQ(SettingsPrefs::from_document(before), SettingsPrefs{});
  EXPECT_EQ(Locale::load(), Locale{});
  EXPECT_EQ(TextAssistance::load(), TextAssistance{});

  SettingsPrefs changed;
  changed.power.blank_minutes = 4;
  ASSERT_TRUE(changed.save());
  EXPECT_EQ(SettingsPrefs::load(), changed);
  EXPECT_EQ(Json::parse(config.read()).count("other"), 0u);
  std::vector<std::string> kept;
  for (const auto& entry : std::filesystem::directory_iterator(config.path().parent_path())) {
    if (entry.path().filename().string().starts_with("settings.json.unreadable-")) {
      std::ifstream in(entry.path(), std::ios::binary);
      kept.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  EXPECT_EQ(kept, std::vector<std::string>{before});

  // 128 levels in all still read and save in place.
  const std::string deepest = R"({"power":{"auto_suspend":false,"blank_minutes":3},"other":)" +
                              deep.substr(100000 - 127, 254) + "}";
  config.put(deepest);
  EXPECT_EQ(SettingsPrefs::load().power.blank_minutes, 3u);
  EXPECT_TRUE(changed.save());
  EXPECT_EQ(SettingsPrefs::load().power.blank_minutes, 4u);
  EXPECT_EQ(Json::parse(config.read()).count("other"), 1u);
}

TEST(TextAssistanceSection, ReadsBooleansAndSavesOneKeyAtATime) {
  TempConfig config;
  EXPECT_EQ(TextAssistance::load(), TextAssistance{});
  config.put(R"({"text_assistance":{"check_spelling":"yes","auto_correct":false},"z":0})");
  EXPECT_EQ(TextAssistance::load(), (TextAssistance{std::nullopt, false}));

  ASSERT_TRUE(TextAssistance::save(TextAssistance::kCheckSpelling, true));
  EXPECT_EQ(TextAssistance::load(), (TextAssistance{true, false}));
  // Saving the document keeps the section; saving the section keeps the rest.
  ASSERT_TRUE(SettingsPrefs{}.save());
  ASSERT_TRUE(TextAssistance::save(TextAssistance::kAutoCorrect, true));
  EXPECT_EQ(TextAssistance::load(), (TextAssistance{true, true}));
  Json document = Json::parse(config.read());
  EXPECT_EQ(document.begin().key(), "text_assistance");
  EXPECT_EQ(document["z"], 0);
  EXPECT_TRUE(document.contains("accessibility"));
}

}  // namespace
