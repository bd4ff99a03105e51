#include "actions/pane_actions.h"

#include <gtest/gtest.h>

namespace settings::actions {
namespace {

TEST(PaneActionsTest, SectionResourceOpensThePaneById) {
  // Apps & Files: the one id with a hyphen, and a title unlike its id.
  EXPECT_EQ(section_resource_id(panes::Pane::kAppsFiles), "settings.section:default-apps");
  EXPECT_EQ(pane_open_address(panes::Pane::kAppsFiles),
            (kalu_actions::ActionAddress{"settings.section:default-apps", "open"}));

  const kalu_actions::Resource resource = pane_section_resource(panes::Pane::kAppsFiles);
  EXPECT_EQ(resource.id, "settings.section:default-apps");
  EXPECT_EQ(resource.kind, "settings.section");
  EXPECT_EQ(resource.label, "Apps & Files");
  EXPECT_TRUE(resource.children.empty());
  ASSERT_EQ(resource.actions.size(), 1u);
  const kalu_actions::ActionSpec& open = resource.actions[0];
  EXPECT_EQ(open.name, "open");
  EXPECT_EQ(open.label, "Open Apps & Files");
  EXPECT_TRUE(open.parameters.empty());
  EXPECT_TRUE(open.available);
  EXPECT_EQ(open.operation_kind, kalu_actions::kOperationInterface);
  ASSERT_TRUE(open.fixed_input.has_value());
  EXPECT_EQ(open.fixed_input->action_id, "settings.open-pane");
  EXPECT_EQ(open.fixed_input->payload_text(), "\"default-apps\"");
}

TEST(PaneActionsTest, SearchEntryCarriesTheEncodedAddressOnly) {
  const auto address = pane_open_address(panes::Pane::kPrivacySecurity);
  const auto entry =
      search_entry_for_action("Device Privacy & Security", "Personal Settings", address);
  EXPECT_EQ(entry.title, "Device Privacy & Security");
  EXPECT_EQ(entry.section, "Personal Settings");
  EXPECT_EQ(entry.target,
            "\x01"
            "action"
            "\x1F" +
                address.encode());
  EXPECT_EQ(entry.description, std::nullopt);
  EXPECT_EQ(entry.detail, std::nullopt);
  EXPECT_EQ(entry.weight, 0);
  EXPECT_EQ(entry.icon, std::nullopt);
}

}  // namespace
}  // namespace settings::actions
