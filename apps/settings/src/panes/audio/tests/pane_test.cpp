// The Sound pane on fakes: operations handed over as the executor does,
// values written into its document as controls do, and what completes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "pane_fixture.h"

namespace settings::panes::audio {
namespace {

using namespace std::chrono_literals;
using kalu_ui::doc::kRoot;
using operations::OperationCompletion;
using ::testing::ElementsAre;
using testing::failed;
using testing::Fakes;
using ::testing::IsEmpty;
using testing::PaneFixture;
using testing::succeeded;
using Op = AudioOperation;

std::optional<double> number(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_f64(d, kRoot, key);
}
std::optional<bool> flag(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_bool(d, kRoot, key);
}
std::optional<std::string> text(kalu_ui::doc::Document& d, std::string_view key) {
  return actions::read_doc_text(d, kRoot, key);
}
void put(kalu_ui::doc::Document& d, std::string_view key, kalu_ui::doc::Scalar value) {
  ASSERT_TRUE(d.put(kRoot, key, std::move(value)));
}

const OperationCompletion kIdle = OperationCompletion::Idle{};

// ---- Every operation, on the fakes -------------------------------------------------

struct OperationCase {
  const char* name;
  AudioOperation operation;
  bool succeeds;
  std::string message;
  std::function<void(Fakes&)> setup = {};
};

std::vector<OperationCase> operation_cases() {
  const auto fail_all = [](Fakes& f) {
    f.dispatcher->fail_with = f.tool->fail_with = f.graph_control->fail_with =
        f.runtime->fail_with = f.services->save_error = std::string("device busy");
  };
  return {
      {"volume", Op::SetOutputVolume{0.55}, true, "Output volume set to 55%."},
      {"volume in place", Op::SetOutputVolume{0.6004}, true, std::string(kAlreadyInPlace)},
      {"mute", Op::SetOutputMuted{true}, true, "Output muted."},
      {"unmute in place", Op::SetOutputMuted{false}, true, std::string(kAlreadyInPlace)},
      {"input level", Op::SetInputVolume{0.1}, true, "Input level set to 10%."},
      {"input level in place", Op::SetInputVolume{0.4}, true, std::string(kAlreadyInPlace)},
      {"balance", Op::SetBalance{0.25}, true, "Output balance set to 25%."},
      {"mono", Op::SetMono{true}, true, "Mono output enabled."},
      {"mono in place", Op::SetMono{false}, true, std::string(kAlreadyInPlace)},
      {"output", Op::SelectOutput{58}, true, "Audio output device changed."},
      {"output in place", Op::SelectOutput{51}, true, std::string(kAlreadyInPlace)},
      {"output gone", Op::SelectOutput{99}, false, "audio output device is no longer available"},
      {"input in place", Op::SelectInput{52}, true, std::string(kAlreadyInPlace)},
      {"input gone", Op::SelectInput{58}, false, "audio input device is no longer available"},
      {"route", Op::RouteStream{70, true, 58}, true, "Audio stream route changed."},
      {"route default in place", Op::RouteStream{70, true, std::nullopt}, true,
       std::string(kAlreadyInPlace)},
      {"route playback", Op::RoutePlayback{70, 58}, true, "Audio stream route changed."},
      {"route recording", Op::RouteRecording{74, 52}, true, "Audio stream route changed."},
      {"route gone stream", Op::RouteStream{99, true, 58}, false,
       "playback stream is no longer available"},
      {"stream volume", Op::SetStreamVolume{70, 0.1}, true, "Audio stream volume changed."},
      {"stream volume in place", Op::SetStreamVolume{70, 0.8}, true, std::string(kAlreadyInPlace)},
      {"stream mute", Op::SetStreamMuted{74, true}, true, "Audio stream mute changed."},
      {"profile", Op::SetDeviceProfile{42, 2}, true, "Audio device profile changed."},
      {"profile in place", Op::SetDeviceProfile{42, 1}, true, std::string(kAlreadyInPlace)},
      {"profile unavailable", Op::SetDeviceProfile{42, 3}, false,
       "audio profile is no longer available"},
      {"diagnostics", Op::ToggleDiagnostics{}, true, "Speaker diagnostics shown."},
      {"left tone", Op::TestChannel{true}, true, "Left speaker test started."},
      {"right tone", Op::TestChannel{false}, true, "Right speaker test started."},
      {"meter", Op::ToggleMicrophoneMeter{}, true,
       "Microphone level test started for eight seconds."},
      // Failures answer the device's words inside the pane's.
      {"volume fails", Op::SetOutputVolume{0.3}, false,
       "Output volume could not be changed: device busy", fail_all},
      {"mute fails", Op::SetOutputMuted{true}, false,
       "Output mute could not be changed: device busy", fail_all},
      {"input level fails", Op::SetInputVolume{0.2}, false,
       "Input level could not be changed: device busy", fail_all},
      {"balance not saved", Op::SetBalance{0.2}, false,
       "Audio preference could not be saved: device busy", fail_all},
      {"mono not saved", Op::SetMono{true}, false,
       "Audio preference could not be saved: device busy", fail_all},
      {"output fails", Op::SelectOutput{58}, false,
       "Output device could not be changed: device busy", fail_all},
      {"route fails", Op::RouteStream{70, true, 58}, false,
       "Audio stream route could not be changed: device busy", fail_all},
      {"stream volume fails", Op::SetStreamVolume{70, 0.2}, false,
       "Audio stream volume could not be changed: device busy", fail_all},
      {"stream mute fails", Op::SetStreamMuted{70, true}, false,
       "Audio stream mute could not be changed: device busy", fail_all},
      {"profile fails", Op::SetDeviceProfile{42, 0}, false,
       "Audio device profile could not be changed: device busy", fail_all},
      {"tone fails", Op::TestChannel{false}, false, "Could not test the right speaker: device busy",
       fail_all},
      {"meter fails", Op::ToggleMicrophoneMeter{}, false,
       "Could not test the microphone: device busy", fail_all},
  };
}

TEST(AudioPaneOperationTest, EveryOperationCompletesOnceWithItsMessage) {
  kalu_ui::log::ScopedCapture log;
  for (const OperationCase& c : operation_cases()) {
    SCOPED_TRACE(c.name);
    PaneFixture t(true, c.setup);
    ASSERT_TRUE(t.settle());
    const OperationCompletion expected =
        c.succeeds ? succeeded(c.operation, c.message) : failed(c.operation, c.message);
    EXPECT_EQ(t.run(c.operation), expected);
  }
}

TEST(AudioPaneOperationTest, AnOperationInPlaceTouchesNothing) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  for (const AudioOperation& op :
       {AudioOperation{Op::SetOutputVolume{0.6}}, AudioOperation{Op::SelectOutput{51}},
        AudioOperation{Op::RouteStream{74, false, std::nullopt}},
        AudioOperation{Op::SetDeviceProfile{42, 1}}}) {
    EXPECT_EQ(t.run(op), succeeded(op, std::string(kAlreadyInPlace)));
  }
  EXPECT_THAT(t.fakes.dispatcher->calls, IsEmpty());
  EXPECT_THAT(t.fakes.graph_control->calls, IsEmpty());
  EXPECT_THAT(t.fakes.tool->taken_calls(), IsEmpty());
}

TEST(AudioPaneOperationTest, ChangesReachTheDeviceAndTheModel) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.run(Op::SetOutputVolume{0.55});
  t.run(Op::SetInputVolume{-5.0});
  t.run(Op::RoutePlayback{70, 58});
  t.run(Op::RouteRecording{74, 52});
  t.run(Op::SetStreamVolume{70, 1.5});
  t.run(Op::SetDeviceProfile{42, 2});
  t.run(Op::SetBalance{0.25});
  EXPECT_THAT(t.fakes.dispatcher->calls, ElementsAre("volume 55"));
  EXPECT_THAT(t.fakes.tool->taken_calls(), ElementsAre("set-volume 0"));
  EXPECT_THAT(t.fakes.graph_control->calls,
              ElementsAre("route 70 58", "route 74 52", "volume 70", "profile 42 2"));
  EXPECT_THAT(t.fakes.graph_control->volumes, ElementsAre(1.0f));
  EXPECT_FLOAT_EQ(t.pane->output_volume(), 0.55f);
  EXPECT_EQ(t.pane->streams().routes.at(70), "Headphones");
  EXPECT_EQ(t.pane->profile_labels().at(42), "Output");
  EXPECT_FLOAT_EQ(t.fakes.services->prefs.balance, 0.25f);
  EXPECT_EQ(text(t.doc(), stream_sink_key(70)), "Headphones");
}

TEST(AudioPaneOperationTest, KeysAgreeWithTheExecutorsForValuesNoFloatHolds) {
  // 0.1 is not a 32-bit float: the pane reads back 0.1f, the key holds 0.1.
  for (const AudioOperation& op :
       {AudioOperation{Op::SetOutputVolume{0.1}}, AudioOperation{Op::SetInputVolume{0.1}},
        AudioOperation{Op::SetBalance{0.1}}, AudioOperation{Op::SetStreamVolume{70, 0.1}}}) {
    PaneFixture t;
    ASSERT_TRUE(t.settle());
    const OperationCompletion final_state = t.run(op);
    ASSERT_TRUE(std::holds_alternative<OperationCompletion::Succeeded>(final_state));
    EXPECT_EQ(std::get<OperationCompletion::Succeeded>(final_state).key,
              operations::operation_key(kAudioActionId, op));
  }
}

TEST(AudioPaneOperationTest, TheDeviceSwitchCompletesWhenTheToolAnswers) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.fakes.tool->hold();
  const Op::SelectOutput op{58};
  t.start(op);
  for (int i = 0; i < 5; ++i) t.sync();
  EXPECT_TRUE(t.pending());
  EXPECT_TRUE(t.pane->tool_busy());
  t.fakes.tool->release();
  ASSERT_TRUE(t.sync_until([&] { return !t.pending(); }));
  EXPECT_EQ(t.outcome(), succeeded(op, "Audio output device changed."));
  EXPECT_EQ(t.pane->default_sink_name(), "Headphones");
  EXPECT_EQ(t.fakes.services->prefs.output_device, "Headphones");
  EXPECT_EQ(t.pane->status().default_sink_name(), "Headphones");
}

TEST(AudioPaneOperationTest, AFailedDeviceSwitchWritesTheDefaultBackAndSaysWhy) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t(true, [](Fakes& f) { f.tool->fail_with = "Object '58' not found"; });
  ASSERT_TRUE(t.settle());
  t.run(Op::SelectOutput{58});
  EXPECT_EQ(text(t.doc(), kOutputDeviceKey), "Speakers");
  EXPECT_EQ(t.pane->status_text(), "Output device could not be changed: Object '58' not found");
  EXPECT_EQ(t.fakes.services->saves, 0);
  ASSERT_FALSE(log.events().empty());
  EXPECT_EQ(log.events().back().message, "audio pane device switch failed");
}

TEST(AudioPaneOperationTest, AnotherPanesRequestStaysInTheCell) {
  PaneFixture t;
  t.requests->publish(
      operations::DeviceLocalRequest(std::in_place_type<operations::DisplayOperation>,
                                     operations::DisplayOperation::SetBrightness{0.5}));
  t.sync();
  EXPECT_FALSE(t.requests->get().empty());
}

// ---- The handlers from the document ----------------------------------------------

TEST(AudioPaneHandlerTest, AnEditWithinAThousandthChangesNothing) {
  PaneFixture t(false);
  ASSERT_TRUE(t.settle());
  put(t.doc(), kVolumeKey, 0.6005);
  put(t.doc(), kBalanceKey, 0.5004);
  t.sync();
  EXPECT_THAT(t.fakes.dispatcher->calls, IsEmpty());
  EXPECT_EQ(t.fakes.services->saves, 0);
  put(t.doc(), kVolumeKey, 0.62);
  t.sync();
  EXPECT_EQ(t.fakes.dispatcher->calls.size(), 1u);
  EXPECT_EQ(t.outcome(), kIdle);
}

TEST(AudioPaneHandlerTest, StrayValuesAreWrittenBackWhileReporting) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  put(t.doc(), kVolumeKey, 0.9);
  put(t.doc(), kMutedKey, true);
  put(t.doc(), stream_muted_key(70), true);
  put(t.doc(), kOutputDeviceKey, "Headphones");
  t.sync();
  EXPECT_NEAR(*number(t.doc(), kVolumeKey), 0.6, 1e-6);
  EXPECT_EQ(flag(t.doc(), kMutedKey), false);
  EXPECT_EQ(flag(t.doc(), stream_muted_key(70)), false);
  EXPECT_EQ(text(t.doc(), kOutputDeviceKey), "Speakers");
  // Also while another audio operation is pending: only its own value goes.
  put(t.doc(), kVolumeKey, 0.9);
  EXPECT_EQ(t.run(Op::SetMono{true}), succeeded(Op::SetMono{true}, "Mono output enabled."));
  EXPECT_NEAR(*number(t.doc(), kVolumeKey), 0.6, 1e-6);
  EXPECT_THAT(t.fakes.dispatcher->calls, IsEmpty());
  EXPECT_THAT(t.fakes.tool->taken_calls(), IsEmpty());
}

TEST(AudioPaneHandlerTest, APaneAloneAppliesItsControlsAndCompletesNothing) {
  PaneFixture t(false);
  ASSERT_TRUE(t.settle());
  put(t.doc(), kMutedKey, true);
  put(t.doc(), kMonoKey, true);
  put(t.doc(), kInputVolumeKey, 0.3);
  ASSERT_TRUE(t.sync_until([&] { return !t.pane->tool_busy(); }));
  EXPECT_TRUE(t.pane->muted());
  EXPECT_TRUE(t.pane->mono());
  EXPECT_EQ(t.pane->status_text(), "Mono output is active for this desktop session.");
  EXPECT_FLOAT_EQ(t.pane->input_level(), 0.3f);
  EXPECT_EQ(t.outcome(), kIdle);
}

TEST(AudioPaneHandlerTest, FirstSightOfAStreamWritesItsValuesAndCallsNothing) {
  PaneFixture t(false);
  ASSERT_TRUE(t.settle());
  EXPECT_EQ(text(t.doc(), stream_sink_key(70)), "Default");
  EXPECT_NEAR(*number(t.doc(), stream_volume_key(70)), 0.8, 1e-6);
  EXPECT_EQ(flag(t.doc(), stream_muted_key(70)), false);
  // Pinned to the default source: shown as following the default.
  EXPECT_EQ(text(t.doc(), stream_sink_key(74)), "Default");
  // A stream that comes later, without a volume of its own.
  auto fresh = testing::stream(80, true, "Music Player", 58);
  fresh.volume.reset();
  t.fakes.enumerator->graph.playback_streams.push_back(fresh);
  ASSERT_TRUE(t.graph_changed([&] { return t.pane->streams().seen.contains(80); }));
  EXPECT_EQ(text(t.doc(), stream_sink_key(80)), "Headphones");
  EXPECT_EQ(number(t.doc(), stream_volume_key(80)), 1.0);
  EXPECT_THAT(t.fakes.graph_control->calls, IsEmpty());
}

TEST(AudioPaneHandlerTest, DefaultAndAVanishedNameUnroute) {
  PaneFixture t(false);
  ASSERT_TRUE(t.settle());
  put(t.doc(), stream_sink_key(70), "Headphones");
  t.sync();
  put(t.doc(), stream_sink_key(70), "Default");
  t.sync();
  put(t.doc(), stream_sink_key(70), "Headphones");
  t.sync();
  put(t.doc(), stream_sink_key(70), "USB Speaker That Left");
  t.sync();
  EXPECT_THAT(t.fakes.graph_control->calls,
              ElementsAre("route 70 58", "unroute 70", "route 70 58", "unroute 70"));
  EXPECT_EQ(text(t.doc(), stream_sink_key(70)), "Default");
}

TEST(AudioPaneHandlerTest, AnUnavailableProfileChangesNothing) {
  PaneFixture t(false);
  ASSERT_TRUE(t.settle());
  put(t.doc(), device_profile_key(42), "HDMI");
  t.sync();
  put(t.doc(), device_profile_key(42), "No Such Profile");
  t.sync();
  EXPECT_THAT(t.fakes.graph_control->calls, IsEmpty());
  EXPECT_EQ(text(t.doc(), device_profile_key(42)), "Duplex");
}

TEST(AudioPaneHandlerTest, AFailedChangeWritesTheModelBack) {
  kalu_ui::log::ScopedCapture log;
  PaneFixture t(false, [](Fakes& f) {
    f.dispatcher->fail_with = f.graph_control->fail_with = std::string("no route to host");
  });
  ASSERT_TRUE(t.settle());
  put(t.doc(), kVolumeKey, 0.2);
  put(t.doc(), stream_volume_key(70), 0.2);
  put(t.doc(), device_profile_key(42), "Off");
  t.sync();
  EXPECT_NEAR(*number(t.doc(), kVolumeKey), 0.6, 1e-6);
  EXPECT_NEAR(*number(t.doc(), stream_volume_key(70)), 0.8, 1e-6);
  EXPECT_EQ(text(t.doc(), device_profile_key(42)), "Duplex");
  // The profile ran last: its words are the ones shown.
  EXPECT_EQ(t.pane->status_text(), "Device profile could not be changed: no route to host");
  std::vector<std::string> messages;
  for (const auto& e : log.events()) messages.push_back(e.message);
  EXPECT_THAT(messages, ElementsAre("audio pane dispatch failed", "audio pane stream volume failed",
                                    "audio profile change failed"));
}

// ---- Construction ------------------------------------------------------------------

TEST(AudioPaneConstructionTest, TheSavedDevicesAreAppliedWhenTheyExist) {
  PaneFixture t(true, [](Fakes& f) {
    f.services->prefs.output_device = "Headphones";
    f.services->prefs.input_device = "Gone Microphone";
    f.services->prefs.balance = 1.7f;
    f.services->prefs.mono_output = true;
  });
  EXPECT_THAT(t.fakes.graph_control->calls, ElementsAre("default_sink 58"));
  EXPECT_EQ(t.pane->default_sink_name(), "Headphones");
  EXPECT_EQ(t.pane->default_source_name(), "Microphone");
  EXPECT_FLOAT_EQ(t.pane->balance(), 1.0f);
  t.sync();
  EXPECT_EQ(text(t.doc(), kOutputDeviceKey), "Headphones");
  EXPECT_EQ(number(t.doc(), kBalanceKey), 1.0);
  EXPECT_EQ(flag(t.doc(), kMonoKey), true);
}

TEST(AudioPaneConstructionTest, AVanishedSavedDeviceLeavesTheDefault) {
  PaneFixture t(true, [](Fakes& f) { f.services->prefs.output_device = "Old USB Headset"; });
  EXPECT_THAT(t.fakes.graph_control->calls, IsEmpty());
  EXPECT_EQ(t.pane->default_sink_name(), "Speakers");
}

TEST(AudioPaneConstructionTest, ReadsThatFailGiveTheFallbacks) {
  PaneFixture t(true, [](Fakes& f) {
    f.services->volume_error = "no audio server";
    f.enumerator->error = "no audio server";
    f.tool->level = kFallbackInputLevel;
    f.tool->listing.sinks = {{"Listed Speaker", 51, true}};
  });
  EXPECT_FLOAT_EQ(t.pane->output_volume(), 0.5f);
  EXPECT_FALSE(t.pane->muted());
  EXPECT_FLOAT_EQ(t.pane->input_level(), kFallbackInputLevel);
  // The graph could not be read: the tool's listing is taken when it comes.
  ASSERT_TRUE(t.sync_until([&] { return t.pane->default_sink_name().has_value(); }));
  EXPECT_EQ(text(t.doc(), kOutputDeviceKey), "Listed Speaker");
}

TEST(AudioPaneConstructionTest, TheToolsListingYieldsToTheGraphs) {
  PaneFixture t(true, [](Fakes& f) { f.tool->listing.sinks = {{"Listed Speaker", 9, true}}; });
  ASSERT_TRUE(t.settle());
  for (int i = 0; i < 3; ++i) t.sync();
  EXPECT_EQ(t.pane->status(), WpctlStatus::from_graph(t.fakes.enumerator->graph));
  EXPECT_NEAR(*number(t.doc(), kInputVolumeKey), 0.4, 1e-6);
}

// ---- Tests and topology ------------------------------------------------------------

TEST(AudioPaneTestsTest, TheSpeakerTestNeedsAStereoDefaultSink) {
  const struct {
    const char* name;
    std::function<void(media_kit::AudioGraph&)> edit;
  } cases[] = {
      {"mono", [](auto& g) { g.sinks[0].channels = 1; }},
      {"surround", [](auto& g) { g.sinks[0].channels = 6; }},
      {"no default", [](auto& g) { g.sinks[0].is_default = false; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PaneFixture t(true, [&](Fakes& f) { c.edit(f.enumerator->graph); });
    ASSERT_TRUE(t.settle());
    EXPECT_EQ(t.run(Op::TestChannel{true}),
              failed(Op::TestChannel{true},
                     "Could not test the left speaker: Speaker test requires a stereo PipeWire "
                     "sink"));
    EXPECT_THAT(t.fakes.runtime->calls, IsEmpty());
  }
}

TEST(AudioPaneTestsTest, ToneAndMeterRunUntilTheyEnd) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.run(Op::TestChannel{false});
  EXPECT_THAT(t.fakes.runtime->calls, ElementsAre("tone node.51 right"));
  EXPECT_EQ(t.pane->status_text(), "Playing a short right-channel tone…");
  t.fakes.runtime->tone->running = false;
  t.sync();
  EXPECT_FALSE(t.pane->speaker_test_running());
  EXPECT_EQ(t.pane->status_text(), "Speaker test finished.");

  t.run(Op::ToggleMicrophoneMeter{});
  EXPECT_THAT(t.fakes.runtime->calls.back(), "meter node.52 8000");
  t.fakes.runtime->meter->level = 0.37f;
  t.sync();
  EXPECT_FLOAT_EQ(t.pane->meter_level(), 0.37f);
  t.fakes.runtime->meter->level = 0.385f;  // less than 0.02 away
  t.sync();
  EXPECT_FLOAT_EQ(t.pane->meter_level(), 0.37f);
  t.fakes.runtime->meter->running = false;
  t.sync();
  EXPECT_FALSE(t.pane->meter_running());
  EXPECT_EQ(t.pane->status_text(), "Microphone test finished; no audio was saved.");
}

TEST(AudioPaneTestsTest, ASecondMicrophonePressStopsTheMeter) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.run(Op::ToggleMicrophoneMeter{});
  const auto meter = t.fakes.runtime->meter;
  EXPECT_EQ(t.run(Op::ToggleMicrophoneMeter{}),
            succeeded(Op::ToggleMicrophoneMeter{}, "Microphone test stopped; no audio was saved."));
  EXPECT_TRUE(meter->dropped);
  EXPECT_EQ(t.fakes.runtime->calls.size(), 1u);
}

TEST(AudioPaneTestsTest, HidingTheDiagnosticsStopsTheTone) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.run(Op::ToggleDiagnostics{});
  t.run(Op::TestChannel{true});
  const auto tone = t.fakes.runtime->tone;
  EXPECT_EQ(t.run(Op::ToggleDiagnostics{}),
            succeeded(Op::ToggleDiagnostics{}, "Speaker diagnostics hidden."));
  EXPECT_TRUE(tone->dropped);
  EXPECT_FALSE(t.pane->diagnostics_shown());
}

TEST(AudioPaneTopologyTest, ATopologyChangeStopsTheMeterSilentlyAndRebuildsThePage) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  t.run(Op::ToggleMicrophoneMeter{});
  const auto meter = t.fakes.runtime->meter;
  const auto said = t.pane->status_text();
  (void)t.pane->take_structure_dirty();
  const int reads = t.fakes.enumerator->reads;
  // Volumes are not topology: the graph is read, and nothing happens.
  t.fakes.enumerator->graph.sinks[0].volume = 0.1f;
  ASSERT_TRUE(t.graph_changed([&] { return t.fakes.enumerator->reads == reads + 1; }));
  t.sync();
  EXPECT_FALSE(meter->dropped);
  EXPECT_FALSE(t.pane->take_structure_dirty());
  // A new sink is.
  t.fakes.enumerator->graph.sinks.push_back(testing::device(60, "HDMI Output"));
  ASSERT_TRUE(t.graph_changed([&] { return meter->dropped; }));
  EXPECT_EQ(t.pane->status_text(), said);
  EXPECT_TRUE(t.pane->take_structure_dirty());
  EXPECT_EQ(t.pane->status().sinks.size(), 3u);
}

TEST(AudioPaneTopologyTest, ChangesMadeElsewhereReachTheDocument) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  auto& g = t.fakes.enumerator->graph;
  g.sinks[0].is_default = false;
  g.sinks[1].is_default = true;
  g.playback_streams[0].target = 51;
  g.devices[0].active_profile = 0;
  g.recording_streams.clear();
  ASSERT_TRUE(t.graph_changed([&] { return t.pane->default_sink_name() == "Headphones"; }));
  EXPECT_EQ(text(t.doc(), kOutputDeviceKey), "Headphones");
  EXPECT_EQ(t.pane->default_sink_name(), "Headphones");
  EXPECT_EQ(text(t.doc(), stream_sink_key(70)), "Speakers");
  EXPECT_EQ(text(t.doc(), device_profile_key(42)), "Off");
  EXPECT_FALSE(t.pane->streams().seen.contains(74));
  EXPECT_THAT(t.fakes.graph_control->calls, IsEmpty());
}

TEST(AudioPaneTopologyTest, AQuietDeviceCostsNoReadAndNoFrame) {
  PaneFixture t;
  ASSERT_TRUE(t.settle());
  const int reads = t.fakes.enumerator->reads;
  for (int i = 0; i < 10; ++i) {
    t.fakes.services->advance(1s);
    t.sync();
  }
  EXPECT_EQ(t.fakes.enumerator->reads, reads) << "read on the UI thread or by the clock";
  EXPECT_EQ(t.pane->next_wake_deadline(), std::nullopt) << "a quiet page asks for no frame";
  // A notice that changed nothing reaches no further than the watcher.
  ASSERT_TRUE(t.graph_changed([&] { return t.fakes.enumerator->reads == reads + 1; }));
  t.sync();
  EXPECT_FALSE(t.pane->take_structure_dirty());
  EXPECT_EQ(t.pane->next_wake_deadline(), std::nullopt);
}

}  // namespace
}  // namespace settings::panes::audio
