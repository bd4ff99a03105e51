#include "panes/audio/tool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "media_kit/audio.h"
#include "sim_device/state.h"

namespace settings::panes::audio {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

// A fake wpctl that prints `out` and `err` and exits with `status`.
std::string printing(const std::string& out, const std::string& err = "", int status = 0) {
  return "cat <<'KALU_OUT'\n" + out + "KALU_OUT\ncat >&2 <<'KALU_ERR'\n" + err + "KALU_ERR\nexit " +
         std::to_string(status) + "\n";
}

// A fake wpctl that keeps its arguments, one a line, in "<dir>/args".
std::string recording(const limited_exec::FakePrograms& fakes) {
  return "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" + fakes.dir().string() + "/args'\n";
}

std::vector<std::string> recorded_args(const limited_exec::FakePrograms& fakes) {
  std::ifstream in(fakes.dir() / "args");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

WpctlStatus listed(const std::string& listing) {
  limited_exec::FakePrograms fakes;
  fakes.add("wpctl", printing(listing));
  return WpctlStatus::load();
}

// The shape of a real listing: tree drawing, sub-headings, a Video block.
const std::string kListing =
    "PipeWire 'pipewire-0' [1.0.5, me@host, cookie:1163266174]\n"
    " └─ Clients:\n"
    "        31. WirePlumber                         [1.0.5, me@host, pid:1370]\n"
    "\n"
    "Audio\n"
    " ├─ Devices:\n"
    " │      42. Built-in Audio                      [alsa]\n"
    " │  \n"
    " ├─ Sinks:\n"
    " │      49. HDMI / DisplayPort 3 Output         [vol: 1.00]\n"
    " │  *   50. Speakers Analog Stereo              [vol: 0.40]\n"
    " │  \n"
    " ├─ Sink endpoints:\n"
    " │      77. Not a sink                          [vol: 1.00]\n"
    " │  \n"
    " ├─ Sources:\n"
    " │  *   52. Digital Microphone                  [vol: 0.75 MUTED]\n"
    " │      x7. Broken id\n"
    " │      53. [vol: 0.50]\n"
    " │  \n"
    " ├─ Filters:\n"
    " │      60. Echo cancel\n"
    " └─ Streams:\n"
    "        70. Web Browser\n"
    "\n"
    "Video\n"
    " ├─ Devices:\n"
    " │      61. Camera                              [v4l2]\n";

TEST(WpctlStatus, ReadsTheSinksAndSourcesOfARealListing) {
  WpctlStatus status = listed(kListing);
  EXPECT_THAT(status.sinks, ElementsAre(WpctlNode{"HDMI / DisplayPort 3 Output", 49, false},
                                        WpctlNode{"Speakers Analog Stereo", 50, true}));
  // The endpoint under its sub-heading is no sink; the bad id and the name
  // that is only an annotation are left out.
  EXPECT_THAT(status.sources, ElementsAre(WpctlNode{"Digital Microphone", 52, true}));
  EXPECT_EQ(status.default_sink_name(), "Speakers Analog Stereo");
  EXPECT_EQ(status.default_source_name(), "Digital Microphone");
}

TEST(WpctlStatus, ListingEdges) {
  struct Case {
    const char* what;
    std::string listing;
    std::vector<WpctlNode> sinks;
    std::vector<WpctlNode> sources;
  } cases[] = {
      {"a Sources heading right after a line of tree drawing still starts the sources",
       "Audio\n ├─ Sinks:\n │  *   50. Speakers [vol: 0.40]\n │\n ├─ Sources:\n"
       " │      52. Mic [vol: 0.75]\n",
       {{"Speakers", 50, true}},
       {{"Mic", 52, false}}},
      {"a top-level line ends the list",
       "Audio\n ├─ Sinks:\n │      50. Speakers\nVideo\n │      51. Camera sink\n",
       {{"Speakers", 50, false}},
       {}},
      {"the star, spaces and a name with brackets inside it",
       " ├─ Sinks:\n │  *     7. Desk [USB] Speakers [vol: 1.00]\r\n",
       {{"Desk [USB] Speakers", 7, true}},
       {}},
      {"no entry is marked default",
       " ├─ Sinks:\n │      50. Speakers\n",
       {{"Speakers", 50, false}},
       {}},
      {"an id past 32 bits", " ├─ Sinks:\n │      4294967296. Speakers\n", {}, {}},
      {"entries before any heading", " │      50. Speakers\n", {}, {}},
  };
  for (const auto& c : cases) {
    WpctlStatus status = WpctlStatus::parse(c.listing);
    EXPECT_EQ(status.sinks, c.sinks) << c.what;
    EXPECT_EQ(status.sources, c.sources) << c.what;
  }
  WpctlStatus unmarked = WpctlStatus::parse(" ├─ Sinks:\n │      50. Speakers\n");
  EXPECT_EQ(unmarked.default_sink_name(), std::nullopt);
  EXPECT_EQ(unmarked.default_source_name(), std::nullopt);
}

TEST(WpctlStatus, AFailedListingIsEmpty) {
  limited_exec::FakePrograms fakes;
  fakes.add("wpctl", printing(kListing, "", 1));
  EXPECT_EQ(WpctlStatus::load(), WpctlStatus{});
  fakes.add_missing("wpctl");
  EXPECT_EQ(WpctlStatus::load(), WpctlStatus{});
}

TEST(WpctlStatus, FromTheGraphKeepsNamesIdsDefaultsAndOrder) {
  media_kit::AudioGraph graph;
  graph.sinks = {{"alsa_output.a", "Speakers", {}, 2, 51, false},
                 {"bluez_output.b", "Headphones", "AAC", 2, 58, true}};
  graph.sources = {{"alsa_input.a", "Microphone", {}, 2, 52, true}};
  WpctlStatus status = WpctlStatus::from_graph(graph);
  EXPECT_THAT(status.sinks,
              ElementsAre(WpctlNode{"Speakers", 51, false}, WpctlNode{"Headphones", 58, true}));
  EXPECT_THAT(status.sources, ElementsAre(WpctlNode{"Microphone", 52, true}));
  EXPECT_EQ(status.default_sink_name(), "Headphones");
}

TEST(ReadInputLevel, TakesTheNumberOfTheFirstLineElseThreeQuarters) {
  struct Case {
    const char* what;
    std::string script;
    float level;
  } cases[] = {
      {"muted", printing("Volume: 0.40 [MUTED]\n"), 0.4f},
      {"above the range", printing("Volume: 1.50\n"), 1.0f},
      {"only the first line counts", printing("Volume: oops\nVolume: 0.2\n"), kFallbackInputLevel},
      {"no colon", printing("0.40\n"), kFallbackInputLevel},
      {"nothing after the colon", printing("Volume:\n"), kFallbackInputLevel},
      {"not a number", printing("Volume: NaN\n"), kFallbackInputLevel},
      {"a failing tool", printing("Volume: 0.40\n", "", 1), kFallbackInputLevel},
      {"no output", printing(""), kFallbackInputLevel},
  };
  for (const auto& c : cases) {
    limited_exec::FakePrograms fakes;
    fakes.add("wpctl", c.script);
    EXPECT_FLOAT_EQ(read_input_level(), c.level) << c.what;
  }
  limited_exec::FakePrograms fakes;
  fakes.add_missing("wpctl");
  EXPECT_FLOAT_EQ(read_input_level(), kFallbackInputLevel);
}

TEST(WpctlChanges, SendTheirArgumentsAndClampTheSourceLevel) {
  limited_exec::FakePrograms fakes;
  fakes.add("wpctl", recording(fakes));
  ASSERT_TRUE(wpctl_set_default(58));
  EXPECT_THAT(recorded_args(fakes), ElementsAre("set-default", "58"));
  struct Case {
    float percent;
    const char* sent;
  } cases[] = {{-5.0f, "0"}, {250.0f, "1"}, {50.0f, "0.5"}, {35.0f, "0.35"}, {100.0f, "1"}};
  for (const auto& c : cases) {
    ASSERT_TRUE(wpctl_set_source_volume(c.percent));
    EXPECT_THAT(recorded_args(fakes), ElementsAre("set-volume", "@DEFAULT_AUDIO_SOURCE@", c.sent))
        << c.percent;
  }
}

TEST(WpctlChanges, OutcomeRules) {
  struct Case {
    const char* what;
    std::string script;
    std::string error;  // empty with ok
    bool ok;
  } cases[] = {
      {"exit 0", printing("", "ignored warning\n"), "", true},
      {"exit 1 with an empty standard error", printing("", "", 1), "", false},
      {"exit 1 with a message", printing("", "  Object '99' not found \n\n", 1),
       "Object '99' not found", false},
      {"a long message is cut to 512 characters", printing("", std::string(600, 'e') + "\n", 3),
       std::string(512, 'e'), false},
  };
  for (const auto& c : cases) {
    limited_exec::FakePrograms fakes;
    fakes.add("wpctl", c.script);
    auto outcome = wpctl_set_default(1);
    ASSERT_EQ(outcome.has_value(), c.ok) << c.what;
    if (!c.ok) {
      EXPECT_EQ(outcome.error(), c.error) << c.what;
    }
  }
  limited_exec::FakePrograms fakes;
  fakes.add_missing("wpctl");
  auto missing = wpctl_set_source_volume(40.0f);
  ASSERT_FALSE(missing);
  EXPECT_THAT(missing.error(), StartsWith("wpctl control failed: "));
}

// The simulated tool answers from the same graph media_kit reads, in the
// format the parser reads.
TEST(WpctlOnTheSimulatedDevice, SetDefaultMovesTheSinkTheListingMarks) {
  sim_device::ScopedDeviceState scoped;
  limited_exec::ScopedTestPrograms programs(
      limited_exec::simulated_programs(limited_exec::simdev_path()));
  auto graph = media_kit::AudioEnumerator().enumerate();
  ASSERT_TRUE(graph) << graph.error();
  WpctlStatus listed = WpctlStatus::load();
  EXPECT_EQ(listed, WpctlStatus::from_graph(*graph));
  EXPECT_EQ(listed.default_sink_name(), "Built-in Audio Analog Stereo");

  ASSERT_TRUE(wpctl_set_default(58));
  EXPECT_EQ(WpctlStatus::load().default_sink_name(), "Studio Headphones");
  EXPECT_EQ(media_kit::AudioEnumerator().enumerate()->default_sink()->id, 58u);

  EXPECT_FLOAT_EQ(read_input_level(), 0.75f);
  ASSERT_TRUE(wpctl_set_source_volume(40.0f));
  EXPECT_FLOAT_EQ(read_input_level(), 0.4f);

  auto unknown = wpctl_set_default(999);
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error(), "Object '999' not found");
}

}  // namespace
}  // namespace settings::panes::audio
