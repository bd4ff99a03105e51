#include "actions/resource_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "prefs_store/paths.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ActionSpec;
using kalu_actions::Resource;

// A simulated device and a settings folder of the test's own.
class ResourceTreeTest : public ::testing::Test {
 protected:
  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};
  kalu_ui::doc::Document document_;

  Resource root() {
    auto list = root_resource(document_, {});
    EXPECT_EQ(list.size(), 1u);
    return list.empty() ? Resource{} : std::move(list.front());
  }
};

TEST_F(ResourceTreeTest, RootListsTheTwentyTwoSectionsInSidebarOrderEachOpeningFirst) {
  const Resource tree = root();
  EXPECT_EQ(tree.id, "settings.root");
  EXPECT_EQ(tree.kind, "settings.root");
  EXPECT_EQ(tree.label, "Settings");
  EXPECT_TRUE(tree.actions.empty());
  ASSERT_EQ(tree.children.size(), 22u);
  for (std::size_t i = 0; i < tree.children.size(); ++i) {
    const panes::Pane pane = panes::SIDEBAR_ORDER[i];
    const Resource& section = tree.children[i];
    EXPECT_EQ(section.id, "settings.section:" + std::string(panes::pane_id(pane)));
    EXPECT_EQ(section.label, panes::pane_title(pane));
    ASSERT_FALSE(section.actions.empty()) << section.id;
    const ActionSpec& open = section.actions.front();
    EXPECT_EQ(open.name, "open");
    EXPECT_EQ(open.label, "Open " + std::string(panes::pane_title(pane)));
    EXPECT_EQ(open.operation_kind, kalu_actions::kOperationInterface);
    EXPECT_FALSE(open.contract.has_value());
    EXPECT_EQ(open.fixed_input->action_id, "settings.open-pane");
  }
  // Sections with builders of their own keep their actions after "open".
  const Resource& network = tree.children[0];
  ASSERT_GE(network.actions.size(), 2u);
  EXPECT_EQ(network.actions[1].name, "wifi");
  // Device Privacy & Security and About have nothing but "open".
  for (const std::string_view id : {"settings.section:permissions", "settings.section:about"}) {
    const Resource* section = tree.find(id);
    ASSERT_NE(section, nullptr) << id;
    EXPECT_EQ(section->actions.size(), 1u) << id;
    EXPECT_TRUE(section->children.empty()) << id;
    EXPECT_EQ(section->kind, "settings.section");
  }
  // The kinds of the three sections that are not plain sections.
  EXPECT_EQ(tree.find("settings.section:default-apps")->kind, "settings.default-apps");
  EXPECT_EQ(tree.find("settings.section:external_accounts")->kind, "settings.accounts");
  EXPECT_EQ(tree.find("settings.section:agent_models")->kind, "settings.agent-models");
}

TEST_F(ResourceTreeTest, AppsAndFilesOpensByItsHyphenatedId) {
  const Resource tree = root();
  const Resource* apps = tree.find("settings.section:default-apps");
  ASSERT_NE(apps, nullptr);
  const ActionSpec& open = apps->actions.front();
  EXPECT_EQ(open.label, "Open Apps & Files");
  auto delivered = open.build_json({});
  ASSERT_TRUE(delivered);
  EXPECT_EQ(delivered->action_id, "settings.open-pane");
  EXPECT_EQ(delivered->payload_text(), "\"default-apps\"");
}

TEST_F(ResourceTreeTest, TwoBuildsOfAnUnchangedDeviceAreEqualAndANewDeviceAppearsInTheNext) {
  const Resource first = root();
  EXPECT_EQ(root(), first);

  ASSERT_EQ(
      sim_device::simdev::command(
          {"add", "bluetooth.devices",
           R"({"path": "/org/bluez/hci0/dev_00_11_22_33_44_55", "address": "00:11:22:33:44:55",
                     "name": "Desk Keyboard", "icon": "input-keyboard", "rssi": -40,
                     "battery": null, "paired": false, "trusted": false, "connected": false})"})
          .status,
      0);
  const Resource second = root();
  EXPECT_NE(second, first);
  const Resource* keyboard =
      second.find("settings.bluetooth-device:/org/bluez/hci0/dev_00_11_22_33_44_55");
  ASSERT_NE(keyboard, nullptr);
  EXPECT_EQ(keyboard->label, "Desk Keyboard");
  ASSERT_EQ(keyboard->actions.size(), 1u);
  EXPECT_EQ(keyboard->actions[0].name, "pair");

  // A device that went away is gone from the next tree.
  ASSERT_EQ(sim_device::simdev::command({"remove", "bluetooth.devices[0]"}).status, 0);
  const Resource third = root();
  EXPECT_EQ(third.find("settings.bluetooth-device:/org/bluez/hci0/dev_3C_A1_0B_55_21_7E"), nullptr);
}

TEST_F(ResourceTreeTest, LookupBuildsOnlyWhatTheIdNames) {
  // The root's sections carry only "open".
  auto plain = resource_by_id(document_, {}, "settings.root");
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->children.size(), 22u);
  for (const Resource& section : plain->children) {
    EXPECT_EQ(section.actions.size(), 1u) << section.id;
    EXPECT_EQ(section.kind, "settings.section") << section.id;
  }
  EXPECT_EQ(*plain, plain_root());

  auto network = resource_by_id(document_, {}, "settings.section:network");
  ASSERT_TRUE(network);
  EXPECT_EQ(network->actions.size(), 12u);
  EXPECT_EQ(network->actions.front().name, "open");

  auto headphones = resource_by_id(
      document_, {}, "settings.bluetooth-device:/org/bluez/hci0/dev_3C_A1_0B_55_21_7E");
  ASSERT_TRUE(headphones);
  EXPECT_EQ(headphones->label, "Studio Headphones");
  // The device sections' items, the Sound section's sound devices too.
  for (const std::string_view id :
       {"settings.display-output:DP-2", "settings.audio-device:42", "settings.input-source:us"}) {
    auto item = resource_by_id(document_, {}, id);
    ASSERT_TRUE(item) << id;
    EXPECT_EQ(item->id, id);
  }

  for (const std::string_view id :
       {"settings.section:Network", "settings.section:", "settings.section:networks",
        "settings.bluetooth-device:/org/bluez/hci0/dev_gone", "settings.printer:Office",
        "settings.audio-device:999", "settings.sectionnetwork", "", "kalu.control:x"}) {
    EXPECT_FALSE(resource_by_id(document_, {}, id)) << id;
  }
}

TEST_F(ResourceTreeTest, ItemPrefixesNameTheSectionThatHoldsThem) {
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"settings.default-app:browser", "default-apps"},
      {"settings.account:a1", "external_accounts"},
      {"settings.notification-app:mail", "notifications"},
      {"settings.audio-output:41", "sound"},
      {"settings.audio-recording:3", "sound"},
      {"settings.audio-device:42", "sound"},
      {"settings.display-output:HDMI-A-1", "displays"},
      {"settings.input-source:us", "mouse_keyboard"},
      {"settings.bluetooth-device:/x", "bluetooth"},
      {"settings.print-job:7", "printers"},
      {"settings.user:ada", "users"},
      {"settings.device-mesh-workspace:9", "devices_sync"},
      {"settings.agent-model-recommendation:r", "agent_models"},
      {"settings.agent-provider:p", "agent_models"},
      {"settings.section:time_date", "time_date"},
  };
  for (const auto& [id, pane] : cases) {
    const auto found = pane_of_resource(id);
    ASSERT_TRUE(found) << id;
    EXPECT_EQ(panes::pane_id(*found), pane) << id;
  }
  EXPECT_FALSE(pane_of_resource("settings.audio:1"));
  EXPECT_FALSE(pane_of_resource("settings.root"));
}

TEST(ResourceSearchTest, FindTakesTheFirstInPreOrderAndChildFindersMatchWholeIds) {
  const Resource tree =
      Resource::create("a", "k", "A")
          .with_child(
              Resource::create("b", "k", "B").with_child(Resource::create("x", "k", "deep")))
          .with_child(Resource::create("x", "k", "shallow"));
  EXPECT_EQ(find_resource(tree, "a")->label, "A");
  EXPECT_EQ(find_resource(tree, "x")->label, "deep");
  EXPECT_FALSE(find_resource(tree, "X"));
  EXPECT_FALSE(find_resource(tree, "b2"));

  std::vector<Resource> sources = {Resource::create("settings.input-source:us+intl", "k", "Intl"),
                                   Resource::create("settings.input-source:us", "k", "US")};
  EXPECT_EQ(find_input_source_child(sources, "us")->label, "US");
  EXPECT_FALSE(find_input_source_child(sources, "u"));
  std::vector<Resource> workspaces = {
      Resource::create("settings.device-mesh-workspace:12", "k", "Twelve"),
      Resource::create("settings.device-mesh-workspace:1", "k", "One")};
  EXPECT_EQ(find_mesh_workspace_child(workspaces, 1)->label, "One");
  EXPECT_FALSE(find_mesh_workspace_child(workspaces, 2));

  const Resource attached = attach_pane_resources(
      Resource::create("nav", "k", "Nav"),
      std::vector<panes::Pane>{panes::Pane::kDisplays, panes::Pane::kNetwork});
  ASSERT_EQ(attached.children.size(), 2u);
  EXPECT_EQ(attached.children[0].id, "settings.section:displays");
  EXPECT_EQ(attached.children[1].id, "settings.section:network");
}

}  // namespace
}  // namespace settings::actions
