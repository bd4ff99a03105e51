#pragma once

// The keys of the Updates pane's state document, the ids of the page's
// controls and the names of the Updates section's actions they are bound to.
// A one-shot key is set true by whoever requests its action (a page control,
// an operation) and set false by its handler when that runs.

#include <array>
#include <cstdint>
#include <string_view>

namespace settings::panes::updates {

// State document keys.
inline constexpr std::string_view kCheckKey = "updates.check";
inline constexpr std::string_view kRestartKey = "updates.restart";
inline constexpr std::string_view kReviewKey = "updates.rollback";
inline constexpr std::string_view kRollbackKey = "updates.rollback.confirm";
inline constexpr std::string_view kFirmwareRefreshKey = "updates.firmware.refresh";
inline constexpr std::string_view kFirmwareInstallKey = "updates.firmware.install";
inline constexpr std::string_view kAutoKey = "updates.auto";
inline constexpr std::string_view kScheduleKey = "updates.schedule";
inline constexpr std::string_view kMeteredKey = "updates.metered";

inline constexpr std::array<std::string_view, 6> kOneShotKeys = {
    kCheckKey, kRestartKey, kReviewKey, kRollbackKey, kFirmwareRefreshKey, kFirmwareInstallKey,
};

// The page's controls.
inline constexpr std::string_view kRestartButton = "settings.updates.restart";
inline constexpr std::string_view kCheckButton = "settings.updates.check";
inline constexpr std::string_view kReviewButton = "settings.updates.rollback";
inline constexpr std::string_view kRollbackButton = "settings.updates.rollback.confirm";
inline constexpr std::string_view kAutoToggleName = "settings.updates.auto";
inline constexpr std::string_view kMeteredToggleName = "settings.updates.metered";
inline constexpr std::string_view kFirmwareRefreshButton = "settings.updates.firmware.refresh";
inline constexpr std::string_view kFirmwareInstallButton = "settings.updates.firmware.install";
inline constexpr std::string_view kFirmwareRestartButton = "settings.updates.firmware.restart";

// The Updates section's actions the page binds.
inline constexpr std::string_view kCheckAction = "check";
inline constexpr std::string_view kRestartAction = "restart";
inline constexpr std::string_view kRollbackAction = "rollback";
inline constexpr std::string_view kAutomaticAction = "automatic";
inline constexpr std::string_view kMeteredAction = "metered";
inline constexpr std::string_view kRefreshFirmwareAction = "refresh-firmware";
inline constexpr std::string_view kInstallFirmwareAction = "install-firmware";

}  // namespace settings::panes::updates
