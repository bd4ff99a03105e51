#include "panes/display/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fakes.h"
#include "panes/display/staging.h"

namespace settings::panes::display {
namespace {

using ::testing::ElementsAre;
using testing::entry;
using testing::monitor;
using testing::panel;
using testing::snapshot_of;

TEST(DisplayModelTest, OutputsSortBuiltInFirstThenByLabelWithCardQualifiers) {
  prefs_store::DisplayHardwareSnapshot s;
  s.cards.push_back({"card0", {monitor("HDMI-1", "Zeta"), monitor("DP-1", "")}});
  s.cards.push_back({"card1", {panel("eDP-1"), monitor("DP-3", "Alpha")}});
  std::vector<std::string> labels;
  for (const auto& o : outputs_of(s)) labels.push_back(o.label);
  // Two cards: every label names its card; "DP-1" has no name so its connector stands in.
  EXPECT_THAT(labels, ElementsAre("Built-in display · card1", "Alpha · card1", "DP-1 · card0",
                                  "Zeta · card0"));

  const auto one_card = outputs_of(snapshot_of({monitor("DP-1", ""), panel()}));
  EXPECT_EQ(one_card[0].label, "Built-in display");
  EXPECT_EQ(one_card[0].name, "Laptop panel");
  EXPECT_EQ(one_card[1].label, "DP-1");
  EXPECT_EQ(one_card[1].name, "DP-1");
  EXPECT_TRUE(one_card[1].hdr_supported);
}

TEST(DisplayModelTest, BrightnessMessagePrintsTheRoundedPercentAsAWholeNumber) {
  EXPECT_EQ(brightness_message(percent_of(0.62f)), "Brightness set to 62%.");
  EXPECT_EQ(brightness_message(percent_of(1.7f)), "Brightness set to 100%.");
  EXPECT_EQ(brightness_message(62.5f), "Brightness set to 63%.");
  EXPECT_EQ(brightness_message(percent_of(-0.2f)), "Brightness set to 0%.");
}

TEST(DisplayModelTest, EntriesOfTheLayout) {
  const auto outputs = outputs_of(snapshot_of({panel(), monitor()}));
  prefs_store::DisplayConfig config;
  prefs_store::OutputConfig external = entry(false, 2560, 1.1);
  external.mirror = "eDP-1";
  external.color_profile = "unknown";
  external.transform = prefs_store::OutputTransform::Rotate270;
  config.outputs["DP-2"] = external;
  std::map<std::string, kalu_ui::doc::Scalar> values;
  for (auto& e : output_entries(config, outputs)) values[e.key] = e.value;
  // The panel has no entry: the default of index 0, primary, without a mode.
  EXPECT_EQ(values.at("display.output.eDP-1.primary"), kalu_ui::doc::Scalar(true));
  EXPECT_FALSE(values.contains("display.output.eDP-1.mode"));
  EXPECT_EQ(values.at("display.output.DP-2.scale"), kalu_ui::doc::Scalar(std::string("100%")));
  EXPECT_EQ(values.at("display.output.DP-2.mirror"),
            kalu_ui::doc::Scalar(std::string("Mirror Built-in display")));
  EXPECT_EQ(values.at("display.output.DP-2.position"),
            kalu_ui::doc::Scalar(std::string("Automatic")));
  EXPECT_EQ(values.at("display.output.DP-2.transform"),
            kalu_ui::doc::Scalar(std::string("Portrait left")));
  // A profile the output does not name reads as the system default.
  EXPECT_EQ(values.at("display.output.DP-2.color_profile"),
            kalu_ui::doc::Scalar(std::string("System default")));
  EXPECT_EQ(profile_label(std::string("unknown"), &outputs[1], UnnamedProfile::kId), "unknown");
  EXPECT_EQ(profile_label(std::string("srgb"), &outputs[1], UnnamedProfile::kId), "sRGB · srgb");
}

// ---- Staging ------------------------------------------------------------------

struct StageCase {
  const char* name;
  std::vector<prefs_store::OutputDescriptor> hardware;
  std::function<void(prefs_store::DisplayConfig&)> config;
  std::function<void(std::vector<OutputFieldValues>&)> edit;
  std::function<void(const StagedOutputs&)> expect;
};

TEST(DisplayStagingTest, Cases) {
  const auto two = [] { return std::vector{panel(), monitor()}; };
  const auto a_primary = [](prefs_store::DisplayConfig& c) {
    c.outputs["eDP-1"] = entry(true, 0);
    c.outputs["DP-2"] = entry(false, 2560);
  };
  const StageCase cases[] = {
      {"turning the primary output off moves primary to the next enabled one", two(), a_primary,
       [](auto& f) { f[0].enabled = false; },
       [](const StagedOutputs& r) {
         EXPECT_TRUE(r.changed);
         EXPECT_FALSE(r.config.outputs.at("eDP-1").primary);
         EXPECT_TRUE(r.config.outputs.at("DP-2").primary);
         EXPECT_THAT(r.primary, ElementsAre(std::pair<std::string, bool>{"eDP-1", false},
                                            std::pair<std::string, bool>{"DP-2", true}));
       }},
      {"making B primary while A is primary: B wins, A is written false", two(), a_primary,
       [](auto& f) {
         f[0].primary = true;
         f[1].primary = true;
       },
       [](const StagedOutputs& r) {
         EXPECT_TRUE(r.config.outputs.at("DP-2").primary);
         EXPECT_FALSE(r.config.outputs.at("eDP-1").primary);
         EXPECT_THAT(r.primary, ElementsAre(std::pair<std::string, bool>{"eDP-1", false},
                                            std::pair<std::string, bool>{"DP-2", true}));
       }},
      {"no primary at all: the first enabled output becomes primary", two(),
       [](auto& c) {
         c.outputs["eDP-1"] = entry(false, 0);
         c.outputs["DP-2"] = entry(false, 2560);
         c.outputs["eDP-1"].enabled = false;
       },
       [](auto&) {},
       [](const StagedOutputs& r) {
         EXPECT_TRUE(r.changed);
         EXPECT_TRUE(r.config.outputs.at("DP-2").primary);
       }},
      {"no enabled output: nothing chosen", two(),
       [](auto& c) {
         c.outputs["eDP-1"] = entry(true, 0);
         c.outputs["DP-2"] = entry(false, 2560);
         c.outputs["DP-2"].enabled = false;
       },
       [](auto& f) { f[0].enabled = false; },
       [](const StagedOutputs& r) { EXPECT_TRUE(r.primary.empty()); }},
      {"Left of the built-in panel at the origin, for a 2560-wide output",
       [] {
         auto m = monitor();
         m.current_mode = prefs_store::OutputMode{2560, 1440, 144000};
         return std::vector{panel(), m};
       }(),
       a_primary, [](auto& f) { f[1].position = "Left of Built-in display"; },
       [](const StagedOutputs& r) {
         EXPECT_TRUE(r.changed);
         EXPECT_EQ(r.config.outputs.at("DP-2").position, (prefs_store::Position{-2560, 0}));
       }},
      {"Right of the panel: its width", two(), a_primary,
       [](auto& f) { f[1].position = "Right of Built-in display"; },
       [](const StagedOutputs& r) {
         EXPECT_EQ(r.config.outputs.at("DP-2").position, (prefs_store::Position{2560, 0}));
         EXPECT_FALSE(r.changed);  // already there
       }},
      {"Below an output without a current mode: 1080 lower",
       [] {
         auto m = monitor();
         m.current_mode.reset();
         return std::vector{panel(), m};
       }(),
       [](auto& c) {
         c.outputs["eDP-1"] = entry(true, 0);
         c.outputs["DP-2"] = entry(false, 100);
         c.outputs["DP-2"].position.y = 40;
       },
       [](auto& f) { f[0].position = "Below of Studio 27"; },
       [](const StagedOutputs& r) {
         EXPECT_EQ(r.config.outputs.at("eDP-1").position, (prefs_store::Position{100, 1120}));
       }},
      {"Automatic, a foreign direction or an unknown label change nothing", two(), a_primary,
       [](auto& f) {
         f[0].position = "Automatic";
         f[1].position = "Behind of Built-in display";
       },
       [](const StagedOutputs& r) { EXPECT_FALSE(r.changed); }},
      {"a colour profile that matches nothing clears it", two(),
       [](auto& c) {
         c.outputs["eDP-1"] = entry(true, 0);
         c.outputs["DP-2"] = entry(false, 2560);
         c.outputs["DP-2"].color_profile = "srgb";
       },
       [](auto& f) { f[1].color_profile = "Adobe RGB · adobe"; },
       [](const StagedOutputs& r) {
         EXPECT_TRUE(r.changed);
         EXPECT_EQ(r.config.outputs.at("DP-2").color_profile, std::nullopt);
       }},
      {"a named profile label picks its id", two(), a_primary,
       [](auto& f) { f[1].color_profile = "Display P3 · display-p3"; },
       [](const StagedOutputs& r) {
         EXPECT_EQ(r.config.outputs.at("DP-2").color_profile, "display-p3");
       }},
      {"mirrored outputs share the largest common resolution at their fastest rates",
       [] {
         auto mirrored = monitor("HDMI-1", "Projector");
         mirrored.modes = {{1920, 1080, 50000}, {1920, 1080, 60000}, {1280, 720, 60000}};
         auto mirroring = monitor("DP-2", "Studio 27");
         mirroring.modes = {
             {2560, 1440, 60000}, {1920, 1080, 144000}, {1920, 1080, 60000}, {1280, 720, 60000}};
         return std::vector{mirrored, mirroring};
       }(),
       [](auto& c) {
         c.outputs["HDMI-1"] = entry(true, 0);
         c.outputs["DP-2"] = entry(false, 1920);
       },
       [](auto& f) { f[1].mirror = "Mirror Projector"; },
       [](const StagedOutputs& r) {
         EXPECT_EQ(r.config.outputs.at("DP-2").mirror, "HDMI-1");
         EXPECT_EQ(r.config.outputs.at("DP-2").mode, (prefs_store::OutputMode{1920, 1080, 144000}));
         EXPECT_EQ(r.config.outputs.at("HDMI-1").mode,
                   (prefs_store::OutputMode{1920, 1080, 60000}));
       }},
      {"an unknown mirror text stops mirroring", two(),
       [](auto& c) {
         c.outputs["eDP-1"] = entry(true, 0);
         c.outputs["DP-2"] = entry(false, 2560);
         c.outputs["DP-2"].mirror = "eDP-1";
       },
       [](auto& f) { f[1].mirror = "Mirror Elsewhere"; },
       [](const StagedOutputs& r) { EXPECT_EQ(r.config.outputs.at("DP-2").mirror, std::nullopt); }},
      {"scale, mode and orientation by label; HDR only where controllable", two(), a_primary,
       [](auto& f) {
         f[1].scale = "125%";
         f[1].mode = "2560 × 1440 · 144 Hz";
         f[1].transform = "Portrait right";
         f[1].hdr = true;
         f[0].hdr = true;  // the panel does not control HDR
         f[0].scale = "110%";
       },
       [](const StagedOutputs& r) {
         const auto& dp = r.config.outputs.at("DP-2");
         EXPECT_EQ(dp.scale, 1.25);
         EXPECT_EQ(dp.mode, (prefs_store::OutputMode{2560, 1440, 144000}));
         EXPECT_EQ(dp.transform, prefs_store::OutputTransform::Rotate90);
         EXPECT_TRUE(dp.hdr);
         EXPECT_FALSE(r.config.outputs.at("eDP-1").hdr);
         EXPECT_EQ(r.config.outputs.at("eDP-1").scale, 1.0);
       }},
      {"an output without an entry starts at the origin, not primary", two(),
       [](auto& c) { c.outputs["eDP-1"] = entry(true, 0); }, [](auto& f) { f[1].scale = "200%"; },
       [](const StagedOutputs& r) {
         const auto& dp = r.config.outputs.at("DP-2");
         EXPECT_EQ(dp.position, (prefs_store::Position{0, 0}));
         EXPECT_FALSE(dp.primary);
         EXPECT_EQ(dp.scale, 2.0);
       }},
  };
  for (const StageCase& c : cases) {
    SCOPED_TRACE(c.name);
    const auto outputs = outputs_of(snapshot_of(c.hardware));
    prefs_store::DisplayConfig config;
    c.config(config);
    std::vector<OutputFieldValues> fields(outputs.size());
    c.edit(fields);
    c.expect(stage_outputs(config, outputs, fields));
  }
}

}  // namespace
}  // namespace settings::panes::display
