#pragma once

// The navigation side of the window: the panes in their five groups, or,
// while the user searches, the panes that match under "Results".

#include <memory>
#include <string_view>
#include <vector>

#include "kalu_ui/widget/focus.h"
#include "sidebar/sidebar_row.h"
#include "vocabulary/registry.h"
#include "widget_contract/widget.h"

namespace settings::sidebar {

// Every pane under its group's header when the query is empty or only white
// space; otherwise the matching panes, in sidebar order, under "Results" (or
// a caption saying nothing matches). Rows of the `selected` pane look
// selected; activating a row publishes its pane into `selection`.
// The rows join `focus` (started over), the sidebar's one Tab stop.
kalu_ui::WidgetBox build_nav(panes::Pane selected, std::string_view query,
                             const std::shared_ptr<SelectionCell>& selection,
                             const std::shared_ptr<kalu_ui::widget::RovingFocus>& focus = {});

// A header with the upper-cased name above the rows, in order.
kalu_ui::WidgetBox group_section(std::string_view name, std::vector<kalu_ui::WidgetBox> rows);

}  // namespace settings::sidebar
