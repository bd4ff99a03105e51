// The Accessibility pane in the headless harness with a settings folder of
// its own: the value-label tables as the pane shows them and as their
// set-settings keep them, the first sync showing the stored sections over
// what an earlier visit left, high contrast kept in the shared appearance
// section, values no set-setting kept going back, and every value the
// section offers. The page: each control bound to its action, and what the
// device offers (speech engines on a fixture PATH, the on-screen keyboard
// entry).

#include "panes/accessibility/accessibility_pane.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"
#include "vocabulary/accessibility_labels.h"

namespace settings::panes::accessibility {
namespace {

namespace fs = std::filesystem;
namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using operations::SettingsAction;

class ConfigFolder : public stored::testing::TempConfig {
 public:
  // The model's two sections, as the settings document holds them.
  void store(const Model& model) const {
    ASSERT_TRUE(prefs_store::update_section("appearance", stored::write_section(model.appearance)));
    ASSERT_TRUE(
        prefs_store::update_section("accessibility", stored::write_section(model.accessibility)));
  }
};

const Device kFullDevice{"Speech Dispatcher", true};

struct PaneHarness {
  explicit PaneHarness(Model model, doc::Document document = {}, Device device = kFullDevice)
      : harness(std::make_unique<AccessibilityPane>(std::move(model), device), std::move(document),
                kalu_ui::harness::Options::sized({720.0, 1800.0})),
        pane(dynamic_cast<AccessibilityPane&>(harness.root())) {
    harness.frame();
  }
  std::optional<std::string> text(std::string_view key) {
    return actions::read_doc_text(harness.document(), doc::kRoot, key);
  }
  std::optional<bool> flag(std::string_view key) {
    return actions::read_doc_bool(harness.document(), doc::kRoot, key);
  }
  // A set-setting as the application's handler carries it out (a client's,
  // or a control's through the control replay); whether it was kept.
  template <typename Value>
  bool set(std::string_view key, Value value) {
    return actions::apply_setting(SettingsAction::set_setting(std::string(key), value),
                                  harness.document(), &actions::store_setting)
        .has_value();
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(pane, out);
    return out;
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }
  bool shows(std::string_view text) {
    const auto all = texts();
    return std::find(all.begin(), all.end(), text) != all.end();
  }

  kalu_ui::harness::Harness harness;
  AccessibilityPane& pane;
};

// Shown label of a stored value, and what choosing a label stores.
TEST(AccessibilityPaneTest, StoredValuesShowTheirLabelsAndChoicesStoreTheirValues) {
  struct Case {
    const char* id;
    void (*store)(Model&);
    std::string_view shown;
    std::string choose;
    std::uint32_t (*stored)(const stored::AccessibilityPrefs&);
    std::uint32_t expected;
  };
  auto rate = [](const stored::AccessibilityPrefs& p) -> std::uint32_t {
    return p.screen_reader_rate;
  };
  auto scan = [](const stored::AccessibilityPrefs& p) -> std::uint32_t { return p.switch_scan_ms; };
  auto cursor = [](const stored::AccessibilityPrefs& p) -> std::uint32_t { return p.cursor_size; };
  auto zoom = [](const stored::AccessibilityPrefs& p) -> std::uint32_t { return p.magnifier_zoom; };
  const Case cases[] = {
      {"a11y.reader_rate", [](Model& m) { m.accessibility.screen_reader_rate = 120; }, "Fast",
       "Default", rate, 100},
      {"a11y.reader_rate", [](Model& m) { m.accessibility.screen_reader_rate = 100; }, "Default",
       "Very fast", rate, 185},
      {"a11y.switch_scan", [](Model& m) { m.accessibility.switch_scan_ms = 1500; }, "Manual",
       "2 seconds", scan, 2000},
      {"a11y.switch_scan", [](Model& m) { m.accessibility.switch_scan_ms = 3000; }, "3 seconds",
       "Manual", scan, 0},
      {"a11y.cursor_size", [](Model& m) { m.accessibility.cursor_size = 30; }, "Default", "Large",
       cursor, 36},
      {"a11y.magnifier", [](Model& m) { m.accessibility.magnifier_zoom = 0; }, "Off", "3\u00d7",
       zoom, 3},
      {"a11y.magnifier", [](Model& m) { m.accessibility.magnifier_zoom = 2; }, "2\u00d7", "Off",
       zoom, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.id) + " -> " + c.choose);
    ConfigFolder config;
    Model model;
    c.store(model);
    config.store(model);
    const std::string before = config.read();
    PaneHarness h(model);
    EXPECT_EQ(h.text(c.id), c.shown);
    h.harness.frames(2);
    EXPECT_EQ(h.pane.model(), model);  // shown, not taken: a stored 120 stays 120
    EXPECT_EQ(config.read(), before);
    ASSERT_TRUE(h.set(c.id, c.choose));
    h.harness.frame();
    EXPECT_EQ(c.stored(h.pane.model().accessibility), c.expected);
    EXPECT_EQ(c.stored(stored::SettingsPrefs::load().accessibility), c.expected);
  }
}

// Built before the sections were saved, with what a visit before that left
// in the document: the first sync shows the sections as stored (high
// contrast switched on in Appearance meanwhile stays on) and saves nothing.
TEST(AccessibilityPaneTest, TheFirstSyncShowsTheStoredSectionsOverAnEarlierVisit) {
  ConfigFolder config;
  Model model;
  model.appearance.high_contrast = true;
  model.appearance.text_scale = 1.3;
  model.accessibility.color_filter = stored::ColorFilter::GrayscaleInverted;
  model.accessibility.screen_reader_voice = stored::ReaderVoice::German;
  model.accessibility.sticky_keys = true;
  model.accessibility.cursor_size = 48;
  config.store(model);
  const std::string before = config.read();
  doc::Document document;
  ASSERT_TRUE(document.put(doc::kRoot, "a11y.high_contrast", doc::Scalar(false)));
  ASSERT_TRUE(document.put(doc::kRoot, "a11y.cursor_size", doc::Scalar(std::string("Default"))));
  PaneHarness h(Model{}, std::move(document));
  EXPECT_EQ(h.pane.model(), model);
  EXPECT_EQ(h.flag("a11y.high_contrast"), true);
  EXPECT_EQ(h.flag("a11y.sticky_keys"), true);
  EXPECT_EQ(h.flag("a11y.slow_keys"), false);
  EXPECT_EQ(h.text("a11y.text_size"), "Larger");
  EXPECT_EQ(h.text("a11y.cursor_size"), "Larger");
  EXPECT_EQ(h.text("a11y.color_filter"), "Grayscale + inverted");
  EXPECT_EQ(h.text("a11y.reader_voice"), "German");
  EXPECT_EQ(h.text("a11y.switch_keys"), "F6 / F7");
  for (const Control& control : controls()) {
    EXPECT_TRUE(h.harness.document().get(doc::kRoot, control.id)) << control.id;
  }
  h.harness.frames(3);
  EXPECT_TRUE(dynamic_cast<w::Toggle*>(h.harness.find("a11y.high_contrast"))->value());
  EXPECT_EQ(config.read(), before);
  EXPECT_EQ(h.pane.short_type_name(), "AccessibilityPane");
}

// High contrast here is the appearance section's: saved there, beside what
// Appearance keeps (its theme, an unknown key), and the accessibility
// section saved with it.
TEST(AccessibilityPaneTest, HighContrastIsSavedInTheSharedAppearanceSection) {
  ConfigFolder config;
  config.put(
      R"({"appearance": {"theme": "Nord", "high_contrast": false, "reduce_motion": false, "text_scale": 1.0, "ui_scale": 1.25, "extra": 1}, "other": "kept"})");
  const stored::SettingsPrefs before = stored::SettingsPrefs::load();
  PaneHarness h(Model{before.appearance, before.accessibility});
  ASSERT_TRUE(h.set("a11y.high_contrast", true));
  ASSERT_TRUE(h.set("a11y.visual_alerts", true));
  h.harness.frame();
  EXPECT_TRUE(h.pane.model().appearance.high_contrast);
  const stored::SettingsPrefs after = stored::SettingsPrefs::load();
  EXPECT_TRUE(after.appearance.high_contrast);
  EXPECT_EQ(after.appearance.theme, "Nord");
  EXPECT_EQ(after.appearance.ui_scale, 1.25);
  EXPECT_TRUE(after.accessibility.visual_alerts);
  const std::string text = config.read();
  EXPECT_NE(text.find("\"extra\": 1"), std::string::npos) << text;
  EXPECT_NE(text.find("\"other\": \"kept\""), std::string::npos) << text;
  h.harness.frames(2);
  EXPECT_EQ(config.read(), text);  // the pane saves nothing
}

// A value no set-setting kept (a text that is no label, a save that
// failed) goes back to the stored one under the control's id.
TEST(AccessibilityPaneTest, AValueNoSetSettingKeptGoesBack) {
  ConfigFolder config;
  PaneHarness h(Model{});
  for (const char* id :
       {"a11y.reader_rate", "a11y.color_filter", "a11y.magnifier", "a11y.text_size"}) {
    EXPECT_FALSE(h.set(id, "Loud")) << id;
    ASSERT_TRUE(h.harness.document().put(doc::kRoot, id, doc::Scalar(std::string("Loud"))));
  }
  fs::create_directories(config.path());  // the settings document cannot be written
  ASSERT_TRUE(h.harness.document().put(doc::kRoot, "a11y.slow_keys", doc::Scalar(true)));
  EXPECT_FALSE(h.set("a11y.slow_keys", true));
  h.harness.frame();
  EXPECT_EQ(h.text("a11y.reader_rate"), "Default");
  EXPECT_EQ(h.text("a11y.color_filter"), "Off");
  EXPECT_EQ(h.text("a11y.magnifier"), "Off");
  EXPECT_EQ(h.text("a11y.text_size"), "Default");
  EXPECT_EQ(h.flag("a11y.slow_keys"), false);
  EXPECT_EQ(h.pane.model(), Model{});
  EXPECT_TRUE(fs::is_empty(config.path()));
}

// Every value the Accessibility section offers is one the pane takes.
TEST(AccessibilityPaneTest, TakesEveryValueTheSectionOffers) {
  ConfigFolder config;
  PaneHarness h(Model{});
  for (const Control& control : controls()) {
    SCOPED_TRACE(control.id);
    if (control.is_switch()) {
      for (bool on : {true, false}) {
        ASSERT_TRUE(h.set(control.id, on));
        h.harness.frame();
        EXPECT_EQ(control.get(h.pane.model()), on);
      }
      continue;
    }
    for (std::string_view label : control.labels) {
      ASSERT_TRUE(h.set(control.id, label));
      h.harness.frame();
      EXPECT_EQ(control.label(h.pane.model()), label);
    }
  }
}

TEST(AccessibilityPageTest, EveryControlIsBoundToItsActionAndShowsTheStoredLabel) {
  ConfigFolder config;
  Model model;
  model.accessibility.switch_scan_ms = 1500;
  model.accessibility.screen_reader_rate = 120;
  config.store(model);
  PaneHarness h(model);
  struct Bound {
    const char* id;
    const char* action;
    const char* shown;  // dropdowns only
  };
  const Bound bound[] = {
      {"a11y.high_contrast", "high-contrast", nullptr},
      {"a11y.reduce_motion", "reduce-motion", nullptr},
      {"a11y.text_size", "text-size", "Default"},
      {"a11y.color_filter", "colour-filter", "Off"},
      {"a11y.magnifier", "magnifier", "Off"},
      {"a11y.large_cursor", "large-cursor", nullptr},
      {"a11y.cursor_size", "cursor-size", "Default"},
      {"a11y.cursor_crosshair", "pointer-crosshair", nullptr},
      {"a11y.thick_text_caret", "thick-text-caret", nullptr},
      {"a11y.sticky_keys", "sticky-keys", nullptr},
      {"a11y.slow_keys", "slow-keys", nullptr},
      {"a11y.on_screen_keyboard", "on-screen-keyboard", nullptr},
      {"a11y.switch_control", "switch-control", nullptr},
      {"a11y.switch_keys", "switch-keys", "F6 / F7"},
      {"a11y.switch_scan", "switch-scan", "Manual"},
      {"a11y.screen_reader", "screen-reader", nullptr},
      {"a11y.reader_rate", "speech-rate", "Fast"},
      {"a11y.reader_voice", "speech-voice", "System voice"},
      {"a11y.visual_alerts", "visual-alerts", nullptr},
  };
  for (const Bound& b : bound) {
    SCOPED_TRACE(b.id);
    kalu_ui::Widget* widget = h.harness.find(b.id);
    ASSERT_NE(widget, nullptr);
    std::optional<kalu_actions::ActionBinding> binding;
    if (b.shown) {
      auto& dropdown = dynamic_cast<w::Dropdown&>(*widget);
      EXPECT_EQ(dropdown.selected(), b.shown);
      binding = dropdown.binding();
    } else {
      binding = dynamic_cast<w::Toggle&>(*widget).binding();
    }
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->resource_id, "settings.section:accessibility");
    EXPECT_EQ(binding->action, b.action);
  }
  EXPECT_TRUE(h.shows("Speech Dispatcher"));
  // A click asks for the permission, once.
  ASSERT_TRUE(h.harness.click_id("a11y.sticky_keys"));
  const auto context = h.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:accessibility");
  EXPECT_EQ(context->purpose, "Change accessibility preferences");
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
}

// The device facts from a fixture PATH and data folder, and what the page
// offers for them.
TEST(AccessibilityPageTest, TheDeviceDecidesTheSpeechAndKeyboardRows) {
  ConfigFolder config;
  char pattern[] = "/tmp/accessibility_device.XXXXXX";
  const fs::path dir = ::mkdtemp(pattern);
  auto write = [](const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  };
  fs::create_directories(dir / "bin" / "espeak-ng");  // a folder is no engine
  stored::testing::ScopedEnv path("PATH", (dir / "bin").string());
  stored::testing::ScopedEnv home("XDG_DATA_HOME", (dir / "data").string());
  stored::testing::ScopedEnv dirs("XDG_DATA_DIRS", (dir / "none").string());
  // The keyboard's id and kind, but no graphical program.
  write(dir / "data" / "applications" / "kalu.osk.desktop",
        "[Desktop Entry]\nType=Application\nName=Keyboard\nExec=osk\nNoDisplay=true\n"
        "X-Kalu-Kind=service\n");
  Model model;
  model.accessibility.screen_reader = true;
  config.store(model);
  const std::string stored_text = config.read();
  {
    const Device none = Device::probe();
    EXPECT_EQ(none.speech_engine, std::nullopt);
    EXPECT_FALSE(none.on_screen_keyboard);
    PaneHarness h(model, {}, none);
    for (const char* id : {"a11y.reader_rate", "a11y.reader_voice", "a11y.screen_reader",
                           "a11y.on_screen_keyboard"}) {
      EXPECT_EQ(h.harness.find(id), nullptr) << id;
    }
    EXPECT_TRUE(h.shows(kNoSpeechEngine));
    EXPECT_TRUE(h.shows(kNoKeyboard));
    h.harness.frames(2);
    EXPECT_TRUE(h.pane.model().accessibility.screen_reader);  // as stored
    EXPECT_EQ(config.read(), stored_text);
  }
  write(dir / "bin2" / "espeak-ng", "");  // not executable: still an engine
  write(dir / "bin2" / "speech-dispatcher", "");
  write(dir / "data" / "applications" / "kalu.osk.desktop",
        "[Desktop Entry]\nType=Application\nName=Keyboard\nExec=osk\nX-Kalu-Kind=service\n");
  stored::testing::ScopedEnv both("PATH", (dir / "bin").string() + ":" + (dir / "bin2").string());
  const Device full = Device::probe();
  EXPECT_EQ(full.speech_engine, "Speech Dispatcher");
  EXPECT_TRUE(full.on_screen_keyboard);
  PaneHarness h(model, {}, full);
  EXPECT_NE(h.harness.find("a11y.on_screen_keyboard"), nullptr);
  EXPECT_NE(h.harness.find("a11y.reader_voice"), nullptr);
  EXPECT_FALSE(h.shows(kNoSpeechEngine));
  fs::remove_all(dir);
}

}  // namespace
}  // namespace settings::panes::accessibility
