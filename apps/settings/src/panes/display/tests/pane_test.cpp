// The Displays pane on fakes: operations handed over as the executor does,
// values written into its document as controls do, and what completes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "actions/doc_readers.h"
#include "fakes.h"
#include "kalu_ui/log.h"
#include "panes/display/display_pane.h"

namespace settings::panes::display {
namespace {

using namespace std::chrono_literals;
using kalu_ui::doc::kRoot;
using operations::DisplayOperation;
using operations::OperationCompletion;
using ::testing::ElementsAre;
using testing::failed;
using ::testing::FloatEq;
using testing::PaneFixture;
using testing::succeeded;

std::optional<double> f64(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_f64(d, kRoot, key);
}
std::optional<bool> flag(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_bool(d, kRoot, key);
}
std::optional<std::string> text(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_text(d, kRoot, key);
}

bool is_pending(const OperationCompletion& c) {
  return std::holds_alternative<OperationCompletion::Pending>(c);
}

// Hands `operation` over, runs frames until it is no longer pending and
// answers its final state; then collects it and checks that nothing else is
// ever reported for it.
OperationCompletion run(PaneFixture& t, const DisplayOperation& operation) {
  t.start(operation);
  EXPECT_TRUE(t.sync_until([&] { return !is_pending(t.outcome()); }));
  const OperationCompletion outcome = t.outcome();
  t.collect();
  for (int i = 0; i < 3; ++i) t.sync();
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{})) << "reported twice";
  return outcome;
}

std::string key_of(const DisplayOperation& operation) {
  return operations::operation_key(operation);
}

// ---- Brightness ----------------------------------------------------------------

TEST(DisplayPaneBrightnessTest, AnOperationReachesTheWorkerInPercent) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation op = DisplayOperation::SetBrightness{0.62};
  EXPECT_EQ(run(t, op), succeeded(key_of(op), "Brightness set to 62%."));
  EXPECT_THAT(t.dispatcher->percents(), ElementsAre(62.0f));
  EXPECT_FLOAT_EQ(t.pane->level(), 0.62f);
  EXPECT_NEAR(*f64(t.doc(), kBrightnessId), 0.62, 1e-6);
}

TEST(DisplayPaneBrightnessTest, AFailureRestoresTheLevelAndIsLogged) {
  kalu_ui::log::ScopedCapture log;
  {
    // From the document (a control): 1.7 is sent as 100.
    PaneFixture t(/*hosted=*/false);
    ASSERT_TRUE(t.settle());
    t.dispatcher->fail_next("panel asleep");
    (void)t.doc().put(kRoot, kBrightnessId, 1.7);
    ASSERT_TRUE(t.sync_until(
        [&] { return t.dispatcher->percents().size() == 1 && !t.pane->apply_in_flight(); }));
    EXPECT_THAT(t.dispatcher->percents(), ElementsAre(100.0f));
    EXPECT_EQ(f64(t.doc(), kBrightnessId), 0.5);
    EXPECT_EQ(t.pane->level(), 0.5f);
    const auto events = log.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, "display worker dispatch failed");
    EXPECT_EQ(events[0].module, "settings::panes::display");
    EXPECT_EQ(*events[0].field("op"), "set_brightness");
    EXPECT_EQ(*events[0].field("error"), "panel asleep");
    EXPECT_EQ(*events[0].field("requested"), "1.7");
  }
  {
    PaneFixture t;
    ASSERT_TRUE(t.settle());
    t.dispatcher->fail_next("panel asleep");
    const DisplayOperation op = DisplayOperation::SetBrightness{0.3};
    EXPECT_EQ(run(t, op), failed(key_of(op), "Brightness could not be changed: panel asleep"));
    EXPECT_EQ(f64(t.doc(), kBrightnessId), 0.5);
  }
}

TEST(DisplayPaneBrightnessTest, WithoutAWorkerTheUiThreadAppliesIt) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t(/*hosted=*/true, /*worker=*/false);
  ASSERT_TRUE(t.settle());
  const DisplayOperation up = DisplayOperation::SetBrightness{0.4};
  EXPECT_EQ(run(t, up), succeeded(key_of(up), "Brightness set to 40%."));
  t.dispatcher->fail_next("no backlight");
  const DisplayOperation down = DisplayOperation::SetBrightness{0.2};
  EXPECT_EQ(run(t, down), failed(key_of(down), "Brightness could not be changed: no backlight"));
  EXPECT_FLOAT_EQ(t.pane->level(), 0.4f);
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "display pane dispatch failed");
}

TEST(DisplayPaneBrightnessTest, AnOperationBeforeTheProbeAnswersWaitsForTheRealLevel) {
  // The backlight is at 70%; the pane's stand-in level is 50% until the
  // probe (held here) answers, and 50% is what the client asks for.
  std::unique_lock<std::mutex> probe_held;
  PaneFixture t(/*hosted=*/true, /*worker=*/true, [&](testing::FakeBackend& backend) {
    backend.brightness = 0.7f;
    probe_held = std::unique_lock(backend.mutex);
  });
  const DisplayOperation op = DisplayOperation::SetBrightness{0.5};
  t.start(op);
  for (int i = 0; i < 5; ++i) t.sync();
  EXPECT_TRUE(is_pending(t.outcome()));
  EXPECT_TRUE(t.dispatcher->percents().empty());
  probe_held.unlock();
  EXPECT_EQ(run(t, op), succeeded(key_of(op), "Brightness set to 50%."));
  EXPECT_THAT(t.dispatcher->percents(), ElementsAre(50.0f));
  EXPECT_FLOAT_EQ(t.pane->level(), 0.5f);
}

TEST(DisplayPaneBrightnessTest, ADeadBandOfOneThousandth) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation op = DisplayOperation::SetBrightness{0.501};
  EXPECT_EQ(run(t, op), succeeded(key_of(op), "Display setting is already in place."));
  EXPECT_TRUE(t.dispatcher->percents().empty());
}

TEST(DisplayPaneBrightnessTest, ASecondChangeWaitsForTheFirstResult) {
  PaneFixture t(/*hosted=*/false);
  ASSERT_TRUE(t.settle());
  t.dispatcher->hold();
  (void)t.doc().put(kRoot, kBrightnessId, 0.3);
  t.sync();
  ASSERT_TRUE(t.dispatcher->wait_for_calls(1));
  (void)t.doc().put(kRoot, kBrightnessId, 0.8);
  for (int i = 0; i < 5; ++i) t.sync();
  EXPECT_EQ(t.dispatcher->percents().size(), 1u);
  t.dispatcher->release();
  ASSERT_TRUE(t.sync_until(
      [&] { return t.dispatcher->percents().size() == 2 && !t.pane->apply_in_flight(); }));
  EXPECT_THAT(t.dispatcher->percents(), ElementsAre(FloatEq(30.0f), FloatEq(80.0f)));
  EXPECT_FLOAT_EQ(t.pane->level(), 0.8f);
}

// An operation given up by its client while its change is being applied: the
// next one is sent once the first result is in, and completes with its own.
TEST(DisplayPaneBrightnessTest, AnOperationArrivingWhileAnotherIsAppliedCompletesWithItsOwnResult) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.dispatcher->hold();
  t.start(DisplayOperation::SetBrightness{0.3});
  t.sync();
  ASSERT_TRUE(t.dispatcher->wait_for_calls(1));
  t.collect();  // the client cancelled
  const DisplayOperation second = DisplayOperation::SetBrightness{0.8};
  const std::string key = t.start(second);
  for (int i = 0; i < 3; ++i) t.sync();
  EXPECT_TRUE(is_pending(t.outcome()));
  t.dispatcher->release();
  ASSERT_TRUE(t.sync_until([&] { return !is_pending(t.outcome()); }));
  EXPECT_EQ(t.outcome(), succeeded(key, "Brightness set to 80%."));
  EXPECT_THAT(t.dispatcher->percents(), ElementsAre(FloatEq(30.0f), FloatEq(80.0f)));
}

// ---- Requests and the reset to the model ----------------------------------------

TEST(DisplayPaneTest, ARequestForAnotherPaneStaysInTheCell) {
  PaneFixture t;
  t.requests->publish(operations::DeviceLocalRequest(std::in_place_type<operations::AudioOperation>,
                                                     operations::AudioOperation::SetMono{true}));
  t.sync();
  EXPECT_TRUE(std::holds_alternative<operations::AudioOperation>(t.requests->get()));
}

TEST(DisplayPaneTest, WithNothingPendingTheDocumentGoesBackToTheModel) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  (void)t.doc().put(kRoot, kApplyId, true);
  (void)t.doc().put(kRoot, kBrightnessId, 0.9);
  (void)t.doc().put(kRoot, output_control_id("DP-2", field::kScale), "200%");
  (void)t.doc().put(kRoot, output_control_id("DP-2", field::kPosition), "Left of Built-in display");
  t.sync();
  EXPECT_EQ(flag(t.doc(), kApplyId), false);
  EXPECT_EQ(f64(t.doc(), kBrightnessId), 0.5);
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kScale)), "100%");
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kPosition)), "Automatic");
  EXPECT_EQ(t.backend->requests, 0);
  EXPECT_FALSE(t.pane->staged());
  EXPECT_TRUE(t.dispatcher->percents().empty());
}

TEST(DisplayPaneTest, EveryOperationIsWrittenIntoTheDocument) {
  PaneFixture t;
  auto& d = t.doc();
  const auto out = [](std::string_view f) { return output_control_id("DP-2", f); };
  using V = kalu_ui::doc::Scalar;
  const struct {
    DisplayOperation op;
    std::string key;
    V value;
  } cases[] = {
      {DisplayOperation::SetBrightness{0.25}, std::string(kBrightnessId), V(0.25)},
      {DisplayOperation::SetAutoBrightness{true}, std::string(kAutoBrightnessId), V(true)},
      {DisplayOperation::SetNightLight{true}, std::string(kNightLightId), V(true)},
      {DisplayOperation::SetNightLightTemperature{"Warm · 3700 K"},
       std::string(kNightLightTemperatureId), V(std::string("Warm · 3700 K"))},
      {DisplayOperation::SetScale{"175%"}, std::string(kScaleId), V(std::string("175%"))},
      {DisplayOperation::SetPrimary{"DP-2", true}, out("primary"), V(true)},
      {DisplayOperation::SetOutputScale{"DP-2", "125%"}, out("scale"), V(std::string("125%"))},
      {DisplayOperation::SetPosition{"DP-2", "Above of Built-in display"}, out("position"),
       V(std::string("Above of Built-in display"))},
      {DisplayOperation::SetMirror{"DP-2", "Mirror Built-in display"}, out("mirror"),
       V(std::string("Mirror Built-in display"))},
      {DisplayOperation::SetModeLabel{"DP-2", "x"}, out("mode"), V(std::string("x"))},
      {DisplayOperation::SetTransformLabel{"DP-2", "Upside down"}, out("transform"),
       V(std::string("Upside down"))},
      {DisplayOperation::SetColorProfileLabel{"DP-2", "sRGB · srgb"}, out("color_profile"),
       V(std::string("sRGB · srgb"))},
      {DisplayOperation::SetEnabled{"DP-2", false}, out("enabled"), V(false)},
      {DisplayOperation::SetMode{"DP-2", {2560, 1440, 59951}}, out("mode"),
       V(std::string("2560 × 1440 · 59.95 Hz"))},
      {DisplayOperation::SetTransform{"DP-2", operations::OutputTransform::kRotate90},
       out("transform"), V(std::string("Portrait right"))},
      {DisplayOperation::SetHdr{"DP-2", true}, out("hdr"), V(true)},
      {DisplayOperation::SetVrr{"DP-2", true}, out("vrr"), V(true)},
      {DisplayOperation::SetColorProfile{"DP-2", std::nullopt}, out("color_profile"),
       V(std::string("System default"))},
      {DisplayOperation::SetColorProfile{"DP-2", "display-p3"}, out("color_profile"),
       V(std::string("Display P3 · display-p3"))},
      {DisplayOperation::SetColorProfile{"DP-2", "unnamed"}, out("color_profile"),
       V(std::string("unnamed"))},
      {DisplayOperation::SetColorProfile{"HDMI-9", "display-p3"},
       output_control_id("HDMI-9", "color_profile"), V(std::string("display-p3"))},
      {DisplayOperation::Apply{}, std::string(kApplyId), V(true)},
      {DisplayOperation::Confirm{}, std::string(kKeepId), V(true)},
      {DisplayOperation::Revert{}, std::string(kRevertId), V(true)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.key);
    t.pane->apply_request_to_document(d, c.op);
    const auto value = d.get(kRoot, c.key);
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(std::get<kalu_ui::doc::Scalar>(*value), c.value);
    // Everything else is the model again.
    if (c.key != kApplyId) {
      EXPECT_EQ(flag(d, kApplyId), false);
    }
    if (c.key != out("scale")) {
      EXPECT_EQ(text(d, out("scale")), "100%");
    }
  }
}

TEST(DisplayPaneTest, TheSnapshotFileIsLookedAtOnceASecond) {
  {
    // No file behind the snapshot: never reloaded.
    PaneFixture t;
    for (int i = 0; i < 5; ++i) {
      t.backend->advance(1500ms);
      t.sync();
    }
    EXPECT_EQ(t.backend->snapshot_loads, 1);
    EXPECT_EQ(t.pane->next_wake_deadline(), std::nullopt);
  }
  PaneFixture t(true, true, [](testing::FakeBackend& b) {
    b.modified = std::filesystem::file_time_type(std::chrono::seconds(10));
  });
  t.sync();
  const int looks = t.backend->snapshot_looks;
  t.backend->advance(999ms);
  t.sync();
  EXPECT_EQ(t.backend->snapshot_looks, looks);
  t.backend->advance(1ms);
  t.sync();
  EXPECT_EQ(t.backend->snapshot_looks, looks + 1);
  EXPECT_EQ(t.backend->snapshot_loads, 1);  // unchanged: not reloaded

  t.backend->snapshot = testing::snapshot_of({testing::panel()});
  t.backend->modified = std::filesystem::file_time_type(std::chrono::seconds(11));
  t.backend->advance(1s);
  t.sync();
  EXPECT_EQ(t.backend->snapshot_loads, 2);
  ASSERT_EQ(t.pane->outputs().size(), 1u);
  EXPECT_EQ(t.pane->outputs()[0].connector, "eDP-1");
}

// ---- Preferences -----------------------------------------------------------------

TEST(DisplayPanePrefsTest, SavedAndReported) {
  kalu_ui::log::ScopedCapture log;
  const struct {
    const char* name;
    bool light_sensor;
    std::optional<std::string> save_error;
    DisplayOperation op;
    bool ok;
    std::string message;
  } cases[] = {
      {"automatic brightness needs a sensor",
       false,
       {},
       DisplayOperation::SetAutoBrightness{true},
       false,
       "Automatic brightness is unavailable because this device has no ambient-light sensor."},
      {"automatic brightness on",
       true,
       {},
       DisplayOperation::SetAutoBrightness{true},
       true,
       "Automatic brightness enabled."},
      {"automatic brightness off as it is",
       true,
       {},
       DisplayOperation::SetAutoBrightness{false},
       true,
       "Display setting is already in place."},
      {"a failed save", true, "disk full", DisplayOperation::SetAutoBrightness{true}, false,
       "Display preference could not be saved: disk full"},
      {"night light",
       true,
       {},
       DisplayOperation::SetNightLight{true},
       true,
       "Night light enabled."},
      {"night light failing", true, "disk full", DisplayOperation::SetNightLight{true}, false,
       "Display preference could not be saved: disk full"},
      {"warmth",
       true,
       {},
       DisplayOperation::SetNightLightTemperature{"Very warm · 2800 K"},
       true,
       "Night light warmth set to Very warm · 2800 K."},
      {"scale", true, {}, DisplayOperation::SetScale{"150%"}, true, "Display scale set to 150%."},
      {"scale as it is",
       true,
       {},
       DisplayOperation::SetScale{"100%"},
       true,
       "Display setting is already in place."},
      {"scale failing", true, "disk full", DisplayOperation::SetScale{"150%"}, false,
       "Display preference could not be saved: disk full"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PaneFixture t(true, true, [&](testing::FakeBackend& b) {
      b.light_sensor = c.light_sensor;
      b.save_error = c.save_error;
    });
    ASSERT_TRUE(t.settle());
    const OperationCompletion outcome = run(t, c.op);
    EXPECT_EQ(outcome, c.ok ? succeeded(key_of(c.op), c.message) : failed(key_of(c.op), c.message));
  }
  // Each failed save was logged once, under the save's op.
  int saves_logged = 0;
  for (const auto& e : log.events()) {
    if (e.message == "failed to persist display prefs") {
      EXPECT_EQ(*e.field("op"), "display_prefs_save");
      ++saves_logged;
    }
  }
  EXPECT_EQ(saves_logged, 3);
}

TEST(DisplayPanePrefsTest, WhatStaysAfterAFailedSave) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t(true, true, [](testing::FakeBackend& b) { b.save_error = "read-only"; });
  ASSERT_TRUE(t.settle());
  run(t, DisplayOperation::SetScale{"150%"});
  run(t, DisplayOperation::SetNightLight{true});
  // Scale shows the previous value again; night light stays in effect.
  EXPECT_EQ(text(t.doc(), kScaleId), "100%");
  EXPECT_EQ(t.pane->applied_prefs().scale, 1.0);
  EXPECT_TRUE(t.pane->applied_prefs().night_light);
  // Night light is taken from the document at any time, even with nothing pending.
  t.backend->save_error.reset();
  (void)t.doc().put(kRoot, kNightLightId, false);
  t.sync();
  EXPECT_FALSE(t.backend->prefs.night_light);
  EXPECT_FALSE(t.pane->applied_prefs().night_light);
}

// ---- Staging, apply, keep and revert ---------------------------------------------------

TEST(DisplayPaneStagingTest, EditsAccumulateUntilApplied) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation scale = DisplayOperation::SetOutputScale{"DP-2", "125%"};
  EXPECT_EQ(run(t, scale),
            succeeded(key_of(scale),
                      "Display change staged. Apply it to preview the new configuration."));
  const DisplayOperation primary = DisplayOperation::SetPrimary{"DP-2", true};
  EXPECT_EQ(run(t, primary), succeeded(key_of(primary),
                                       "Display change staged. Apply it to preview the new "
                                       "configuration."));
  ASSERT_TRUE(t.pane->staged());
  EXPECT_EQ(t.pane->staged()->outputs.at("DP-2").scale, 1.25);
  EXPECT_TRUE(t.pane->staged()->outputs.at("DP-2").primary);
  EXPECT_FALSE(t.pane->staged()->outputs.at("eDP-1").primary);
  // The document shows the staged layout, not the one in force.
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kScale)), "125%");
  EXPECT_EQ(flag(t.doc(), output_control_id("eDP-1", field::kPrimary)), false);
  EXPECT_EQ(t.backend->config.outputs.at("DP-2").scale, 1.0);

  const DisplayOperation automatic = DisplayOperation::SetPosition{"DP-2", "Automatic"};
  EXPECT_EQ(run(t, automatic),
            succeeded(key_of(automatic), "Display setting is already in place."));
}

// A change staged back to the layout in use leaves nothing to apply: no
// Apply is offered and no test of an identical layout runs.
TEST(DisplayPaneStagingTest, StagingBackToTheLayoutInUseLeavesNothingToApply) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation scale = DisplayOperation::SetOutputScale{"DP-2", "125%"};
  run(t, scale);
  ASSERT_TRUE(t.pane->staged());
  const DisplayOperation back = DisplayOperation::SetOutputScale{"DP-2", "100%"};
  EXPECT_EQ(run(t, back),
            succeeded(key_of(back),
                      "The display layout is the one in use again; there is nothing to apply."));
  EXPECT_FALSE(t.pane->staged());
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kScale)), "100%");
  const DisplayOperation apply = DisplayOperation::Apply{};
  EXPECT_EQ(run(t, apply), failed(key_of(apply), "There are no staged display changes to apply."));
}

TEST(DisplayPaneStagingTest, AnInvalidLayoutIsNotStaged) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t(true, true,
                [](testing::FakeBackend& b) { b.config.outputs["DP-2"].enabled = false; });
  ASSERT_TRUE(t.settle());
  const DisplayOperation off = DisplayOperation::SetEnabled{"eDP-1", false};
  EXPECT_EQ(run(t, off), failed(key_of(off),
                                "Display configuration is not valid: At least one "
                                "display must stay enabled."));
  EXPECT_FALSE(t.pane->staged());
  ASSERT_FALSE(log.events().empty());
  EXPECT_EQ(log.events()[0].message, "rejected invalid display configuration");
}

TEST(DisplayPaneTransactionTest, ApplyIsTestedThenKeptEachReportedOnce) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation apply = DisplayOperation::Apply{};
  EXPECT_EQ(run(t, apply), failed(key_of(apply), "There are no staged display changes to apply."));
  EXPECT_EQ(flag(t.doc(), kApplyId), false);

  run(t, DisplayOperation::SetOutputScale{"DP-2", "125%"});
  EXPECT_EQ(run(t, apply), succeeded(key_of(apply),
                                     "Display change is being tested; keep it or "
                                     "it will be reverted."));
  EXPECT_EQ(t.backend->requests, 1);
  // Testing goes on for a while: nothing more to report, nothing requested again.
  for (int i = 0; i < 5; ++i) {
    t.backend->advance(1s);
    t.sync();
  }
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
  EXPECT_EQ(t.backend->requests, 1);

  const DisplayOperation keep = DisplayOperation::Confirm{};
  EXPECT_EQ(run(t, keep), succeeded(key_of(keep), "Display changes kept."));
  EXPECT_FALSE(t.pane->staged());
  EXPECT_EQ(t.pane->config().outputs.at("DP-2").scale, 1.25);
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kScale)), "125%");

  EXPECT_EQ(run(t, keep), failed(key_of(keep),
                                 "Display configuration could not be kept: that "
                                 "display change is no longer being tested"));
}

TEST(DisplayPaneTransactionTest, RevertAndItsRefusals) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation keep = DisplayOperation::Confirm{};
  const DisplayOperation revert = DisplayOperation::Revert{};
  EXPECT_EQ(run(t, keep), failed(key_of(keep), "There is no display transaction to keep."));
  EXPECT_EQ(run(t, revert), failed(key_of(revert), "There is no display transaction to revert."));

  run(t, DisplayOperation::SetTransformLabel{"DP-2", "Portrait left"});
  run(t, DisplayOperation::Apply{});
  EXPECT_EQ(t.backend->config.outputs.at("DP-2").transform,
            prefs_store::OutputTransform::Rotate270);
  EXPECT_EQ(run(t, revert), succeeded(key_of(revert), "Display changes reverted."));
  EXPECT_EQ(t.pane->config().outputs.at("DP-2").transform, prefs_store::OutputTransform::Normal);
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kTransform)), "Landscape");
  EXPECT_FALSE(t.pane->staged());
}

TEST(DisplayPaneTransactionTest, ATransactionThatCannotStartOrIsRejected) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const DisplayOperation apply = DisplayOperation::Apply{};
  run(t, DisplayOperation::SetOutputScale{"DP-2", "150%"});
  t.backend->request_error = "compositor busy";
  EXPECT_EQ(run(t, apply), failed(key_of(apply),
                                  "Display configuration could not be staged: "
                                  "compositor busy"));
  EXPECT_TRUE(t.pane->staged());
  t.backend->request_error.reset();
  t.backend->reject_with = "The plan needs more bandwidth than DP-2 has.";
  EXPECT_EQ(run(t, apply), failed(key_of(apply), "The plan needs more bandwidth than DP-2 has."));
  EXPECT_FALSE(t.pane->staged());
  bool logged = false;
  for (const auto& e : log.events()) logged |= e.message == "failed to stage display configuration";
  EXPECT_TRUE(logged);
}

TEST(DisplayPaneTransactionTest, TheRestoreAtTheDeadlineReportsToNobody) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  run(t, DisplayOperation::SetOutputScale{"DP-2", "175%"});
  run(t, DisplayOperation::Apply{});
  ASSERT_TRUE(t.pane->next_wake_deadline().has_value());
  t.backend->advance(15s);
  t.sync();
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
  ASSERT_TRUE(t.backend->transaction);
  EXPECT_EQ(t.backend->transaction->state, prefs_store::DisplayTransaction::kReverted);
  EXPECT_FALSE(t.pane->staged());
  EXPECT_EQ(t.pane->config().outputs.at("DP-2").scale, 1.0);
  EXPECT_EQ(text(t.doc(), output_control_id("DP-2", field::kScale)), "100%");
}

// A new pane finds a test under way: it shows it and keeps it when asked.
TEST(DisplayPaneTransactionTest, ANewPaneTakesOverARunningTest) {
  PaneFixture t(true, true, [](testing::FakeBackend& b) {
    prefs_store::DisplayConfig next = b.config;
    next.outputs["DP-2"].scale = 2.0;
    (void)b.request_transaction(next);
  });
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
  const DisplayOperation keep = DisplayOperation::Confirm{};
  EXPECT_EQ(run(t, keep), succeeded(key_of(keep), "Display changes kept."));
  EXPECT_EQ(t.pane->config().outputs.at("DP-2").scale, 2.0);
}

// A test that ended before the pane was opened keeps nothing from being
// staged: a change that comes with the pane's first sync is applied.
TEST(DisplayPaneTransactionTest, AnOldFinishedTestLeavesAChangeStagedWithTheFirstSync) {
  PaneFixture t(true, true, [](testing::FakeBackend& b) {
    prefs_store::DisplayConfig next = b.config;
    next.outputs["DP-2"].scale = 2.0;
    const auto old = b.request_transaction(next);
    ASSERT_TRUE(old);
    ASSERT_TRUE(b.revert_transaction(*old));
  });
  const DisplayOperation scale = DisplayOperation::SetOutputScale{"DP-2", "125%"};
  t.start(scale);
  ASSERT_TRUE(t.sync_until([&] { return !is_pending(t.outcome()); }));
  EXPECT_EQ(t.outcome(), succeeded(key_of(scale),
                                   "Display change staged. Apply it to preview "
                                   "the new configuration."));
  t.collect();
  ASSERT_TRUE(t.pane->staged());
  const DisplayOperation apply = DisplayOperation::Apply{};
  EXPECT_EQ(run(t, apply), succeeded(key_of(apply),
                                     "Display change is being tested; keep it or "
                                     "it will be reverted."));
  EXPECT_EQ(t.backend->config.outputs.at("DP-2").scale, 1.25);
}

}  // namespace
}  // namespace settings::panes::display
