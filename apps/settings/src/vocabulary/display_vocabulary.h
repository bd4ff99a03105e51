#pragma once

// What the Displays pane and the action surface's Displays section both
// name: an output's label, the position and mirroring choices built from the
// other outputs, and the label tables of scale, night-light warmth,
// orientation and colour profile. The pane folder and the rooms below the
// panes (the action surface, the executor's checks) read them from here, so
// a label a client picks from the section is one the pane recognises. Pure
// functions of their arguments; every table lives for the whole program.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "prefs_store/display.h"

namespace settings::panes::display {

// What a built-in panel is called, whatever name it reports.
inline constexpr std::string_view kBuiltInLabel = "Built-in display";

// An output's one name, wherever it is named (its card, the summary, the
// other outputs' position and mirroring choices, the section's item):
// kBuiltInLabel for a built-in panel, else its display name when that is
// not empty, else its connector; "{} · {}" with `card_qualifier` when one is
// given (outputs of several cards).
std::string output_label(const prefs_store::OutputDescriptor& output,
                         const std::optional<std::string>& card_qualifier = std::nullopt);

// (connector, label) of every output, in snapshot order.
using OutputLabels = std::vector<std::pair<std::string, std::string>>;

// The labels of every output of the snapshot, card by card, in order, each
// with its card's qualifier.
OutputLabels output_labels(const prefs_store::DisplayHardwareSnapshot& snapshot);

// The four directions of an arrangement, in choice order.
inline constexpr std::string_view kDirections[] = {"Left", "Right", "Above", "Below"};
// The first position choice: the compositor places the output.
inline constexpr std::string_view kAutomaticPosition = "Automatic";
// The first mirroring choice: the output extends the workspace.
inline constexpr std::string_view kExtendWorkspace = "Extend workspace";

// For every other output (connector not `connector`), in list order, "Left of
// {}", "Right of {}", "Above of {}", "Below of {}" with its label.
std::vector<std::string> arrangement_labels(
    std::string_view connector, std::span<const std::pair<std::string, std::string>> outputs);
// "Mirror {}" with the label of every other output, in list order.
std::vector<std::string> mirror_labels(
    std::string_view connector, std::span<const std::pair<std::string, std::string>> outputs);
// "Mirror {}" of one label.
std::string mirror_label_of(std::string_view label);

// Scale presets: "100%" 1.0 to "200%" 2.0.
struct ScalePreset {
  std::string_view label;
  double value;
};
std::span<const ScalePreset> scale_presets();
// The preset nearest to `scale`; on equal distance the smaller one.
std::string_view scale_label(double scale);
// The value of the preset labelled exactly `label`.
std::optional<double> scale_of(std::string_view label);

// Night-light warmth presets: "Subtle · 4500 K", "Warm · 3700 K",
// "Very warm · 2800 K".
struct WarmthPreset {
  std::string_view label;
  std::uint32_t kelvin;
};
std::span<const WarmthPreset> warmth_presets();
// The preset nearest to `kelvin`; on equal distance the earlier one.
std::string_view warmth_label(std::uint32_t kelvin);
std::optional<std::uint32_t> warmth_of(std::string_view label);

// Orientation labels in the order of prefs_store::OutputTransform:
// "Landscape", "Portrait right", "Upside down", "Portrait left".
std::span<const std::string_view> transform_labels();
std::string_view transform_label(prefs_store::OutputTransform transform);
std::optional<prefs_store::OutputTransform> transform_of(std::string_view label);

// "System default": no colour profile.
inline constexpr std::string_view kSystemDefaultProfile = "System default";
// "{name} · {id}".
std::string color_profile_label(std::string_view name, std::string_view id);

}  // namespace settings::panes::display
