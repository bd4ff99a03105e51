// The Devices & Sync page in the application's frame: a switch flipped on
// the page travels as its section action through the executor to the pane
// and is saved, and an operation still waiting for its setup when another
// pane is shown is failed for the client rather than left pending.

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "app_fixture.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/device_mesh/tests/mesh_world.h"

namespace settings::settings_app {
namespace {

using panes::device_mesh::DeviceMeshPane;
using testing::AppFixture;

constexpr panes::PaneIndex kDevicesSync = 2;

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
    } while (t.app->device_local_busy() && std::chrono::steady_clock::now() < end);
  }
  panes::device_mesh::testing::MeshWorld world;
  AppFixture t;
};

TEST(DeviceMeshFrameTest, TheApplicationHandsThePaneItsCells) {
  MeshShown s;
  const auto* pane = dynamic_cast<const DeviceMeshPane*>(s.t.pane_widget());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->request_cell(), s.t.app->device_mesh_request());
  EXPECT_EQ(pane->completion_cell(), s.t.app->operation_completion());
  EXPECT_TRUE(pane->hosted());
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

TEST(DeviceMeshFrameTest, AnOperationWaitingForItsSetupFailsWhenThePageIsReplaced) {
  MeshShown s;
  s.world.hold("pkexec");
  ASSERT_TRUE(s.t.harness.click_id("device_mesh.continuity.media"));
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (s.world.runs("pkexec") < 1 && std::chrono::steady_clock::now() < end) {
    s.t.harness.frame();
  }
  ASSERT_EQ(s.world.runs("pkexec"), 1);
  ASSERT_EQ(s.t.app->operation_completion()->get().tag(), 1) << "not pending";

  // The frame loop's poll of the control's operation is told so.
  kalu_ui::log::ScopedCapture capture;
  s.t.app->select_pane(1);
  s.until_free();
  EXPECT_FALSE(s.t.app->device_local_busy());
  const auto events = capture.events();
  const bool told = std::ranges::any_of(events, [](const kalu_ui::log::Event& event) {
    const std::string* error = event.field("error");
    return error && *error ==
                        "the Settings pane was closed; the operation may still complete — refresh "
                        "to see the "
                        "device's state";
  });
  EXPECT_TRUE(told);
  s.world.release("pkexec");
}

}  // namespace
}  // namespace settings::settings_app
