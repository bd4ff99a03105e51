#pragma once

// The Power page: up to five cards built from the pane's model as it is when
// the toolkit asks for a layout. Its controls never change the device
// themselves: each keeps its value in the state document under its control
// id, where the pane's handlers find it (power_pane.h).

#include "kalu_ui/color.h"
#include "widget_contract/widget.h"

namespace settings::panes::power {

class PowerPane;

// The sparkline's colour, from the toolkit's dark theme.
kalu_ui::Color history_color();

// Battery (or Power source), Power devices (two or more), Power profile,
// Automatic power saving and Power behaviour, in that order.
kalu_ui::WidgetBox build_page(const PowerPane& pane);

}  // namespace settings::panes::power
