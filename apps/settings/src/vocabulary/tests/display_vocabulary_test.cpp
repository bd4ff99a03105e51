#include "vocabulary/display_vocabulary.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace settings::panes::display {
namespace {

using ::testing::ElementsAre;

TEST(DisplayVocabularyTest, OutputLabelsAndTheirChoiceLists) {
  prefs_store::OutputDescriptor named;
  named.connector = "DP-1";
  named.name = "Studio 27";
  prefs_store::OutputDescriptor unnamed;
  unnamed.connector = "HDMI-1";
  prefs_store::OutputDescriptor panel;
  panel.connector = "eDP-1";
  panel.name = "Laptop panel";
  panel.internal = true;
  EXPECT_EQ(output_label(named), "Studio 27");
  EXPECT_EQ(output_label(unnamed), "HDMI-1");
  // A built-in panel has one name, whatever it reports; a card's qualifier
  // follows any of them.
  EXPECT_EQ(output_label(panel), "Built-in display");
  EXPECT_EQ(output_label(panel, "card1"), "Built-in display · card1");

  prefs_store::DisplayHardwareSnapshot snapshot;
  snapshot.cards.push_back({"card0", {named}});
  snapshot.cards.push_back({"card1", {unnamed}});
  const OutputLabels labels = output_labels(snapshot);
  ASSERT_EQ(labels.size(), 2u);

  // A's positions name B by its connector; B mirrors A by its name; two
  // cards: each with its card.
  EXPECT_THAT(arrangement_labels("DP-1", labels),
              ElementsAre("Left of HDMI-1 · card1", "Right of HDMI-1 · card1",
                          "Above of HDMI-1 · card1", "Below of HDMI-1 · card1"));
  EXPECT_THAT(mirror_labels("HDMI-1", labels), ElementsAre("Mirror Studio 27 · card0"));
  // Alone: nothing beside "Automatic" and "Extend workspace".
  const OutputLabels one(labels.begin(), labels.begin() + 1);
  EXPECT_TRUE(arrangement_labels("DP-1", one).empty());
  EXPECT_TRUE(mirror_labels("DP-1", one).empty());
}

TEST(DisplayVocabularyTest, NearestPresetsAndLabels) {
  const struct {
    double scale;
    std::string_view label;
  } scales[] = {{1.0, "100%"}, {1.125, "100%"}, {1.13, "125%"},
                {0.5, "100%"}, {1.875, "175%"}, {9.0, "200%"}};
  for (const auto& c : scales) EXPECT_EQ(scale_label(c.scale), c.label) << c.scale;
  EXPECT_EQ(scale_of("150%"), 1.5);
  EXPECT_EQ(scale_of("150 %"), std::nullopt);

  const struct {
    std::uint32_t kelvin;
    std::string_view label;
  } warmths[] = {{4100, "Subtle · 4500 K"},
                 {4000, "Warm · 3700 K"},
                 {3250, "Warm · 3700 K"},
                 {1000, "Very warm · 2800 K"},
                 {90000, "Subtle · 4500 K"}};
  for (const auto& c : warmths) EXPECT_EQ(warmth_label(c.kelvin), c.label) << c.kelvin;
  EXPECT_EQ(warmth_of("Warm · 3700 K"), 3700u);

  EXPECT_EQ(transform_label(prefs_store::OutputTransform::Rotate180), "Upside down");
  EXPECT_EQ(transform_label(static_cast<prefs_store::OutputTransform>(9)), "Landscape");
  EXPECT_EQ(transform_of("Portrait left"), prefs_store::OutputTransform::Rotate270);
  EXPECT_EQ(color_profile_label("sRGB", "srgb"), "sRGB · srgb");
}

}  // namespace
}  // namespace settings::panes::display
