#pragma once

// The Appearance pane's words: the themes, the four text-size labels with
// the text scale each stands for, and the UI-scale labels. The Appearance and Accessibility panes show them in their
// dropdowns, and the action surface's Appearance and Accessibility sections
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
// entry); a scale that is not a finite number reads as "Default".
std::string_view text_size_label(double scale);
// The scale of exactly `label`; none for any other text.
std::optional<double> text_scale_for_label(std::string_view label);

}  // namespace settings::panes::appearance
