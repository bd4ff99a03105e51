#include "panes/audio/model.h"

#include <gtest/gtest.h>

#include <string>

#include "operations/keys.h"

namespace settings::panes::audio {
namespace {

using media_kit::AudioGraph;
using media_kit::AudioStream;
using Op = AudioOperation;

// Two stereo sinks (51 the default), one source, a playback stream pinned to
// 58, a recording stream pinned to the default source, and a card with an
// unavailable profile.
AudioGraph fixture_graph() {
  AudioGraph g;
  g.sinks = {{"alsa_output.a", "Speakers", {}, 2, 51, true},
             {"bluez_output.b", "Headphones", "AAC", 2, 58, false}};
  g.sources = {{"alsa_input.a", "Microphone", {}, 2, 52, true}};
  AudioStream music;
  music.id = 70;
  music.target = 58;
  music.volume = 0.8f;
  music.playback = true;
  music.app_name = "Music";
  AudioStream memo;
  memo.id = 74;
  memo.target = 52;
  memo.playback = false;
  memo.app_name = "Recorder";
  g.playback_streams = {music};
  g.recording_streams = {memo};
  g.devices = {{42,
                "Built-in Audio",
                {{"Off", 0, true}, {"Duplex", 1, true}, {"HDMI", 3, false}, {"Duplex", 4, true}},
                1}};
  return g;
}

TEST(RouteLabel, NamesAPinnedDeviceUnlessItIsTheDefaultOrGone) {
  AudioGraph g = fixture_graph();
  struct Case {
    const char* what;
    std::optional<std::uint32_t> target;
    bool playback;
    const char* label;
  } cases[] = {
      {"pinned to another sink", 58, true, "Headphones"},
      {"pinned to the default sink", 51, true, "Default"},
      {"not pinned", std::nullopt, true, "Default"},
      {"pinned to a sink that is gone", 99, true, "Default"},
      {"a recording stream looks among the sources", 58, false, "Default"},
      {"pinned to the default source", 52, false, "Default"},
  };
  for (const auto& c : cases) {
    AudioStream s;
    s.target = c.target;
    s.playback = c.playback;
    EXPECT_EQ(route_label(g, s), c.label) << c.what;
  }
  g.sources.push_back({"usb_input", "Desk Mic", {}, 1, 53, false});
  AudioStream pinned;
  pinned.target = 53;
  pinned.playback = false;
  EXPECT_EQ(route_label(g, pinned), "Desk Mic");
}

TEST(Profiles, LookupsByIndexNumberAndByAvailableName) {
  const auto card = fixture_graph().devices[0];
  EXPECT_EQ(profile_name(card, 3), "HDMI");
  EXPECT_EQ(profile_name(card, 2), std::nullopt);
  EXPECT_EQ(active_profile_name(card), "Duplex");
  EXPECT_EQ(available_profile_index(card, "HDMI"), std::nullopt);
  EXPECT_EQ(available_profile_index(card, "Duplex"), 1u);  // the first of that name
  auto inactive = card;
  inactive.active_profile = 7;  // not among the profiles
  EXPECT_EQ(active_profile_name(inactive), std::nullopt);
}

TEST(Levels, SameWithinAThousandthAsFloatsAndPercentRoundsHalfAway) {
  EXPECT_TRUE(same_level(0.5, 0.5005));
  EXPECT_TRUE(same_level(0.5, 0.501 - 1e-7));
  EXPECT_FALSE(same_level(0.5, 0.502));
  EXPECT_EQ(narrowed(0.1), static_cast<double>(0.1f));
  EXPECT_EQ(narrowed(1e300), std::numeric_limits<double>::infinity());
  EXPECT_EQ(percent_of(0.555f), 56);
  EXPECT_EQ(percent_of(0.55f), 55);
  EXPECT_EQ(percent_of(0.0f), 0);
}

TEST(DocumentWrite, EachOperationWritesItsControlOrNamesWhatIsGone) {
  const AudioGraph g = fixture_graph();
  struct Case {
    const char* what;
    Op op;
    std::string key;  // empty: refused
    DocValue value;
  } cases[] = {
      {"volume", Op::SetOutputVolume{0.55}, "audio.volume", 0.55},
      {"mute", Op::SetOutputMuted{true}, "audio.muted", true},
      {"input", Op::SetInputVolume{0.4}, "audio.input_volume", 0.4},
      {"balance", Op::SetBalance{0.25}, "audio.balance", 0.25},
      {"mono", Op::SetMono{true}, "audio.mono", true},
      {"profile", Op::SetDeviceProfile{42, 0}, "audio.device.42.profile", std::string("Off")},
      {"a route to the default", Op::RouteStream{70, true, std::nullopt}, "audio.stream.70.sink",
       std::string("Default")},
      {"a route to a device that has gone", Op::RouteStream{70, true, 99}, "audio.stream.70.sink",
       std::string("Default")},
      {"a recording route", Op::RouteStream{74, false, 52}, "audio.stream.74.sink",
       std::string("Microphone")},
      {"stream volume", Op::SetStreamVolume{74, 0.1}, "audio.stream.74.volume", 0.1},
      {"stream mute", Op::SetStreamMuted{70, true}, "audio.stream.70.muted", true},
      {"diagnostics", Op::ToggleDiagnostics{}, "audio.advanced", true},
      {"left test", Op::TestChannel{true}, "audio.test.left", true},
      {"right test", Op::TestChannel{false}, "audio.test.right", true},
      {"meter", Op::ToggleMicrophoneMeter{}, "audio.mic_test", true},
      {"output", Op::SelectOutput{58}, "audio.output_device", std::string("Headphones")},
      {"input device", Op::SelectInput{52}, "audio.input_device", std::string("Microphone")},
      {"playback route", Op::RoutePlayback{70, 51}, "audio.stream.70.sink",
       std::string("Speakers")},
      {"recording route", Op::RouteRecording{74, 52}, "audio.stream.74.sink",
       std::string("Microphone")},
  };
  for (const auto& c : cases) {
    auto w = document_write(c.op, g);
    ASSERT_TRUE(w) << c.what << ": " << w.error();
    EXPECT_EQ(w->key, c.key) << c.what;
    EXPECT_EQ(w->value, c.value) << c.what;
  }

  struct Gone {
    const char* what;
    Op op;
    const char* error;
  } gone[] = {
      {"an unknown output", Op::SelectOutput{52}, "audio output device is no longer available"},
      {"an unknown input", Op::SelectInput{51}, "audio input device is no longer available"},
      {"unknown hardware", Op::SetDeviceProfile{7, 0}, "audio hardware is no longer available"},
      {"an unavailable profile", Op::SetDeviceProfile{42, 3},
       "audio profile is no longer available"},
      {"a profile shadowed by an earlier one of its name", Op::SetDeviceProfile{42, 4},
       "audio profile is no longer available"},
      {"an unknown profile", Op::SetDeviceProfile{42, 2}, "audio profile is no longer available"},
      {"a recording stream routed as playback", Op::RouteStream{74, true, std::nullopt},
       "playback stream is no longer available"},
      {"a playback stream routed as recording", Op::RouteRecording{70, 52},
       "recording stream is no longer available"},
      {"a playback route to a source", Op::RoutePlayback{70, 52},
       "audio output device is no longer available"},
      {"a stream that has gone", Op::SetStreamVolume{99, 0.5},
       "audio stream is no longer available"},
      {"a mute of a stream that has gone", Op::SetStreamMuted{99, true},
       "audio stream is no longer available"},
  };
  for (const auto& c : gone) {
    auto w = document_write(c.op, g);
    ASSERT_FALSE(w) << c.what;
    EXPECT_EQ(w.error(), c.error) << c.what;
  }
}

TEST(AlreadyInPlace, WhatTheHandlersWouldFindUnchanged) {
  const AudioGraph g = fixture_graph();
  AppliedValues applied;
  applied.output_volume = 0.55f;
  applied.muted = false;
  applied.input_level = 0.4f;
  applied.balance = 0.5f;
  applied.mono = true;
  applied.default_sink_name = "Speakers";
  applied.default_source_name = "Microphone";
  StreamMemory streams;
  streams.routes[70] = "Headphones";
  streams.volumes[70] = 0.8f;
  streams.mutes[70] = false;
  std::map<std::uint32_t, std::string> profiles{{42, "Duplex"}};

  struct Case {
    const char* what;
    Op op;
    bool in_place;
  } cases[] = {
      {"the same volume", Op::SetOutputVolume{0.55}, true},
      {"a volume 0.0005 away", Op::SetOutputVolume{0.5505}, true},
      {"another volume", Op::SetOutputVolume{0.56}, false},
      {"the same mute", Op::SetOutputMuted{false}, true},
      {"a mute", Op::SetOutputMuted{true}, false},
      {"the same input level", Op::SetInputVolume{0.4}, true},
      {"the same balance", Op::SetBalance{0.5}, true},
      {"the same mono", Op::SetMono{true}, true},
      {"mono off", Op::SetMono{false}, false},
      {"the current output", Op::SelectOutput{51}, true},
      {"another output", Op::SelectOutput{58}, false},
      {"the current input", Op::SelectInput{52}, true},
      {"the current route", Op::RoutePlayback{70, 58}, true},
      {"the same route as RouteStream", Op::RouteStream{70, true, 58}, true},
      {"a new route", Op::RouteStream{70, true, std::nullopt}, false},
      {"a stream not remembered yet", Op::RouteStream{74, false, 52}, false},
      {"the same stream volume", Op::SetStreamVolume{70, 0.8}, true},
      {"another stream volume", Op::SetStreamVolume{70, 0.7}, false},
      {"the same stream mute", Op::SetStreamMuted{70, false}, true},
      {"the active profile", Op::SetDeviceProfile{42, 1}, true},
      {"another profile", Op::SetDeviceProfile{42, 0}, false},
      {"diagnostics", Op::ToggleDiagnostics{}, false},
      {"a speaker test", Op::TestChannel{true}, false},
      {"the meter", Op::ToggleMicrophoneMeter{}, false},
  };
  for (const auto& c : cases) {
    auto w = document_write(c.op, g);
    ASSERT_TRUE(w) << c.what;
    EXPECT_EQ(already_in_place(*w, applied, streams, profiles), c.in_place) << c.what;
  }
}

TEST(PendingKey, MatchesTheExecutorsKeyOnceNumbersAreNarrowed) {
  auto key = [](std::string_view payload) {
    auto k = operations::device_local_operation_key(kAudioActionId, payload);
    EXPECT_TRUE(k) << k.error();
    return k.value_or("");
  };
  // The handler reads 0.1 back as a 32-bit float: its record holds that, not 0.1.
  const double read_back = static_cast<double>(0.1f);
  ASSERT_NE(read_back, 0.1);
  EXPECT_NE(
      key(R"({"SetOutputVolume":{"value":0.1}})"),
      operations::operation_key(kAudioActionId, AudioOperation{Op::SetOutputVolume{read_back}}));

  struct Case {
    const char* what;
    std::string payload;
    Op rebuilt;
    bool matches;
  } cases[] = {
      {"a volume read back as a float", R"({"SetOutputVolume":{"value":0.1}})",
       Op::SetOutputVolume{read_back}, true},
      {"another volume", R"({"SetOutputVolume":{"value":0.1}})", Op::SetOutputVolume{0.2}, false},
      {"a stream volume", R"({"SetStreamVolume":{"stream_id":70,"value":0.35}})",
       Op::SetStreamVolume{70, static_cast<double>(0.35f)}, true},
      {"a balance", R"({"SetBalance":{"value":0.3}})", Op::SetBalance{static_cast<double>(0.3f)},
       true},
      {"the same variant of another kind", R"({"SetInputVolume":{"value":0.1}})",
       Op::SetOutputVolume{read_back}, false},
      {"RoutePlayback applied as RouteStream",
       R"({"RoutePlayback":{"stream_id":70,"device_id":51}})", Op::RouteStream{70, true, 51}, true},
      {"RouteRecording applied as RouteStream",
       R"({"RouteRecording":{"stream_id":74,"device_id":52}})", Op::RouteStream{74, false, 52},
       true},
      {"RoutePlayback of another stream", R"({"RoutePlayback":{"stream_id":71,"device_id":51}})",
       Op::RouteStream{70, true, 51}, false},
      {"RoutePlayback is not a recording route",
       R"({"RoutePlayback":{"stream_id":70,"device_id":51}})", Op::RouteStream{70, false, 51},
       false},
      {"a route without a device", R"({"RouteStream":{"stream_id":70,"playback":true}})",
       Op::RouteStream{70, true, std::nullopt}, true},
      {"a unit variant", R"("ToggleDiagnostics")", Op::ToggleDiagnostics{}, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(pending_key_matches(key(c.payload), c.rebuilt), c.matches) << c.what;
  }
  EXPECT_FALSE(pending_key_matches("settings.display-operation:\"ToggleDiagnostics\"",
                                   Op::ToggleDiagnostics{}));
  EXPECT_FALSE(pending_key_matches("settings.audio-operation", Op::ToggleDiagnostics{}));
  EXPECT_FALSE(pending_key_matches("settings.audio-operation:{broken", Op::ToggleDiagnostics{}));
}

TEST(StreamMemory, ATopologyChangeForgetsTheStreamsThatWent) {
  StreamMemory memory;
  for (std::uint32_t id : {70u, 71u, 74u}) {
    memory.routes[id] = "Default";
    memory.volumes[id] = 1.0f;
    memory.mutes[id] = false;
    memory.seen.insert(id);
  }
  memory.keep_only(fixture_graph());
  EXPECT_EQ(memory.seen, (std::set<std::uint32_t>{70, 74}));
  EXPECT_EQ(memory.routes.size(), 2u);
  EXPECT_EQ(memory.volumes.count(71), 0u);
  EXPECT_EQ(memory.mutes.count(71), 0u);
}

}  // namespace
}  // namespace settings::panes::audio
