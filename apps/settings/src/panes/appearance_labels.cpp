#include "panes/appearance_labels.h"

#include <cmath>

namespace settings::panes::appearance {
namespace {

constexpr std::string_view kThemes[] = {
    "Dark",    "Light", "Kalu Blue", "Catppuccin Mocha", "Catppuccin Latte", "Dracula",
    "Nord",    "Gruvbox", "Gruvbox Light", "Solarized", "OLED", "Beige"};
constexpr std::string_view kUiScales[] = {"90%", "100%", "110%", "125%", "150%"};
constexpr TextSize kTextSizes[] = {
    {"Small", 0.85}, {"Default", 1.0}, {"Large", 1.15}, {"Larger", 1.3}};
constexpr std::string_view kTextSizeLabels[] = {"Small", "Default", "Large", "Larger"};

}  // namespace

std::span<const std::string_view> theme_labels() { return kThemes; }

std::span<const std::string_view> ui_scale_labels() { return kUiScales; }

std::span<const TextSize> text_sizes() { return kTextSizes; }

std::span<const std::string_view> text_size_labels() { return kTextSizeLabels; }

std::string_view text_size_label(double scale) {
  if (!std::isfinite(scale)) return "Default";
  const TextSize* best = &kTextSizes[0];
  for (const TextSize& size : kTextSizes) {
    if (std::abs(size.scale - scale) < std::abs(best->scale - scale)) best = &size;
  }
  return best->label;
}

std::optional<double> text_scale_for_label(std::string_view label) {
  for (const TextSize& size : kTextSizes) {
    if (size.label == label) return size.scale;
  }
  return std::nullopt;
}

}  // namespace settings::panes::appearance
