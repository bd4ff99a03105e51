#pragma once

// The Appearance page, built from the pane's model at each layout: "Theme"
// (theme, UI scale and text size dropdowns), "Accessibility" (high contrast
// and reduced motion), "Applied theme" (the look as the toolkit applies it)
// and "Shared with your apps". Every control shows its control id's edit
// key (lib/preference_pane.h) and records the person's choice as the
// Appearance section's action of the same meaning where one is given.

#include <optional>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "stored/sections.h"

namespace settings::panes::appearance {

inline constexpr std::string_view kSharedCaption =
    "Your theme, contrast, motion, UI-scale, and text-size choices are read by the compositor "
    "and every Kalu app, so the whole system follows the look you pick here. UI scale grows the "
    "entire interface and composes with each display's own fractional scale; text size adjusts "
    "type on top.";

// The section's actions the controls record, none where absent.
struct PageBindings {
  std::optional<kalu_actions::ActionBinding> theme;
  std::optional<kalu_actions::ActionBinding> ui_scale;
  std::optional<kalu_actions::ActionBinding> text_size;
  std::optional<kalu_actions::ActionBinding> high_contrast;
  std::optional<kalu_actions::ActionBinding> reduce_motion;
};

ui_rows::WidgetBox build_page(const stored::AppearancePrefs& prefs, PageBindings bindings);

}  // namespace settings::panes::appearance
