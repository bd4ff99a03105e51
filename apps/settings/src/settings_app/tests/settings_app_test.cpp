#include "settings_app/settings_app.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "accounts/journal.h"
#include "accounts/stores.h"
#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text_input.h"
#include "operation_fixture.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
using testing::BuildCounts;
using ::testing::Each;
using testing::TempDir;

using enum panes::Pane;

TEST(SettingsAppTest, NothingIsBuiltBeforeTheFirstLayout) {
  TempDir root;
  auto counts = std::make_shared<BuildCounts>();
  SettingsApp app(root.path(), testing::counting_panes(counts));
  EXPECT_EQ(app.selected_category(), kNetwork);
  EXPECT_TRUE(app.children().empty());
  EXPECT_EQ(app.get_rect(), kalu_ui::Rect{});
  EXPECT_FALSE(app.is_narrow());
  EXPECT_EQ(app.requested_pane()->get(), kNoPane);
  EXPECT_EQ(app.local_search_text()->get(), "");
  EXPECT_THAT(*counts, Each(0));

  // A selection and a query before the shell exists are applied, their
  // navigation and page built and dropped.
  app.requested_pane()->publish(testing::selection_value(kSound));
  app.local_search_text()->publish("wi");
  kalu_ui::doc::Document document;
  app.sync(document);
  EXPECT_EQ(app.selected_category(), kSound);
  EXPECT_EQ(app.synchronized_search_query(), "wi");
  EXPECT_EQ((*counts)[kSound], 1);
  EXPECT_TRUE(app.children().empty());
  EXPECT_TRUE(app.take_structure_dirty());
  EXPECT_FALSE(app.take_structure_dirty());
}

TEST(SettingsAppTest, FreshStartShowsNetworkTheSearchFieldAndEveryGroup) {
  AppFixture t;
  t.harness.frame();
  EXPECT_EQ((*t.counts)[kNetwork], 1);
  EXPECT_EQ(testing::total(*t.counts), 1);
  auto* field = dynamic_cast<kalu_ui::widget::TextInput*>(t.harness.find(kSearchFieldId));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(), "");
  EXPECT_EQ(field->text_input_kind(), kalu_ui::widget::TextInput::kKindSearch);
  EXPECT_EQ(t.app->get_rect(), (kalu_ui::Rect{0, 0, 1280, 800}));
  ASSERT_EQ(t.app->children().size(), 1u);
  EXPECT_EQ(t.app->children()[0]->short_type_name(), "AppShell");
  EXPECT_EQ(t.pane_widget()->short_type_name(), "NetworkPane");
  EXPECT_EQ(t.app->shell()->nav_width(), kNavWidth);
  EXPECT_EQ(t.app->shell()->narrow_below(), kNarrowBelow);
}

TEST(SettingsAppTest, SelectionThroughTheCellBuildsOnePaneAndReselectingBuildsNone) {
  AppFixture t;
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id("Sound"));  // the sidebar row publishes, sync selects
  EXPECT_EQ(t.app->selected_category(), kSound);
  EXPECT_EQ(t.app->requested_pane()->get(), kNoPane);
  EXPECT_EQ((*t.counts)[kSound], 1);
  EXPECT_EQ(testing::total(*t.counts), 2);
  EXPECT_EQ(t.pane_widget()->short_type_name(), "AudioPane");

  kalu_ui::Widget* shown = t.pane_widget();
  ASSERT_TRUE(t.harness.click_id("Sound"));
  EXPECT_EQ(t.app->requested_pane()->get(), kNoPane);
  EXPECT_EQ(testing::total(*t.counts), 2);
  EXPECT_EQ(t.pane_widget(), shown);
}

TEST(SettingsAppTest, PickingARowBelowTheFoldKeepsTheSidebarWhereItWasScrolled) {
  AppFixture t;
  t.harness.frame();
  ASSERT_TRUE(t.harness.wheel({130, 500}, {0, 2000}));
  t.harness.frame();
  const kalu_ui::Rect before = kalu_ui::frame::find_by_id(t.harness.root(), "About")->get_rect();
  ASSERT_LE(before.y1, 800.0);

  ASSERT_TRUE(t.harness.click_id("About"));
  t.harness.frame();
  EXPECT_EQ(panes::pane_title(t.app->selected_category()), "About");
  // The rebuilt sidebar still shows the row just picked, where it was.
  EXPECT_EQ(kalu_ui::frame::find_by_id(t.harness.root(), "About")->get_rect(), before);
}

// The scrolling viewport that holds the sidebar row with this id.
kalu_ui::widget::Scrollable* viewport_of(kalu_ui::Widget& root, std::string_view row_id) {
  const kalu_ui::Widget* row = kalu_ui::frame::find_by_id(root, row_id);
  kalu_ui::widget::Scrollable* found = nullptr;
  for (kalu_ui::Widget* w : kalu_ui::frame::collect(root, [](const kalu_ui::Widget& w) {
         return dynamic_cast<const kalu_ui::widget::Scrollable*>(&w) != nullptr;
       })) {
    if (kalu_ui::frame::contains(*w, row)) found = dynamic_cast<kalu_ui::widget::Scrollable*>(w);
  }
  return found;
}

// Whether the row is wholly inside its viewport as drawn now (a scroll since
// the last layout shifts it until the next).
bool row_in_view(kalu_ui::Widget& root, std::string_view row_id) {
  auto* viewport = viewport_of(root, row_id);
  if (viewport == nullptr) return false;
  const kalu_ui::Rect row = kalu_ui::frame::find_by_id(root, row_id)->get_rect();
  const kalu_ui::Rect view = viewport->get_rect();
  return row.y0 >= view.y0 && row.y1 <= view.y1;
}

TEST(SettingsAppTest, OpeningAPaneAwayFromItsRowScrollsTheSidebarToTheRow) {
  AppFixture t;
  t.harness.frame();
  kalu_ui::Widget& root = t.harness.root();
  ASSERT_FALSE(row_in_view(root, "About"));  // below the fold at 1280 by 800

  ASSERT_TRUE(testing::invoke(*t.app, 2, "settings.open-pane", R"("about")").value_or(false));
  t.harness.frames(2);
  EXPECT_EQ(panes::pane_title(t.app->selected_category()), "About");
  EXPECT_TRUE(row_in_view(root, "About"));

  // Scrolled away, the pane already shown is opened again: its row comes back.
  ASSERT_TRUE(t.harness.wheel({130, 300}, {0, -2000}));
  t.harness.frame();
  ASSERT_FALSE(row_in_view(root, "About"));
  ASSERT_TRUE(testing::invoke(*t.app, 2, "settings.open-pane", R"("about")").value_or(false));
  t.harness.frames(2);
  EXPECT_TRUE(row_in_view(root, "About"));

  // A row already in view moves nothing.
  ASSERT_TRUE(t.harness.wheel({130, 300}, {0, -2000}));
  t.harness.frame();
  ASSERT_TRUE(testing::invoke(*t.app, 2, "settings.open-pane", R"("sound")").value_or(false));
  t.harness.frames(2);
  EXPECT_EQ(viewport_of(root, "Sound")->offset(), 0.0);
}

TEST(SettingsAppTest, TabNeverStopsOnAScrollViewportAndPageKeysStillScrollTheSidebar) {
  AppFixture t;
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id(kSearchFieldId));
  ASSERT_EQ(t.harness.focused(), t.harness.find(kSearchFieldId));

  // From the search field straight to the first row.
  t.harness.key(kalu_ui::Key::Tab);
  ASSERT_NE(t.harness.focused(), nullptr);
  EXPECT_EQ(t.harness.focused()->id(), "Network");

  // With a row focused, PageDown scrolls the sidebar holding it.
  auto* sidebar = viewport_of(t.harness.root(), "Network");
  ASSERT_NE(sidebar, nullptr);
  EXPECT_TRUE(t.harness.key(kalu_ui::Key::PageDown));
  EXPECT_GT(sidebar->offset(), 0.0);
  // Home is the rows' own: back to the first row, scrolled into view.
  t.harness.key(kalu_ui::Key::Home);
  EXPECT_EQ(t.harness.focused()->id(), "Network");
  EXPECT_TRUE(row_in_view(t.harness.root(), "Network"));

  // Round the whole cycle back to the search field: no stop is a viewport
  // (the sidebar's nor the page's).
  int stops = 0;
  do {
    t.harness.key(kalu_ui::Key::Tab);
    ASSERT_NE(t.harness.focused(), nullptr);
    EXPECT_EQ(dynamic_cast<kalu_ui::widget::Scrollable*>(t.harness.focused()), nullptr)
        << "stop " << stops;
  } while (t.harness.focused() != t.harness.find(kSearchFieldId) && ++stops < 500);
  EXPECT_LT(stops, 500);
}

TEST(SettingsAppTest, OnlyTheLastOfTwoSelectionsBetweenFramesApplies) {
  AppFixture t;
  t.harness.frame();
  t.app->requested_pane()->publish(testing::selection_value(kSound));
  t.app->requested_pane()->publish(testing::selection_value(panes::Pane::kUpdates));
  t.harness.frame();
  EXPECT_EQ(t.app->selected_category(), panes::Pane::kUpdates);
  EXPECT_EQ((*t.counts)[kSound], 0);
  EXPECT_EQ((*t.counts)[panes::Pane::kUpdates], 1);
}

TEST(SettingsAppTest, NetworkSoundNetworkBuildsThreePanesWithNothingKept) {
  AppFixture t;
  t.harness.frame();
  for (panes::Pane pane : {kSound, kNetwork}) {
    t.app->select_pane(pane);
    t.harness.frame();
  }
  EXPECT_EQ((*t.counts)[kNetwork], 2);
  EXPECT_EQ((*t.counts)[kSound], 1);
  EXPECT_EQ(t.pane_widget()->short_type_name(), "NetworkPane");
}

TEST(SettingsAppTest, TypingAQueryRebuildsTheNavigationAndKeepsThePane) {
  AppFixture t;
  t.harness.frame();
  const kalu_ui::Widget* pane = t.pane_widget();
  const kalu_ui::Widget* nav = t.app->shell()->nav();

  ASSERT_TRUE(t.harness.click_id(kSearchFieldId));
  t.harness.type_text("blue");
  EXPECT_EQ(t.app->synchronized_search_query(), "blue");
  EXPECT_NE(t.app->shell()->nav(), nav);
  EXPECT_EQ(t.pane_widget(), pane);
  EXPECT_EQ(testing::total(*t.counts), 1);
  EXPECT_NE(t.harness.find("Bluetooth"), nullptr);
  EXPECT_EQ(t.harness.find("Sound"), nullptr);

  // The same text again changes nothing.
  nav = t.app->shell()->nav();
  t.app->local_search_text()->publish("blue");
  EXPECT_FALSE(t.harness.frame().layout_built);
  EXPECT_EQ(t.app->shell()->nav(), nav);
}

TEST(SettingsAppTest, AScaleChangeConstructsThePaneAnew) {
  AppFixture t;
  t.harness.frame();
  t.harness.frame();
  EXPECT_EQ((*t.counts)[kNetwork], 1);
  t.harness.set_scale(2.0);
  t.harness.frame();
  EXPECT_EQ((*t.counts)[kNetwork], 2);
  EXPECT_EQ(t.app->selected_category(), kNetwork);
  t.harness.frame();
  EXPECT_EQ((*t.counts)[kNetwork], 2);
}

TEST(SettingsAppTest, OutOfRangeSelectionIsIgnored) {
  AppFixture t;
  t.harness.frame();
  t.app->requested_pane()->publish(static_cast<std::uint8_t>(panes::kPaneCount));
  t.harness.frame();
  EXPECT_EQ(t.app->selected_category(), kNetwork);
  EXPECT_EQ(t.app->requested_pane()->get(), kNoPane);
  EXPECT_EQ(testing::total(*t.counts), 1);
}

}  // namespace
}  // namespace settings::settings_app

namespace settings::settings_app {
namespace {

void save_accounts(const std::filesystem::path& root, std::initializer_list<const char*> ids) {
  account_book::AccountStore store;
  for (const char* id : ids) {
    account_book::Account account;
    account.id = id;
    account.type_id = account_book::AccountTypeId::from("webdav");
    store.upsert(std::move(account));
  }
  ASSERT_TRUE(store.save_in(root));
}

std::vector<std::string> account_ids(const SettingsApp& app) {
  std::vector<std::string> ids;
  for (const auto& account : app.accounts()) ids.push_back(account.id);
  return ids;
}

TEST(SettingsAppTest, AccountsLoadAtStartAndReloadOnlyForExternalAccountsWithAShellChange) {
  AppFixture t;
  EXPECT_TRUE(t.app->accounts().empty());
  save_accounts(t.root.path(), {"webdav-1"});

  // Elsewhere a shell change reloads nothing.
  t.harness.frame();
  t.app->select_pane(kSound);
  t.harness.frame();
  EXPECT_TRUE(t.app->accounts().empty());

  t.app->select_pane(kExternalAccounts);
  t.harness.frame();
  EXPECT_THAT(account_ids(*t.app), ::testing::ElementsAre("webdav-1"));

  // Without a shell change the list stays as it was.
  save_accounts(t.root.path(), {"webdav-1", "webdav-2"});
  t.harness.frame();
  EXPECT_EQ(account_ids(*t.app).size(), 1u);
  t.app->local_search_text()->publish("acc");  // a new sidebar is a shell change
  t.harness.frame();
  EXPECT_THAT(account_ids(*t.app), ::testing::ElementsAre("webdav-1", "webdav-2"));
}

TEST(SettingsAppTest, AccountsOfTheRootAreLoadedWhenBuilt) {
  TempDir root;
  save_accounts(root.path(), {"webdav-1"});
  SettingsApp app(root.path());
  EXPECT_THAT(account_ids(app), ::testing::ElementsAre("webdav-1"));
}

// A change a previous run left half done is rolled back before the list is read.
TEST(SettingsAppTest, AnInterruptedAccountChangeIsRolledBackBeforeTheListLoads) {
  TempDir root;
  save_accounts(root.path(), {"webdav-1"});
  ASSERT_TRUE(accounts::begin_account_mutation(root.path(),
                                               accounts::load_account_store(root.path()),
                                               accounts::load_sync_status(root.path())));
  save_accounts(root.path(), {"webdav-1", "webdav-half-added"});

  SettingsApp app(root.path());
  EXPECT_THAT(account_ids(app), ::testing::ElementsAre("webdav-1"));
  EXPECT_FALSE(std::filesystem::exists(*accounts::mutation_journal_path(root.path())));
}

}  // namespace
}  // namespace settings::settings_app
