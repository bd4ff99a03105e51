// The Mouse & Keyboard section: its actions in order, the input sources
// as items with the moves their place allows, the text-assistance flips and
// the page's bindings.

#include "actions/mouse_keyboard_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/resource_tree.h"
#include "actions/tests/section_support.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using panes::mouse_keyboard::InputSource;
using namespace section_testing;

constexpr std::string_view kInputId = "settings.input-operation";
constexpr std::string_view kSourceId = "settings.keyboard-source-operation";

const std::vector<InputSource> kInstalled = {
    {"us", "English (US)"}, {"de", "German"},  {"fr", "French"},
    {"gb", "English (UK)"}, {"es", "Spanish"},
};

stored::InputPrefs with_sources(std::vector<std::string> ids) {
  stored::InputPrefs input;
  input.keyboard_layouts = std::move(ids);
  return input;
}

Resource section(const stored::InputPrefs& input) {
  return mouse_keyboard_resource(stored::TextAssistance{}, input, kInstalled);
}

TEST(MouseKeyboardSectionTest, ActionsInOrderWithTheirWordingAndRecords) {
  const Resource mk = section(with_sources({"us", "de"}));
  EXPECT_EQ(mk.id, "settings.section:mouse_keyboard");
  EXPECT_EQ(mk.kind, "settings.section");
  EXPECT_EQ(mk.label, "Mouse & Keyboard");
  EXPECT_EQ(names(mk),
            (std::vector<std::string>{
                "touchpad-natural-scroll", "mouse-natural-scroll", "tap-to-click", "tap-drag",
                "disable-while-typing", "middle-emulation", "left-handed", "touchpad-gestures",
                "touchpad-speed", "mouse-speed", "key-repeat", "acceleration-profile",
                "compose-key", "spell-checking", "auto-correct", "active-source", "add-source"}));

  const auto& tap = action(mk, "tap-to-click");
  EXPECT_EQ(tap.description, "On or off on this device");
  EXPECT_EQ(tap.parameters.at(0).label, "Whether this local preference is enabled");
  EXPECT_EQ(tags_of(tap), (std::vector<std::string>{"device-local", "input"}));
  const auto& speed = action(mk, "mouse-speed");
  EXPECT_EQ(speed.description, "0.0 \u2013 1.0");
  EXPECT_EQ(speed.parameters.at(0).label, "New local input value");
  EXPECT_EQ(speed.parameters.at(0).schema_json, R"({"minimum":0.0,"maximum":1.0})");
  const auto& compose = action(mk, "compose-key");
  EXPECT_EQ(compose.description, "Choose an input preference");
  EXPECT_EQ(compose.parameters.at(0).label, "Device-local input value");
  EXPECT_EQ(choices_of(compose),
            (std::vector<std::string>{"Disabled", "Right Alt", "Menu", "Caps Lock", "Right Super",
                                      "Left Super"}));
  EXPECT_EQ(tags_of(action(mk, "add-source")),
            (std::vector<std::string>{"device-local", "input-source"}));

  struct Case {
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
  };
  const Case cases[] = {
      {"touchpad-natural-scroll", R"({"value":true})",
       R"({"SetTouchpadNaturalScroll":{"enabled":true}})"},
      {"left-handed", R"({"value":false})", R"({"SetLeftHanded":{"enabled":false}})"},
      {"touchpad-gestures", R"({"value":true})", R"({"SetTouchpadGestures":{"enabled":true}})"},
      // Speeds outside 0 to 1, and missing ones, are refused.
      {"touchpad-speed", R"({"value":1.7})",
       "(failed: touchpad-speed: value must be a number from 0 to 1)"},
      {"touchpad-speed", R"({"value":0})", R"({"SetTouchpadPointerSpeed":{"value":0.0}})"},
      {"mouse-speed", R"({"value":0.25})", R"({"SetMousePointerSpeed":{"value":0.25}})"},
      {"key-repeat", "{}", "(failed: key-repeat: value is required: a number from 0 to 1)"},
      {"acceleration-profile", R"({"choice":"Flat"})",
       R"({"SetAccelerationProfile":{"profile":"Flat"}})"},
      {"compose-key", R"({"choice":"Disabled"})", R"({"SetComposeKey":{"key":"Disabled"}})"},
      {"active-source", R"({"choice":"Swedish"})",
       "(failed: active-source: choice must be one of English (US), German)"},
      {"active-source", R"({"choice":"German"})", R"({"SetActiveSource":{"label":"German"}})"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(mk, c.name, c.arguments, kInputId), c.payload) << c.name;
  }
  for (const auto& spec : mk.actions) {
    EXPECT_FALSE(spec.is_privileged || spec.is_destructive) << spec.name;
  }
}

TEST(MouseKeyboardSectionTest, SourceItemsCarryTheMovesTheirPlaceAllows) {
  struct Case {
    std::vector<std::string> active;
    std::vector<std::vector<std::string>> item_actions;
    bool add_source;
  };
  const Case cases[] = {
      {{"us"}, {{}}, true},
      {{"us", "de", "fr"},
       {{"move-down", "remove"}, {"move-up", "move-down", "remove"}, {"move-up", "remove"}},
       true},
      {{"us", "de", "fr", "gb"},
       {{"move-down", "remove"},
        {"move-up", "move-down", "remove"},
        {"move-up", "move-down", "remove"},
        {"move-up", "remove"}},
       false},
  };
  for (const Case& c : cases) {
    const Resource mk = section(with_sources(c.active));
    ASSERT_EQ(mk.children.size(), c.active.size());
    for (std::size_t i = 0; i < c.active.size(); ++i) {
      EXPECT_EQ(mk.children[i].id, "settings.input-source:" + c.active[i]);
      EXPECT_EQ(mk.children[i].kind, "settings.input-source");
      EXPECT_EQ(names(mk.children[i]), c.item_actions[i]) << c.active.size() << " sources, " << i;
    }
    EXPECT_EQ(mk.action("add-source") != nullptr, c.add_source) << c.active.size();
  }

  const Resource three = section(with_sources({"us", "de", "fr"}));
  EXPECT_EQ(invoke(three.children[1], "move-down", "{}", kSourceId), R"({"MoveDown":{"index":1}})");
  EXPECT_EQ(invoke(three.children[1], "move-up", "{}", kSourceId), R"({"MoveUp":{"index":1}})");
  EXPECT_EQ(invoke(three.children[2], "remove", "{}", kSourceId), R"({"Remove":{"index":2}})");
  EXPECT_EQ(tags_of(action(three.children[0], "remove")),
            (std::vector<std::string>{"device-local", "input-source"}));
  // What may be added: the installed layouts not active, by byte order.
  const auto& add = action(three, "add-source");
  EXPECT_EQ(add.description, "Choose an installed keyboard layout");
  ASSERT_EQ(add.parameters.size(), 1u);
  EXPECT_EQ(add.parameters[0].name, "label");
  EXPECT_EQ(add.parameters[0].label, "Installed layout");
  EXPECT_EQ(add.parameters[0].allowed_values,
            (std::vector<std::string>{"English (UK)", "Spanish"}));
  EXPECT_EQ(invoke(three, "add-source", "{}", kSourceId),
            "(failed: add-source: label is required: one of English (UK), Spanish)");
  EXPECT_EQ(invoke(three, "add-source", R"({"label":"Spanish"})", kSourceId),
            R"({"Add":{"label":"Spanish"}})");

  // Everything installed is active: nothing to add.
  const std::vector<InputSource> two = {{"us", "English (US)"}, {"de", "German"}};
  EXPECT_EQ(mouse_keyboard_resource(stored::TextAssistance{}, with_sources({"us", "de"}), two)
                .action("add-source"),
            nullptr);
}

TEST(MouseKeyboardSectionTest, AnUnknownActiveSourceIsListedUnderItsIdButNotOffered) {
  const Resource mk = section(with_sources({"us", "xx:custom"}));
  ASSERT_EQ(mk.children.size(), 2u);
  EXPECT_EQ(mk.children[0].label, "English (US)");
  EXPECT_EQ(mk.children[1].id, "settings.input-source:xx:custom");
  EXPECT_EQ(mk.children[1].label, "xx:custom");
  EXPECT_EQ(choices_of(action(mk, "active-source")), (std::vector<std::string>{"English (US)"}));

  // Only unknown sources: no active-source choice at all.
  EXPECT_EQ(section(with_sources({"xx"})).action("active-source"), nullptr);
  // An empty list falls back to the single stored layout.
  stored::InputPrefs single = with_sources({});
  single.keyboard_layout = "de";
  const Resource from_single = section(single);
  ASSERT_EQ(from_single.children.size(), 1u);
  EXPECT_EQ(from_single.children[0].label, "German");
}

// The switches flip what the "text_assistance" section holds (on while it
// holds nothing), whatever the state document says.
TEST(MouseKeyboardSectionTest, TextAssistanceFlipsTheStoredValue) {
  const Resource fresh = section(with_sources({"us"}));
  const auto& spelling = action(fresh, "spell-checking");
  EXPECT_EQ(spelling.label, "Turn off spell checking while typing");
  EXPECT_EQ(spelling.operation_kind, kalu_actions::kOperationSetting);
  EXPECT_TRUE(spelling.parameters.empty());
  EXPECT_EQ(tags_of(spelling), (std::vector<std::string>{"configuration", "system-setting"}));
  EXPECT_EQ(invoke(fresh, "spell-checking", "{}", "settings.action"),
            R"({"SetSetting":{"key":"text.check_spelling","value":{"Bool":false}}})");
  // A value sent to the flip would be read as asked and then done the other
  // way: it is refused.
  EXPECT_EQ(invoke(fresh, "spell-checking", R"({"value":true})", "settings.action"),
            "(failed: spell-checking: unknown argument \"value\"; spell-checking takes no "
            "arguments)");

  const Resource off = mouse_keyboard_resource(
      stored::TextAssistance{.check_spelling = std::nullopt, .auto_correct = false},
      with_sources({"us"}), kInstalled);
  EXPECT_EQ(action(off, "auto-correct").label, "Turn on automatic spelling correction");
  EXPECT_EQ(invoke(off, "auto-correct", "{}", "settings.action"),
            R"({"SetSetting":{"key":"text.auto_correct","value":{"Bool":true}}})");
}

// The bindings read the settings document on disk and the catalogue of the
// rules folder; here the fixed list (no rules files).
class MouseKeyboardBindingTest : public ::testing::Test {
 protected:
  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};
  panes::mouse_keyboard::ScopedRulesDir rules_{device_.dir() / "no-rules"};

  void store_sources(std::string_view json_list) {
    const auto path = *prefs_store::settings_path();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << R"({"input":{"keyboard_layouts":)" << json_list << "}}";
  }
};

TEST_F(MouseKeyboardBindingTest, TheTextAssistanceSwitchesSetWhatTheControlSays) {
  for (const auto& [name, key] : {std::pair{"spell-checking", "text.check_spelling"},
                                  std::pair{"auto-correct", "text.auto_correct"}}) {
    auto binding = input_toggle_binding(name);
    ASSERT_TRUE(binding) << name;
    EXPECT_EQ(binding->resource_id, "settings.section:mouse_keyboard");
    for (const bool on : {true, false}) {
      auto encoded = binding->encode(ControlValue(on));
      ASSERT_TRUE(encoded);
      EXPECT_EQ(encoded->action_id, "settings.action");
      EXPECT_EQ(encoded->payload_text(),
                fmt::format(R"({{"SetSetting":{{"key":"{}","value":{{"Bool":{}}}}}}})", key, on));
    }
  }
}

TEST_F(MouseKeyboardBindingTest, PageBindingsFollowTheStoredSources) {
  store_sources(R"(["us","de","fr"])");
  auto tap = input_toggle_binding("tap-to-click");
  ASSERT_TRUE(tap);
  EXPECT_EQ(tap->encode(ControlValue(true))->payload_text(),
            R"({"SetTapToClick":{"enabled":true}})");
  auto speed = input_level_binding("touchpad-speed");
  ASSERT_TRUE(speed);
  EXPECT_EQ(speed->encode(ControlValue(0.75))->payload_text(),
            R"({"SetTouchpadPointerSpeed":{"value":0.75}})");
  EXPECT_EQ(speed->encode(ControlValue(2.0)),
            kalu_ui::Result<kalu_actions::EncodedAction>(
                kalu_ui::fail("touchpad-speed: value must be a number from 0 to 1")));
  EXPECT_FALSE(input_level_binding("tap-to-click-speed"));

  // The text goes under the parameter the action has.
  auto compose = input_text_binding("compose-key");
  ASSERT_TRUE(compose);
  EXPECT_EQ(compose->invocation(ControlValue(std::string("Menu")))->arguments_json,
            R"({"choice":"Menu"})");
  auto add = input_text_binding("add-source");
  ASSERT_TRUE(add);
  EXPECT_EQ(add->invocation(ControlValue(std::string("Dutch")))->arguments_json,
            R"({"label":"Dutch"})");
  EXPECT_EQ(add->encode(ControlValue(std::string("Dutch")))->payload_text(),
            R"({"Add":{"label":"Dutch"}})");
  auto active = input_text_binding("active-source");
  ASSERT_TRUE(active);
  EXPECT_EQ(active->encode(ControlValue(std::string("French")))->payload_text(),
            R"({"SetActiveSource":{"label":"French"}})");

  auto down = input_source_command_binding("de", "move-down");
  ASSERT_TRUE(down);
  EXPECT_EQ(down->resource_id, "settings.input-source:de");
  EXPECT_EQ(down->encode(ControlValue())->payload_text(), R"({"MoveDown":{"index":1}})");
  EXPECT_FALSE(input_source_command_binding("fr", "move-down"));
  EXPECT_FALSE(input_source_command_binding("gb", "remove"));

  // Four active: "add-source" is not offered, so the page's dropdown stays unbound.
  store_sources(R"(["us","de","fr","gb"])");
  EXPECT_FALSE(input_text_binding("add-source"));
}

TEST_F(MouseKeyboardBindingTest, TheTreeBuildsTheSectionFromTheStoredSources) {
  store_sources(R"(["de","us"])");
  const kalu_ui::doc::Document document;
  auto found = resource_by_id(document, {}, "settings.input-source:us");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->label, "English (US)");
  EXPECT_EQ(names(*found), (std::vector<std::string>{"move-up", "remove"}));
}

}  // namespace
}  // namespace settings::actions
