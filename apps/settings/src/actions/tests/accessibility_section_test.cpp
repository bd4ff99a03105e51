// The Accessibility section: what the device decides (the speech actions,
// the on-screen keyboard), the pane's labels as values and fallbacks, and the
// page bindings.

#include "actions/accessibility_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/tests/section_support.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using namespace section_testing;

constexpr std::string_view kSet = "settings.action";

std::string set_text(std::string_view key, std::string_view text) {
  return fmt::format(R"({{"SetSetting":{{"key":"{}","value":{{"Text":"{}"}}}}}})", key, text);
}

constexpr AccessibilityDevice kBare{};
constexpr AccessibilityDevice kFull{.on_screen_keyboard = true, .speech_engine = true};

TEST(AccessibilitySectionTest, TheDeviceDecidesTheKeyboardAndSpeechActions) {
  const stored::SettingsPrefs prefs;
  const std::vector<std::string> common = {
      "high-contrast", "reduce-motion",     "large-cursor",     "sticky-keys",   "slow-keys",
      "visual-alerts", "pointer-crosshair", "thick-text-caret", "switch-control"};
  const std::vector<std::string> choices = {"text-size", "cursor-size", "colour-filter",
                                            "magnifier", "switch-keys", "switch-scan"};

  std::vector<std::string> bare = common;
  bare.insert(bare.end(), choices.begin(), choices.end());
  const Resource without = accessibility_resource(prefs, kBare);
  EXPECT_EQ(without.id, "settings.section:accessibility");
  EXPECT_EQ(without.kind, "settings.section");
  EXPECT_EQ(names(without), bare);
  EXPECT_TRUE(without.children.empty());

  std::vector<std::string> full = common;
  full.push_back("on-screen-keyboard");
  full.push_back("screen-reader");
  full.insert(full.end(), choices.begin(), choices.end());
  full.push_back("speech-rate");
  full.push_back("speech-voice");
  const Resource with = accessibility_resource(prefs, kFull);
  EXPECT_EQ(names(with), full);
  for (const auto& spec : with.actions) {
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationSetting) << spec.name;
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"configuration", "system-setting"}));
  }

  EXPECT_FALSE(accessibility_choice_binding("speech-rate", kBare));
  EXPECT_FALSE(accessibility_toggle_binding("screen-reader", kBare));
  EXPECT_FALSE(accessibility_toggle_binding("on-screen-keyboard", kBare));
  EXPECT_TRUE(accessibility_toggle_binding("on-screen-keyboard", kFull));
  EXPECT_TRUE(accessibility_choice_binding("speech-voice", kFull));
}

TEST(AccessibilitySectionTest, ChoicesOfferThePaneLabelsAndRequireOne) {
  stored::SettingsPrefs prefs;
  prefs.accessibility.color_filter = stored::ColorFilter::Grayscale;
  prefs.accessibility.switch_scan_ms = 1500;
  prefs.accessibility.screen_reader_rate = 116;
  prefs.accessibility.cursor_size = 40;
  prefs.accessibility.magnifier_zoom = 3;
  prefs.accessibility.switch_key_pair = stored::SwitchKeyPair::F9F10;
  prefs.accessibility.screen_reader_voice = stored::ReaderVoice::French;
  prefs.appearance.text_scale = 0.8;
  const Resource section = accessibility_resource(prefs, kFull);

  const struct {
    const char* name;
    const char* key;
    const char* fallback;
    std::vector<std::string> values;
  } rows[] = {
      {"text-size", "a11y.text_size", "Small", {"Small", "Default", "Large", "Larger"}},
      {"cursor-size", "a11y.cursor_size", "Large", {"Default", "Large", "Larger", "Largest"}},
      {"colour-filter",
       "a11y.color_filter",
       "Grayscale",
       {"Off", "Grayscale", "Inverted", "Grayscale + inverted"}},
      {"magnifier", "a11y.magnifier", "3\u00d7", {"Off", "2\u00d7", "3\u00d7"}},
      {"switch-keys", "a11y.switch_keys", "F9 / F10", {"F6 / F7", "F9 / F10", "1 / 2"}},
      {"switch-scan",
       "a11y.switch_scan",
       "Manual",
       {"Manual", "1 second", "2 seconds", "3 seconds"}},
      {"speech-rate", "a11y.reader_rate", "Fast", {"Slow", "Default", "Fast", "Very fast"}},
      {"speech-voice",
       "a11y.reader_voice",
       "French",
       {"System voice", "English (US)", "English (UK)", "German", "French", "Spanish"}},
  };
  for (const auto& row : rows) {
    const auto& spec = action(section, row.name);
    EXPECT_EQ(choices_of(spec), row.values) << row.name;
    EXPECT_EQ(spec.parameters.front().label, "New setting value");
    // The description lists exactly the values offered.
    std::string listed;
    for (const auto& value : row.values) listed += (listed.empty() ? "" : ", ") + value;
    EXPECT_EQ(spec.description, listed) << row.name;
    EXPECT_EQ(invoke(section, row.name, fmt::format(R"({{"choice":"{}"}})", row.fallback), kSet),
              set_text(row.key, row.fallback))
        << row.name;
    // A choice is required: nothing stands in for one not given.
    EXPECT_EQ(invoke(section, row.name, "{}", kSet),
              fmt::format("(failed: {}: choice is required: one of {})", row.name, listed));
  }
}

TEST(AccessibilitySectionTest, SwitchesSetTheirKeyAndBindingsCarryTheControlValue) {
  const Resource section = accessibility_resource(stored::SettingsPrefs{}, kBare);
  const auto& crosshair = action(section, "pointer-crosshair");
  EXPECT_EQ(crosshair.label, "Set pointer crosshair");
  EXPECT_EQ(crosshair.description, "On or off");
  EXPECT_EQ(invoke(section, "pointer-crosshair", R"({"value":true})", kSet),
            R"({"SetSetting":{"key":"a11y.cursor_crosshair","value":{"Bool":true}}})");
  EXPECT_EQ(invoke(section, "thick-text-caret", R"({"value":false})", kSet),
            R"({"SetSetting":{"key":"a11y.thick_text_caret","value":{"Bool":false}}})");
  EXPECT_EQ(invoke(section, "thick-text-caret", "{}", kSet),
            "(failed: thick-text-caret: value is required: true or false)");

  auto toggle = accessibility_toggle_binding("sticky-keys");
  ASSERT_TRUE(toggle);
  EXPECT_EQ(toggle->resource_id, "settings.section:accessibility");
  EXPECT_EQ(toggle->encode(ControlValue(true))->payload_text(),
            R"({"SetSetting":{"key":"a11y.sticky_keys","value":{"Bool":true}}})");
  auto filter = accessibility_choice_binding("colour-filter");
  ASSERT_TRUE(filter);
  EXPECT_EQ(filter->encode(ControlValue(std::string("Grayscale + inverted")))->payload_text(),
            set_text("a11y.color_filter", "Grayscale + inverted"));
  EXPECT_FALSE(accessibility_choice_binding("nothing"));
}

}  // namespace
}  // namespace settings::actions
