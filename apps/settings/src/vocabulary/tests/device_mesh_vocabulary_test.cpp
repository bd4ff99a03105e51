#include "vocabulary/device_mesh_vocabulary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "vocabulary/doc_flags.h"

namespace settings::panes {
namespace {

using ::testing::ElementsAre;
namespace doc = kalu_ui::doc;

TEST(DeviceMeshVocabularyTest, NamesTheSurfaceAndThePaneShare) {
  std::vector<std::string> actions;
  for (const auto& capability : device_mesh::continuity_capabilities()) {
    actions.push_back(device_mesh::continuity_action_name(capability.id));
  }
  EXPECT_THAT(actions, ElementsAre("continuity-clipboard", "continuity-notifications",
                                   "continuity-wifi-settings", "continuity-media",
                                   "continuity-display-input", "continuity-file-transfer",
                                   "continuity-realtime-sessions", "continuity-typed-gamepad",
                                   "continuity-app-continuations"));
  EXPECT_EQ(device_mesh::continuity_capability_index("typed_gamepad"), 7u);
  EXPECT_EQ(device_mesh::continuity_capability_index("typed-gamepad"), std::nullopt);

  EXPECT_THAT(device_mesh::role_choice_order(),
              ElementsAre("Personal device", "Available while active", "Always-on server"));
  EXPECT_EQ(device_mesh::role_from_label("Always-on server"), kalu_relay::kRoleAlwaysOn);
  EXPECT_EQ(device_mesh::role_from_label("Available while active"), kalu_relay::kRoleHybrid);
  EXPECT_EQ(device_mesh::role_from_label("always-on"), std::nullopt);
  EXPECT_THAT(device_mesh::replication_choice_order(),
              ElementsAre("On demand", "Workspace state", "Full workspace copy"));
  EXPECT_EQ(device_mesh::replication_from_label("Full workspace copy"),
            kalu_relay::kReplicationFull);
  EXPECT_EQ(device_mesh::replication_label(kalu_relay::kReplicationWorkspaceOnly),
            "Workspace state");
  EXPECT_EQ(device_mesh::replication_label(7), "On demand");
}

TEST(DocFlagsTest, TakesOnlyATrueFlagOnce) {
  doc::Document document;
  EXPECT_FALSE(take_doc_flag(document, "k"));  // absent
  ASSERT_TRUE(document.put(doc::kRoot, "k", doc::Scalar(std::string("true"))));
  EXPECT_FALSE(take_doc_flag(document, "k"));  // not a boolean: left alone
  EXPECT_EQ(document.read_str(doc::kRoot, "k"), "true");
  ASSERT_TRUE(document.put(doc::kRoot, "k", doc::Scalar(true)));
  EXPECT_TRUE(take_doc_flag(document, "k"));
  EXPECT_EQ(document.read_bool(doc::kRoot, "k"), false);
  EXPECT_FALSE(take_doc_flag(document, "k"));
}

}  // namespace
}  // namespace settings::panes
