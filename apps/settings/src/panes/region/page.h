#pragma once

// The Region & Formats page, built from the pane's locale at each layout:
// "Formats" (one dropdown a setting, showing the setting's edit key and
// recording the person's choice as the Region section's action for it),
// "Preview" (samples of the current formats) and
// "Shared with your apps". Narrower than kStackedBelow, each label stands
// above its dropdown.

#include <array>
#include <optional>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "stored/locale.h"
#include "vocabulary/region_formats.h"

namespace settings::panes::region {

// Below this width (when it is known) the rows are stacked.
inline constexpr double kStackedBelow = 356.0;

inline constexpr std::string_view kSharedCaption =
    "Sheets uses these formats for cells; Weather uses the measurement setting for its units. "
    "Changes here apply everywhere those apps read the shared locale.";

// Whether a pane `width` wide (0: not known yet) stacks its rows.
bool stacks_rows(double width);

// The Region section's action each dropdown records, in the settings'
// order.
using PageBindings = std::array<std::optional<kalu_actions::ActionBinding>, kSettingCount>;

// The page for `locale`, its rows stacked or not.
ui_rows::WidgetBox build_page(const stored::Locale& locale, bool stacked, PageBindings bindings);

}  // namespace settings::panes::region
