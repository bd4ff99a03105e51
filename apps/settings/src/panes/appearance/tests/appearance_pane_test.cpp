// The Appearance pane in the headless harness with a settings folder of its
// own: the labels and themes, the first sync, the road of a choice (edit
// key, set-setting action, adoption, one save of the section), a value an
// automation client set, high contrast in the applied theme, the page's
// values, a failing save, and the two ways a document used to undo or churn
// the section: texts the pane does not adopt, and edit keys left from an
// earlier visit.

#include "panes/appearance/appearance_pane.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/appearance/model.h"
#include "panes/appearance/page.h"
#include "panes/appearance_labels.h"
#include "stored/settings_prefs.h"
#include "stored/tests/stored_fixture.h"

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
  const auto override_ = AppearancePane(prefs).theme_override();
  ASSERT_TRUE(override_ && override_->theme);
  EXPECT_EQ(override_->theme->name, "Nord");
  EXPECT_TRUE(override_->high_contrast);
  EXPECT_FLOAT_EQ(override_->text_scale, 1.15f);
  EXPECT_TRUE(AppearancePane(AppearancePrefs{}).theme_override().has_value());
}

TEST(AppearancePaneTest, TheFirstSyncSeedsEveryControlAndSavesNothing) {
  ConfigFolder config;
  PaneHarness h(prefs_with("Dracula", 1.075, 1.2, true));
  EXPECT_EQ(h.text("appearance.theme"), "Dracula");
  EXPECT_EQ(h.text("appearance.text_size"), "Default");
  EXPECT_EQ(h.text("appearance.ui_scale"), "125%");
  EXPECT_EQ(h.flag("appearance.high_contrast"), true);
  EXPECT_EQ(h.flag("appearance.reduce_motion"), false);
  EXPECT_EQ(h.text("appearance.theme.edit"), "Dracula");
  EXPECT_EQ(h.text("appearance.text_size.edit"), "Default");
  EXPECT_EQ(h.flag("appearance.high_contrast.edit"), true);
  h.harness.frames(3);
  EXPECT_FALSE(config.saved());
  EXPECT_EQ(h.pane.prefs().text_scale, 1.075);  // the label's value is not taken
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

TEST(AppearancePaneTest, ChoosingNordDispatchesAdoptsAndSavesTheSectionOnce) {
  ConfigFolder config;
  config.put(R"({"zeta": [1, 2], "appearance": {"theme": "Dark", "extra": true}})");
  PaneHarness h(AppearancePane::state_from_prefs());
  ASSERT_TRUE(h.harness.click_id("appearance.theme"));
  h.dropdown("appearance.theme").choose(6);
  h.harness.frame();  // the dropdown writes the edit key
  EXPECT_EQ(h.text("appearance.theme.edit"), "Nord");
  h.harness.frame();  // the pane dispatches and adopts
  EXPECT_EQ(h.text("appearance.theme"), "Nord");
  EXPECT_EQ(h.pane.prefs().theme, "Nord");
  EXPECT_EQ(stored::SettingsPrefs::load().appearance.theme, "Nord");
  const std::string text = config.read();
  EXPECT_NE(text.find("\"extra\": true"), std::string::npos) << text;  // merged, not replaced
  EXPECT_LT(text.find("\"zeta\""), text.find("\"appearance\"")) << text;
  config.forget();
  h.harness.frames(3);
  EXPECT_FALSE(config.saved());
  const auto context = h.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:appearance");
  EXPECT_EQ(context->purpose, "Change appearance preferences");
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
}

// The edit keys as the controls write them: "Large" stores 1.15, a switch
// stores its bool.
TEST(AppearancePaneTest, EditsOfSizeAndSwitchesAreDispatchedAndStored) {
  ConfigFolder config;
  PaneHarness h(prefs_with("Dark", 1.075));
  h.put("appearance.text_size.edit", "Large");
  ASSERT_TRUE(
      h.harness.document().put(doc::kRoot, "appearance.reduce_motion.edit", doc::Scalar(true)));
  h.harness.frames(2);
  EXPECT_EQ(h.text("appearance.text_size"), "Large");
  EXPECT_EQ(h.flag("appearance.reduce_motion"), true);
  const AppearancePrefs stored = stored::SettingsPrefs::load().appearance;
  EXPECT_EQ(stored.text_scale, 1.15);
  EXPECT_TRUE(stored.reduce_motion);
}

TEST(AppearancePaneTest, AnAutomationClientsScaleIsMirroredAndSavedOnce) {
  ConfigFolder config;
  PaneHarness h(AppearancePrefs{});
  ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting("appearance.ui_scale", "110%"),
                                     h.harness.document()));
  h.harness.frame();
  EXPECT_EQ(h.text("appearance.ui_scale.edit"), "110%");
  EXPECT_EQ(h.pane.prefs().ui_scale, 1.1);
  EXPECT_EQ(stored::SettingsPrefs::load().appearance.ui_scale, 1.1);
  config.forget();
  h.harness.frames(2);
  EXPECT_FALSE(config.saved());
}

// A text the pane does not adopt goes back to the model's under the key and
// its edit key and is no change: nothing is saved, the stored theme stays.
TEST(AppearancePaneTest, TextsThePaneDoesNotAdoptArePutBackAndSaveNothing) {
  struct Case {
    std::string_view key;
    std::string text;
    std::string_view restored;
  };
  const Case cases[] = {
      {"appearance.theme", "Neon", "Dark"},        {"appearance.theme", "custom:mine", "Dark"},
      {"appearance.text_size", "Huge", "Default"}, {"appearance.ui_scale", "200%", "100%"},
      {"appearance.theme.edit", "Neon", "Dark"},   {"appearance.ui_scale.edit", "1.1", "100%"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    ConfigFolder config;
    PaneHarness h(AppearancePrefs{});
    h.put(c.key, c.text);
    h.harness.frames(3);
    EXPECT_EQ(h.text(c.key), c.restored);
    EXPECT_EQ(h.pane.prefs(), AppearancePrefs{});
    EXPECT_FALSE(config.saved());
  }
  // A custom theme stored in the settings document is seeded as it is and
  // stays.
  ConfigFolder config;
  PaneHarness h(prefs_with("custom:mine"));
  h.harness.frames(3);
  EXPECT_EQ(h.text("appearance.theme"), "custom:mine");
  EXPECT_EQ(h.pane.prefs().theme, "custom:mine");
  EXPECT_FALSE(config.saved());
}

// High contrast switched on elsewhere (Accessibility) after a visit here:
// the edit key from that visit must not switch it off again.
TEST(AppearancePaneTest, AnEditKeyFromAnEarlierVisitDoesNotUndoTheStoredSection) {
  ConfigFolder config;
  doc::Document document;
  for (const char* key : {"appearance.high_contrast", "appearance.high_contrast.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(false)));
  }
  ASSERT_TRUE(document.put(doc::kRoot, "appearance.theme.edit", doc::Scalar(std::string("Light"))));
  PaneHarness h(prefs_with("Nord", 1.0, 1.0, true), std::move(document));
  h.harness.frames(2);
  EXPECT_TRUE(h.pane.prefs().high_contrast);
  EXPECT_EQ(h.pane.prefs().theme, "Nord");
  EXPECT_EQ(h.flag("appearance.high_contrast.edit"), true);
  EXPECT_FALSE(config.saved());
}

// The save fails (the settings path is a folder): one warning per sync in
// which something changed, the value stays in the model.
TEST(AppearancePaneTest, AFailedSaveIsLoggedOncePerChangeAndTheValueStays) {
  ConfigFolder config;
  std::filesystem::create_directories(config.settings_file());
  kalu_ui::log::ScopedCapture log;
  PaneHarness h(AppearancePrefs{});
  auto warnings = [&] {
    int count = 0;
    for (const auto& event : log.events()) {
      if (event.message == "failed to persist appearance prefs") ++count;
    }
    return count;
  };
  ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting("appearance.theme", "OLED"),
                                     h.harness.document()));
  h.harness.frames(3);
  EXPECT_EQ(h.pane.prefs().theme, "OLED");
  EXPECT_EQ(warnings(), 1);
  ASSERT_TRUE(actions::apply_setting(SettingsAction::set_setting("appearance.high_contrast", true),
                                     h.harness.document()));
  h.harness.frames(2);
  EXPECT_EQ(warnings(), 2);
  EXPECT_TRUE(h.pane.prefs().high_contrast);
}

// Every value the Appearance section offers is one the pane adopts.
TEST(AppearancePaneTest, AdoptsEveryValueTheSectionOffers) {
  ConfigFolder config;
  PaneHarness h(AppearancePrefs{});
  for (std::string_view theme : theme_labels()) {
    ASSERT_TRUE(actions::apply_setting(
        SettingsAction::set_setting("appearance.theme", std::string(theme)), h.harness.document()));
    h.harness.frame();
    EXPECT_EQ(h.pane.prefs().theme, theme);
  }
  for (const TextSize& size : text_sizes()) {
    ASSERT_TRUE(actions::apply_setting(
        SettingsAction::set_setting("appearance.text_size", std::string(size.label)),
        h.harness.document()));
    h.harness.frame();
    EXPECT_EQ(h.pane.prefs().text_scale, size.scale) << size.label;
  }
  for (std::string_view scale : ui_scale_labels()) {
    ASSERT_TRUE(actions::apply_setting(
        SettingsAction::set_setting("appearance.ui_scale", std::string(scale)),
        h.harness.document()));
    h.harness.frame();
    EXPECT_EQ(ui_scale_label(h.pane.prefs().ui_scale), scale);
  }
}

}  // namespace
}  // namespace settings::panes::appearance
