#include "media_kit/audio.h"

#include <gtest/gtest.h>

#include "sim_device/state.h"

namespace media_kit {
namespace {

TEST(AudioGraph, FindsDefaultsAndSinksAndLabelsStreams) {
  sim_device::ScopedDeviceState scoped;
  auto graph = AudioEnumerator().enumerate();
  ASSERT_TRUE(graph) << graph.error();
  ASSERT_NE(graph->default_sink(), nullptr);
  EXPECT_EQ(graph->default_sink()->id, 51u);
  EXPECT_EQ(graph->default_source()->id, 52u);
  ASSERT_NE(graph->sink_by_id(58), nullptr);
  EXPECT_EQ(graph->sink_by_id(58)->codec, "AAC");
  EXPECT_EQ(graph->sink_by_id(52), nullptr);  // a source is no sink
  EXPECT_EQ(graph->playback_streams[0].label(), "Web Browser · Evening news podcast");
  AudioStream bare{};
  bare.app_name = "Game";
  EXPECT_EQ(bare.label(), "Game");
  EXPECT_EQ(graph->devices[0].active_profile, 1u);
}

TEST(AudioGraph, TopologySignatureIgnoresVolumesButNotDefaultsOrStreams) {
  sim_device::ScopedDeviceState scoped;
  auto signature = [] { return AudioEnumerator().enumerate()->topology_signature(); };
  auto start = signature();
  ASSERT_TRUE(set_output_volume(0.2f));
  ASSERT_TRUE(set_output_muted(true));
  EXPECT_EQ(signature(), start);
  EXPECT_FLOAT_EQ(volume_state()->volume, 0.2f);
  EXPECT_TRUE(volume_state()->muted);
  ASSERT_TRUE(set_default_device(58));
  auto moved = signature();
  EXPECT_NE(moved, start);
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& s) -> kalu_ui::Status {
    s["audio"]["streams"].push_back({{"id", 90},
                                     {"playback", true},
                                     {"app_name", "Music"},
                                     {"media_name", nullptr},
                                     {"target", 58},
                                     {"volume", nullptr},
                                     {"muted", false}});
    return {};
  }));
  EXPECT_NE(signature(), moved);
}

TEST(AudioGraph, InputLevelAndLimits) {
  sim_device::ScopedDeviceState scoped;
  EXPECT_FLOAT_EQ(input_state()->volume, 0.75f);
  ASSERT_TRUE(set_input_volume(2.5f));
  EXPECT_FLOAT_EQ(input_state()->volume, 1.0f);
  EXPECT_FALSE(set_output_volume(std::nanf("")));
  EXPECT_FALSE(set_default_device(7));
}

}  // namespace
}  // namespace media_kit
