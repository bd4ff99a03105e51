#pragma once

// The About page: a plain page (no pane object), built afresh each time the
// pane is selected from this machine's summary. It never fails: what cannot
// be read shows its default text.

#include "panes/about/model.h"
#include "widget_contract/widget.h"

namespace settings::panes::about {

inline constexpr std::string_view kBackupButtonId = "about.identity-backup.button";

// The page of this machine.
kalu_ui::WidgetBox build_page();
// The page of a summary read already.
kalu_ui::WidgetBox build_page(const SystemSummary& summary);

}  // namespace settings::panes::about
