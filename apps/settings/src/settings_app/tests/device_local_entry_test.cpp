#include <fmt/format.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

#include "app_fixture.h"
#include "kalu_ui/widget/spacer.h"
#include "operation_fixture.h"
#include "operations/keys.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using operations::OperationCompletion;
using testing::accepted;
using testing::op_id;
using testing::rejected;
using testing::TempDir;

constexpr std::string_view kStorage = "settings.storage-operation";
constexpr std::string_view kCleanup = R"("CleanupCaches")";
constexpr panes::Pane kStoragePane = panes::Pane::kStorage;

// What the test pane does with the Storage request it takes: complete it
// with this answer, or hold it (none) until an answer is set; and how many
// test panes were built and synced.
struct Script {
  std::optional<kalu_ui::Result<std::string>> reply = std::string("Caches cleaned.");
  int taken = 0;
  int built = 0;
  int syncs = 0;
};

// Stands in for the Storage pane: takes a Storage request from the
// application's request cell in its sync and completes it under the
// operation key while the completion is Pending with that key, in that
// sync or, while the script holds it, in the first sync after it has a reply.
class TestPane : public kalu_ui::widget::Spacer {
 public:
  TestPane(PaneCells cells, std::shared_ptr<Script> script)
      : cells_(std::move(cells)), script_(std::move(script)) {
    ++script_->built;
  }
  std::string_view type_name() const override { return "settings::settings_app::TestPane"; }

  void sync(kalu_ui::doc::Document&) override {
    ++script_->syncs;
    const operations::DeviceLocalRequest request = cells_.device_local_request->get();
    if (const auto* storage = std::get_if<operations::StorageOperation>(&request)) {
      cells_.device_local_request->publish({});
      ++script_->taken;
      held_ = *storage;
    }
    if (!held_ || !script_->reply) return;
    const std::string key = operations::operation_key(kStorage, *held_);
    held_.reset();
    const OperationCompletion now = cells_.operation_completion->get();
    const auto* pending = std::get_if<OperationCompletion::Pending>(&now);
    if (pending == nullptr || pending->key != key) return;
    if (*script_->reply) {
      cells_.operation_completion->publish(OperationCompletion::Succeeded{key, **script_->reply});
    } else {
      cells_.operation_completion->publish(
          OperationCompletion::Failed{key, script_->reply->error()});
    }
  }

 private:
  PaneCells cells_;
  std::shared_ptr<Script> script_;
  std::optional<operations::StorageOperation> held_;
};

// The application with the test pane in Storage's place, and a clock the
// tests move.
struct DeviceLocalFixture {
  DeviceLocalFixture() : harness(make()) {
    app->executor().use_clock([this] { return now; });
    harness.frame();
  }

  kalu_ui::WidgetBox make() {
    auto made = std::make_unique<SettingsApp>(
        root.path(), [script = script](panes::Pane pane, const PaneCells& cells) {
          if (pane == kStoragePane)
            return kalu_ui::WidgetBox(std::make_unique<TestPane>(cells, script));
          return build_pane(pane, cells);
        });
    app = made.get();
    return made;
  }

  kalu_ui::DeviceLocalOutcome cleanup(std::uint8_t id, kalu_ui::OperationKind kind = 1) {
    return testing::start(*app, op_id(id), kind, kStorage, kCleanup);
  }

  TempDir root;
  std::shared_ptr<Script> script = std::make_shared<Script>();
  kalu_ui::Instant now = kalu_ui::Instant::from_duration(std::chrono::hours(1));
  SettingsApp* app = nullptr;
  kalu_ui::harness::Harness harness;
};

const std::string kKey = std::string(kStorage) + ":" + std::string(kCleanup);

ResourceOperationStatus succeeded(std::uint8_t id, std::string message) {
  return {ResourceOperationStatus::Succeeded{{message, "\"" + message + "\""}, op_id(id)}};
}
ResourceOperationStatus failed(std::uint8_t id, std::string message) {
  return {ResourceOperationStatus::Failed{"device_local_operation_failed", std::move(message),
                                          std::nullopt, false, op_id(id)}};
}

// Accepted, carried out by the pane at the next frame, reported once.
TEST(DeviceLocalEntry, AcceptedCompletedAndReportedOnce) {
  struct Case {
    kalu_ui::Result<std::string> reply;
    ResourceOperationStatus status;
  };
  const Case cases[] = {
      {std::string("Caches cleaned."), succeeded(1, "Caches cleaned.")},
      {kalu_ui::fail("cache folder is busy"), failed(1, "cache folder is busy")},
  };
  for (const Case& c : cases) {
    DeviceLocalFixture f;
    f.script->reply = c.reply;
    EXPECT_EQ(f.cleanup(1), accepted());
    EXPECT_EQ(f.app->selected_category(), kStoragePane);
    EXPECT_TRUE(f.app->executor().busy());
    EXPECT_EQ(f.app->executor().pending_key(), kKey);
    EXPECT_EQ(f.app->operation_completion()->get(),
              OperationCompletion(OperationCompletion::Pending{kKey}));
    // Nothing to report before the pane ran, and nothing else is taken.
    EXPECT_EQ(testing::poll(*f.app, op_id(1)), std::nullopt);
    EXPECT_EQ(f.cleanup(2),
              kalu_ui::DeviceLocalOutcome::rejected_busy(
                  "another device-local Settings operation is still running "
                  "(settings.storage-operation, operation 01010101010101010101010101010101)"));
    f.harness.frame();
    EXPECT_EQ(f.script->taken, 1);
    // Final: the executor is free at once, polled or not.
    EXPECT_FALSE(f.app->executor().busy());
    EXPECT_EQ(f.app->executor().pending_key(), std::nullopt);
    EXPECT_EQ(f.app->operation_completion()->get(),
              OperationCompletion(OperationCompletion::Idle{}));
    EXPECT_EQ(testing::poll(*f.app, op_id(1)), c.status);
    EXPECT_EQ(testing::poll(*f.app, op_id(1)), std::nullopt);
    EXPECT_EQ(f.cleanup(3), accepted());
  }
}

// A cancel stops only what has not started: an untaken request is withdrawn;
// work the pane has under way runs on to the outcome the client polls.
TEST(DeviceLocalEntry, ACancelWithdrawsAnUntakenRequestAndLetsTakenWorkRunOn) {
  DeviceLocalFixture f;
  EXPECT_EQ(f.cleanup(1), accepted());
  EXPECT_FALSE(f.app->device_local_request()->get().empty());
  EXPECT_EQ(testing::poll(*f.app, op_id(1), true),
            (ResourceOperationStatus{ResourceOperationStatus::Cancelled{
                "device-local operation cancelled before it started", op_id(1)}}));
  EXPECT_FALSE(f.app->executor().busy());
  EXPECT_EQ(f.app->executor().pending_key(), std::nullopt);
  EXPECT_TRUE(f.app->device_local_request()->get().empty());
  EXPECT_EQ(f.app->operation_completion()->get(), OperationCompletion(OperationCompletion::Idle{}));
  f.harness.frame();
  EXPECT_EQ(f.script->taken, 0);
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), std::nullopt);

  // Taken and held by the pane: not cancelled, still running, and the
  // executor still names it.
  f.script->reply.reset();
  EXPECT_EQ(f.cleanup(2), accepted());
  f.harness.frame();
  EXPECT_EQ(f.script->taken, 1);
  EXPECT_EQ(testing::poll(*f.app, op_id(2), true), std::nullopt);
  EXPECT_TRUE(f.app->executor().busy());
  EXPECT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Rejected>(f.cleanup(3).value));
  f.script->reply = std::string("Caches cleaned.");
  f.harness.frame();
  EXPECT_EQ(testing::poll(*f.app, op_id(2), true), succeeded(2, "Caches cleaned."));
  EXPECT_EQ(f.cleanup(3), accepted());
}

// The operation belongs to the executor: whatever the person or another
// client shows, the pane that took it is kept, synced off screen, and shown
// again when its pane is selected; its answer is what the client polls.
TEST(DeviceLocalEntry, ShowingOtherPanesNeverEndsAnOperation) {
  DeviceLocalFixture f;
  f.script->reply.reset();
  ASSERT_EQ(f.cleanup(1), accepted());
  f.harness.frame();
  ASSERT_EQ(f.script->taken, 1);
  // A person's click, another client's opening, a new scale.
  ASSERT_TRUE(f.harness.click_id("Sound"));
  EXPECT_EQ(f.app->selected_category(), panes::Pane::kSound);
  EXPECT_EQ(testing::start(*f.app, op_id(5), 2, "settings.open-pane", R"("about")"),
            testing::said("Opened About."));
  f.harness.set_scale(2.0);
  const int syncs = f.script->syncs;
  f.harness.frame();
  f.harness.frame();
  EXPECT_GT(f.script->syncs, syncs);
  EXPECT_TRUE(f.app->executor().busy());
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), std::nullopt);
  // Selected again: the same pane object, still holding its work.
  ASSERT_TRUE(f.harness.click_id("Storage"));
  f.harness.set_scale(1.0);
  f.harness.frame();
  EXPECT_EQ(f.script->built, 1);
  f.app->select_pane(panes::Pane::kNetwork);
  f.harness.frame();
  f.script->reply = std::string("Caches cleaned.");
  f.harness.frame();
  EXPECT_FALSE(f.app->executor().busy());
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), succeeded(1, "Caches cleaned."));
  // Once final, the pane goes with its page: the next Storage is a new one.
  f.app->select_pane(kStoragePane);
  EXPECT_EQ(f.script->built, 2);
}

TEST(DeviceLocalEntry, AnOutcomeNobodyPolledWaitsForALatePollOnce) {
  DeviceLocalFixture f;
  EXPECT_EQ(f.cleanup(1), accepted());
  f.harness.frame();
  // The executor takes the next operation; the late poll still gets its answer.
  EXPECT_EQ(f.cleanup(2), accepted());
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), succeeded(1, "Caches cleaned."));
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), std::nullopt);
  f.harness.frame();
  EXPECT_EQ(testing::poll(*f.app, op_id(2)), succeeded(2, "Caches cleaned."));

  // A cancel of an outcome that has come answers that outcome, once.
  EXPECT_EQ(f.cleanup(3), accepted());
  f.harness.frame();
  EXPECT_EQ(testing::poll(*f.app, op_id(3), true), succeeded(3, "Caches cleaned."));
  EXPECT_EQ(testing::poll(*f.app, op_id(3)), std::nullopt);
  // Also when the pane has completed it and no frame has seen it yet.
  EXPECT_EQ(f.cleanup(4), accepted());
  f.app->operation_completion()->publish(OperationCompletion::Succeeded{kKey, "Done early."});
  EXPECT_EQ(testing::poll(*f.app, op_id(4), true), succeeded(4, "Done early."));
}

// The pane takes the request and never completes it: past the bound the
// frame fails it and the executor takes the next one.
TEST(DeviceLocalEntry, AnOperationThePaneNeverCompletesFailsInTime) {
  DeviceLocalFixture f;
  f.script->reply.reset();
  EXPECT_EQ(f.cleanup(1), accepted());
  f.harness.frame();
  EXPECT_EQ(f.script->taken, 1);
  f.now = f.now + (kLongCompletionBound - std::chrono::seconds(1));  // a clean-up may take long
  f.harness.frame();
  EXPECT_TRUE(f.app->executor().busy());
  f.now = f.now + std::chrono::seconds(1);
  f.harness.frame();
  EXPECT_FALSE(f.app->executor().busy());
  EXPECT_EQ(testing::poll(*f.app, op_id(1)), failed(1, "the operation did not finish in time"));
  f.script->reply = std::string("Caches cleaned.");
  EXPECT_EQ(f.cleanup(2), accepted());
  f.harness.frame();
  EXPECT_EQ(testing::poll(*f.app, op_id(2)), succeeded(2, "Caches cleaned."));
}

TEST(DeviceLocalEntry, OnlyEffectOperationsReachTheExecutor) {
  DeviceLocalFixture f;
  for (const int kind : {0, 2, 3}) {
    EXPECT_EQ(f.cleanup(1, kind),
              testing::rejected(fmt::format("operation kind does not match storage operation: "
                                            "settings.storage-operation takes operation kind 1, "
                                            "not {}",
                                            kind)));
  }
  EXPECT_FALSE(f.app->executor().busy());
  EXPECT_EQ(f.app->selected_category(), panes::Pane::kNetwork);
  // A refusal leaves nothing in flight.
  EXPECT_EQ(testing::start(*f.app, op_id(2), 1, kStorage, R"("Defragment")").value.index(), 3u);
  EXPECT_FALSE(f.app->executor().busy());
}

}  // namespace
}  // namespace settings::settings_app
