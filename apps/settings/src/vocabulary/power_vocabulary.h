#pragma once

// The choices of the Power settings, as the page offers them, operation
// records carry them and the executor checks them: the power profiles, the
// idle delays and the actions of the lid, the power key and a critical
// battery. The Power pane, the executor and the action surface's Power
// section read them from here, so the three never offer different texts.

#include <array>
#include <string_view>

namespace settings::panes::power {

inline constexpr std::array<std::string_view, 3> kProfileLabels = {"Power Saver", "Balanced",
                                                                   "Performance"};
// How long the device stays idle before it suspends (on the whole and per
// profile).
inline constexpr std::array<std::string_view, 7> kSuspendDelayLabels = {
    "5 minutes", "10 minutes", "15 minutes", "30 minutes", "45 minutes", "1 hour", "Never"};
// How long before the screen blanks, and before it locks.
inline constexpr std::array<std::string_view, 6> kScreenDelayLabels = {
    "1 minute", "5 minutes", "10 minutes", "15 minutes", "30 minutes", "Never"};
// What closing the lid, pressing the power key or a critical battery does.
inline constexpr std::array<std::string_view, 3> kPowerActionLabels = {"Suspend", "Lock screen",
                                                                       "Do nothing"};

}  // namespace settings::panes::power
