#include "panes/device_mesh/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/device_mesh/tests/mesh_world.h"

namespace settings::panes::device_mesh {
namespace {

namespace w = kalu_ui::widget;
using namespace testing;
using Op = DeviceMeshOperation;

kalu_ui::harness::Options window() { return kalu_ui::harness::Options::sized({900.0, 2900.0}); }

bool shows(kalu_ui::harness::Harness& harness, std::string_view text) {
  return !harness.scene().find_text(text).empty();
}

std::string bound_to(kalu_ui::harness::Harness& harness, std::string_view id) {
  const auto* control = dynamic_cast<const w::BoundControl*>(harness.find(id));
  if (control == nullptr) return "(missing)";
  if (!control->binding()) return "(unbound)";
  return control->binding()->resource_id + " " + control->binding()->action;
}

std::string button_label(kalu_ui::harness::Harness& harness, std::string_view id) {
  const auto* button = dynamic_cast<const w::Button*>(harness.find(id));
  return button == nullptr ? "(missing)" : std::string(button->label());
}

TEST(DeviceMeshPageTest, AFreshDeviceIsAPersonalDeviceThatDownloadsWhenOpened) {
  MeshWorld world;
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(DeviceMeshPane()), window());
  harness.frame();
  harness.frame();
  for (const char* text :
       {"Continue across devices", "Download when opened", "Continuity privacy",
        "Current Continuity route", "Roaming settings & Wi-Fi",
        "No roaming settings decision has been published on this device yet.",
        "Recent Continuity activity", "Add a personal device", "Your trusted devices",
        "Device availability", "Synced workspaces",
        "Your workspaces appear here as soon as they are opened.", "Home server or NAS",
        "Choose Always-on server to make this device your always-on sync home."}) {
    EXPECT_TRUE(shows(harness, text)) << text;
  }
  for (const char* text : {"Home peer", "Device services", "Paired home servers"}) {
    EXPECT_FALSE(shows(harness, text)) << text;
  }
  const auto* role = dynamic_cast<const w::Dropdown*>(harness.find("device_mesh.role"));
  ASSERT_NE(role, nullptr);
  EXPECT_EQ(role->selected(), "Personal device");
  EXPECT_THAT(role->options(), ::testing::ElementsAre("Personal device", "Available while active",
                                                      "Always-on server"));
  EXPECT_EQ(bound_to(harness, "device_mesh.role"), "settings.section:devices_sync role");
  EXPECT_EQ(bound_to(harness, "device_mesh.continuity.clipboard"),
            "settings.section:devices_sync continuity-clipboard");
  EXPECT_EQ(button_label(harness, "device_mesh.approve_enrollment"), "Pair home server");
  EXPECT_EQ(button_label(harness, "device_mesh.approve_personal_device"), "Add device");
  EXPECT_TRUE(
      harness.render_png(std::string(SETTINGS_DEVICE_MESH_ARTIFACTS) + "/device_mesh_fresh.png"));
}

// An always-on device with a paired home server whose removal asks for
// confirmation, and a pairing candidate found.
TEST(DeviceMeshPageTest, AnAlwaysOnDeviceWithAHomeServerAndACandidate) {
  MeshWorld world;
  world.workspaces({{"Studio", 11}, {"Family photos", 7}});
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  world.output("enroll", R"({"device_node_id": ")" + node_id('a') +
                             R"(", "relay_service_node_id": ")" + node_id('b') +
                             R"(", "label": "Attic Server", "verification_code": "482913"})");
  // The refresh retries a pending removal that never ends, so the server is
  // never probed and nothing rebuilds the page behind the test's back.
  write_file(world.root() / "pending-home-peer-decommissions.json", "[{}]");
  world.hold("admin");
  HostedPane hosted;
  auto* pane = hosted.pane.get();
  kalu_ui::harness::Harness harness(kalu_ui::WidgetBox(hosted.pane.release()), window());
  harness.frame();
  EXPECT_FALSE(shows(harness, "Home peer"));

  // The role changes through its operation; the next rebuild shows the
  // serving cards.
  (void)hosted.completion->publish(operations::OperationCompletion::Pending{
      operations::operation_key(DeviceMeshOperation(Op::SetRole{"Always-on server"}))});
  hosted.hand_over(Op::SetRole{"Always-on server"});
  harness.frame();
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (pane->applying() && std::chrono::steady_clock::now() < end) harness.frame();
  harness.frame();
  EXPECT_EQ(
      hosted.completion->get(),
      succeeded(operations::operation_key(DeviceMeshOperation(Op::SetRole{"Always-on server"}))));

  ASSERT_TRUE(harness.click_id("device_mesh.approve_enrollment"));
  while (harness.find("device_mesh.approve_enrollment") &&
         button_label(harness, "device_mesh.approve_enrollment") !=
             "Approve Attic Server · 482913" &&
         std::chrono::steady_clock::now() < end) {
    harness.frame();
  }
  const std::string remove_id = "device_mesh.home_peer." + node_id('c') + ".remove";
  ASSERT_TRUE(harness.click_id(remove_id));
  harness.frames(3);

  EXPECT_EQ(button_label(harness, "device_mesh.approve_enrollment"),
            "Approve Attic Server · 482913");
  EXPECT_EQ(button_label(harness, remove_id), "Revoke & remove");
  for (const char* text :
       {"Home peer", "Offline", "The sync service is not currently reachable.", "Device services",
        "Basement NAS", "Files are not remotely erased", "Checking…", "Checking",
        "Paired home servers",
        "Open workspaces, app progress, and full file copies stay synced on this device.",
        "Open workspaces, app progress, and full file copies stay available from this device."}) {
    EXPECT_TRUE(shows(harness, text)) << text;
  }
  const auto* replication =
      dynamic_cast<const w::Dropdown*>(harness.find("device_mesh.replication"));
  ASSERT_NE(replication, nullptr);
  EXPECT_EQ(replication->selected(), "Full workspace copy");
  for (const char* id :
       {"device_mesh.workspace.7", "device_mesh.workspace.11", "device_mesh.inbound_relay"}) {
    const auto* toggle = dynamic_cast<const w::Toggle*>(harness.find(id));
    ASSERT_NE(toggle, nullptr) << id;
    EXPECT_TRUE(toggle->value()) << id;
  }
  const std::pair<std::string_view, std::string_view> bindings[] = {
      {"device_mesh.replication", "settings.section:devices_sync replication"},
      {"device_mesh.workspace.7", "settings.device-mesh-workspace:7 set-available"},
      {"device_mesh.inbound_relay", "settings.section:devices_sync inbound-relay"},
      {"device_mesh.remote_relay", "settings.section:devices_sync remote-control"},
      {"device_mesh.app_serving", "settings.section:devices_sync app-serving"},
      {"device_mesh.compute", "settings.section:devices_sync compute"},
  };
  for (const auto& [id, expected] : bindings) EXPECT_EQ(bound_to(harness, id), expected) << id;
  EXPECT_TRUE(harness.render_png(std::string(SETTINGS_DEVICE_MESH_ARTIFACTS) +
                                 "/device_mesh_always_on.png"));

  // A switch the user flips is recorded as its section action.
  (void)harness.take_replayed();  // the buttons pressed above
  ASSERT_TRUE(harness.click_id("device_mesh.compute"));
  const auto replayed = harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:devices_sync");
  EXPECT_EQ(replayed[0].invocation.action, "compute");
}

TEST(DeviceMeshPageTest, StatusLinesAndBadges) {
  for (const char* status : {"Saved", "Saving changes…", "Saving latest changes…", "Not saved: no",
                             "Configuration could not be read: x", "Could not start pairing: x",
                             "Waiting for approval"}) {
    EXPECT_TRUE(status_belongs_to_settings(status)) << status;
  }
  for (const char* status : {"Home server paired", "Saved!", "Configuration loaded", ""}) {
    EXPECT_FALSE(status_belongs_to_settings(status)) << status;
  }
  const std::pair<std::string_view, ServerBadge> badges[] = {
      {"Online · Syncing files", {"Syncing", 0}},
      {"Online · Files ready", {"Online", 0}},
      {"Checking…", {"Checking", 1}},
      {"Connecting…", {"Checking", 2}},
      {"Removed", {"Removed", 2}},
      {"Offline · Last seen 3 min ago", {"Offline", 2}},
      {"Offline · not reachable", {"Offline", 2}},
  };
  for (const auto& [text, badge] : badges) EXPECT_EQ(server_badge(text), badge) << text;
}

}  // namespace
}  // namespace settings::panes::device_mesh
