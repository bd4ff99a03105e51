#pragma once

// The Device Privacy & Security page: a plain page (no pane object), built
// afresh each time the pane is selected. It reports the privacy hardware and
// who uses it, disk encryption, Secure Boot and the firewall, and a
// read-only overview of the grants apps hold in the person's workspaces. It
// never fails: what cannot be read shows "Unavailable" (or the card saying
// the workspace access record could not be loaded).
//
// Everything but the device security probes is read while the page is built;
// the probes run on the "kalu-privacy-probe" worker and their rows read
// "Checking…" until the answer arrives.

#include "kalu_ui/theme.h"
#include "panes/privacy/model.h"
#include "widget_contract/widget.h"

namespace settings::panes::privacy {

// The page of this device.
kalu_ui::WidgetBox build_page();
// The page with Secure Boot read from the directory `efivars` answers.
kalu_ui::WidgetBox build_page(EfivarsSource efivars);

// The colour of a category's badge and of the duration badge, from the
// toolkit's dark theme.
kalu_ui::Color category_color(stored::GrantCategory category);
kalu_ui::Color duration_color();

}  // namespace settings::panes::privacy
