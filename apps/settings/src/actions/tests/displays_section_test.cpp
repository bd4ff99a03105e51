// The Displays section: its actions around the outputs, each output's
// actions with the choice lists built from the other outputs, and the page's
// bindings with their limits.

#include "actions/displays_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/tests/section_support.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using namespace section_testing;

constexpr std::string_view kDisplayId = "settings.display-operation";

prefs_store::OutputDescriptor output(std::string connector, std::string name) {
  prefs_store::OutputDescriptor o;
  o.connector = std::move(connector);
  o.name = std::move(name);
  return o;
}

prefs_store::DisplayHardwareSnapshot snapshot_of(
    std::vector<prefs_store::OutputDescriptor> outputs) {
  prefs_store::DisplayHardwareSnapshot snapshot;
  snapshot.live_capabilities = true;
  snapshot.cards.push_back({"card0", std::move(outputs)});
  return snapshot;
}

std::vector<std::string> choice_list(std::size_t count) {
  std::vector<std::string> choices;
  for (std::size_t i = 0; i < count; ++i) choices.push_back(fmt::format("Choice {}", i));
  return choices;
}

const std::vector<std::string> kSectionFirst = {"auto_brightness", "night_light",
                                                "night_light_temperature", "brightness", "scale"};
const std::vector<std::string> kCommands = {"apply", "confirm", "revert"};

TEST(DisplaysSectionTest, SectionActionsSurroundTheOutputs) {
  const Resource displays = displays_resource(snapshot_of({output("eDP-1", "Laptop panel")}));
  EXPECT_EQ(displays.id, "settings.section:displays");
  EXPECT_EQ(displays.kind, "settings.section");
  EXPECT_EQ(displays.label, "Displays");
  std::vector<std::string> expected = kSectionFirst;
  expected.insert(expected.end(), kCommands.begin(), kCommands.end());
  EXPECT_EQ(names(displays), expected);
  EXPECT_EQ(child_ids(displays), (std::vector<std::string>{"settings.display-output:eDP-1"}));

  struct Case {
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
  };
  const Case cases[] = {
      {"auto_brightness", R"({"value":true})", R"({"SetAutoBrightness":{"enabled":true}})"},
      {"night_light", R"({"value":false})", R"({"SetNightLight":{"enabled":false}})"},
      {"night_light_temperature", R"({"choice":"Warm · 3700 K"})",
       R"({"SetNightLightTemperature":{"label":"Warm · 3700 K"}})"},
      {"brightness", R"({"value":0.4})", R"({"SetBrightness":{"value":0.4}})"},
      // Outside the range, or not given: refused before anything is built.
      {"brightness", R"({"value":1.7})",
       "(failed: brightness: value must be a number from 0 to 1)"},
      {"brightness", R"({"value":"0.5"})",
       "(failed: brightness: value must be a number from 0 to 1)"},
      {"scale", "{}", "(failed: scale: choice is required: one of 100%, 125%, 150%, 175%, 200%)"},
      {"apply", "{}", R"("Apply")"},
      {"apply", R"({"value":true})",
       R"((failed: apply: unknown argument "value"; apply takes no arguments))"},
      {"confirm", "{}", R"("Confirm")"},
      {"revert", "{}", R"("Revert")"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(displays, c.name, c.arguments, kDisplayId), c.payload) << c.name;
  }
  for (const auto& spec : displays.actions) {
    const bool command = spec.parameters.empty();
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "display",
                                                       command ? "transaction" : "hardware"}))
        << spec.name;
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationEffect);
    EXPECT_FALSE(spec.is_privileged || spec.is_destructive);
  }
  EXPECT_EQ(choices_of(action(displays, "night_light_temperature")),
            (std::vector<std::string>{"Subtle · 4500 K", "Warm · 3700 K", "Very warm · 2800 K"}));
  EXPECT_EQ(choices_of(action(displays, "scale")),
            (std::vector<std::string>{"100%", "125%", "150%", "175%", "200%"}));

  // A snapshot without live capabilities: no outputs, the commands still last.
  prefs_store::DisplayHardwareSnapshot unread = snapshot_of({output("eDP-1", "")});
  unread.live_capabilities = false;
  const Resource bare = displays_resource(unread);
  EXPECT_EQ(names(bare), expected);
  EXPECT_TRUE(bare.children.empty());
}

TEST(DisplaysSectionTest, OutputActionsAndChoicesBuiltFromTheOtherOutputs) {
  prefs_store::OutputDescriptor a = output("DP-1", "Desk Monitor");
  a.modes = {{2560, 1440, 144000}, {1920, 1080, 60000}};
  a.color_profiles = {"srgb", "unnamed", "p3"};
  a.color_profile_names = {{"srgb", "sRGB"}, {"p3", "Display P3"}};
  a.hdr_controllable = a.vrr_controllable = true;
  const prefs_store::OutputDescriptor b = output("HDMI-1", "");
  const Resource displays = displays_resource(snapshot_of({a, b}));
  ASSERT_EQ(displays.children.size(), 2u);
  const Resource& first = displays.children[0];
  const Resource& second = displays.children[1];
  EXPECT_EQ(first.kind, "settings.display-output");
  EXPECT_EQ(first.label, "Desk Monitor");
  EXPECT_EQ(second.label, "HDMI-1");

  EXPECT_EQ(names(first),
            (std::vector<std::string>{"enabled", "scale", "position", "mirror", "primary", "mode",
                                      "transform", "hdr", "vrr", "color-profile"}));
  EXPECT_EQ(names(second),
            (std::vector<std::string>{"enabled", "scale", "position", "mirror", "primary", "mode",
                                      "transform", "color-profile"}));
  EXPECT_EQ(choices_of(action(first, "position")),
            (std::vector<std::string>{"Automatic", "Left of HDMI-1", "Right of HDMI-1",
                                      "Above of HDMI-1", "Below of HDMI-1"}));
  EXPECT_EQ(choices_of(action(second, "mirror")),
            (std::vector<std::string>{"Extend workspace", "Mirror Desk Monitor"}));
  EXPECT_EQ(choices_of(action(first, "mode")),
            (std::vector<std::string>{"2560 × 1440 · 144 Hz", "1920 × 1080 · 60 Hz"}));
  EXPECT_TRUE(choices_of(action(second, "mode")).empty());
  EXPECT_EQ(choices_of(action(first, "color-profile")),
            (std::vector<std::string>{"System default", "sRGB · srgb", "Display P3 · p3"}));
  EXPECT_EQ(choices_of(action(second, "color-profile")),
            (std::vector<std::string>{"System default"}));
  EXPECT_EQ(
      choices_of(action(first, "transform")),
      (std::vector<std::string>{"Landscape", "Portrait right", "Upside down", "Portrait left"}));
  for (const auto& spec : first.actions) {
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "display", "live-output"}))
        << spec.name;
  }

  // The connector comes from the item, never from the arguments: one given
  // is an argument the action does not take.
  struct Case {
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
  };
  const Case cases[] = {
      {"position", R"({"choice":"Left of HDMI-1"})",
       R"({"SetPosition":{"connector":"DP-1","label":"Left of HDMI-1"}})"},
      {"position", R"({"choice":"Left of HDMI-1","connector":"HDMI-1"})",
       "(failed: position: unknown argument \"connector\"; position takes choice (one of "
       "Automatic, Left of HDMI-1, Right of HDMI-1, Above of HDMI-1, Below of HDMI-1))"},
      {"enabled", R"({"value":false})", R"({"SetEnabled":{"connector":"DP-1","enabled":false}})"},
      {"primary", R"({"value":true})", R"({"SetPrimary":{"connector":"DP-1","primary":true}})"},
      {"scale", R"({"choice":"125%"})",
       R"({"SetOutputScale":{"connector":"DP-1","label":"125%"}})"},
      {"mirror", R"({"choice":"Mirror HDMI-1"})",
       R"({"SetMirror":{"connector":"DP-1","label":"Mirror HDMI-1"}})"},
      {"mode", R"({"choice":"1920 × 1080 · 60 Hz"})",
       R"({"SetModeLabel":{"connector":"DP-1","label":"1920 × 1080 · 60 Hz"}})"},
      {"transform", R"({"choice":"Upside down"})",
       R"({"SetTransformLabel":{"connector":"DP-1","label":"Upside down"}})"},
      {"hdr", R"({"value":true})", R"({"SetHdr":{"connector":"DP-1","enabled":true}})"},
      {"vrr", R"({"value":true})", R"({"SetVrr":{"connector":"DP-1","enabled":true}})"},
      {"color-profile", R"({"choice":"sRGB · srgb"})",
       R"({"SetColorProfileLabel":{"connector":"DP-1","label":"sRGB · srgb"}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(first, c.name, c.arguments, kDisplayId), c.payload) << c.name;
  }
}

TEST(DisplaysSectionTest, OneOutputOffersOnlyAutomaticAndExtendAndListsAreCut) {
  prefs_store::OutputDescriptor alone = output("eDP-1", "Laptop panel");
  for (std::uint32_t i = 0; i < 130; ++i) alone.modes.push_back({1000 + i, 800, 60000});
  for (int i = 0; i < 130; ++i) {
    const std::string id = fmt::format("p{}", i);
    alone.color_profiles.push_back(id);
    alone.color_profile_names[id] = fmt::format("Profile {}", i);
  }
  const Resource displays = displays_resource(snapshot_of({alone}));
  const Resource& item = displays.children.at(0);
  EXPECT_EQ(choices_of(action(item, "position")), (std::vector<std::string>{"Automatic"}));
  EXPECT_EQ(choices_of(action(item, "mirror")), (std::vector<std::string>{"Extend workspace"}));
  EXPECT_EQ(choices_of(action(item, "mode")).size(), 128u);
  const auto profiles = choices_of(action(item, "color-profile"));
  ASSERT_EQ(profiles.size(), 128u);
  EXPECT_EQ(profiles.back(), "Profile 126 · p126");

  std::vector<prefs_store::OutputDescriptor> many;
  for (int i = 0; i < 300; ++i) many.push_back(output(fmt::format("DP-{}", i), ""));
  const Resource crowded = displays_resource(snapshot_of(std::move(many)));
  ASSERT_EQ(crowded.children.size(), 256u);
  EXPECT_EQ(crowded.children.back().id, "settings.display-output:DP-255");
}

TEST(DisplaysSectionTest, BindingsOfThePage) {
  for (const std::string_view name : {"auto_brightness", "night_light"}) {
    auto toggle = display_toggle_binding(name);
    ASSERT_TRUE(toggle) << name;
    EXPECT_EQ(toggle->resource_id, "settings.section:displays");
  }
  EXPECT_EQ(display_toggle_binding("night_light")->encode(ControlValue(true))->payload_text(),
            R"({"SetNightLight":{"enabled":true}})");
  EXPECT_FALSE(display_toggle_binding("brightness"));
  auto brightness = brightness_binding("brightness");
  ASSERT_TRUE(brightness);
  EXPECT_EQ(brightness->encode(ControlValue(0.62))->payload_text(),
            R"({"SetBrightness":{"value":0.62}})");
  EXPECT_EQ(brightness->spec.parameters.at(0).schema_json, R"({"minimum":0.0,"maximum":1.0})");
  EXPECT_FALSE(brightness_binding("night_light"));
  auto warmth = night_light_warmth_binding("night_light_temperature");
  ASSERT_TRUE(warmth);
  EXPECT_EQ(warmth->spec.parameters.at(0).allowed_values.size(), 3u);
  EXPECT_FALSE(night_light_warmth_binding("scale"));

  for (const std::string_view name : {"enabled", "primary", "hdr", "vrr"}) {
    auto toggle = display_output_toggle_binding(name, "DP-1");
    ASSERT_TRUE(toggle) << name;
    EXPECT_EQ(toggle->resource_id, "settings.display-output:DP-1");
  }
  EXPECT_EQ(
      display_output_toggle_binding("hdr", "DP-1")->encode(ControlValue(true))->payload_text(),
      R"({"SetHdr":{"connector":"DP-1","enabled":true}})");
  EXPECT_FALSE(display_output_toggle_binding("scale", "DP-1"));

  for (const std::string_view name :
       {"scale", "position", "mirror", "mode", "transform", "color-profile"}) {
    EXPECT_TRUE(display_output_choice_binding(name, "DP-1", choice_list(2))) << name;
  }
  EXPECT_FALSE(display_output_choice_binding("enabled", "DP-1", choice_list(2)));
  EXPECT_FALSE(display_output_choice_binding("mode", "DP-1", {}));
  EXPECT_FALSE(display_output_choice_binding("mode", "DP-1", choice_list(129)));
  auto mode = display_output_choice_binding("mode", "DP-1", choice_list(128));
  ASSERT_TRUE(mode);
  EXPECT_EQ(mode->spec.label, "Set resolution and refresh rate");
  EXPECT_EQ(mode->encode(ControlValue(std::string("Choice 127")))->payload_text(),
            R"({"SetModeLabel":{"connector":"DP-1","label":"Choice 127"}})");
}

TEST(DisplaysSectionTest, ReadsTheHardwareOfTheDevice) {
  sim_device::ScopedDeviceState device;
  const Resource seeded = displays_resource();
  EXPECT_EQ(child_ids(seeded), (std::vector<std::string>{"settings.display-output:eDP-1",
                                                         "settings.display-output:DP-2"}));
  // The panel does not control HDR; the monitor does.
  EXPECT_EQ(seeded.children[0].action("hdr"), nullptr);
  EXPECT_NE(seeded.children[1].action("hdr"), nullptr);
  // The panel goes by the one name the Displays page gives it.
  EXPECT_EQ(seeded.children[0].label, "Built-in display");
  EXPECT_EQ(choices_of(action(seeded.children[1], "mirror")),
            (std::vector<std::string>{"Extend workspace", "Mirror Built-in display"}));
  for (const std::string_view name : {"apply", "confirm", "revert"}) {
    auto command = display_command_binding(name);
    ASSERT_TRUE(command) << name;
    EXPECT_EQ(command->encode(ControlValue())->action_id, kDisplayId);
  }
  EXPECT_FALSE(display_command_binding("keep"));

  ASSERT_EQ(
      sim_device::simdev::command({"fault", "display.load_snapshot", "compositor gone"}).status, 0);
  const Resource faulted = displays_resource();
  EXPECT_TRUE(faulted.children.empty());
  std::vector<std::string> expected = kSectionFirst;
  expected.insert(expected.end(), kCommands.begin(), kCommands.end());
  EXPECT_EQ(names(faulted), expected);
  EXPECT_TRUE(display_command_binding("revert"));
}

}  // namespace
}  // namespace settings::actions
