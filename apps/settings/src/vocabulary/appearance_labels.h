#pragma once

// The Appearance pane's words: the themes, the four text-size labels with
// the text scale each stands for, and the UI-scale labels. The Appearance and Accessibility panes
// show them in their dropdowns, and the action surface's Appearance and Accessibility sections
// offer them and report the current one, so all four read them from here.
// Pure functions; every text lives for the whole program.

#include <optional>
#include <span>
#include <string_view>

namespace settings::panes::appearance {

// The themes in option order, "Dark" first.
std::span<const std::string_view> theme_labels();
// "90%", "100%", "110%", "125%", "150%".
std::span<const std::string_view> ui_scale_labels();

struct TextSize {
  std::string_view label;
  double scale;
};

// "Small" 0.85, "Default" 1.0, "Large" 1.15, "Larger" 1.3, in option order.
std::span<const TextSize> text_sizes();
// The labels alone, in the same order.
std::span<const std::string_view> text_size_labels();

// The label whose scale is nearest to `scale` (a tie goes to the earlier
// entry: distances within 1e-9 count as equal, so 1.05 lies between 1.0 and
// 1.1 although its binary form is a little nearer to 1.1); a scale that is
// not a finite number reads as the 1.0 entry.
std::string_view text_size_label(double scale);
// The scale of exactly `label`; none for any other text.
std::optional<double> text_scale_for_label(std::string_view label);

// The same two over the UI scales: "90%" 0.9, "100%" 1.0, "110%" 1.1,
// "125%" 1.25, "150%" 1.5.
std::string_view ui_scale_label(double scale);
std::optional<double> ui_scale_for_label(std::string_view label);

// Whether `name` is one of theme_labels().
bool is_theme_label(std::string_view name);

}  // namespace settings::panes::appearance
