// The Updates pane on a fake system: operations handed over as the executor
// does, values written into its document as controls do, what completes and
// what the system was asked to do.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "actions/doc_readers.h"
#include "fakes.h"
#include "kalu_ui/log.h"
#include "prefs_store/document.h"

namespace settings::panes::updates {
namespace {

using kalu_ui::doc::kRoot;
using operations::OperationCompletion;
using Op = operations::UpdateOperation;
using ::testing::ElementsAre;
using testing::failed;
using testing::FakeSystem;
using ::testing::IsEmpty;
using testing::PaneFixture;

// A check the fakes answer stages their image and says so.
constexpr const char* kCheckStaged =
    "Update check finished: quay.io/kalu/os:43 is staged; restart to apply it.";
using testing::succeeded;

std::optional<bool> flag(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_bool(d, kRoot, key);
}
std::optional<std::string> text(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_text(d, kRoot, key);
}

// The "updates" section of the pane's settings file.
nlohmann::ordered_json saved_updates() {
  auto section = prefs_store::load_section("updates");
  return section ? *section : nlohmann::ordered_json();
}

// ---- Seeding and the report step ----------------------------------------------

TEST(UpdatesPaneTest, TheFirstSyncWritesTheNineKeys) {
  // The stored preference says off; the timer, once read, says on.
  PaneFixture t([](FakeSystem& s) {
    ASSERT_TRUE(prefs_store::update_section(
        "updates", {{"auto", false}, {"channel", "Stable"}, {"last_checked", "Never"}}));
    s.hold("read_os");
  });
  t.sync();
  for (std::string_view key : kOneShotKeys) EXPECT_EQ(flag(t.doc(), key), false) << key;
  EXPECT_EQ(flag(t.doc(), kAutoKey), false);
  EXPECT_EQ(text(t.doc(), kScheduleKey), "System schedule");
  EXPECT_EQ(flag(t.doc(), kMeteredKey), false);
  EXPECT_FALSE(t.pane->status_known());
  t.system->release();
  ASSERT_TRUE(t.sync_until([&] { return t.pane->status_known(); }));
  EXPECT_EQ(flag(t.doc(), kAutoKey), true) << "the timer's state, once known";

  // Without a schedule or a metered policy those two keys are not written.
  PaneFixture u([](FakeSystem& s) {
    s.schedule_label.reset();
    s.metered = MeteredDownloads::Unknown;
  });
  u.sync();
  EXPECT_EQ(text(u.doc(), kScheduleKey), std::nullopt);
  EXPECT_EQ(flag(u.doc(), kMeteredKey), std::nullopt);
  EXPECT_EQ(flag(u.doc(), kAutoKey), true);
}

TEST(UpdatesPaneTest, WithNothingPendingAStrayKeyIsResetAndStartsNothing) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.system->clear_calls();
  (void)t.doc().put(kRoot, kCheckKey, true);
  (void)t.doc().put(kRoot, kAutoKey, false);
  t.sync();
  EXPECT_EQ(flag(t.doc(), kCheckKey), false);
  EXPECT_EQ(flag(t.doc(), kAutoKey), true);
  EXPECT_FALSE(t.pane->check_running());
  EXPECT_THAT(t.system->calls(), IsEmpty());
}

TEST(UpdatesPaneTest, OnlyItsOwnRequestsAndParsedKeys) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  // Another pane's request stays in the cell.
  t.requests->publish(
      operations::DeviceLocalRequest(std::in_place_type<operations::PowerOperation>,
                                     operations::PowerOperation::SetAutoSuspend{true}));
  t.sync();
  EXPECT_TRUE(std::holds_alternative<operations::PowerOperation>(t.requests->get()));
  // A pending update key whose JSON does not read is no operation.
  t.completion->publish(OperationCompletion::Pending{"settings.update-operation:{\"Nope\":1}"});
  (void)t.doc().put(kRoot, kCheckKey, true);
  t.sync();
  EXPECT_EQ(flag(t.doc(), kCheckKey), false);
  EXPECT_FALSE(t.pane->check_running());
  EXPECT_TRUE(t.pending());
}

TEST(UpdatesPaneTest, RequestsWaitForTheFirstReadingOfTheImage) {
  PaneFixture t([](FakeSystem& s) { s.hold("read_os"); });
  t.sync();
  t.start(Op::Check{});
  for (int i = 0; i < 5; ++i) t.sync();
  EXPECT_TRUE(std::holds_alternative<Op>(t.requests->get())) << "left in the cell";
  EXPECT_EQ(t.system->count("start_update"), 0);
  t.system->release();
  ASSERT_TRUE(t.sync_until([&] { return !t.pending(); }));
  EXPECT_EQ(t.outcome(), succeeded(Op::Check{}, kCheckStaged));
  EXPECT_EQ(t.system->count("start_update"), 1);
}

// ---- Check for updates --------------------------------------------------------

TEST(UpdatesPaneTest, ACheckStagesReadsAgainAndSavesWhenItChecked) {
  PaneFixture t;
  ASSERT_TRUE(prefs_store::update_section("display", {{"scale", 1.25}}));
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.pane->os().staged_update, std::nullopt);
  EXPECT_EQ(t.run(Op::Check{}), succeeded(Op::Check{}, kCheckStaged));
  EXPECT_EQ(t.pane->os().staged_update, testing::kStaged);
  EXPECT_EQ(t.pane->stored_prefs().last_checked, testing::kNow);
  EXPECT_EQ(saved_updates().value("last_checked", ""), testing::kNow);
  EXPECT_EQ(prefs_store::load_section("display")->value("scale", 0.0), 1.25);
  EXPECT_EQ(t.pane->notice(), std::nullopt);
}

TEST(UpdatesPaneTest, ASecondCheckWhileOneRunsFails) {
  PaneFixture t([](FakeSystem& s) { s.hold("start_update"); });
  ASSERT_TRUE(t.settle());
  t.start(Op::Check{});
  t.sync();
  ASSERT_TRUE(t.system->wait_for_call("start_update"));
  EXPECT_TRUE(t.pane->check_running());
  EXPECT_TRUE(t.pending()) << "the running check answers it";
  t.sync();
  EXPECT_TRUE(t.pending());
  // The client gave up on the first; a second arrives.
  t.collect();
  t.start(Op::Check{});
  t.sync();
  EXPECT_EQ(t.outcome(), failed(Op::Check{}, "an update check is already running"));
  t.collect();
  t.system->release();
  ASSERT_TRUE(t.sync_until([&] { return !t.pane->check_running(); }));
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
  EXPECT_EQ(t.system->count("start_update"), 1);
}

TEST(UpdatesPaneTest, AFailedCheckShowsItsMessage) {
  PaneFixture t([](FakeSystem& s) { s.update_error = "registry unreachable"; });
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::Check{}),
            failed(Op::Check{}, "Updates could not be checked: registry unreachable"));
  EXPECT_EQ(t.pane->notice(), (Notice{"Updates could not be checked: registry unreachable", true}));
  EXPECT_EQ(t.pane->stored_prefs().last_checked, "Never");
}

// ---- Automatic updates --------------------------------------------------------

TEST(UpdatesPaneTest, TheTimerAcceptingDisableButStillOn) {
  PaneFixture t([](FakeSystem& s) { s.timer_ignores_changes = true; });
  ASSERT_TRUE(t.settle());
  const Op off = Op::SetAutomatic{false};
  EXPECT_EQ(t.run(off), failed(off, "the system did not accept the automatic-update timer change"));
  EXPECT_EQ(
      t.pane->notice(),
      (Notice{"Automatic updates are still on. The system did not accept the change.", true}));
  EXPECT_TRUE(t.pane->stored_prefs().auto_);
  EXPECT_EQ(saved_updates().value("auto", false), true);
  EXPECT_EQ(flag(t.doc(), kAutoKey), true);
}

TEST(UpdatesPaneTest, AutomaticUpdatesCompareWithTheTimerNotTheStoredPreference) {
  // Stored on, the timer really off: turning updates on must enable it.
  PaneFixture t([](FakeSystem& s) { s.timer = AutomaticUpdates::Disabled; });
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(flag(t.doc(), kAutoKey), false);
  const Op on = Op::SetAutomatic{true};
  EXPECT_EQ(t.run(on), succeeded(on, "automatic-update timer changed"));
  EXPECT_EQ(t.system->count("enable timer"), 1);
  EXPECT_EQ(t.pane->automatic(), AutomaticUpdates::Enabled);
  EXPECT_EQ(t.run(on), succeeded(on, "automatic-update timer was already selected"));
  EXPECT_EQ(t.system->count("enable timer"), 1);
  EXPECT_EQ(saved_updates().value("auto", false), true);

  // With the timer unknown the stored preference is what counts.
  PaneFixture u([](FakeSystem& s) { s.timer = AutomaticUpdates::Unknown; });
  ASSERT_TRUE(u.settle());
  EXPECT_EQ(u.run(on), succeeded(on, "automatic-update timer was already selected"));
}

TEST(UpdatesPaneTest, ATimerThatRefusesIsReadBack) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t([](FakeSystem& s) { s.timer_error = "Access denied"; });
  ASSERT_TRUE(t.settle());
  const Op off = Op::SetAutomatic{false};
  EXPECT_EQ(t.run(off), failed(off, "Automatic updates could not be changed: Access denied"));
  EXPECT_EQ(flag(t.doc(), kAutoKey), true);
  EXPECT_TRUE(t.pane->stored_prefs().auto_);
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "automatic updates could not be changed");
  EXPECT_EQ(*log.events()[0].field("op"), "set_update_timer");
  EXPECT_EQ(*log.events()[0].field("error"), "Access denied");
}

// ---- Schedule and metered downloads ------------------------------------------------

TEST(UpdatesPaneTest, ScheduleChanges) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const Op same = Op::SetSchedule{"System schedule"};
  EXPECT_EQ(t.run(same), succeeded(same, "update schedule was already selected"));
  const Op weekly = Op::SetSchedule{"Weekly"};
  EXPECT_EQ(t.run(weekly), succeeded(weekly, "update schedule changed"));
  EXPECT_EQ(t.pane->schedule(), "Weekly");
  EXPECT_EQ(t.system->count("set_schedule System schedule"), 0);
  EXPECT_EQ(t.system->count("set_schedule Weekly"), 1);
  // The executor refuses other labels; from a document they change nothing.
  const Op odd = Op::SetSchedule{"Hourly"};
  EXPECT_EQ(t.run(odd), failed(odd, "unsupported update schedule"));
  EXPECT_EQ(text(t.doc(), kScheduleKey), "Weekly");
  EXPECT_EQ(t.pane->notice(), std::nullopt);

  t.system->lock(), t.system->schedule_error = "policy unit failed";
  const Op daily = Op::SetSchedule{"Daily"};
  EXPECT_EQ(t.run(daily),
            failed(daily, "Download schedule could not be changed: policy unit failed"));
  EXPECT_EQ(text(t.doc(), kScheduleKey), "Weekly");
  EXPECT_EQ(t.pane->schedule(), "Weekly");
}

TEST(UpdatesPaneTest, MeteredChanges) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const Op avoid = Op::SetMetered{false};
  EXPECT_EQ(t.run(avoid), succeeded(avoid, "metered-network policy was already selected"));
  const Op allow = Op::SetMetered{true};
  EXPECT_EQ(t.run(allow), succeeded(allow, "metered-network policy changed"));
  EXPECT_EQ(t.pane->metered(), MeteredDownloads::Allowed);
  t.system->lock(), t.system->metered_error = "policy unit failed";
  EXPECT_EQ(t.run(avoid),
            failed(avoid, "Metered-network policy could not be changed: policy unit failed"));
  EXPECT_EQ(flag(t.doc(), kMeteredKey), true);
  EXPECT_THAT(t.system->calls(), ::testing::Contains("metered allow"));

  // An unknown policy offers nothing to change.
  PaneFixture u([](FakeSystem& s) { s.metered = MeteredDownloads::Unknown; },
                PaneFixture::Mode::kAlone);
  ASSERT_TRUE(u.settle());
  (void)u.doc().put(kRoot, kMeteredKey, true);
  u.sync();
  EXPECT_EQ(u.system->count("metered allow"), 0);
}

// ---- Restart ----------------------------------------------------------------------

TEST(UpdatesPaneTest, TwoRestartsMakeOneReboot) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const Op restart = Op::Restart{};
  EXPECT_EQ(t.run(restart), succeeded(restart, "restart command accepted by the system"));
  EXPECT_EQ(t.run(restart), succeeded(restart, "restart was already requested"));
  EXPECT_EQ(t.system->count("reboot"), 1);

  kalu_ui::log::ScopedCapture log;
  PaneFixture u([](FakeSystem& s) { s.reboot_error = "Interactive authentication required."; });
  ASSERT_TRUE(u.settle());
  const std::string text =
      "Restarting into the staged update failed: Interactive authentication required.";
  EXPECT_EQ(u.run(restart), failed(restart, text));
  EXPECT_EQ(u.run(restart), failed(restart, text));
  EXPECT_EQ(u.system->count("reboot"), 1);
  EXPECT_EQ(u.pane->notice(), (Notice{text, true}));
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "restart & update failed");
  EXPECT_EQ(*log.events()[0].field("op"), "reboot");
}

TEST(UpdatesPaneTest, ARequestArrivingDuringAChangeStaysInTheCell) {
  PaneFixture t([](FakeSystem& s) { s.hold("reboot"); });
  ASSERT_TRUE(t.settle());
  t.start(Op::Restart{});
  t.sync();
  ASSERT_TRUE(t.system->wait_for_call("reboot"));
  EXPECT_TRUE(t.pane->action_running());
  // The client cancelled; the next operation waits for the reboot's answer.
  t.collect();
  t.start(Op::SetMetered{true});
  for (int i = 0; i < 5; ++i) t.sync();
  EXPECT_TRUE(std::holds_alternative<Op>(t.requests->get()));
  EXPECT_EQ(t.system->count("metered allow"), 0);
  t.system->release();
  ASSERT_TRUE(t.sync_until([&] { return !t.pending(); }));
  EXPECT_EQ(t.outcome(), succeeded(Op::SetMetered{true}, "metered-network policy changed"));
  EXPECT_EQ(t.system->count("reboot"), 1);
}

// ---- Rollback -------------------------------------------------------------------

TEST(UpdatesPaneTest, AFailedRollbackKeepsTheReviewOpen) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t([](FakeSystem& s) { s.rollback_error = "no previous deployment"; });
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::ReviewRollback{}),
            succeeded(Op::ReviewRollback{}, "rollback details opened"));
  EXPECT_TRUE(t.pane->review_open());
  EXPECT_EQ(t.run(Op::Rollback{}),
            failed(Op::Rollback{}, "Rolling back failed: no previous deployment"));
  EXPECT_TRUE(t.pane->review_open());
  EXPECT_EQ(t.pane->notice(), (Notice{"Rolling back failed: no previous deployment", true}));
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "rollback failed");

  t.system->lock(), t.system->rollback_error.reset(), t.system->rollback_to = "quay.io/kalu/os:42";
  EXPECT_EQ(t.run(Op::Rollback{}),
            succeeded(Op::Rollback{}, "previous system image selected for next boot"));
  EXPECT_FALSE(t.pane->review_open());
  ASSERT_TRUE(t.pane->notice());
  EXPECT_FALSE(t.pane->notice()->failure);
  EXPECT_THAT(t.pane->notice()->text, ::testing::StartsWith("Done. The previous image"));
  EXPECT_EQ(t.pane->rollback_image(), "quay.io/kalu/os:42");
  EXPECT_EQ(t.pane->deployment().rollback_protection,
            "Protected · fallback available: quay.io/kalu/os:42");
}

// ---- Saving ---------------------------------------------------------------------

// A settings document that does not read is not lost to the check's save:
// its bytes are kept aside, and the check's time goes into a fresh one.
TEST(UpdatesPaneTest, APreferencesFileThatDoesNotReadIsKeptAsideByTheSave) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t;
  const auto file = t.device.dir() / "config" / "kalu" / "settings.json";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "{not json";
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.run(Op::Check{}), succeeded(Op::Check{}, kCheckStaged));
  auto saved = prefs_store::load_section("updates");
  ASSERT_TRUE(saved);
  EXPECT_FALSE(saved->empty());
  const auto events = log.events();
  const auto kept = std::ranges::find_if(
      events, [](const kalu_ui::log::Event& e) { return e.field("copy") != nullptr; });
  ASSERT_NE(kept, events.end());
  std::stringstream copy;
  copy << std::ifstream(*kept->field("copy")).rdbuf();
  EXPECT_EQ(copy.str(), "{not json");
}

}  // namespace
}  // namespace settings::panes::updates
