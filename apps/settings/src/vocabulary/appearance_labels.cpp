#include "vocabulary/appearance_labels.h"

#include <algorithm>
#include <cmath>

namespace settings::panes::appearance {
namespace {

constexpr std::string_view kThemes[] = {
    "Dark",    "Light", "Kalu Blue", "Catppuccin Mocha", "Catppuccin Latte",
    "Dracula", "Nord",  "Gruvbox",   "Gruvbox Light",    "Solarized",
    "OLED",    "Beige"};
constexpr std::string_view kUiScales[] = {"90%", "100%", "110%", "125%", "150%"};
constexpr double kUiScaleValues[] = {0.9, 1.0, 1.1, 1.25, 1.5};
constexpr TextSize kTextSizes[] = {
    {"Small", 0.85}, {"Default", 1.0}, {"Large", 1.15}, {"Larger", 1.3}};
constexpr std::string_view kTextSizeLabels[] = {"Small", "Default", "Large", "Larger"};

// Differences this close are ties: the tables' values are decimal fractions
// whose binary forms are a little off.
constexpr double kTie = 1e-9;

// The index of the value nearest to `x`, the earlier on a tie; the 1.0 entry
// for a value that is no finite number.
std::size_t nearest(std::span<const double> values, double x) {
  if (!std::isfinite(x)) x = 1.0;
  std::size_t best = 0;
  for (std::size_t i = 1; i < values.size(); ++i) {
    if (std::abs(values[i] - x) < std::abs(values[best] - x) - kTie) best = i;
  }
  return best;
}

std::optional<double> value_of(std::span<const std::string_view> labels,
                               std::span<const double> values, std::string_view label) {
  const auto found = std::ranges::find(labels, label);
  if (found == labels.end()) return std::nullopt;
  return values[static_cast<std::size_t>(found - labels.begin())];
}

}  // namespace

std::span<const std::string_view> theme_labels() { return kThemes; }

std::span<const std::string_view> ui_scale_labels() { return kUiScales; }

std::span<const TextSize> text_sizes() { return kTextSizes; }

std::span<const std::string_view> text_size_labels() { return kTextSizeLabels; }

std::string_view text_size_label(double scale) {
  double values[std::size(kTextSizes)];
  std::ranges::transform(kTextSizes, values, &TextSize::scale);
  return kTextSizeLabels[nearest(values, scale)];
}

std::optional<double> text_scale_for_label(std::string_view label) {
  for (const TextSize& size : kTextSizes) {
    if (size.label == label) return size.scale;
  }
  return std::nullopt;
}

std::string_view ui_scale_label(double scale) { return kUiScales[nearest(kUiScaleValues, scale)]; }

std::optional<double> ui_scale_for_label(std::string_view label) {
  return value_of(kUiScales, kUiScaleValues, label);
}

bool is_theme_label(std::string_view name) {
  return std::ranges::find(kThemes, name) != std::end(kThemes);
}

}  // namespace settings::panes::appearance
