#pragma once

// The look as stored: the one reading of the settings document's
// "appearance" section, which the window draws with, the Appearance and
// Accessibility panes show, their sections report and the set-setting store
// changes. A member the section does not hold takes its default; a section
// that names no theme takes the theme the environment configures
// (KALU_UI_THEME), so the window, Appearance's "Active theme" and the theme
// the section reports never disagree.

#include <nlohmann/json_fwd.hpp>
#include <string>

#include "stored/sections.h"

namespace settings::panes::appearance {

// The theme the environment configures: KALU_UI_THEME when it names a
// theme, else "Dark".
std::string configured_theme();

// The look of a stored section (`section`: its members; not an object, or
// one that does not read, is nothing stored), with `configured` for the
// theme when the section names none.
stored::AppearancePrefs look_of(const nlohmann::ordered_json& section,
                                const std::string& configured);

// look_of the section as stored now (read through the settings document's
// cache), with configured_theme(); a document that cannot be read is nothing
// stored.
stored::AppearancePrefs stored_look();

}  // namespace settings::panes::appearance
