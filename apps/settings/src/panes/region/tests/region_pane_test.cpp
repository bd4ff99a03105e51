// The Region & Formats pane in the headless harness with a settings folder
// of its own: the first sync shows the stored locale over what an earlier
// visit left, each dropdown records its setting's action, a choice kept by
// its set-setting is followed (dropdown and preview), an edit no set-setting
// took goes back, the rows at a narrow width, and the preview.

#include "panes/region/region_pane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

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
#include "panes/region/page.h"
#include "prefs_store/paths.h"
#include "stored/locale.h"
#include "vocabulary/region_formats.h"

namespace settings::panes::region {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using stored::Locale;

class ConfigFolder {
 public:
  ConfigFolder() {
    char pattern[] = "/tmp/region_pane_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) dir_ = made;
    scope_.emplace(dir_);
  }
  ~ConfigFolder() {
    scope_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  // The settings document, once something saved it.
  std::filesystem::path settings_file() const { return *prefs_store::settings_path(); }
  bool saved() const { return std::filesystem::exists(settings_file()); }
  // Forgets what was saved, so the next save shows.
  void forget() const { std::filesystem::remove(settings_file()); }

 private:
  std::filesystem::path dir_;
  std::optional<prefs_store::ScopedConfigDir> scope_;
};

std::optional<std::string> text_at(doc::Document& document, std::string_view key) {
  return actions::read_doc_text(document, doc::kRoot, key);
}

struct PaneHarness {
  explicit PaneHarness(Locale locale, std::optional<float> hint = std::nullopt,
                       doc::Document document = {})
      : harness(std::make_unique<RegionPane>(locale, hint), std::move(document),
                kalu_ui::harness::Options::sized({720.0, 900.0})),
        pane(dynamic_cast<RegionPane&>(harness.root())) {
    harness.frame();
  }
  std::optional<std::string> text(std::string_view key) { return text_at(harness.document(), key); }
  // A set-setting as the application's handler carries it out.
  kalu_ui::Status set(std::string_view key, std::string_view label) {
    return actions::apply_setting(SettingsAction::set_setting(std::string(key), label),
                                  harness.document(), &actions::store_setting);
  }
  w::Dropdown& dropdown(std::string_view id) {
    auto* found = dynamic_cast<w::Dropdown*>(harness.find(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  // The value beside an info row's label.
  std::string value_of(std::string_view label) {
    std::vector<std::string> texts;
    collect(pane, texts);
    for (std::size_t i = 0; i + 1 < texts.size(); ++i) {
      if (texts[i] == label) return texts[i + 1];
    }
    ADD_FAILURE() << "no row " << label;
    return {};
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  kalu_ui::harness::Harness harness;
  RegionPane& pane;
};

TEST(RegionPaneTest, TheFirstSyncShowsTheStoredLocaleOverAnEarlierVisit) {
  ConfigFolder config;
  Locale stored;
  stored.currency = stored::Currency::GBP;
  stored.time_format = stored::TimeFormat::H12;  // applied through the executor, say
  ASSERT_TRUE(stored.save());
  const auto written = std::filesystem::last_write_time(config.settings_file());
  // What a visit before the changes left in the document.
  doc::Document document;
  for (const char* key : {"region.time_format", "region.time_format.edit"}) {
    ASSERT_TRUE(document.put(doc::kRoot, key, doc::Scalar(std::string("24-hour (14:05)"))));
  }
  // Built before the save, as a pane laid out before its first sync is.
  PaneHarness h(Locale{}, std::nullopt, std::move(document));
  EXPECT_EQ(h.pane.locale(), stored);
  h.harness.frame();
  for (const SettingInfo& setting : settings()) {
    const std::string label(label_of(stored, setting.setting));
    EXPECT_EQ(h.text(setting.key), label) << setting.key;
    EXPECT_EQ(h.text(setting.edit_key), label) << setting.edit_key;
    EXPECT_EQ(h.dropdown(setting.widget_id).selected(), label);
    EXPECT_THAT(h.dropdown(setting.widget_id).options(),
                ::testing::ElementsAreArray(setting.labels));
  }
  EXPECT_EQ(h.value_of("Time"), "2:05 PM");
  h.harness.frames(3);
  EXPECT_EQ(std::filesystem::last_write_time(config.settings_file()), written);
  EXPECT_EQ(h.pane.short_type_name(), "RegionPane");
}

// Each dropdown also records its setting's action of the Region section,
// which sets the setting's key: the road an automation client takes.
TEST(RegionPaneTest, EachDropdownRecordsItsSettingsActionOfTheSection) {
  ConfigFolder config;
  PaneHarness h(Locale{});
  const std::string_view actions[] = {"currency",    "date",   "time",
                                      "measurement", "number", "first-day"};
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const SettingInfo& setting = settings()[i];
    SCOPED_TRACE(setting.key);
    const auto& binding = h.dropdown(setting.widget_id).binding();
    ASSERT_TRUE(binding);
    EXPECT_EQ(binding->resource_id, "settings.section:region_formats");
    EXPECT_EQ(binding->action, actions[i]);
    const std::string last(setting.labels.back());
    const auto encoded = binding->encode(kalu_actions::ControlValue(last));
    ASSERT_TRUE(encoded);
    EXPECT_EQ(encoded->action_id, "settings.action");
    doc::Document document;
    ASSERT_TRUE(actions::apply_setting(
        *operations::read_record<SettingsAction>(encoded->payload_text()), document));
    EXPECT_EQ(text_at(document, setting.key), last);
  }
}

// The person picks EUR: the dropdown writes its edit key and records the
// section's "currency", whose set-setting (here carried out as the control
// replay would) saves the locale; the pane follows, preview and all.
TEST(RegionPaneTest, AChoiceKeptByItsSetSettingIsFollowed) {
  ConfigFolder config;
  PaneHarness h(Locale{});
  ASSERT_TRUE(h.harness.click_id("region.currency"));
  h.dropdown("region.currency").choose(1);
  const auto invocation = h.dropdown("region.currency").take_control_invocation();
  ASSERT_TRUE(invocation);
  EXPECT_EQ(invocation->action, "currency");
  EXPECT_EQ(invocation->arguments_json, R"({"choice":"EUR"})");
  h.harness.frame();
  EXPECT_EQ(h.text("region.currency.edit"), "EUR");
  ASSERT_TRUE(h.set("region.currency", "EUR"));
  EXPECT_EQ(Locale::load().currency, stored::Currency::EUR);
  h.harness.frames(2);
  EXPECT_EQ(h.pane.locale().currency, stored::Currency::EUR);
  EXPECT_EQ(h.value_of("Amount"), "\u20ac1,234,567.89");
  EXPECT_EQ(h.dropdown("region.currency").selected(), "EUR");

  // A client's clock format while the page is shown.
  ASSERT_TRUE(h.set("region.time_format", "12-hour (2:05 PM)"));
  h.harness.frames(2);
  EXPECT_EQ(h.text("region.time_format.edit"), "12-hour (2:05 PM)");
  EXPECT_EQ(h.dropdown("region.time").selected(), "12-hour (2:05 PM)");
  EXPECT_EQ(h.value_of("Time"), "2:05 PM");

  // The click asks for the preference permission, once.
  const auto context = h.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:region");
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
}

// A text that is no label is refused by its set-setting; an edit no
// set-setting took goes back to the stored label. Nothing is saved.
TEST(RegionPaneTest, AnEditNoSetSettingTookGoesBack) {
  ConfigFolder config;
  PaneHarness h(Locale{});
  EXPECT_FALSE(h.set("region.currency", "DOGE"));
  ASSERT_TRUE(h.harness.document().put(doc::kRoot, "region.first_day.edit",
                                       doc::Scalar(std::string("Sunday"))));
  h.harness.frames(2);
  EXPECT_EQ(h.text("region.currency"), "USD");
  EXPECT_EQ(h.text("region.first_day"), "Monday");
  EXPECT_EQ(h.text("region.first_day.edit"), "Monday");
  EXPECT_EQ(h.pane.locale(), Locale{});
  EXPECT_FALSE(config.saved());
}

TEST(RegionPaneTest, ANarrowPaneStacksEachLabelAboveItsDropdown) {
  ConfigFolder config;
  struct Case {
    std::optional<float> hint;
    bool stacked;
  };
  for (const Case& c : {Case{300.0f, true}, Case{355.0f, true}, Case{356.0f, false},
                        Case{std::nullopt, false}, Case{0.0f, false}}) {
    SCOPED_TRACE(c.hint ? std::to_string(*c.hint) : "no hint");
    PaneHarness h(Locale{}, c.hint);
    const auto control = h.harness.rect_of("region.currency");
    ASSERT_TRUE(control);
    // The label "Currency" is the first text of the Formats card's first row.
    std::optional<kalu_ui::Rect> label;
    std::vector<const kalu_ui::Widget*> stack{&h.pane};
    while (!stack.empty() && !label) {
      const kalu_ui::Widget* widget = stack.back();
      stack.pop_back();
      if (const auto* t = dynamic_cast<const w::Text*>(widget); t && t->text() == "Currency") {
        label = t->get_rect();
      }
      for (const kalu_ui::Widget* child : widget->children()) stack.push_back(child);
    }
    ASSERT_TRUE(label);
    EXPECT_EQ(control->y0 >= label->y1, c.stacked);
  }
}

TEST(RegionPaneTest, TheAmountIsTheSymbolDirectlyBeforeTheNumber) {
  ConfigFolder config;
  Locale locale;
  locale.currency = stored::Currency::JPY;
  locale.number_style = stored::NumberStyle::DecimalComma;
  locale.date_format = stored::DateFormat::Long;
  locale.measurement = stored::Measurement::Imperial;
  locale.first_day_of_week = stored::FirstDayOfWeek::Saturday;
  ASSERT_TRUE(locale.save());
  PaneHarness h(locale);
  EXPECT_EQ(h.value_of("Amount"), "\u00a51.234.567,89");
  EXPECT_EQ(h.value_of("Date"), "15 Mar 2023");
  EXPECT_EQ(h.value_of("Time"), "14:05");
  EXPECT_EQ(h.value_of("Temperature"), "70 \u00b0F");
  EXPECT_EQ(h.value_of("Calendar week starts"), "Saturday");
}

}  // namespace
}  // namespace settings::panes::region
