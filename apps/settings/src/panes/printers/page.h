#pragma once

// The Printers page: a column of cards built from the pane's model whenever
// the toolkit asks for a layout. Each button carries a control id of
// model.h as its id. The buttons that change the device are bound to the
// Printers section's actions (actions/storage_printers_section.h): a press
// records the action, which the application carries out like a client's
// request. "Remove…" (it only asks for a confirmation) and a nearby
// printer's "Add" (the section has no such action) write true under their
// id in the state document instead, where the pane's next sync acts on it.

#include <string_view>

#include "kalu_ui/widget/button.h"
#include "widget_contract/widget.h"

namespace settings::panes::printers {

class PrintersPane;

// The buttons in the cards' headers, whose labels follow the workers.
struct PageButtons {
  kalu_ui::widget::Button* refresh = nullptr;
  kalu_ui::widget::Button* discover = nullptr;
};

// "Refreshing…" while a status read runs, else "Refresh".
std::string_view refresh_label(bool refreshing);
// "Searching…" while discovery runs, else "Find printers".
std::string_view discover_label(bool discovering);

// Printer needs attention (only with a notice), Printers, Nearby, Current
// activity and Scanners, in that order; `buttons` learns where the header
// buttons are.
kalu_ui::WidgetBox build_page(const PrintersPane& pane, PageButtons& buttons);

}  // namespace settings::panes::printers
