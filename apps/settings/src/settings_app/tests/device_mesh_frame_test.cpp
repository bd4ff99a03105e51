// The Devices & Sync page in the application's frame: a switch flipped on
// the page travels as its section action through the executor to the pane
// and is saved, and an operation still waiting for its setup when another
// pane is shown is failed for the client rather than left pending.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "kalu_ui/log.h"
#include "kalu_ui/text.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/device_mesh/tests/mesh_world.h"

namespace settings::settings_app {
namespace {

using panes::device_mesh::DeviceMeshPane;
using testing::AppFixture;

using enum panes::Pane;

struct MeshShown {
  MeshShown() {
    t.app->select_pane(kDevicesSync);
    t.harness.frame();
  }
  // Frames until the executor is free (at most a minute).
  void until_free() {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      t.harness.frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (t.app->executor().busy() && std::chrono::steady_clock::now() < end);
  }
  panes::device_mesh::testing::MeshWorld world;
  AppFixture t;
};

TEST(DeviceMeshFrameTest, TheApplicationHandsThePaneItsCells) {
  MeshShown s;
  const auto* pane = dynamic_cast<const DeviceMeshPane*>(s.t.pane_widget());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->link().request_cell(), s.t.app->device_local_request());
  EXPECT_EQ(pane->link().completion_cell(), s.t.app->operation_completion());
  EXPECT_TRUE(pane->link().hosted());
}

TEST(DeviceMeshFrameTest, AContinuitySwitchIsSavedThroughItsOperation) {
  MeshShown s;
  ASSERT_TRUE(s.t.harness.click_id("device_mesh.continuity.clipboard"));
  s.until_free();
  EXPECT_EQ(s.world.runs("pkexec"), 1);
  const auto stored = nlohmann::json::parse(
      panes::device_mesh::testing::read_file(s.world.config_dir() / "kalu/settings.json"), nullptr,
      false);
  EXPECT_EQ(stored["continuity"]["clipboard"], true);
  const auto* toggle =
      dynamic_cast<kalu_ui::widget::Toggle*>(s.t.harness.find("device_mesh.continuity.clipboard"));
  ASSERT_NE(toggle, nullptr);
  EXPECT_TRUE(toggle->value());
}

// The control's operation waits for its privileged set-up; another pane is
// shown meanwhile. The set-up still ends, the change is saved, and the
// operation ends with that outcome.
TEST(DeviceMeshFrameTest, AnOperationWaitingForItsSetupOutlivesItsPageOnScreen) {
  MeshShown s;
  s.world.hold("pkexec");
  ASSERT_TRUE(s.t.harness.click_id("device_mesh.continuity.media"));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (s.world.runs("pkexec") < 1 && std::chrono::steady_clock::now() < end) {
    s.t.harness.frame();
  }
  ASSERT_EQ(s.world.runs("pkexec"), 1);
  ASSERT_EQ(s.t.app->operation_completion()->get().tag(), 1) << "not pending";

  kalu_ui::log::ScopedCapture capture;
  s.t.app->select_pane(panes::Pane::kBluetooth);
  s.t.harness.frame();
  EXPECT_TRUE(s.t.app->executor().busy());
  s.world.release("pkexec");
  s.until_free();
  EXPECT_FALSE(s.t.app->executor().busy());
  const auto stored = nlohmann::json::parse(
      panes::device_mesh::testing::read_file(s.world.config_dir() / "kalu/settings.json"), nullptr,
      false);
  EXPECT_EQ(stored["continuity"]["media"], true);
  // The control's poll found a success: nothing failed is logged.
  const auto events = capture.events();
  EXPECT_FALSE(std::ranges::any_of(
      events, [](const kalu_ui::log::Event& event) { return event.field("error") != nullptr; }));
}

// ---- A paired home server, probed when a test says ----

// The widget id of a home server's control: its control id without ".edit".
std::string server_control(std::string_view field) {
  std::string id =
      panes::device_mesh::home_peer_control_id(panes::device_mesh::testing::node_id('c'), field);
  id.resize(id.size() - std::string_view(".edit").size());
  return id;
}

struct ServerShown {
  ServerShown() {
    world.home_peers({panes::device_mesh::testing::peer_json('c', 'd', "Basement NAS")});
    world.output("admin", R"({"files_ready": true})");
    t.app->select_pane(kDevicesSync);
    t.harness.frame();
    pane = dynamic_cast<DeviceMeshPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    // Only the probes a test starts run: the tests count them.
    if (pane != nullptr) pane->set_refresh_period(std::chrono::hours(1));
  }
  // Scrolls the page to the server's control `field` and clicks it.
  bool click(std::string_view field) {
    const std::string id = server_control(field);
    kalu_ui::Widget* target = t.harness.find(id);
    if (target == nullptr) return false;
    t.harness.root().reveal_descendant(*target);
    t.harness.frame();
    return t.harness.click_id(id);
  }
  // Frames until `done` (at most 10 s).
  bool frames_until(const std::function<bool()>& done) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      t.harness.frame();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
  }
  // Starts a probe of the server and keeps it running until release().
  void probe_held() {
    const int before = world.runs("admin");
    world.hold("admin");
    pane->make_refresh_due();
    ASSERT_TRUE(frames_until([&] { return world.runs("admin") > before; }));
  }
  // Lets the probe answer; its answer rebuilds the page.
  void release() {
    world.release("admin");
    ASSERT_TRUE(frames_until([&] { return !pane->probing(); }));
    t.harness.frame();
  }
  panes::device_mesh::testing::MeshWorld world;
  AppFixture t;
  DeviceMeshPane* pane = nullptr;
};

// A click in the Name field, a probe answering while the person types, and
// Rename pressed while the next probe runs: the field keeps the text and the
// caret, and the rename runs with the name typed once the probe is done.
TEST(DeviceMeshFrameTest, AHomeServerIsRenamedFromTheWindowWhileProbesRun) {
  ServerShown s;
  auto& h = s.t.harness;
  s.probe_held();
  ASSERT_TRUE(s.click("name"));
  h.key(kalu_ui::Key::A, kalu_ui::Modifiers{.ctrl = true});
  h.type_text("Loft");
  s.release();
  ASSERT_EQ(s.world.args("admin", 1).at(0), "home-peer-status");
  auto* field = dynamic_cast<kalu_ui::widget::TextInput*>(h.find(server_control("name")));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(h.focused(), field);
  h.type_text(" NAS");
  EXPECT_EQ(dynamic_cast<kalu_ui::widget::TextInput*>(h.find(server_control("name")))->text(),
            "Loft NAS");

  s.probe_held();
  ASSERT_TRUE(s.click("rename"));
  h.frame();
  EXPECT_EQ(s.world.runs("admin"), 2);
  s.release();
  ASSERT_TRUE(s.frames_until([&] { return s.world.runs("admin") >= 3 && !s.pane->probing(); }));
  const auto args = s.world.args("admin", 3);
  EXPECT_EQ(args.at(0), "home-peer-rename");
  EXPECT_EQ(args.back(), "Loft NAS");
}

// "Revoke & remove" held down while a probe answers and rebuilds the page,
// and released while the next probe runs: the removal runs after that probe.
TEST(DeviceMeshFrameTest, RevokeConfirmedDuringAProbeRemovesTheServer) {
  ServerShown s;
  auto& h = s.t.harness;
  ASSERT_TRUE(s.click("remove"));
  h.frame();
  ASSERT_TRUE(s.pane->remove_confirm().contains(panes::device_mesh::testing::node_id('c')));
  s.probe_held();
  const kalu_ui::Point at = h.rect_of(server_control("remove"))->center();
  h.pointer_down(at);
  s.release();
  s.probe_held();
  s.world.output("admin", R"({"decommissioned": true})");
  h.pointer_up(at);
  h.frame();
  EXPECT_EQ(s.world.runs("admin"), 2);
  s.release();
  ASSERT_TRUE(s.frames_until([&] { return s.world.runs("admin") >= 3 && !s.pane->probing(); }));
  EXPECT_EQ(s.world.args("admin", 3).at(0), "home-peer-remove");
  EXPECT_EQ(s.pane->server_status_text(panes::device_mesh::testing::node_id('c')), "Removed");
}

}  // namespace
}  // namespace settings::settings_app

namespace settings::settings_app {
namespace {

// The role and replication dropdowns of an always-on device in the window,
// at its default size and narrower: each as wide as its longest choice
// ("Always-on server", "Full workspace copy"), so the chosen one is not cut.
TEST(DeviceMeshFrameTest, TheRoleAndReplicationChoicesStandWhole) {
  for (const double width : {1280.0, 1024.0, 900.0}) {
    SCOPED_TRACE(width);
    panes::device_mesh::testing::MeshWorld world;
    world.workspaces({{"Studio", 11}});
    kalu_relay::RelayConfig config = kalu_relay::RelayConfig::defaults();
    config.role = kalu_relay::kRoleAlwaysOn;
    config.relay_enabled = true;
    config.full_replication = true;
    config.workspaces.push_back({kalu_relay::kReplicationFull, 11, {}, true, {}});
    ASSERT_TRUE(world.relay(config));
    AppFixture t(kalu_ui::harness::Options::sized({width, 800.0}));
    t.app->select_pane(kDevicesSync);
    t.harness.frames(2);
    kalu_ui::text::TextRenderer renderer;
    const kalu_ui::layout::AvailableSize unbounded{kalu_ui::layout::AvailableSpace::max_content(),
                                                   kalu_ui::layout::AvailableSpace::max_content()};
    for (const auto& [id, chosen] : {std::pair{"device_mesh.role", "Always-on server"},
                                     std::pair{"device_mesh.replication", "Full workspace copy"}}) {
      auto* dropdown = dynamic_cast<kalu_ui::widget::Dropdown*>(t.harness.find(id));
      ASSERT_NE(dropdown, nullptr) << id;
      EXPECT_EQ(dropdown->selected(), chosen);
      const float natural = dropdown->measure({}, unbounded, renderer).width;
      EXPECT_GE(dropdown->get_rect().width(), natural - 0.5) << id;
    }
  }
}

}  // namespace
}  // namespace settings::settings_app
