#include "vocabulary/display_vocabulary.h"

#include <fmt/format.h>

#include <array>
#include <cmath>

namespace settings::panes::display {

namespace {

constexpr std::array<ScalePreset, 5> kScalePresets = {{
    {"100%", 1.0},
    {"125%", 1.25},
    {"150%", 1.5},
    {"175%", 1.75},
    {"200%", 2.0},
}};

constexpr std::array<WarmthPreset, 3> kWarmthPresets = {{
    {"Subtle · 4500 K", 4500},
    {"Warm · 3700 K", 3700},
    {"Very warm · 2800 K", 2800},
}};

constexpr std::array<std::string_view, 4> kTransformLabels = {"Landscape", "Portrait right",
                                                              "Upside down", "Portrait left"};

}  // namespace

std::string output_label(const prefs_store::OutputDescriptor& output,
                         const std::optional<std::string>& card_qualifier) {
  std::string base = output.internal       ? std::string(kBuiltInLabel)
                     : output.name.empty() ? output.connector
                                           : output.name;
  if (!card_qualifier) return base;
  return fmt::format("{} · {}", base, *card_qualifier);
}

OutputLabels output_labels(const prefs_store::DisplayHardwareSnapshot& snapshot) {
  OutputLabels labels;
  for (std::size_t card = 0; card < snapshot.cards.size(); ++card) {
    const std::optional<std::string> qualifier = snapshot.card_qualifier(card);
    for (const auto& output : snapshot.cards[card].outputs) {
      labels.emplace_back(output.connector, output_label(output, qualifier));
    }
  }
  return labels;
}

std::vector<std::string> arrangement_labels(
    std::string_view connector, std::span<const std::pair<std::string, std::string>> outputs) {
  std::vector<std::string> labels;
  for (const auto& [other, label] : outputs) {
    if (other == connector) continue;
    for (std::string_view direction : kDirections) {
      labels.push_back(fmt::format("{} of {}", direction, label));
    }
  }
  return labels;
}

std::vector<std::string> mirror_labels(
    std::string_view connector, std::span<const std::pair<std::string, std::string>> outputs) {
  std::vector<std::string> labels;
  for (const auto& [other, label] : outputs) {
    if (other != connector) labels.push_back(mirror_label_of(label));
  }
  return labels;
}

std::string mirror_label_of(std::string_view label) { return fmt::format("Mirror {}", label); }

std::span<const ScalePreset> scale_presets() { return kScalePresets; }

std::string_view scale_label(double scale) {
  const ScalePreset* best = &kScalePresets[0];
  for (const ScalePreset& preset : kScalePresets) {
    // Strictly nearer only: a tie keeps the earlier, smaller preset.
    if (std::abs(preset.value - scale) < std::abs(best->value - scale)) best = &preset;
  }
  return best->label;
}

std::optional<double> scale_of(std::string_view label) {
  for (const ScalePreset& preset : kScalePresets) {
    if (preset.label == label) return preset.value;
  }
  return std::nullopt;
}

std::span<const WarmthPreset> warmth_presets() { return kWarmthPresets; }

std::string_view warmth_label(std::uint32_t kelvin) {
  const auto distance = [kelvin](const WarmthPreset& p) {
    return p.kelvin > kelvin ? p.kelvin - kelvin : kelvin - p.kelvin;
  };
  const WarmthPreset* best = &kWarmthPresets[0];
  for (const WarmthPreset& preset : kWarmthPresets) {
    if (distance(preset) < distance(*best)) best = &preset;
  }
  return best->label;
}

std::optional<std::uint32_t> warmth_of(std::string_view label) {
  for (const WarmthPreset& preset : kWarmthPresets) {
    if (preset.label == label) return preset.kelvin;
  }
  return std::nullopt;
}

std::span<const std::string_view> transform_labels() { return kTransformLabels; }

std::string_view transform_label(prefs_store::OutputTransform transform) {
  const auto index = static_cast<std::size_t>(transform);
  return index < kTransformLabels.size() ? kTransformLabels[index] : kTransformLabels[0];
}

std::optional<prefs_store::OutputTransform> transform_of(std::string_view label) {
  for (std::size_t i = 0; i < kTransformLabels.size(); ++i) {
    if (kTransformLabels[i] == label) return static_cast<prefs_store::OutputTransform>(i);
  }
  return std::nullopt;
}

std::string color_profile_label(std::string_view name, std::string_view id) {
  return fmt::format("{} · {}", name, id);
}

}  // namespace settings::panes::display
