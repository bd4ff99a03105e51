// The executor's road: handing over, the busy rule, applied operations
// completed at once, the poll, and the cases that must never leave the
// executor busy for good; alone on cells of its own, and behind the
// application's page frame where a page replaced under it matters.

#include "settings_app/executor.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "executor_fixture.h"
#include "operations/keys.h"
#include "operations/mailbox.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

using kalu_ui::DeviceLocalOutcome;
using kalu_ui::ResourceOperationStatus;
using testing::bytes;
using testing::DeviceScope;
using testing::operation_id;
using testing::TempDir;
namespace op = operations;
using Completion = op::OperationCompletion;

using enum panes::Pane;

// The executor alone on a temporary device.
struct Executor : testing::LoneExecutor {
  DeviceLocalOutcome run(std::string_view action, std::string_view payload) {
    return executor.accept(action, bytes(payload));
  }
  DeviceLocalOutcome start(std::uint8_t id, std::string_view action, std::string_view payload) {
    return executor.start(operation_id(id), action, bytes(payload));
  }
  DeviceLocalPoll poll(std::uint8_t id) { return executor.poll(operation_id(id)); }

  DeviceScope scope;
};

std::string key_of(std::string_view action, std::string_view payload) {
  auto key = op::device_local_operation_key(action, payload);
  return key ? *key : key.error();
}

ResourceOperationStatus succeeded(std::uint8_t id, std::string_view message) {
  kalu_ui::ResourceOperationOutcome outcome;
  outcome.text = message;
  outcome.value_json = fmt::format("\"{}\"", message);
  return {ResourceOperationStatus::Succeeded{outcome, operation_id(id)}};
}

ResourceOperationStatus failed(std::uint8_t id, std::string_view message) {
  return {ResourceOperationStatus::Failed{std::string(kDeviceLocalFailedCode), std::string(message),
                                          std::nullopt, false, operation_id(id)}};
}

TEST(Executor, HandsEachRecordToItsPaneUnderItsKey) {
  using panes::Pane;
  struct Row {
    std::string_view action;
    std::string_view payload;
    Pane pane;
  };
  const Row rows[] = {
      {"settings.update-operation", R"("Check")", Pane::kUpdates},
      {"settings.power-operation", R"({"SetProfile":{"profile":"Balanced"}})", Pane::kPower},
      {"settings.network-operation", R"("Refresh")", Pane::kNetwork},
      {"settings.bluetooth-operation", R"({"SetPowered":{"enabled":false}})", Pane::kBluetooth},
      {"settings.audio-operation", R"({"SetOutputMuted":{"muted":true}})", Pane::kSound},
      {"settings.display-operation", R"({"SetBrightness": {"value": 0.50}})", Pane::kDisplays},
      {"settings.storage-operation", R"("CleanupCaches")", Pane::kStorage},
      {"settings.printer-operation", R"("Refresh")", Pane::kPrinters},
      {"settings.user-operation", R"({"SetAdmin":{"username":"ada","admin":true}})", Pane::kUsers},
      {"settings.agent-model-operation", R"({"Start":{"id":"m"}})", Pane::kAgentModels},
      {"settings.device-mesh-operation", R"({"SetRole":{"role":"home"}})", Pane::kDevicesSync},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.action);
    Executor t;
    EXPECT_EQ(t.run(row.action, row.payload), DeviceLocalOutcome::accepted());
    EXPECT_EQ(t.shown, row.pane);
    const std::string key = key_of(row.action, row.payload);
    EXPECT_EQ(t.cells.operation_completion->get(), Completion(Completion::Pending{key}));
    EXPECT_EQ(t.executor.pending_key(), key);
    // The request is the record as read, in its own case.
    const auto handed = op::with_device_local_record(row.action, [&]<typename R>() {
      if constexpr (op::kOperationRow<R>.carried_out == op::CarriedOut::kByPane) {
        return op::DeviceLocalRequest(std::in_place_type<R>, *op::read_record<R>(row.payload));
      } else {
        return op::DeviceLocalRequest{};
      }
    });
    EXPECT_EQ(t.cells.device_local_request->get(), handed);
    // Accepting does not make it busy; the start does.
    EXPECT_FALSE(t.executor.busy());
  }
  Executor t;
  t.run("settings.display-operation", R"({"SetBrightness": {"value": 0.50}})");
  EXPECT_EQ(t.executor.pending_key(),
            R"(settings.display-operation:{"SetBrightness":{"value":0.5}})");
}

// The refusal of a busy executor, naming what runs.
DeviceLocalOutcome busy_with(std::string_view action, std::uint8_t id) {
  std::string hex;
  for (int i = 0; i < 16; ++i) hex += fmt::format("{:02x}", id);
  // Marked busy: a client may send the same request again once it ends.
  return DeviceLocalOutcome::rejected_busy(
      fmt::format("{} ({}, operation {})", kDeviceLocalBusy, action, hex));
}

TEST(Executor, RefusesWhileBusyBeforeLookingAtAnythingAndNamesWhatRuns) {
  Executor t;
  ASSERT_EQ(t.start(1, "settings.storage-operation", R"("OpenDisks")"),
            DeviceLocalOutcome::accepted());
  EXPECT_TRUE(t.executor.busy());
  EXPECT_EQ(t.executor.running_id(), operation_id(1));
  const auto busy = busy_with("settings.storage-operation", 1);
  ASSERT_EQ(std::get<DeviceLocalOutcome::Rejected>(busy.value).message,
            "another device-local Settings operation is still running "
            "(settings.storage-operation, operation 01010101010101010101010101010101)");
  EXPECT_EQ(t.start(2, "settings.power-operation", R"({"SetProfile":{"profile":"Balanced"}})"),
            busy);
  EXPECT_EQ(t.start(2, "settings.display-operation", "{"), busy);
  EXPECT_EQ(t.shown, kStorage);
  EXPECT_EQ(t.executor.running_id(), operation_id(1));
}

// An agent that never polls, or a client that died before it did, holds no
// one up: the executor is free the moment the operation is final, and the
// outcome waits for its own poll, once.
TEST(Executor, AFinalStateFreesTheExecutorAtOnceAndWaitsForItsPoll) {
  Executor t;
  ASSERT_EQ(t.start(1, "settings.storage-operation", R"("OpenDisks")"),
            DeviceLocalOutcome::accepted());
  t.cells.operation_completion->publish(
      Completion::Succeeded{*t.executor.pending_key(), "Disks opened."});
  ASSERT_EQ(t.start(2, "settings.power-operation", R"({"SetProfile":{"profile":"Balanced"}})"),
            DeviceLocalOutcome::accepted());
  EXPECT_EQ(t.executor.running_id(), operation_id(2));
  EXPECT_EQ(t.cells.operation_completion->get().tag(), 1);  // the second one's Pending
  // An applied operation is final before its start returns.
  t.cells.operation_completion->publish(
      Completion::Failed{*t.executor.pending_key(), "Power profile is not supported."});
  t.executor.settle();  // the frame sees it
  EXPECT_FALSE(t.executor.busy());
  ASSERT_EQ(t.start(3, "settings.input-operation", R"({"SetTapToClick":{"enabled":false}})"),
            DeviceLocalOutcome::accepted());
  EXPECT_FALSE(t.executor.busy());
  ASSERT_EQ(t.start(4, "settings.storage-operation", R"("OpenDisks")"),
            DeviceLocalOutcome::accepted());

  // Polled in any order, each once; the one running still answers pending.
  EXPECT_EQ(t.poll(3).status, succeeded(3, "tap to click updated"));
  EXPECT_EQ(t.poll(1).status, succeeded(1, "Disks opened."));
  EXPECT_EQ(t.poll(2).status, failed(2, "Power profile is not supported."));
  for (std::uint8_t id : {1, 2, 3}) EXPECT_FALSE(t.poll(id).owned);
  DeviceLocalPoll running = t.poll(4);
  EXPECT_TRUE(running.owned);
  EXPECT_FALSE(running.status);
}

TEST(Executor, MalformedPayloadIsRefusedWithTheReadersTextAndShowsNoPane) {
  Executor t;
  // Refused by the device's checks: nothing is shown either.
  const auto unchecked = t.run("settings.display-operation", R"({"SetBrightness":{"value":1.5}})");
  EXPECT_TRUE(std::holds_alternative<DeviceLocalOutcome::Rejected>(unchecked.value));
  EXPECT_EQ(t.shown, std::nullopt);
  const auto reader =
      op::read_record<op::DisplayOperation>(std::string_view(R"({"SetBrightness":1})"));
  ASSERT_FALSE(reader);
  EXPECT_EQ(t.run("settings.display-operation", R"({"SetBrightness":1})"),
            DeviceLocalOutcome::rejected(reader.error()));
  EXPECT_EQ(t.shown, std::nullopt);
  EXPECT_EQ(t.cells.operation_completion->get(), Completion{});
  EXPECT_EQ(t.run("settings.unknown-operation", "{}"), DeviceLocalOutcome::not_handled());
}

TEST(Executor, AppliedOperationsAreFinalAtOnceAndThePollDeliversThemOnce) {
  Executor t;
  const std::string_view fast = R"({"SetTouchpadPointerSpeed":{"value":2.0}})";
  // A failure of an applied operation is still accepted; the executor is
  // free again before the start returns.
  ASSERT_EQ(t.start(1, "settings.input-operation", fast), DeviceLocalOutcome::accepted());
  EXPECT_EQ(t.shown, kMouseKeyboard);
  EXPECT_EQ(t.rebuilds, 1);
  EXPECT_FALSE(t.executor.busy());
  DeviceLocalPoll poll = t.poll(1);
  EXPECT_TRUE(poll.owned);
  EXPECT_EQ(poll.status, failed(1, "input value must be between 0.0 and 1.0"));
  EXPECT_FALSE(t.executor.busy());
  EXPECT_FALSE(t.executor.pending_key());
  EXPECT_EQ(t.cells.operation_completion->get(), Completion{});
  EXPECT_FALSE(t.poll(1).owned);

  ASSERT_EQ(t.start(2, "settings.input-operation", R"({"SetTapToClick":{"enabled":false}})"),
            DeviceLocalOutcome::accepted());
  EXPECT_EQ(t.poll(2).status, succeeded(2, "tap to click updated"));
  EXPECT_FALSE(stored::SettingsPrefs::load().input.tap_to_click);

  // The largest index a client can send reads, and fails its check.
  ASSERT_EQ(t.start(3, "settings.keyboard-source-operation",
                    R"({"MoveDown":{"index":18446744073709551615}})"),
            DeviceLocalOutcome::accepted());
  EXPECT_EQ(t.poll(3).status, failed(3, "keyboard input source can no longer move down"));
}

TEST(Executor, ThePollWaitsForAFinalStateUnderThePendingKey) {
  Executor t;
  const std::string_view refresh = R"("Refresh")";
  ASSERT_EQ(t.start(7, "settings.network-operation", refresh), DeviceLocalOutcome::accepted());
  const std::string key = key_of("settings.network-operation", refresh);
  EXPECT_EQ(t.poll(7).owned, true);
  EXPECT_FALSE(t.poll(7).status);
  // Another operation's final state is not this one's answer.
  const Completion stale =
      Completion::Succeeded{"settings.network-operation:\"RunDiagnostics\"", "x"};
  t.cells.operation_completion->publish(stale);
  EXPECT_FALSE(t.poll(7).status);
  EXPECT_EQ(t.cells.operation_completion->get(), stale);
  EXPECT_FALSE(t.poll(8).owned);
  t.cells.operation_completion->publish(Completion::Succeeded{key, "Network refreshed."});
  EXPECT_EQ(t.poll(7).status, succeeded(7, "Network refreshed."));
  EXPECT_FALSE(t.executor.busy());
  EXPECT_FALSE(t.poll(7).owned);
}

// Every pane that takes device-local operations is built: the Network pane
// behind the real page frame completes its operation and the poll says so.
TEST(Executor, APaneCompletesItsOperationAndThePollSaysSo) {
  DeviceScope scope;
  testing::AppFixture t;
  t.harness.frame();
  ASSERT_EQ(
      t.app->executor().start(operation_id(3), "settings.network-operation", bytes(R"("Refresh")")),
      DeviceLocalOutcome::accepted());
  t.harness.frame();
  EXPECT_EQ(t.app->executor().poll(operation_id(3)).status,
            succeeded(3, "Network list refreshed."));
  EXPECT_TRUE(t.app->device_local_request()->get().empty());
  EXPECT_FALSE(t.app->executor().busy());
}

// A harness around an application whose panes hear nothing.
struct Windowed {
  Windowed() : harness(make()) { harness.frame(); }
  kalu_ui::WidgetBox make() {
    auto made = std::make_unique<SettingsApp>(root.path(), testing::deaf_panes());
    app = made.get();
    return made;
  }
  DeviceScope scope;
  TempDir root;
  SettingsApp* app = nullptr;
  kalu_ui::harness::Harness harness;
};

// Showing another pane, or building the page anew, never ends an operation:
// it stays with the pane that carries it until that pane completes it.
TEST(Executor, ReplacingThePageLeavesThePendingOperationToItsPane) {
  const std::string_view brightness = R"({"SetBrightness":{"value":0.5}})";
  const std::string_view role = R"({"SetRole":{"role":"home"}})";
  struct Case {
    const char* name;
    std::string_view action;
    std::string_view payload;
    panes::Pane pane;
    std::function<void(Windowed&)> replace;
  };
  const Case cases[] = {
      {"another pane", "settings.display-operation", brightness, kDisplays,
       [](Windowed& w) {
         ASSERT_TRUE(w.harness.click_id("Sound"));
         EXPECT_EQ(w.app->selected_category(), kSound);
       }},
      {"a new scale", "settings.device-mesh-operation", role, kDevicesSync,
       [](Windowed& w) { w.harness.set_scale(2.0); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Windowed w;
    ASSERT_EQ(w.app->executor().start(operation_id(1), c.action, bytes(c.payload)),
              DeviceLocalOutcome::accepted());
    w.harness.frame();
    EXPECT_EQ(w.app->operation_completion()->get().tag(), 1);  // still Pending
    c.replace(w);
    w.harness.frame();
    EXPECT_TRUE(w.app->executor().busy());
    EXPECT_EQ(w.app->executor().carrying_pane(), c.pane);
    EXPECT_FALSE(w.app->device_local_request()->get().empty());
    EXPECT_FALSE(w.app->executor().poll(operation_id(1)).status);
    // The pane's answer is the outcome, whichever pane is shown.
    w.app->operation_completion()->publish(
        Completion::Succeeded{key_of(c.action, c.payload), "Done."});
    w.harness.frame();
    EXPECT_FALSE(w.app->executor().busy());
    EXPECT_EQ(w.app->executor().carrying_pane(), std::nullopt);
    EXPECT_EQ(w.app->executor().poll(operation_id(1)).status, succeeded(1, "Done."));
  }
}

TEST(Executor, ARefusedPublicationIsRefusedWithNothingPending) {
  const std::string not_taken(kOperationNotTaken);
  const std::string_view brightness = R"({"SetBrightness":{"value":0.5}})";
  {
    SCOPED_TRACE("request cell");
    Executor t;
    t.cells.device_local_request->wake_handle().set_refusing(true);
    EXPECT_EQ(t.start(1, "settings.display-operation", brightness),
              DeviceLocalOutcome::rejected(not_taken));
    EXPECT_EQ(t.cells.operation_completion->get(), Completion{});
    EXPECT_FALSE(t.executor.pending_key());
    EXPECT_FALSE(t.executor.busy());
  }
  {
    SCOPED_TRACE("completion cell, handed over");
    Executor t;
    t.cells.operation_completion->wake_handle().set_refusing(true);
    EXPECT_EQ(t.start(1, "settings.display-operation", brightness),
              DeviceLocalOutcome::rejected(not_taken));
    // Taken back before any pane could see it.
    EXPECT_TRUE(t.cells.device_local_request->get().empty());
    EXPECT_FALSE(t.executor.pending_key());
    EXPECT_FALSE(t.executor.busy());
  }
  {
    SCOPED_TRACE("completion cell, applied");
    Executor t;
    t.cells.operation_completion->wake_handle().set_refusing(true);
    EXPECT_EQ(t.start(1, "settings.input-operation", R"({"SetTapToClick":{"enabled":false}})"),
              DeviceLocalOutcome::rejected(not_taken));
    EXPECT_FALSE(t.scope.settings_text());  // nothing was applied
    EXPECT_FALSE(t.executor.busy());
  }
}

// The last safety net: a pane that never completes what it was handed.
TEST(Executor, AnOperationNoPaneCompletesInTimeFailsAndFreesTheExecutor) {
  Executor t;
  kalu_ui::Instant now = kalu_ui::Instant::from_duration(std::chrono::hours(1));
  t.executor.use_clock([&] { return now; });
  const std::string late(kDidNotFinishInTime);
  ASSERT_EQ(t.start(1, "settings.network-operation", R"("Refresh")"),
            DeviceLocalOutcome::accepted());
  const std::string key = *t.executor.pending_key();
  now = now + (kCompletionBound - std::chrono::seconds(1));
  EXPECT_EQ(t.start(2, "settings.storage-operation", R"("OpenDisks")"),
            busy_with("settings.network-operation", 1));
  EXPECT_FALSE(t.poll(1).status);
  now = now + std::chrono::seconds(1);
  // The next start finds it failed, the request withdrawn, and is accepted.
  ASSERT_EQ(t.start(2, "settings.storage-operation", R"("OpenDisks")"),
            DeviceLocalOutcome::accepted());
  EXPECT_EQ(t.poll(1).status, failed(1, late));
  // The pane's late answer finds another operation pending and is dropped.
  EXPECT_FALSE(op::complete(*t.cells.operation_completion, key, std::string("done")));

  // A poll finds it as well, and so does a frame with nobody asking; work
  // whose page shows its progress has longer.
  now = now + kCompletionBound;
  EXPECT_EQ(t.poll(2).status, failed(2, late));
  EXPECT_TRUE(t.cells.device_local_request->get().empty());
  ASSERT_EQ(t.start(3, "settings.update-operation", R"("InstallFirmware")"),
            DeviceLocalOutcome::accepted());
  now = now + kCompletionBound;
  t.executor.settle();
  EXPECT_TRUE(t.executor.busy());
  now = now + kLongCompletionBound;
  t.executor.settle();
  EXPECT_FALSE(t.executor.busy());
  EXPECT_EQ(t.cells.operation_completion->get(), Completion{});
  EXPECT_EQ(t.poll(3).status, failed(3, late));
}

}  // namespace
}  // namespace settings::settings_app
