#pragma once

// The Appearance pane's model words beyond the shared labels
// (vocabulary/appearance_labels.h): the state document's control ids, the toolkit
// theme a stored name stands for, the look as the toolkit applies it (which
// the application draws with too), and the percentages the page prints.
// Pure functions.

#include <array>
#include <string>
#include <string_view>

#include "kalu_ui/theme.h"
#include "stored/sections.h"
#include "widget_contract/records.h"

namespace settings::panes::appearance {

inline constexpr std::string_view kThemeId = "appearance.theme";
inline constexpr std::string_view kTextSizeId = "appearance.text_size";
inline constexpr std::string_view kUiScaleId = "appearance.ui_scale";
inline constexpr std::string_view kHighContrastId = "appearance.high_contrast";
inline constexpr std::string_view kReduceMotionId = "appearance.reduce_motion";

// A name beginning "custom:" is the configured theme; else the named theme,
// and Dark for a name no theme has.
kalu_ui::Theme resolve_theme(std::string_view name);
// The high-contrast theme when it is on, else resolve_theme; with the
// model's scales (narrowed to float) and reduce-motion flag.
kalu_ui::Theme applied_theme(const stored::AppearancePrefs& prefs);

// A scale as a whole percentage: 0.9 "90%", 1.075f "108%".
std::string percent(float scale);

// The look as the widget contract's theme override records it: the theme
// the name resolves to (not the high-contrast one, which the flag asks for),
// the scales narrowed to float, high contrast and reduced motion.
kalu_ui::ThemeOverride theme_override_of(const stored::AppearancePrefs& prefs);

}  // namespace settings::panes::appearance
