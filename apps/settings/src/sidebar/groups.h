#pragma once

// The sidebar's five groups and which group each pane is shown under.

#include <array>
#include <cstdint>
#include <string_view>

#include "vocabulary/registry.h"

namespace settings::sidebar {

inline constexpr std::uint8_t kGroupCount = 5;

// The group of each pane, by panes::index_of (the registry's group column).
// Walking panes::SIDEBAR_ORDER meets the groups one after another.
inline constexpr std::array<std::uint8_t, panes::kPaneCount> PANE_GROUPS = panes::group_column();

// The name a group's header shows (before the sidebar upper-cases it); empty
// for a group outside 0 to 4.
std::string_view group_title(std::uint8_t group);

}  // namespace settings::sidebar
