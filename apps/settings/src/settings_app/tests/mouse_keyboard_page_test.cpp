// The Mouse & Keyboard pane in the application frame, kept as PNG for people
// to look at: the machine's catalogue with two sources, and no rules files
// (the fixed list) with one source. A source added through the executor
// shows on the pane the frame builds next.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "panes/mouse_keyboard/mouse_keyboard_pane.h"
#include "panes/mouse_keyboard/page.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "stored/settings_prefs.h"
#include "vocabulary/input_sources.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using panes::mouse_keyboard::MouseKeyboardPane;
using panes::mouse_keyboard::source_button_id;
using testing::AppFixture;
using testing::TempDir;

using enum panes::Pane;

struct MouseKeyboardInTheWindow {
  // `rules`: the catalogue's folder; none reads the machine's.
  MouseKeyboardInTheWindow(std::vector<std::string> sources,
                           std::optional<std::filesystem::path> rules)
      : config(root.path()) {
    if (rules) rules_scope.emplace(*rules);
    nlohmann::ordered_json input = {{"keyboard_layouts", sources},
                                    {"keyboard_layout", sources.front()}};
    (void)prefs_store::update_section("input", input);
  }
  MouseKeyboardPane& open() {
    t.harness.frame();
    t.app->select_pane(kMouseKeyboard);
    t.harness.frames(2);
    auto* pane = dynamic_cast<MouseKeyboardPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    return *pane;
  }
  kalu_ui::widget::Button& button(std::size_t index, std::string_view which) {
    auto* found =
        dynamic_cast<kalu_ui::widget::Button*>(t.harness.find(source_button_id(index, which)));
    EXPECT_NE(found, nullptr);
    return *found;
  }
  bool png(const std::string& name) {
    return t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/" + name).has_value();
  }

  TempDir root;
  prefs_store::ScopedConfigDir config;
  std::optional<panes::mouse_keyboard::ScopedRulesDir> rules_scope;
  AppFixture t;
};

TEST(MouseKeyboardPageTest, TheMachinesCatalogueWithTwoSources) {
  MouseKeyboardInTheWindow w({"us", "de"}, std::nullopt);
  MouseKeyboardPane& pane = w.open();
  EXPECT_EQ(pane.input().keyboard_layouts, (std::vector<std::string>{"us", "de"}));
  EXPECT_TRUE(w.button(0, "down").is_enabled());
  EXPECT_TRUE(w.button(1, "remove").is_enabled());
  EXPECT_FALSE(w.button(1, "down").is_enabled());
  EXPECT_TRUE(w.png("mouse_keyboard.png"));
}

TEST(MouseKeyboardPageTest, NoRulesFilesAndOneSource) {
  TempDir empty;
  MouseKeyboardInTheWindow w({"us"}, empty.path());
  MouseKeyboardPane& pane = w.open();
  const auto fallback = panes::mouse_keyboard::fallback_input_sources();
  EXPECT_EQ(pane.sources(), std::vector(fallback.begin(), fallback.end()));
  for (std::string_view which : {"up", "down", "remove"}) {
    EXPECT_FALSE(w.button(0, which).is_enabled()) << which;
  }
  auto* add = dynamic_cast<kalu_ui::widget::Dropdown*>(
      w.t.harness.find(panes::mouse_keyboard::kAddPickerId));
  ASSERT_NE(add, nullptr);
  EXPECT_EQ(add->selected(), "English (UK)");
  EXPECT_TRUE(w.png("mouse_keyboard_fallback.png"));
}

TEST(MouseKeyboardPageTest, ASourceAddedThroughTheExecutorShowsOnTheNextPane) {
  TempDir empty;
  MouseKeyboardInTheWindow w({"us"}, empty.path());
  w.open();
  ASSERT_EQ(
      w.t.app->executor().start(testing::operation_id(1), "settings.keyboard-source-operation",
                                testing::bytes(R"({"Add":{"label":"German"}})")),
      kalu_ui::DeviceLocalOutcome::accepted());
  const auto poll = w.t.app->executor().poll(testing::operation_id(1));
  ASSERT_TRUE(poll.status);
  EXPECT_NE(std::get_if<ResourceOperationStatus::Succeeded>(&poll.status->value), nullptr);
  EXPECT_EQ(stored::SettingsPrefs::load().input.keyboard_layouts,
            (std::vector<std::string>{"us", "de"}));
  w.t.harness.frames(2);
  auto* pane = dynamic_cast<MouseKeyboardPane*>(w.t.pane_widget());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->source_label(pane->input().keyboard_layouts.at(1)), "German");
  EXPECT_TRUE(w.button(1, "remove").is_enabled());
  ASSERT_TRUE(w.button(1, "remove").binding());
  EXPECT_EQ(w.button(1, "remove").binding()->resource_id, "settings.input-source:de");
}

}  // namespace
}  // namespace settings::settings_app
