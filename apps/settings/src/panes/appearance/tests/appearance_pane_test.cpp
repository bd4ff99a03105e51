// The Appearance pane in the headless harness with a settings folder of its
// own: the labels and themes, high contrast in the applied theme, the page's
// values, and the pane on the road of a preference: the first sync shows
// the stored section over what an earlier visit left, a choice kept by its
// set-setting is followed (page and theme override), an edit no set-setting
// took goes back, and the pane saves nothing.

#include "panes/appearance/appearance_pane.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/appearance/model.h"
#include "panes/appearance/page.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"
#include "vocabulary/appearance_labels.h"

namespace settings::panes::appearance {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using stored::AppearancePrefs;

// The test's own settings folder, and whether anything was saved there.
class ConfigFolder : public stored::testing::TempConfig {
 public:
  std::filesystem::path settings_file() const { return path(); }
  bool saved() const { return std::filesystem::exists(path()); }
  void forget() const { std::filesystem::remove(path()); }
};

struct PaneHarness {
  explicit PaneHarness(AppearancePrefs prefs, doc::Document document = {})
      : harness(std::make_unique<AppearancePane>(std::move(prefs)), std::move(document),
                kalu_ui::harness::Options::sized({720.0, 1000.0})),
        pane(dynamic_cast<AppearancePane&>(harness.root())) {
    harness.frame();
  }
  std::optional<std::string> text(std::string_view key) {
    return actions::read_doc_text(harness.document(), doc::kRoot, key);
  }
  std::optional<bool> flag(std::string_view key) {
    return actions::read_doc_bool(harness.document(), doc::kRoot, key);
  }
  void put(std::string_view key, std::string value) {
    ASSERT_TRUE(harness.document().put(doc::kRoot, key, doc::Scalar(std::move(value))));
  }
  // A set-setting as the application's handler carries it out.
  kalu_ui::Status set(const SettingsAction& action) {
    return actions::apply_setting(action, harness.document(), &actions::store_setting);
  }
  w::Dropdown& dropdown(std::string_view id) {
    auto* found = dynamic_cast<w::Dropdown*>(harness.find(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  std::string value_of(std::string_view label) { return row_value(pane, label); }
  static std::string row_value(const kalu_ui::Widget& root, std::string_view label) {
    std::vector<std::string> texts;
    collect(root, texts);
    // The last row of that label: "UI scale" is a setting row and, later,
    // a row of the applied theme.
    for (std::size_t i = texts.size(); i-- > 1;) {
      if (texts[i - 1] == label) return texts[i];
    }
    ADD_FAILURE() << "no row " << label;
    return {};
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  kalu_ui::harness::Harness harness;
  AppearancePane& pane;
};

AppearancePrefs prefs_with(std::string theme, double text_scale = 1.0, double ui_scale = 1.0,
                           bool high_contrast = false) {
  AppearancePrefs prefs;
  prefs.theme = std::move(theme);
  prefs.text_scale = text_scale;
  prefs.ui_scale = ui_scale;
  prefs.high_contrast = high_contrast;
  return prefs;
}

TEST(AppearanceLabelsTest, NearestLabelsTieToTheEarlierEntry) {
  struct Case {
    double scale;
    std::string_view text_size;
    std::string_view ui_scale;
  };
  for (const Case& c :
       {Case{1.075, "Default", "110%"}, Case{1.2, "Large", "125%"}, Case{1.05, "Default", "100%"},
        Case{1.375, "Larger", "125%"}, Case{0.0, "Small", "90%"}, Case{1.5, "Larger", "150%"}}) {
    SCOPED_TRACE(c.scale);
    EXPECT_EQ(text_size_label(c.scale), c.text_size);
    EXPECT_EQ(ui_scale_label(c.scale), c.ui_scale);
  }
  EXPECT_EQ(ui_scale_for_label("110%"), 1.1);
  EXPECT_EQ(ui_scale_for_label("110"), std::nullopt);
  EXPECT_EQ(percent(1.075f), "108%");
  EXPECT_EQ(percent(0.85f), "85%");
}

TEST(AppearanceLabelsTest, ThemesResolveAndHighContrastWinsOnlyInTheAppliedTheme) {
  EXPECT_EQ(resolve_theme("Nord").name, "Nord");
  EXPECT_EQ(resolve_theme("No such theme").name, kalu_ui::Theme::dark().name);
  EXPECT_EQ(resolve_theme("custom:mine").name, kalu_ui::Theme::configured().name);
  AppearancePrefs prefs = prefs_with("Nord", 1.15, 1.25, true);
  prefs.reduce_motion = true;
  const kalu_ui::Theme applied = applied_theme(prefs);
  EXPECT_EQ(applied.name, kalu_ui::Theme::high_contrast().name);
  EXPECT_FLOAT_EQ(applied.ui_scale, 1.25f);
  EXPECT_FLOAT_EQ(applied.text_scale, 1.15f);
  EXPECT_TRUE(applied.reduce_motion);
  const kalu_ui::ThemeOverride override_ = theme_override_of(prefs);
  ASSERT_TRUE(override_.theme);
  EXPECT_EQ(override_.theme->name, "Nord");
  EXPECT_TRUE(override_.high_contrast);
  EXPECT_FLOAT_EQ(override_.text_scale, 1.15f);
}

TEST(AppearancePaneTest, TheFirstSyncShowsTheStoredSectionOverAnEarlierVisit) {
  ConfigFolder config;
  const std::string stored_text =
      R"({"appearance": {"theme": "Dracula", "high_contrast": true, "reduce_motion": false,
      "text_scale": 1.075, "ui_scale": 1.2}})";
  config.put(stored_text);
  // What a visit before the section was saved left in the document.
  doc::Document document;
  for (const char* key : {"appearance.theme", "appearance.theme.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(std::string("Light"))));
  }
  for (const char* key : {"appearance.high_contrast", "appearance.high_contrast.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(false)));
  }
  // Built before the save, as a pane laid out before its first sync is.
  PaneHarness h(AppearancePrefs{}, std::move(document));
  EXPECT_EQ(h.pane.prefs(), AppearancePane::state_from_prefs());
  for (std::string_view key : {"appearance.theme", "appearance.theme.edit"}) {
    EXPECT_EQ(h.text(key), "Dracula") << key;
  }
  EXPECT_EQ(h.text("appearance.text_size"), "Default");
  EXPECT_EQ(h.text("appearance.ui_scale.edit"), "125%");
  EXPECT_EQ(h.flag("appearance.high_contrast"), true);
  EXPECT_EQ(h.flag("appearance.high_contrast.edit"), true);
  EXPECT_EQ(h.flag("appearance.reduce_motion"), false);
  h.harness.frames(3);
  EXPECT_EQ(config.read(), stored_text);
  EXPECT_EQ(h.pane.prefs().text_scale, 1.075);  // the label's value is not taken
  EXPECT_EQ(h.dropdown("appearance.theme").selected(), "Dracula");
  EXPECT_EQ(h.pane.short_type_name(), "AppearancePane");
}

// The page built from the model, before the document says anything: the
// placeholders and the applied look.
TEST(AppearancePageTest, PlaceholdersAndAppliedThemeShowTheModel) {
  const std::string contrast = kalu_ui::Theme::high_contrast().name;
  struct Case {
    AppearancePrefs prefs;
    std::string theme, text_size, ui_scale, ui_percent, text_percent;
  };
  const Case cases[] = {
      {prefs_with("Nord", 1.0, 1.0, true), contrast, "Default", "100%", "100%", "100%"},
      {prefs_with("Gruvbox", 1.075), "Gruvbox", "Default", "100%", "100%", "108%"},
      {prefs_with("Light", 0.85, 1.5), "Light", "Small", "150%", "150%", "85%"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.prefs.theme);
    kalu_ui::harness::Harness h(build_page(c.prefs, {}),
                                kalu_ui::harness::Options::sized({720, 1000}));
    auto selected = [&](std::string_view id) {
      return dynamic_cast<w::Dropdown*>(h.find(id))->selected();
    };
    EXPECT_EQ(selected("appearance.theme"), c.theme);
    EXPECT_EQ(selected("appearance.text_size"), c.text_size);
    EXPECT_EQ(selected("appearance.ui_scale"), c.ui_scale);
    h.frame();
    EXPECT_EQ(PaneHarness::row_value(h.root(), "Active theme"), c.theme);
    EXPECT_EQ(PaneHarness::row_value(h.root(), "UI scale"), c.ui_percent);
    EXPECT_EQ(PaneHarness::row_value(h.root(), "Text scale"), c.text_percent);
    EXPECT_EQ(PaneHarness::row_value(h.root(), "Reduced motion"), "Off");
  }
}

// The person picks Nord: the dropdown writes its edit key and records the
// section's "theme", whose set-setting (here carried out as the control
// replay would) keeps the section; the pane follows.
TEST(AppearancePaneTest, AChoiceKeptByItsSetSettingIsFollowedByPageAndLook) {
  ConfigFolder config;
  config.put(R"({"zeta": [1, 2], "appearance": {"theme": "Dark", "high_contrast": false,
      "reduce_motion": false, "text_scale": 1.0, "ui_scale": 1.0, "extra": true}})");
  PaneHarness h(AppearancePane::state_from_prefs());
  ASSERT_TRUE(h.harness.click_id("appearance.theme"));
  h.dropdown("appearance.theme").choose(6);
  const auto recorded = h.harness.root().take_control_invocation();
  ASSERT_TRUE(recorded);
  EXPECT_EQ(recorded->resource_id, "settings.section:appearance");
  EXPECT_EQ(recorded->action, "theme");
  h.harness.frame();
  EXPECT_EQ(h.text("appearance.theme.edit"), "Nord");
  ASSERT_TRUE(h.set(SettingsAction::set_setting("appearance.theme", "Nord")));
  const std::string text = config.read();
  EXPECT_NE(text.find("\"theme\": \"Nord\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"extra\": true"), std::string::npos) << text;  // merged, not replaced
  EXPECT_LT(text.find("\"zeta\""), text.find("\"appearance\"")) << text;
  h.harness.frame();
  EXPECT_EQ(h.pane.prefs().theme, "Nord");
  EXPECT_EQ(h.value_of("Active theme"), "Nord");  // the page was built anew

  // A client's size and switch, while the page is shown.
  ASSERT_TRUE(h.set(SettingsAction::set_setting("appearance.text_size", "Large")));
  ASSERT_TRUE(h.set(SettingsAction::set_setting("appearance.reduce_motion", true)));
  h.harness.frame();
  EXPECT_EQ(h.text("appearance.text_size.edit"), "Large");
  EXPECT_EQ(h.flag("appearance.reduce_motion.edit"), true);
  EXPECT_EQ(h.pane.prefs().text_scale, 1.15);
  EXPECT_EQ(h.value_of("Text scale"), "115%");
  EXPECT_EQ(h.value_of("Reduced motion"), "On");

  const auto context = h.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:appearance");
  EXPECT_EQ(context->purpose, "Change appearance preferences");
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
}

// An edit no set-setting took (its save failed, or it named nothing the
// section holds) goes back to the stored value; the pane writes no file.
TEST(AppearancePaneTest, AnEditNoSetSettingTookGoesBack) {
  ConfigFolder config;
  PaneHarness h(AppearancePrefs{});
  std::filesystem::create_directories(config.settings_file());  // unwritable
  h.put("appearance.theme.edit", "Nord");
  EXPECT_FALSE(h.set(SettingsAction::set_setting("appearance.theme", "Nord")));
  ASSERT_TRUE(
      h.harness.document().put(doc::kRoot, "appearance.high_contrast.edit", doc::Scalar(true)));
  h.harness.frame();
  EXPECT_EQ(h.text("appearance.theme"), "Dark");
  EXPECT_EQ(h.text("appearance.theme.edit"), "Dark");
  EXPECT_EQ(h.flag("appearance.high_contrast.edit"), false);
  EXPECT_EQ(h.pane.prefs(), AppearancePrefs{});
  EXPECT_TRUE(std::filesystem::is_empty(config.settings_file()));
}

}  // namespace
}  // namespace settings::panes::appearance
