// The Sound section: the fixed actions, one item per device, profiled sound
// device and stream, the label lookups and the choice-list limits of the
// page's bindings.

#include "actions/sound_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "actions/tests/section_support.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using namespace section_testing;

constexpr std::string_view kAudioId = "settings.audio-operation";

media_kit::AudioDevice device(std::uint32_t id, std::string label) {
  media_kit::AudioDevice d;
  d.id = id;
  d.display_name = std::move(label);
  return d;
}

media_kit::AudioStream stream(std::uint32_t id, bool playback, std::string app) {
  media_kit::AudioStream s;
  s.id = id;
  s.playback = playback;
  s.app_name = std::move(app);
  return s;
}

LabelList labels(std::size_t count) {
  LabelList list;
  for (std::size_t i = 0; i < count; ++i) {
    list.emplace_back(fmt::format("Device {}", i), static_cast<std::uint32_t>(100 + i));
  }
  return list;
}

const std::vector<std::string> kFixed = {"muted",     "volume",       "balance",
                                         "mono",      "input-volume", "diagnostics",
                                         "test-left", "test-right",   "microphone-meter"};

TEST(SoundSectionTest, AnEmptyGraphGivesTheNineFixedActionsWithTheirRecords) {
  const Resource sound = sound_resource(media_kit::AudioGraph{});
  EXPECT_EQ(sound.id, "settings.section:sound");
  EXPECT_EQ(sound.kind, "settings.section");
  EXPECT_EQ(sound.label, "Sound");
  EXPECT_EQ(names(sound), kFixed);
  EXPECT_TRUE(sound.children.empty());

  struct Case {
    std::string_view name;
    std::string_view arguments;
    std::string_view payload;
    std::string_view scope;
  };
  const Case cases[] = {
      {"muted", R"({"value":true})", R"({"SetOutputMuted":{"muted":true}})", "hardware"},
      // Levels outside 0 to 1, and missing ones, never reach the handler.
      {"volume", R"({"value":1.5})", "(failed: volume: value must be a number from 0 to 1)",
       "hardware"},
      {"balance", R"({"value":0})", R"({"SetBalance":{"value":0.0}})", "session"},
      {"mono", "{}", "(failed: mono: value is required: true or false)", "session"},
      {"input-volume", R"({"value":0.3})", R"({"SetInputVolume":{"value":0.3}})", "hardware"},
      {"diagnostics", "{}", R"("ToggleDiagnostics")", "diagnostic"},
      {"test-left", "{}", R"({"TestChannel":{"left":true}})", "diagnostic"},
      // A fixed record is never overridden by an argument: one is refused.
      {"test-right", R"({"left":true})",
       R"((failed: test-right: unknown argument "left"; test-right takes no arguments))",
       "diagnostic"},
      {"test-right", "{}", R"({"TestChannel":{"left":false}})", "diagnostic"},
      {"microphone-meter", "{}", R"("ToggleMicrophoneMeter")", "diagnostic"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(invoke(sound, c.name, c.arguments, kAudioId), c.payload) << c.name;
    EXPECT_EQ(tags_of(action(sound, c.name)),
              (std::vector<std::string>{"device-local", "audio", std::string(c.scope)}))
        << c.name;
    EXPECT_EQ(action(sound, c.name).operation_kind, kalu_actions::kOperationEffect);
  }
  EXPECT_EQ(action(sound, "volume").parameters.at(0).label, "Value");
  EXPECT_EQ(action(sound, "mono").description, "On or off on this device");
}

TEST(SoundSectionTest, ItemsInOrderAndTheLabelsChoosingTheFirstOfTwins) {
  media_kit::AudioGraph graph;
  graph.sinks = {device(40, "Speakers"), device(41, "Speakers"), device(42, "HDMI")};
  graph.sources = {device(50, "Microphone")};
  graph.devices = {{60, "Built-in Audio", {{"Off", 0, true}, {"Stereo", 3, true}}, 3}};
  graph.playback_streams = {stream(70, true, "Music")};
  graph.recording_streams = {stream(80, false, "Recorder")};
  const Resource sound = sound_resource(graph);

  std::vector<std::string> expected = kFixed;
  expected.insert(expected.end(), {"output-device", "input-device"});
  EXPECT_EQ(names(sound), expected);
  EXPECT_EQ(child_ids(sound),
            (std::vector<std::string>{"settings.audio-output:40", "settings.audio-output:41",
                                      "settings.audio-output:42", "settings.audio-input:50",
                                      "settings.audio-device:60", "settings.audio-playback:70",
                                      "settings.audio-recording:80"}));
  EXPECT_EQ(choices_of(action(sound, "output-device")),
            (std::vector<std::string>{"Speakers", "Speakers", "HDMI"}));
  EXPECT_EQ(tags_of(action(sound, "output-device")),
            (std::vector<std::string>{"device-local", "audio", "live-device"}));
  EXPECT_EQ(invoke(sound, "output-device", R"({"choice":"Speakers"})", kAudioId),
            R"({"SelectOutput":{"device_id":40}})");
  EXPECT_EQ(invoke(sound, "output-device", R"({"choice":"speakers"})", kAudioId),
            "(failed: output-device: choice must be one of Speakers, Speakers, HDMI)");
  EXPECT_EQ(invoke(sound, "input-device", R"({"choice":"Microphone"})", kAudioId),
            R"({"SelectInput":{"device_id":50}})");

  const Resource& output = sound.children[2];
  EXPECT_EQ(output.kind, "settings.audio-output");
  EXPECT_EQ(output.label, "HDMI");
  EXPECT_EQ(action(output, "select").label, "Use as output device");
  EXPECT_EQ(invoke(output, "select", "{}", kAudioId), R"({"SelectOutput":{"device_id":42}})");
  EXPECT_EQ(invoke(sound.children[3], "select", "{}", kAudioId),
            R"({"SelectInput":{"device_id":50}})");
  // The profile's own index, not its place in the list.
  const Resource& card = sound.children[4];
  EXPECT_EQ(card.label, "Built-in Audio");
  EXPECT_EQ(invoke(card, "profile", R"({"choice":"Stereo"})", kAudioId),
            R"({"SetDeviceProfile":{"device_id":60,"profile_index":3}})");
  EXPECT_EQ(invoke(card, "profile", R"({"choice":"Surround"})", kAudioId),
            "(failed: profile: choice must be one of Off, Stereo)");

  const Resource& music = sound.children[5];
  EXPECT_EQ(music.kind, "settings.audio-playback");
  EXPECT_EQ(music.label, "Music");
  EXPECT_EQ(names(music), (std::vector<std::string>{"route", "volume", "muted"}));
  EXPECT_EQ(choices_of(action(music, "route")),
            (std::vector<std::string>{"Default", "Speakers", "Speakers", "HDMI"}));
  EXPECT_EQ(tags_of(action(music, "route")),
            (std::vector<std::string>{"device-local", "audio", "live-stream"}));
  EXPECT_EQ(invoke(music, "route", R"({"choice":"Default"})", kAudioId),
            R"({"RouteStream":{"stream_id":70,"playback":true,"device_id":null}})");
  EXPECT_EQ(invoke(music, "route", R"({"choice":"HDMI"})", kAudioId),
            R"({"RouteStream":{"stream_id":70,"playback":true,"device_id":42}})");
  EXPECT_EQ(invoke(music, "route", R"({"choice":"Gone"})", kAudioId),
            "(failed: route: choice must be one of Default, Speakers, Speakers, HDMI)");
  EXPECT_EQ(invoke(music, "volume", R"({"value":0.5})", kAudioId),
            R"({"SetStreamVolume":{"stream_id":70,"value":0.5}})");
  EXPECT_EQ(invoke(music, "muted", R"({"value":true})", kAudioId),
            R"({"SetStreamMuted":{"stream_id":70,"muted":true}})");
  // A recording stream routes among the inputs.
  const Resource& recorder = sound.children[6];
  EXPECT_EQ(recorder.kind, "settings.audio-recording");
  EXPECT_EQ(choices_of(action(recorder, "route")),
            (std::vector<std::string>{"Default", "Microphone"}));
  EXPECT_EQ(invoke(recorder, "route", R"({"choice":"Microphone"})", kAudioId),
            R"({"RouteStream":{"stream_id":80,"playback":false,"device_id":50}})");
}

TEST(SoundSectionTest, ProfilesDevicesAndStreamsAreCutAtTheirLimits) {
  media_kit::AudioGraph graph;
  media_kit::AudioHardware silent{1, "Only unavailable", {{"A", 0, false}, {"B", 1, false}}, {}};
  media_kit::AudioHardware many{2, "Many profiles", {}, {}};
  for (std::uint32_t i = 0; i < 5; ++i)
    many.profiles.push_back({fmt::format("Gone {}", i), i, false});
  for (std::uint32_t i = 0; i < 130; ++i)
    many.profiles.push_back({fmt::format("P{}", i), 10 + i, true});
  graph.devices = {silent, many};
  for (std::uint32_t i = 0; i < 130; ++i)
    graph.sinks.push_back(device(1000 + i, fmt::format("Out {}", i)));
  for (std::uint32_t i = 0; i < 200; ++i)
    graph.playback_streams.push_back(stream(2000 + i, true, "Play"));
  for (std::uint32_t i = 0; i < 100; ++i)
    graph.recording_streams.push_back(stream(3000 + i, false, "Rec"));
  const Resource sound = sound_resource(graph);

  EXPECT_EQ(sound.find("settings.audio-device:1"), nullptr);
  const Resource* card = sound.find("settings.audio-device:2");
  ASSERT_NE(card, nullptr);
  const auto profiles = choices_of(action(*card, "profile"));
  ASSERT_EQ(profiles.size(), 128u);
  EXPECT_EQ(profiles.front(), "P0");
  EXPECT_EQ(profiles.back(), "P127");

  EXPECT_EQ(choices_of(action(sound, "output-device")).size(), 128u);
  const Resource* first_stream = sound.find("settings.audio-playback:2000");
  ASSERT_NE(first_stream, nullptr);
  const auto route = choices_of(action(*first_stream, "route"));
  ASSERT_EQ(route.size(), 128u);
  EXPECT_EQ(route.back(), "Out 126");
  // 256 streams across both lists: all 200 playback, the first 56 recording.
  EXPECT_NE(sound.find("settings.audio-recording:3055"), nullptr);
  EXPECT_EQ(sound.find("settings.audio-recording:3056"), nullptr);
  EXPECT_EQ(sound.children.size(), 130u + 1u + 256u);
}

TEST(SoundSectionTest, BindingsOfThePage) {
  for (const std::string_view name : {"muted", "mono"}) {
    auto toggle = sound_toggle_binding(name);
    ASSERT_TRUE(toggle) << name;
    EXPECT_EQ(toggle->resource_id, "settings.section:sound");
  }
  EXPECT_EQ(sound_toggle_binding("mono")->encode(ControlValue(true))->payload_text(),
            R"({"SetMono":{"enabled":true}})");
  EXPECT_FALSE(sound_toggle_binding("volume"));
  for (const std::string_view name : {"volume", "input-volume", "balance"}) {
    EXPECT_TRUE(audio_level_binding(name)) << name;
  }
  EXPECT_EQ(audio_level_binding("balance")->encode(ControlValue(0.25))->payload_text(),
            R"({"SetBalance":{"value":0.25}})");
  EXPECT_FALSE(audio_level_binding("muted"));

  // Device choices: the page's list, mapped back to its ids.
  EXPECT_FALSE(audio_device_choice_binding("output-device", {}));
  EXPECT_FALSE(audio_device_choice_binding("output-device", labels(129)));
  EXPECT_FALSE(audio_device_choice_binding("route", labels(2)));
  auto output = audio_device_choice_binding("output-device", labels(128));
  ASSERT_TRUE(output);
  EXPECT_EQ(output->encode(ControlValue(std::string("Device 1")))->payload_text(),
            R"({"SelectOutput":{"device_id":101}})");
  auto input = audio_device_choice_binding("input-device", labels(1));
  ASSERT_TRUE(input);
  EXPECT_EQ(input->encode(ControlValue(std::string("Nothing"))),
            kalu_ui::Result<kalu_actions::EncodedAction>(
                kalu_ui::fail("input-device: choice must be one of Device 0")));

  auto profile = audio_device_profile_binding(7, {{"Stereo", 3}});
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->resource_id, "settings.audio-device:7");
  EXPECT_EQ(profile->encode(ControlValue(std::string("Stereo")))->payload_text(),
            R"({"SetDeviceProfile":{"device_id":7,"profile_index":3}})");
  EXPECT_FALSE(audio_device_profile_binding(7, {}));
  EXPECT_FALSE(audio_device_profile_binding(7, labels(129)));

  // A route offers "Default" and at most 127 devices.
  auto route = stream_route_binding(9, false, "Recorder", labels(127));
  ASSERT_TRUE(route);
  EXPECT_EQ(route->resource_id, "settings.audio-recording:9");
  EXPECT_EQ(route->spec.parameters.at(0).allowed_values.size(), 128u);
  EXPECT_EQ(route->encode(ControlValue(std::string("Device 126")))->payload_text(),
            R"({"RouteStream":{"stream_id":9,"playback":false,"device_id":226}})");
  EXPECT_FALSE(stream_route_binding(9, false, "Recorder", labels(128)));
  EXPECT_TRUE(stream_route_binding(9, true, "Player", {}));

  auto volume = stream_volume_binding(9, true, "Player");
  ASSERT_TRUE(volume);
  EXPECT_EQ(volume->resource_id, "settings.audio-playback:9");
  EXPECT_EQ(volume->encode(ControlValue(0.75))->payload_text(),
            R"({"SetStreamVolume":{"stream_id":9,"value":0.75}})");
  EXPECT_EQ(stream_mute_binding(9, true, "Player")->encode(ControlValue(true))->payload_text(),
            R"({"SetStreamMuted":{"stream_id":9,"muted":true}})");
}

TEST(SoundSectionTest, ReadsTheGraphOfTheDevice) {
  sim_device::ScopedDeviceState device;
  const Resource seeded = sound_resource();
  EXPECT_FALSE(seeded.children.empty());
  EXPECT_NE(seeded.action("output-device"), nullptr);
  for (const std::string_view name :
       {"diagnostics", "test-left", "test-right", "microphone-meter"}) {
    auto command = sound_command_binding(name);
    ASSERT_TRUE(command) << name;
    EXPECT_EQ(command->invocation(ControlValue())->arguments_json, "{}");
  }
  EXPECT_FALSE(sound_command_binding("test-center"));
  // A graph that cannot be read: the fixed actions, nothing else.
  ASSERT_EQ(sim_device::simdev::command({"fault", "audio.enumerate", "server gone"}).status, 0);
  const Resource faulted = sound_resource();
  EXPECT_EQ(names(faulted), kFixed);
  EXPECT_TRUE(faulted.children.empty());
}

}  // namespace
}  // namespace settings::actions
