// A batch of refused and failed requests sent the way an agent sends them,
// with pane switches between and nobody polling: Time & Date with a wrong
// field name, path-traversal names for Users. Nothing it leaves behind
// holds the executor: every later operation is carried out, and every
// accepted one still polls to its outcome, once.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "executor_fixture.h"
#include "kalu_ui/action_invoke.h"
#include "operation_fixture.h"

namespace settings::settings_app {
namespace {

using kalu_ui::DeviceLocalOutcome;
using kalu_ui::ResourceOperationStatus;
using testing::op_id;

constexpr std::string_view kTime = "settings.time-date-operation";
constexpr std::string_view kUsers = "settings.user-operation";
constexpr std::string_view kOpen = "settings.open-pane";

struct Batch {
  Batch() {
    actions::register_settings_action_handler(*registry);
    t.harness.frame();
  }

  DeviceLocalOutcome start(std::uint8_t id, kalu_ui::OperationKind kind, std::string_view action,
                           std::string_view payload) {
    return testing::start(*t.app, op_id(id), kind, action, payload);
  }
  kalu_ui::host::InvokeResult<kalu_ui::host::InvokedAction> invoke(std::string_view resource,
                                                                   std::string_view action,
                                                                   std::string_view arguments) {
    return kalu_ui::host::invoke_resource_action(host, *t.app, t.harness.document(), resource,
                                                 action,
                                                 kalu_actions::ActionArgs::parse(arguments));
  }
  // Frames, and no poll, until the operation in flight is final; the bound
  // only stops a hang.
  bool frames_until_free() {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < give_up) {
      t.harness.frame();
      if (!t.app->executor().busy()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
  }
  std::string state_of(std::uint8_t id) {
    auto status = testing::poll(*t.app, op_id(id));
    if (!status) return "none";
    if (const auto* failed = std::get_if<ResourceOperationStatus::Failed>(&status->value)) {
      return "failed: " + failed->message;
    }
    if (const auto* done = std::get_if<ResourceOperationStatus::Succeeded>(&status->value)) {
      return "succeeded: " + done->outcome.text;
    }
    return "cancelled";
  }

  testing::DeviceScope scope;
  testing::AppFixture t;
  std::shared_ptr<kalu_actions::ActionRegistry> registry =
      std::make_shared<kalu_actions::ActionRegistry>();
  kalu_ui::host::ActionHost host{registry};
};

TEST(ExecutorBatch, RefusedAndFailedRequestsBetweenPaneSwitchesHoldNoLaterOperationUp) {
  Batch b;
  const auto accepted = DeviceLocalOutcome::accepted();
  // Opening a pane says which it opened.
  const auto opened = [](std::string_view title) {
    return testing::said(fmt::format("Opened {}.", title));
  };

  // 1, 2: the wrong field name, as an invocation and as a start.
  auto zone = b.invoke("settings.section:time_date", "timezone", R"({"zone":"Europe/Paris"})");
  ASSERT_FALSE(zone);
  EXPECT_EQ(zone.error().message,
            "timezone: unknown argument \"zone\"; timezone takes choice (a string)");
  EXPECT_TRUE(std::holds_alternative<DeviceLocalOutcome::Rejected>(
      b.start(2, 1, kTime, R"({"SetTimezone":{"zone":"Europe/Paris"}})").value));
  // 3 to 6: Users, names no account has, one after another without a poll.
  EXPECT_EQ(b.start(3, 2, kOpen, R"("users")"), opened("Users"));
  EXPECT_EQ(b.start(4, 1, kUsers, R"({"SetAdmin":{"username":"../../etc/passwd","admin":true}})"),
            accepted);
  ASSERT_TRUE(b.frames_until_free());
  EXPECT_EQ(b.start(5, 1, kUsers, R"({"Remove":{"username":"../root","remove_files":true}})"),
            accepted);
  ASSERT_TRUE(b.frames_until_free());
  EXPECT_EQ(b.start(6, 2, kOpen, R"("time_date")"), opened("Time & Date"));
  // 7, 8: a zone the device does not have, failed at once; then a path.
  EXPECT_EQ(b.start(7, 1, kTime, R"({"SetTimezone":{"timezone":"../../etc/shadow"}})"), accepted);
  EXPECT_FALSE(b.t.app->executor().busy());
  EXPECT_EQ(b.start(8, 1, kUsers, R"({"SetAutologin":{"username":"..","enabled":true}})"),
            accepted);
  // 9 to 11: switched away before Users took it, then back: the switches end
  // nothing, so 8 still runs and 11 is refused until it is final.
  EXPECT_EQ(b.start(9, 2, kOpen, R"("time_date")"), opened("Time & Date"));
  EXPECT_EQ(b.start(10, 2, kOpen, R"("users")"), opened("Users"));
  EXPECT_TRUE(std::holds_alternative<DeviceLocalOutcome::Rejected>(
      b.start(11, 1, kUsers, R"({"SetAdmin":{"username":"a/../b","admin":false}})").value));
  ASSERT_TRUE(b.frames_until_free());
  EXPECT_EQ(b.start(12, 1, kUsers, R"({"SetAdmin":{"username":"a/../b","admin":false}})"),
            accepted);
  ASSERT_TRUE(b.frames_until_free());

  // Every later operation is taken at once and carried out.
  EXPECT_EQ(b.start(20, 1, kTime, R"({"SetTimezone":{"timezone":"Asia/Tokyo"}})"), accepted);
  EXPECT_EQ(b.start(21, 1, "settings.power-operation", R"({"SetProfile":{"profile":"Balanced"}})"),
            accepted);
  ASSERT_TRUE(b.frames_until_free());
  EXPECT_EQ(b.start(22, 1, "settings.network-operation", R"("Refresh")"), accepted);
  ASSERT_TRUE(b.frames_until_free());
  EXPECT_EQ(b.state_of(20), "succeeded: Time zone set to Asia/Tokyo.");
  EXPECT_TRUE(b.state_of(21).starts_with("succeeded: ")) << b.state_of(21);
  EXPECT_EQ(b.state_of(22), "succeeded: Network list refreshed.");

  // What the batch started still answers its poll, once.
  const std::string gone = b.state_of(4);
  EXPECT_TRUE(gone.starts_with("failed: ")) << gone;
  for (const std::uint8_t id : {5, 12}) EXPECT_EQ(b.state_of(id), gone) << int(id);
  EXPECT_TRUE(
      b.state_of(7).starts_with("failed: time zone is not available on this device: "
                                "\"../../etc/shadow\""));
  const std::string autologin = b.state_of(8);
  EXPECT_TRUE(autologin.starts_with("failed: ")) << autologin;
  for (const std::uint8_t id : {4, 5, 7, 8, 11, 12, 20}) {
    EXPECT_EQ(b.state_of(id), "none") << int(id);
  }
}

}  // namespace
}  // namespace settings::settings_app
