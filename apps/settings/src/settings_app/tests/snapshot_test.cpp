#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app_fixture.h"
#include "kalu_ui/search.h"

namespace settings::settings_app {
namespace {

using nlohmann::json;
using testing::AppFixture;
using ::testing::ElementsAre;
using testing::TempDir;

std::vector<std::string> sidebar_ids() {
  std::vector<std::string> ids;
  for (panes::Pane pane : panes::SIDEBAR_ORDER) ids.emplace_back(panes::pane_id(pane));
  return ids;
}

json snapshot_of(const SettingsApp& app, const kalu_ui::doc::Document& document) {
  auto snapshot = app.debug_snapshot(document, "Root");
  EXPECT_TRUE(snapshot.has_value());
  return json::parse(snapshot->json);
}

TEST(SnapshotTest, BeforeTheFirstLayout) {
  TempDir root;
  SettingsApp app(root.path());
  kalu_ui::doc::Document document;
  const std::string text = app.debug_snapshot(document, "Root")->json;
  // Key order is part of the record.
  std::vector<std::string> keys;
  const auto ordered = nlohmann::ordered_json::parse(text);
  for (const auto& item : ordered.items()) keys.push_back(item.key());
  EXPECT_THAT(
      keys, ElementsAre("app", "search_id", "ready", "local_search_text",
                        "synchronized_search_query", "search_widget_text", "search_caret_byte",
                        "search_focused", "search_rect", "root_rect", "selected_category",
                        "rendered_result_count", "rendered_category_ids", "narrow", "sidebar_open",
                        "document_root", "document_actor", "document_witness_kind",
                        "effective_document_heads", "original_pending_ops"));
  const json s = json::parse(text);
  EXPECT_EQ(s["app"], "kalu.settings");
  EXPECT_EQ(s["search_id"], "settings.search");
  EXPECT_EQ(s["ready"], false);
  for (const char* key :
       {"search_widget_text", "search_caret_byte", "search_focused", "search_rect"}) {
    EXPECT_TRUE(s[key].is_null()) << key;
  }
  EXPECT_EQ(s["root_rect"], json::array({0.0, 0.0, 0.0, 0.0}));
  EXPECT_EQ(s["selected_category"], "network");
  EXPECT_EQ(s["rendered_result_count"], 0);
  EXPECT_EQ(s["rendered_category_ids"], json::array());
  EXPECT_EQ(s["narrow"], false);
  EXPECT_EQ(s["sidebar_open"], false);
  EXPECT_EQ(s["document_root"], "Root");
  EXPECT_EQ(s["document_actor"], document.actor_hex());
  EXPECT_EQ(s["document_witness_kind"], "effective_heads_on_disposable_clone");
  EXPECT_EQ(s["effective_document_heads"], json::array());
  EXPECT_EQ(s["original_pending_ops"], 0);
}

TEST(SnapshotTest, AfterTheFirstLayoutAndWithAQuery) {
  AppFixture t;
  t.harness.frame();
  json s = json::parse(*t.harness.debug_snapshot());
  EXPECT_EQ(s["ready"], true);
  EXPECT_EQ(s["rendered_category_ids"], sidebar_ids());
  EXPECT_EQ(s["rendered_result_count"], 22);
  EXPECT_EQ(s["search_widget_text"], "");
  EXPECT_EQ(s["search_focused"], false);
  EXPECT_EQ(s["search_rect"], json::array({12.0, 12.0, 252.0, 48.0}));
  EXPECT_EQ(s["root_rect"], json::array({0.0, 0.0, 1280.0, 800.0}));
  EXPECT_EQ(s["sidebar_open"], true);

  ASSERT_TRUE(t.harness.click_id(kSearchFieldId));
  t.harness.type_text("blue");
  s = json::parse(*t.harness.debug_snapshot());
  EXPECT_EQ(s["local_search_text"], "blue");
  EXPECT_EQ(s["synchronized_search_query"], "blue");
  EXPECT_EQ(s["search_widget_text"], "blue");
  EXPECT_EQ(s["search_caret_byte"], 4);
  EXPECT_EQ(s["search_focused"], true);
  EXPECT_EQ(s["rendered_category_ids"], json::array({"bluetooth", "displays"}));
  EXPECT_EQ(s["rendered_result_count"], 2);
}

TEST(SnapshotTest, NarrowWindowShowsOneSide) {
  AppFixture t(kalu_ui::harness::Options::sized({600.0, 800.0}));
  t.harness.frame();
  json s = json::parse(*t.harness.debug_snapshot());
  EXPECT_EQ(s["narrow"], true);
  EXPECT_EQ(s["sidebar_open"], true);
  t.app->select_pane(panes::Pane::kSound);  // the selection collapses the panel
  t.harness.frame();
  s = json::parse(*t.harness.debug_snapshot());
  EXPECT_EQ(s["sidebar_open"], false);
  EXPECT_EQ(s["selected_category"], "sound");
  // The sidebar is not in the tree while collapsed.
  EXPECT_EQ(s["rendered_result_count"], 0);
  EXPECT_EQ(s["ready"], false);
}

TEST(SnapshotTest, OpenTransactionIsCountedAndLeftOpen) {
  TempDir root;
  SettingsApp app(root.path());
  kalu_ui::doc::Document document;
  ASSERT_TRUE(document.put(kalu_ui::doc::kRoot, "committed", true));
  document.commit();
  const auto committed_heads = document.clone().get_heads();
  ASSERT_TRUE(document.put(kalu_ui::doc::kRoot, "a", std::int64_t{1}));
  ASSERT_TRUE(document.put(kalu_ui::doc::kRoot, "b", std::int64_t{2}));
  ASSERT_TRUE(document.put(kalu_ui::doc::kRoot, "c", std::int64_t{3}));
  ASSERT_EQ(document.pending_ops(), 3u);

  const json s = snapshot_of(app, document);
  EXPECT_EQ(s["original_pending_ops"], 3);
  EXPECT_EQ(document.pending_ops(), 3u);
  // The heads already include the change that would commit the three edits.
  ASSERT_EQ(s["effective_document_heads"].size(), 1u);
  EXPECT_NE(s["effective_document_heads"][0], committed_heads.at(0).to_hex());
  const auto heads = document.get_heads();
  EXPECT_EQ(s["effective_document_heads"][0], heads.at(0).to_hex());
}

TEST(ResourcesTest, LookupOfTheRootHoldsThePlainSectionsTheListTheFullOnes) {
  TempDir root;
  SettingsApp app(root.path());
  kalu_ui::doc::Document document;
  const auto found = app.resource_by_id(document, "settings.root");
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->kind, "settings.root");
  EXPECT_EQ(found->label, "Settings");
  ASSERT_EQ(found->children.size(), 22u);
  for (std::size_t i = 0; i < 22; ++i) {
    const auto& section = found->children[i];
    EXPECT_EQ(section.id, "settings.section:" + sidebar_ids()[i]);
    ASSERT_EQ(section.actions.size(), 1u);
    EXPECT_EQ(section.actions[0].name, "open");
  }
  // The resource list holds the full sections: Network's actions follow "open".
  const auto all = app.resources(document);
  ASSERT_EQ(all.size(), 1u);
  EXPECT_EQ(all[0].id, "settings.root");
  ASSERT_EQ(all[0].children.size(), 22u);
  ASSERT_EQ(all[0].children[0].actions.size(), 12u);
  EXPECT_EQ(all[0].children[0].actions[1].name, "wifi");
}

TEST(ResourcesTest, LookupBySectionIdAndPrefix) {
  TempDir root;
  SettingsApp app(root.path());
  kalu_ui::doc::Document document;
  const auto network = app.resource_by_id(document, "settings.section:network");
  ASSERT_TRUE(network.has_value());
  EXPECT_EQ(network->label, "Network");
  EXPECT_EQ(app.resource_by_id(document, "settings.section:default-apps")->label, "Apps & Files");
  for (const char* absent :
       {"settings.Section:network", "settings.section:Network", "settings.displayoutput:HDMI-1",
        "settings.display-output:HDMI-9", "settings.section:", "", "kalu.control:x"}) {
    EXPECT_FALSE(app.resource_by_id(document, absent).has_value()) << absent;
  }
}

TEST(ResourcesTest, AccessibilityAndSearchProvider) {
  TempDir root;
  SettingsApp app(root.path());
  const auto node = app.accessibility();
  ASSERT_TRUE(node.has_value());
  EXPECT_EQ(node->role, 2);
  EXPECT_EQ(node->label, "Settings");
  EXPECT_EQ(node->id, "settings.app");
  EXPECT_EQ(node->description, "");
  EXPECT_EQ(node->action_address, "");

  const auto providers = app.search_providers();
  ASSERT_EQ(providers.size(), 1u);
  EXPECT_EQ(providers[0]->title(), "Personal Settings");
  EXPECT_EQ(app.search_catalog().stats().entries, 22u);
  EXPECT_FALSE(app.take_pending_value().has_value());
}

}  // namespace
}  // namespace settings::settings_app
