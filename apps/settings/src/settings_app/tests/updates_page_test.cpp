// The Updates pane in the application frame, its operations started and
// polled through the executor as a client's are, on fake programs: a check
// completes once with the pane's message, and a check still running when
// another pane is shown is failed by the application.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "limited_exec/fake_programs.h"
#include "panes/updates/updates_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using testing::AppFixture;

using enum panes::Pane;

struct UpdatesInTheWindow {
  // `update` is the shell body of `systemctl start`.
  explicit UpdatesInTheWindow(const std::string& update) : config(device.dir() / "config") {
    fakes.add("systemctl",
              "case \"$1\" in is-enabled) echo enabled ;; start) " + update + " ;; esac");
    fakes.add("bootc", "echo '{\"status\":{\"staged\":null,\"rollback\":null}}'");
    fakes.add("journalctl", "echo '-- No entries --'");
  }

  // Shows Updates and waits until it has read the image.
  panes::updates::UpdatesPane& open() {
    t.harness.frame();
    t.app->select_pane(kUpdates);
    t.harness.frame();
    auto* pane = dynamic_cast<panes::updates::UpdatesPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    frames_until([&] { return pane->status_known(); });
    return *pane;
  }

  void frames_until(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
      t.harness.wait_for_frame(std::chrono::milliseconds(20));
      t.harness.frame();
    }
  }

  kalu_ui::DeviceLocalOutcome start(std::uint8_t id, std::string_view payload) {
    return t.app->executor().start(testing::operation_id(id), "settings.update-operation",
                                   testing::bytes(payload));
  }

  // Frames until the poll of `id` answers.
  std::optional<ResourceOperationStatus> poll(std::uint8_t id) {
    std::optional<ResourceOperationStatus> status;
    frames_until([&] {
      status = t.app->executor().poll(testing::operation_id(id)).status;
      return status.has_value();
    });
    return status;
  }

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  limited_exec::FakePrograms fakes;
  AppFixture t;
};

TEST(UpdatesPageTest, ACheckIsAnsweredOnceThroughTheExecutor) {
  UpdatesInTheWindow w("true");
  w.open();
  ASSERT_EQ(w.start(1, R"("Check")"), kalu_ui::DeviceLocalOutcome::accepted());
  auto status = w.poll(1);
  ASSERT_TRUE(status);
  const auto* ok = std::get_if<ResourceOperationStatus::Succeeded>(&status->value);
  ASSERT_NE(ok, nullptr);
  EXPECT_TRUE(ok->outcome.text.starts_with("Update check finished: ")) << ok->outcome.text;
  EXPECT_FALSE(w.t.app->executor().busy());
  EXPECT_EQ(w.t.app->executor().poll(testing::operation_id(1)).status, std::nullopt);
}

// Another pane shown while the check runs: the check goes on off screen and
// its real outcome is what the poll answers.
TEST(UpdatesPageTest, ACheckStillRunningWhenAnotherPaneIsShownEndsWithItsOwnOutcome) {
  // The check runs until the test lets it end.
  UpdatesInTheWindow w(
      R"sh(dir="$(dirname "$0")"; while [ ! -e "$dir/gate" ]; do sleep 0.01; done; )sh"
      R"sh(touch "$dir/ended")sh");
  auto& pane = w.open();
  ASSERT_EQ(w.start(2, R"("Check")"), kalu_ui::DeviceLocalOutcome::accepted());
  w.frames_until([&] { return pane.check_running(); });
  ASSERT_TRUE(pane.check_running());
  w.t.app->select_pane(kSound);
  w.t.harness.frame();
  EXPECT_TRUE(w.t.app->executor().busy());
  EXPECT_EQ(w.t.app->executor().poll(testing::operation_id(2)).status, std::nullopt);
  std::ofstream{w.fakes.dir() / "gate"};
  auto status = w.poll(2);
  ASSERT_TRUE(status);
  const auto* ok = std::get_if<ResourceOperationStatus::Succeeded>(&status->value);
  ASSERT_NE(ok, nullptr);
  EXPECT_EQ(ok->outcome.text, "Update check finished: no update is staged.");
  EXPECT_TRUE(std::filesystem::exists(w.fakes.dir() / "ended"));
  EXPECT_EQ(w.t.app->selected_category(), kSound);
}

}  // namespace
}  // namespace settings::settings_app
