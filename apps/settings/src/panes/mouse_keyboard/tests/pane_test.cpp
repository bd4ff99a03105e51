// The Mouse & Keyboard pane: the key-repeat texts, the page's source rows
// and closing row for one to four sources, every control's binding (and the
// disabled control where the section offers none), and the two
// text-assistance switches from the settings file through the state
// document back into it, one member per save.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/mouse_keyboard_section.h"
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/mouse_keyboard/model.h"
#include "panes/mouse_keyboard/mouse_keyboard_pane.h"
#include "panes/mouse_keyboard/page.h"
#include "rules_fixture.h"

namespace settings::panes::mouse_keyboard {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using nlohmann::ordered_json;
using ::testing::ElementsAre;
using testing::PaneFolders;

constexpr kalu_ui::Size kTall{900.0, 2000.0};

TEST(KeyRepeatTest, SliderAndTextFromDelayAndRate) {
  const struct {
    std::optional<std::uint32_t> delay, rate;
    double value;
    std::string text;
  } cases[] = {
      {500, 30, 0.5, "30 keys per second · starts after 500 ms"},
      {500, 0, 0.0, std::string(kRepeatOff)},
      {250, 10, 0.0, "10 keys per second · starts after 250 ms"},
      {250, 70, 1.0, "70 keys per second · starts after 250 ms"},
      {std::nullopt, 30, 0.8, std::string(kRepeatUnknown)},
      {500, std::nullopt, 0.8, std::string(kRepeatUnknown)},
  };
  for (const auto& c : cases) {
    stored::InputPrefs input;
    input.key_repeat = 0.8;
    input.key_repeat_delay_ms = c.delay;
    input.key_repeat_rate_hz = c.rate;
    EXPECT_EQ(key_repeat(input), (KeyRepeat{c.value, c.text})) << c.text;
  }
}

std::vector<InputSource> catalogue(
    std::initializer_list<std::pair<const char*, const char*>> rows) {
  std::vector<InputSource> out;
  for (const auto& [id, label] : rows) out.push_back({id, label});
  return out;
}

// The page alone, bound to a section built from the same input and sources.
struct PageRig {
  PageRig(std::vector<std::string> active, std::vector<InputSource> installed,
          std::optional<kalu_actions::Resource> section = std::nullopt)
      : sources(std::move(installed)),
        input(make_input(std::move(active))),
        harness(build_page({input, sources, true, false},
                           section ? *section
                                   : actions::mouse_keyboard_resource(stored::TextAssistance{},
                                                                      input, sources)),
                kalu_ui::harness::Options::sized(kTall)) {
    harness.frame();
  }
  static stored::InputPrefs make_input(std::vector<std::string> active) {
    stored::InputPrefs input;
    input.keyboard_layout = active.front();
    input.keyboard_layouts = std::move(active);
    return input;
  }
  template <typename W>
  W& get(std::string_view id) {
    auto* found = dynamic_cast<W*>(harness.find(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  // Enabled, and bound to this source's action.
  std::string button_state(std::size_t index, std::string_view which) {
    auto& button = get<w::Button>(source_button_id(index, which));
    if (!button.is_enabled()) return button.binding() ? "disabled but bound" : "off";
    if (!button.binding()) return "enabled, unbound";
    return button.binding()->resource_id + " " + button.binding()->action;
  }
  bool has_add_row() { return harness.find(kAddPickerId) != nullptr; }

  std::vector<InputSource> sources;
  stored::InputPrefs input;
  kalu_ui::harness::Harness harness;
};

const std::vector<InputSource> kFive = catalogue({{"us", "English (US)"},
                                                  {"de", "German"},
                                                  {"fr", "French"},
                                                  {"es", "Spanish"},
                                                  {"it", "Italian"}});

TEST(MouseKeyboardPageTest, OneSourceCanOnlyBeAddedTo) {
  PageRig rig({"us"}, kFive);
  EXPECT_EQ(rig.button_state(0, "up"), "off");
  EXPECT_EQ(rig.button_state(0, "down"), "off");
  EXPECT_EQ(rig.button_state(0, "remove"), "off");
  auto& add = rig.get<w::Dropdown>(kAddPickerId);
  EXPECT_THAT(add.options(), ElementsAre("German", "French", "Spanish", "Italian"));
  EXPECT_EQ(add.selected(), "German");
  ASSERT_TRUE(add.binding());
  EXPECT_EQ(add.binding()->action, "add-source");
  const auto chosen = add.binding()->invocation(std::string("French"));
  ASSERT_TRUE(chosen);
  EXPECT_EQ(chosen->arguments_json, R"({"label":"French"})");
}

TEST(MouseKeyboardPageTest, FourSourcesMoveWhereTheyCanAndCloseWithTheCaption) {
  PageRig rig({"us", "de", "fr", "es"}, kFive);
  EXPECT_EQ(rig.button_state(0, "up"), "off");
  EXPECT_EQ(rig.button_state(0, "down"), "settings.input-source:us move-down");
  EXPECT_EQ(rig.button_state(1, "up"), "settings.input-source:de move-up");
  EXPECT_EQ(rig.button_state(2, "remove"), "settings.input-source:fr remove");
  EXPECT_EQ(rig.button_state(3, "down"), "off");
  EXPECT_EQ(rig.button_state(3, "up"), "settings.input-source:es move-up");
  EXPECT_FALSE(rig.has_add_row());
  EXPECT_NE(rig.harness.rect_of(kLayoutId), std::nullopt);
  auto& active = rig.get<w::Dropdown>(kLayoutId);
  EXPECT_THAT(active.options(), ElementsAre("English (US)", "German", "French", "Spanish"));
  EXPECT_EQ(active.selected(), "English (US)");
}

TEST(MouseKeyboardPageTest, EveryInstalledSourceActiveLeavesNothingToAdd) {
  PageRig rig({"de", "us"}, catalogue({{"us", "English (US)"}, {"de", "German"}}));
  EXPECT_FALSE(rig.has_add_row());
  EXPECT_EQ(rig.button_state(1, "remove"), "settings.input-source:us remove");
}

TEST(MouseKeyboardPageTest, AnUnknownActiveIdIsListedAsItself) {
  PageRig rig({"xx", "de"}, kFive);
  EXPECT_EQ(source_label(kFive, "xx"), "xx");
  EXPECT_THAT(rig.get<w::Dropdown>(kLayoutId).options(), ElementsAre("xx", "German"));
  EXPECT_EQ(rig.get<w::Dropdown>(kLayoutId).selected(), "xx");
}

TEST(MouseKeyboardPageTest, EachControlCarriesItsAction) {
  PageRig rig({"us", "de"}, kFive);
  const struct {
    std::string_view id, action;
  } toggles[] = {
      {"input.touchpad_natural_scroll", "touchpad-natural-scroll"},
      {"input.mouse_natural_scroll", "mouse-natural-scroll"},
      {"input.tap_click", "tap-to-click"},
      {"input.tap_drag", "tap-drag"},
      {"input.disable_while_typing", "disable-while-typing"},
      {"input.touchpad_gestures", "touchpad-gestures"},
      {"input.left_handed", "left-handed"},
      {"input.middle_emulation", "middle-emulation"},
      {kCheckSpellingId, "spell-checking"},
      {kAutoCorrectId, "auto-correct"},
  };
  for (const auto& t : toggles) {
    auto& toggle = rig.get<w::Toggle>(t.id);
    ASSERT_TRUE(toggle.binding()) << t.id;
    EXPECT_EQ(toggle.binding()->action, t.action);
    EXPECT_TRUE(toggle.is_enabled());
  }
  // The two switches set their key to what the control says.
  EXPECT_TRUE(rig.get<w::Toggle>(kCheckSpellingId).value());
  EXPECT_FALSE(rig.get<w::Toggle>(kAutoCorrectId).value());
  const auto spelling = rig.get<w::Toggle>(kCheckSpellingId).binding()->invocation(false);
  ASSERT_TRUE(spelling);
  EXPECT_EQ(spelling->arguments_json, R"({"value":false})");
  for (const auto& [id, action] :
       {std::pair{kKeyRepeatId, "key-repeat"},
        std::pair{std::string_view("input.touchpad_pointer_speed"), "touchpad-speed"},
        std::pair{std::string_view("input.mouse_pointer_speed"), "mouse-speed"}}) {
    auto& slider = rig.get<w::Slider>(id);
    ASSERT_TRUE(slider.binding()) << id;
    EXPECT_EQ(slider.binding()->action, action);
  }
  for (const auto& [id, action] :
       {std::pair{kComposeKeyId, "compose-key"}, std::pair{kAccelProfileId, "acceleration-profile"},
        std::pair{kLayoutId, "active-source"}}) {
    auto& dropdown = rig.get<w::Dropdown>(id);
    ASSERT_TRUE(dropdown.binding()) << id;
    EXPECT_EQ(dropdown.binding()->action, action);
  }
  EXPECT_THAT(
      rig.get<w::Dropdown>(kComposeKeyId).options(),
      ElementsAre("Disabled", "Right Alt", "Menu", "Caps Lock", "Right Super", "Left Super"));
  EXPECT_EQ(rig.get<w::Dropdown>(kAccelProfileId).selected(), "Adaptive");
}

// The section of another moment (the sources since changed to fr, us; then
// one with no actions at all): the page still builds, and what it cannot
// bind is disabled.
TEST(MouseKeyboardPageTest, AControlWithoutItsActionIsDisabled) {
  kalu_ui::log::ScopedCapture log;
  stored::InputPrefs other;
  other.keyboard_layouts = {"fr", "us"};
  PageRig rig({"us", "de"}, kFive,
              actions::mouse_keyboard_resource(stored::TextAssistance{}, other, kFive));
  EXPECT_EQ(rig.button_state(0, "down"), "off");  // "us" is last there
  EXPECT_EQ(rig.button_state(0, "remove"), "settings.input-source:us remove");
  EXPECT_EQ(rig.button_state(1, "up"), "off");  // no "de" there
  EXPECT_EQ(rig.button_state(1, "remove"), "off");

  PageRig bare({"us", "de"}, kFive,
               kalu_actions::Resource::create("settings.section:mouse_keyboard", "x", "x"));
  EXPECT_FALSE(bare.get<w::Toggle>("input.tap_click").is_enabled());
  EXPECT_FALSE(bare.get<w::Slider>(kKeyRepeatId).is_enabled());
  EXPECT_FALSE(bare.get<w::Dropdown>(kLayoutId).is_enabled());
  EXPECT_EQ(bare.button_state(0, "remove"), "off");
  // The spell checker's switches set their own keys; they need no published action.
  EXPECT_TRUE(bare.get<w::Toggle>(kCheckSpellingId).is_enabled());
  EXPECT_FALSE(log.events().empty());
}

// ---- The pane, on folders of its own ----

struct PaneRig {
  PaneRig()
      : harness(std::make_unique<MouseKeyboardPane>(), kalu_ui::harness::Options::sized(kTall)),
        pane(dynamic_cast<MouseKeyboardPane&>(harness.root())) {
    harness.frame();
  }
  std::optional<bool> value(std::string_view key) {
    return actions::read_doc_bool(harness.document(), doc::kRoot, key);
  }
  // A set-setting as the application's handler carries it out.
  bool set_setting(std::string_view key, bool value) {
    return actions::apply_setting(operations::SettingsAction::set_setting(std::string(key), value),
                                  harness.document(), &actions::store_setting)
        .has_value();
  }
  kalu_ui::harness::Harness harness;
  MouseKeyboardPane& pane;
};

TEST(MouseKeyboardPaneTest, ReadsTheStoredSectionsAndPublishesBothSwitches) {
  PaneFolders folders;
  folders.store("input", {{"keyboard_layouts", {"de", "xx", "us"}},
                          {"keyboard_layout", "xx"},
                          {"key_repeat_delay_ms", 500},
                          {"key_repeat_rate_hz", 30}});
  folders.store("text_assistance", {{"check_spelling", "yes"}, {"auto_correct", false}});
  PaneRig rig;
  EXPECT_TRUE(rig.pane.applied_check_spelling());  // not a boolean: true
  EXPECT_FALSE(rig.pane.applied_auto_correct());
  EXPECT_EQ(rig.value(kCheckSpellingId), true);
  EXPECT_EQ(rig.value(kAutoCorrectId), false);
  EXPECT_EQ(rig.pane.source_label("xx"), "xx");
  EXPECT_EQ(rig.pane.source_label("de"), "German");
  EXPECT_EQ(rig.pane.sources().size(), 5u);
  auto* repeat = dynamic_cast<w::Slider*>(rig.harness.find(kKeyRepeatId));
  ASSERT_NE(repeat, nullptr);
  EXPECT_DOUBLE_EQ(repeat->value(), 0.5);
  // The first sync saves nothing.
  EXPECT_EQ(folders.stored_section("text_assistance"),
            ordered_json({{"check_spelling", "yes"}, {"auto_correct", false}}));
}

// A switch's set-setting (a client's, or the switch's own through the
// control replay) keeps the section, the other member and key too; the
// page, built anew, shows it. One the section cannot take is refused and
// changes nothing.
TEST(MouseKeyboardPaneTest, ASwitchsSetSettingIsSavedAndThePageFollows) {
  PaneFolders folders;
  folders.store("text_assistance", {{"auto_correct", false}, {"other", 1}});
  PaneRig rig;
  ASSERT_TRUE(rig.set_setting(kCheckSpellingId, false));
  EXPECT_EQ(folders.stored_section("text_assistance"),
            ordered_json({{"auto_correct", false}, {"other", 1}, {"check_spelling", false}}));
  rig.harness.frame();
  EXPECT_FALSE(rig.pane.applied_check_spelling());
  EXPECT_FALSE(dynamic_cast<w::Toggle*>(rig.harness.find(kCheckSpellingId))->value());

  std::filesystem::remove(folders.settings_file());
  std::filesystem::create_directories(folders.settings_file());  // cannot be read or replaced
  EXPECT_FALSE(rig.set_setting(kAutoCorrectId, true));
  rig.harness.frames(2);
  EXPECT_EQ(rig.value(kAutoCorrectId), false);
}

TEST(MouseKeyboardPaneTest, AHandledEventAsksPermissionOnce) {
  PaneFolders folders;
  PaneRig rig;
  EXPECT_FALSE(rig.pane.take_permission_request());
  ASSERT_TRUE(rig.harness.click_id("input.tap_click"));
  const auto context = rig.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:input");
  EXPECT_EQ(context->title, "Mouse & keyboard");
  EXPECT_EQ(context->purpose, "Change input preferences");
  EXPECT_FALSE(rig.pane.take_permission_request());
}

}  // namespace
}  // namespace settings::panes::mouse_keyboard
