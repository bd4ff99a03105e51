#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/text.h"
#include "panes/accounts/accounts_pane.h"
#include "panes/agent_models/agent_models_pane.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using kalu_ui::Widget;
using kalu_ui::layout::Dimension;
using kalu_ui::widget::Container;
using kalu_ui::widget::Text;
using testing::AppFixture;

// The frame as built: container, scrollable, [limit], column [header, pane].
struct Frame {
  const Container* outer = nullptr;
  const Container* limit = nullptr;
  const Widget* column = nullptr;
};

Frame frame_of(const Widget& page) {
  Frame f;
  f.outer = dynamic_cast<const Container*>(&page);
  const Widget* scrollable = page.children().at(0);
  EXPECT_EQ(scrollable->short_type_name(), "Scrollable");
  const Widget* inside = scrollable->children().at(0);
  if ((f.limit = dynamic_cast<const Container*>(inside))) inside = inside->children().at(0);
  f.column = inside;
  return f;
}

std::vector<std::string> header_texts(const Widget& column) {
  std::vector<std::string> texts;
  for (const Widget* text : column.children().at(0)->children()) {
    texts.push_back(dynamic_cast<const Text&>(*text).text());
  }
  return texts;
}

TEST(PageFrameTest, HeaderAboveEveryPageAndWidthLimitsOfTwo) {
  AppFixture t;
  for (const panes::PaneRow& row : panes::kPaneRows) {
    const panes::Pane pane = row.pane;
    SCOPED_TRACE(panes::pane_id(pane));
    t.app->select_pane(pane);
    const kalu_ui::WidgetBox page = t.app->build_page();
    const Frame f = frame_of(*page);
    ASSERT_NE(f.outer, nullptr);
    EXPECT_EQ(f.outer->style().max_width, Dimension::auto_());
    EXPECT_THAT(header_texts(*f.column),
                ::testing::ElementsAre("SETTINGS", std::string(panes::pane_title(pane)),
                                       std::string(panes::pane_subtitle(pane))));
    ASSERT_EQ(f.column->children().size(), 2u);
    // A pane's widget answers its own row's type name.
    if (const std::string_view name = panes::pane_row(pane).type_name; !name.empty()) {
      EXPECT_EQ(f.column->children()[1]->type_name(), name);
    }
    const float limit = pane == panes::Pane::kExternalAccounts ? 1040.0f
                        : pane == panes::Pane::kRegionFormats  ? 720.0f
                                                               : 0.0f;
    if (limit == 0.0f) {
      EXPECT_EQ(f.limit, nullptr);
    } else {
      ASSERT_NE(f.limit, nullptr);
      EXPECT_EQ(f.limit->style().max_width, Dimension::points(limit));
    }
  }
}

// A settings file that a save kept aside is named on every page, under the
// header, until the program ends.
TEST(PageFrameTest, EveryPageNamesASettingsFileKeptAside) {
  char folder[] = "/tmp/kept_aside_page.XXXXXX";
  ASSERT_NE(::mkdtemp(folder), nullptr);
  struct Remove {
    std::filesystem::path dir;
    ~Remove() { std::filesystem::remove_all(dir); }
  } remove{folder};
  prefs_store::ScopedConfigDir config(folder);
  AppFixture t;
  const std::filesystem::path settings = *prefs_store::settings_path();
  std::filesystem::create_directories(settings.parent_path());
  std::ofstream(settings) << "{cut";
  ASSERT_TRUE(prefs_store::update_section("power", nlohmann::ordered_json::object()));
  const auto kept = prefs_store::kept_aside();
  ASSERT_FALSE(kept.empty());
  const std::string said = settings.string() +
                           " did not read (the document is not JSON (it goes wrong at byte 2)); "
                           "it was kept aside as " +
                           kept.back().copy.string() + " and a fresh file was saved.";
  ASSERT_EQ(kept.back().copy.parent_path(), settings.parent_path());
  for (const panes::Pane pane : {panes::Pane::kPower, panes::Pane::kAbout}) {
    t.app->select_pane(pane);
    const kalu_ui::WidgetBox page = t.app->build_page();
    const Frame f = frame_of(*page);
    ASSERT_EQ(f.column->children().size(), 3u);
    std::vector<std::string> texts;
    for (Widget* w : kalu_ui::frame::collect(
             const_cast<Widget&>(*f.column->children()[1]),
             [](const Widget& w) { return dynamic_cast<const Text*>(&w) != nullptr; })) {
      texts.push_back(dynamic_cast<const Text&>(*w).text());
    }
    EXPECT_THAT(texts, ::testing::Contains(said));
  }
}

TEST(PageFrameTest, ThePageColumnGapsAndPadding) {
  AppFixture t;
  const kalu_ui::WidgetBox page = t.app->build_page();
  const auto& style = dynamic_cast<const kalu_ui::widget::Stack&>(*frame_of(*page).column).style();
  EXPECT_EQ(style.gap.height, 16.0f);
  EXPECT_EQ(style.gap.width, 24.0f);
  EXPECT_EQ(style.padding, kalu_ui::layout::Edges::symmetric(24.0f, 24.0f));
}

// The cells the page frame hands the External Accounts row, and what the pane
// keeps of them; every other pane checks its own wiring in its tests.
TEST(PageFrameTest, TheAccountsRowTakesTheApplicationsCells) {
  AppFixture t;
  t.app->select_pane(panes::Pane::kExternalAccounts);
  t.harness.frame();
  const auto* accounts = dynamic_cast<const panes::accounts::AccountsPane*>(t.pane_widget());
  ASSERT_NE(accounts, nullptr);
  EXPECT_EQ(accounts->accounts_root(), t.root.path());
  EXPECT_EQ(accounts->account_probe(), t.app->account_probe());
  EXPECT_EQ(accounts->account_request_cell(), t.app->account_requests());
  // What the page frame hands every row.
  const PaneCells& cells = *(*t.handed)[panes::Pane::kExternalAccounts];
  EXPECT_EQ(cells.accounts_root, t.root.path());
  EXPECT_EQ(cells.account_probe, t.app->account_probe());
  EXPECT_EQ(cells.device_local_request, t.app->device_local_request());
  EXPECT_EQ(cells.operation_completion, t.app->operation_completion());
  EXPECT_EQ(cells.account_requests, t.app->account_requests());
  EXPECT_EQ(cells.content_width_hint, std::nullopt);
  EXPECT_EQ(cells.agent_models_status, t.app->agent_models_status());

  sim_device::ScopedDeviceState device;
  // The pane keeps the local provider profile in step: in a folder of the test's.
  prefs_store::ScopedConfigDir config{device.dir() / "config"};
  t.app->select_pane(panes::Pane::kAgentModels);
  t.harness.frame();
  const auto* models = dynamic_cast<const panes::agent_models::AgentModelsPane*>(t.pane_widget());
  ASSERT_NE(models, nullptr);
  // Its first read ends while the simulated device is there.
  for (int i = 0; i < 5000 && models->busy(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    t.harness.frame();
  }
  EXPECT_FALSE(models->busy());
  EXPECT_TRUE(models->link().hosted());
  EXPECT_EQ(models->link().request_cell(), t.app->device_local_request());
  EXPECT_EQ(models->link().completion_cell(), t.app->operation_completion());
  EXPECT_EQ(models->status_cell(), t.app->agent_models_status());
}

// Region & Formats learns the content width less 72, at least 0, once the
// shell has a content area; built before the shell exists it gets none.
TEST(PageFrameTest, RegionWidthHint) {
  const auto hint = [](AppFixture& t) {
    return (*t.handed)[panes::Pane::kRegionFormats]->content_width_hint;
  };
  {
    AppFixture t;
    t.app->select_pane(panes::Pane::kRegionFormats);
    t.harness.frame();
    EXPECT_EQ(hint(t), std::nullopt);
  }
  {
    AppFixture t(kalu_ui::harness::Options::sized({864.0, 800.0}));  // 264 + 600
    t.harness.frame();
    ASSERT_EQ(t.app->shell()->content_rect().width(), 600.0);
    t.app->select_pane(panes::Pane::kRegionFormats);
    t.harness.frame();
    EXPECT_EQ(hint(t), 528.0f);
  }
  {
    // Narrow: a selection shows the content alone, 50 wide.
    AppFixture t(kalu_ui::harness::Options::sized({50.0, 800.0}));
    t.harness.frame();
    t.app->select_pane(panes::Pane::kSound);
    t.harness.frame();
    ASSERT_EQ(t.app->shell()->content_rect().width(), 50.0);
    t.app->select_pane(panes::Pane::kRegionFormats);
    t.harness.frame();
    EXPECT_EQ(hint(t), 0.0f);
  }
}

// The two plain pages are built by their own folders: selecting them shows
// them under the header, with no placeholder line. Kept as PNG.
TEST(PageFrameTest, ThePlainPagesInTheWindow) {
  AppFixture t;
  t.harness.frame();
  const struct {
    panes::Pane pane;
    const char* first_card;
    const char* png;
  } pages[] = {{panes::Pane::kPrivacySecurity, "This device", "/privacy_page.png"},
               {panes::Pane::kAbout, "Workspace identity", "/about_page.png"}};
  for (const auto& page : pages) {
    SCOPED_TRACE(panes::pane_id(page.pane));
    t.app->select_pane(page.pane);
    t.harness.frame();
    std::vector<std::string> texts;
    kalu_ui::frame::collect(*t.pane_widget(), [&](const Widget& w) {
      if (const auto* card = dynamic_cast<const kalu_ui::widget::Card*>(&w)) {
        texts.push_back(card->title());
      }
      if (const auto* text = dynamic_cast<const Text*>(&w)) texts.push_back(text->text());
      return false;
    });
    EXPECT_THAT(texts, ::testing::Contains(page.first_card));
    EXPECT_THAT(texts,
                ::testing::Not(::testing::Contains(std::string("This page is not built yet."))));
    EXPECT_TRUE(t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + page.png).has_value());
  }
}

}  // namespace
}  // namespace settings::settings_app
