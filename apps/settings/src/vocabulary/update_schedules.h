#pragma once

// The three download schedules of image updates, as the Updates page offers
// them, operation records carry them and the executor checks them. The
// Updates pane, the executor and the action surface's Updates section read
// them from here.

#include <array>
#include <string_view>

namespace settings::panes::updates {

inline constexpr std::string_view kScheduleSystem = "System schedule";
inline constexpr std::string_view kScheduleDaily = "Daily";
inline constexpr std::string_view kScheduleWeekly = "Weekly";
inline constexpr std::array<std::string_view, 3> kScheduleLabels = {kScheduleSystem, kScheduleDaily,
                                                                    kScheduleWeekly};

}  // namespace settings::panes::updates
