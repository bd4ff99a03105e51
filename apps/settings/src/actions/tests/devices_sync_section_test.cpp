// The Devices & Sync section: role and replication, the services and the
// Continuity switches, the known workspaces as items, and the page's
// bindings.

#include "actions/devices_sync_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/resource_tree.h"
#include "actions/tests/section_support.h"
#include "prefs_store/paths.h"
#include "relay/config.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using panes::device_mesh::KnownWorkspace;
using namespace section_testing;

constexpr std::string_view kMeshId = "settings.device-mesh-operation";

TEST(DevicesSyncSectionTest, ActionsInOrderAndOnlyTheRoleIsDestructive) {
  const std::vector<KnownWorkspace> workspaces = {{"Home", 7}, {"Work", 3}};
  const Resource mesh = devices_sync_resource(workspaces);
  EXPECT_EQ(mesh.id, "settings.section:devices_sync");
  EXPECT_EQ(mesh.kind, "settings.section");
  EXPECT_EQ(mesh.label, "Devices & Sync");
  EXPECT_EQ(names(mesh),
            (std::vector<std::string>{
                "role", "replication", "inbound-relay", "remote-control", "app-serving", "compute",
                "continuity-enabled", "continuity-clipboard", "continuity-notifications",
                "continuity-wifi-settings", "continuity-media", "continuity-display-input",
                "continuity-file-transfer", "continuity-realtime-sessions",
                "continuity-typed-gamepad", "continuity-app-continuations"}));
  EXPECT_EQ(child_ids(mesh), (std::vector<std::string>{"settings.device-mesh-workspace:7",
                                                       "settings.device-mesh-workspace:3"}));
  for (const auto& spec : mesh.actions) {
    EXPECT_EQ(spec.is_destructive, spec.name == "role") << spec.name;
    EXPECT_FALSE(spec.is_privileged);
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationEffect);
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "security", "device-mesh"}))
        << spec.name;
  }
  const auto& role = action(mesh, "role");
  EXPECT_EQ(role.description, "Choose a value");
  EXPECT_EQ(role.parameters.at(0).label, "Device-local value");
  EXPECT_EQ(choices_of(role), (std::vector<std::string>{"Personal device", "Available while active",
                                                        "Always-on server"}));
  EXPECT_EQ(choices_of(action(mesh, "replication")),
            (std::vector<std::string>{"On demand", "Workspace state", "Full workspace copy"}));
  EXPECT_EQ(action(mesh, "compute").parameters.at(0).label,
            "Whether this local service is enabled");

  const Resource& home = mesh.children[0];
  EXPECT_EQ(home.kind, "settings.device-mesh-workspace");
  EXPECT_EQ(home.label, "Home");
  const auto& available = action(home, "set-available");
  EXPECT_FALSE(available.is_destructive);
  EXPECT_EQ(available.label, "Set availability on this device");
  EXPECT_EQ(available.parameters.at(0).label, "Whether this workspace is available on this device");
  EXPECT_EQ(tags_of(available),
            (std::vector<std::string>{"device-local", "device-mesh", "workspace"}));

  struct Case {
    const Resource* on;
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
  };
  const Case cases[] = {
      {&mesh, "role", R"({"choice":"Always-on server"})",
       R"({"SetRole":{"role":"Always-on server"}})"},
      {&mesh, "replication", R"({"choice":"On demand"})",
       R"({"SetReplication":{"replication":"On demand"}})"},
      {&mesh, "replication", "{}",
       "(failed: replication: choice is required: one of On demand, Workspace state, Full "
       "workspace copy)"},
      {&mesh, "inbound-relay", R"({"value":true})",
       R"({"SetService":{"service":"inbound_relay","enabled":true}})"},
      {&mesh, "remote-control", R"({"value":false})",
       R"({"SetService":{"service":"remote_control_relay","enabled":false}})"},
      {&mesh, "continuity-wifi-settings", R"({"value":true})",
       R"({"SetService":{"service":"continuity.wifi_settings","enabled":true}})"},
      {&mesh, "continuity-enabled", R"({"value":true})",
       R"({"SetService":{"service":"continuity.enabled","enabled":true}})"},
      {&home, "set-available", R"({"value":true})", R"({"SetWorkspace":{"id":7,"enabled":true}})"},
      {&mesh.children[1], "set-available", R"({"value":false})",
       R"({"SetWorkspace":{"id":3,"enabled":false}})"},
      {&mesh.children[1], "set-available", R"({"value":"no"})",
       "(failed: set-available: value must be true or false)"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(*c.on, c.name, c.arguments, kMeshId), c.payload) << c.name;
  }
}

TEST(DevicesSyncSectionTest, AtMost256WorkspacesBecomeItems) {
  std::vector<KnownWorkspace> workspaces;
  for (std::uint64_t i = 0; i < 257; ++i) workspaces.push_back({fmt::format("W{}", i), i});
  const Resource mesh = devices_sync_resource(workspaces);
  ASSERT_EQ(mesh.children.size(), 256u);
  EXPECT_EQ(mesh.children.back().id, "settings.device-mesh-workspace:255");
  // Workspace ids are 64-bit.
  const Resource big =
      devices_sync_resource(std::vector<KnownWorkspace>{{"Big", 18446744073709551615u}});
  EXPECT_EQ(invoke(big.children.at(0), "set-available", R"({"value":true})", kMeshId),
            R"({"SetWorkspace":{"id":18446744073709551615,"enabled":true}})");
}

// The workspaces come from the desktop's state file in the configuration
// folder.
class DevicesSyncBindingTest : public ::testing::Test {
 protected:
  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};

  void write_state(std::string_view json) {
    const auto path = device_.dir() / "config" / "kalu" / "state.json";
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path) << json;
  }
};

TEST_F(DevicesSyncBindingTest, WorkspacesOfOneLabelComeInIdOrderAndBindByTheirId) {
  write_state(R"({"workspaces":[{"id":9,"name":"Shared"},{"id":4,"name":"Shared"},
                                {"id":5,"name":"Archive"}]})");
  const Resource mesh = devices_sync_resource();
  EXPECT_EQ(child_ids(mesh), (std::vector<std::string>{"settings.device-mesh-workspace:5",
                                                       "settings.device-mesh-workspace:4",
                                                       "settings.device-mesh-workspace:9"}));
  auto four = device_mesh_workspace_binding(4);
  ASSERT_TRUE(four);
  EXPECT_EQ(four->resource_id, "settings.device-mesh-workspace:4");
  EXPECT_EQ(four->encode(ControlValue(true))->payload_text(),
            R"({"SetWorkspace":{"id":4,"enabled":true}})");
  EXPECT_FALSE(device_mesh_workspace_binding(6));

  // The tree finds a workspace item in this section.
  const kalu_ui::doc::Document document;
  auto found = resource_by_id(document, {}, "settings.device-mesh-workspace:9");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->label, "Shared");
}

TEST_F(DevicesSyncBindingTest, AWorkspaceBoundOnlyInTheRelayConfigurationIsAnItem) {
  write_state(R"({"workspaces":[{"id":5,"name":"Archive"}]})");
  std::filesystem::create_directories(kalu_relay::relay_config_path().parent_path());
  std::ofstream(kalu_relay::relay_config_path()) << "[[workspaces]]\nworkspace_id = 42\n";
  const Resource mesh = devices_sync_resource();
  EXPECT_EQ(child_ids(mesh), (std::vector<std::string>{"settings.device-mesh-workspace:5",
                                                       "settings.device-mesh-workspace:42"}));
  EXPECT_EQ(mesh.children.at(1).label, "Workspace 42");
  EXPECT_TRUE(device_mesh_workspace_binding(42));
  // An unreadable configuration binds none.
  std::ofstream(kalu_relay::relay_config_path()) << "role = [\n";
  EXPECT_EQ(devices_sync_resource().children.size(), 1u);
}

TEST_F(DevicesSyncBindingTest, EverySwitchThePageNamesIsBound) {
  std::vector<std::string> toggles = {"inbound-relay", "remote-control", "app-serving", "compute",
                                      std::string(panes::device_mesh::kContinuityMasterAction)};
  for (const auto& capability : panes::device_mesh::continuity_capabilities()) {
    toggles.push_back(panes::device_mesh::continuity_action_name(capability.id));
  }
  for (const std::string& name : toggles) {
    auto binding = device_mesh_toggle_binding(name);
    ASSERT_TRUE(binding) << name;
    EXPECT_EQ(binding->resource_id, "settings.section:devices_sync");
  }
  auto role = device_mesh_choice_binding("role");
  ASSERT_TRUE(role);
  EXPECT_TRUE(role->spec.is_destructive);
  EXPECT_EQ(role->encode(ControlValue(std::string("Personal device")))->payload_text(),
            R"({"SetRole":{"role":"Personal device"}})");
  EXPECT_TRUE(device_mesh_choice_binding("replication"));
  // "set-available" lives on the items, not the section.
  EXPECT_FALSE(device_mesh_choice_binding("set-available"));
  EXPECT_FALSE(device_mesh_toggle_binding("set-available"));
}

}  // namespace
}  // namespace settings::actions
