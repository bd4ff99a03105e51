#pragma once

// The firmware side of the Updates pane, as plain data: the offers and the
// history the device's firmware service reports (or why it could not), the
// state of an installation and how each event of the install job moves it,
// and the values of the firmware rows. Nothing here calls the service; the
// pane does (services.h), and shows what comes back.
//
// The percent rule: while an installation runs its bar never goes back. A
// reported percent below the one shown is ignored, and 0 ("no figure this
// time") keeps the one shown; starting from any other state the percent
// shown counts as 0. Figures above 100 are read as 100.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"
#include "system_ops/firmware.h"

namespace settings::panes::updates {

using FirmwareUpdate = system_ops::firmware::FirmwareUpdate;
using FirmwareHistoryEntry = system_ops::firmware::FirmwareHistoryEntry;
using FirmwareInstallEvent = system_ops::firmware::FirmwareInstallEvent;

// A list as the firmware service reported it, or the error of the last query.
using FirmwareUpdateList = kalu_ui::Result<std::vector<FirmwareUpdate>>;
using FirmwareHistoryList = kalu_ui::Result<std::vector<FirmwareHistoryEntry>>;

namespace install {

struct Idle {
  bool operator==(const Idle&) const = default;
};
struct Installing {
  std::string text;
  std::uint8_t percent = 0;
  bool operator==(const Installing&) const = default;
};
// Stays until the pane goes or a new installation starts.
struct Finished {
  bool restart_required = false;
  bool operator==(const Finished&) const = default;
};

}  // namespace install

using FirmwareInstallState = std::variant<install::Idle, install::Installing, install::Finished>;

// The state an installation starts in, before the job's first event.
install::Installing install_started();

// The state after `event`: Preparing starts the bar at 0, Progress moves it
// by the percent rule, Finished ends it (with whether a restart activates
// the update) and Failed goes back to idle.
FirmwareInstallState next_install_state(const FirmwareInstallState& state,
                                        const FirmwareInstallEvent& event);

// The event that ends an installation (Finished or Failed).
bool is_terminal(const FirmwareInstallEvent& event);

// What an install channel that ended without Finished or Failed counts as.
inline constexpr std::string_view kInstallStoppedUnexpectedly =
    "firmware installation stopped unexpectedly";

// The value of an offer's row: "{current} → {new}", "Update to {new}" or
// "Update available", by which versions are known.
std::string firmware_update_value(const FirmwareUpdate& update);

// The value of a history row: "{previous} → {new} · {state}",
// "{new} · {state}" or the state, by which versions are known.
std::string firmware_history_value(const FirmwareHistoryEntry& entry);

// The history card shows the first entries only.
inline constexpr std::size_t kFirmwareHistoryShown = 8;

}  // namespace settings::panes::updates
