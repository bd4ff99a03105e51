#pragma once

// The Appearance pane's model words beyond the shared labels
// (panes/appearance_labels.h): the state document's control ids and their
// edit keys, the toolkit theme a stored name stands for, the look as the
// toolkit applies it, and the percentages the page prints. Pure functions.

#include <array>
#include <string>
#include <string_view>

#include "kalu_ui/theme.h"
#include "stored/sections.h"

namespace settings::panes::appearance {

inline constexpr std::string_view kThemeId = "appearance.theme";
inline constexpr std::string_view kTextSizeId = "appearance.text_size";
inline constexpr std::string_view kUiScaleId = "appearance.ui_scale";
inline constexpr std::string_view kHighContrastId = "appearance.high_contrast";
inline constexpr std::string_view kReduceMotionId = "appearance.reduce_motion";

// "{id}.edit": what the page's control writes when the person changes it.
std::string edit_key(std::string_view control_id);

// A name beginning "custom:" is the configured theme; else the named theme,
// and Dark for a name no theme has.
kalu_ui::Theme resolve_theme(std::string_view name);
// The high-contrast theme when it is on, else resolve_theme; with the
// model's scales (narrowed to float) and reduce-motion flag.
kalu_ui::Theme applied_theme(const stored::AppearancePrefs& prefs);

// A scale as a whole percentage: 0.9 "90%", 1.075f "108%".
std::string percent(float scale);

// Whether `text` is a value the pane adopts for `control_id` (a listed
// theme, a text-size or UI-scale label).
bool adoptable(std::string_view control_id, std::string_view text);

}  // namespace settings::panes::appearance
