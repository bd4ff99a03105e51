#include "panes/updates/firmware.h"

#include <fmt/format.h>

#include <algorithm>

namespace settings::panes::updates {

namespace {

namespace fw = system_ops::firmware;

constexpr std::uint8_t kFullPercent = 100;

struct NextState {
  const FirmwareInstallState& state;

  FirmwareInstallState operator()(const fw::Preparing& event) const {
    return install::Installing{fmt::format("Preparing {} update(s)…", event.count), 0};
  }
  FirmwareInstallState operator()(const fw::Progress& event) const {
    const auto* installing = std::get_if<install::Installing>(&state);
    const std::uint8_t shown = installing ? installing->percent : 0;
    const std::uint8_t reported = std::min(event.percent, kFullPercent);
    return install::Installing{event.text, reported == 0 ? shown : std::max(shown, reported)};
  }
  FirmwareInstallState operator()(const fw::Finished& event) const {
    return install::Finished{event.restart_required};
  }
  FirmwareInstallState operator()(const fw::Failed&) const { return install::Idle{}; }
};

}  // namespace

install::Installing install_started() { return {"Preparing firmware transaction…", 0}; }

FirmwareInstallState next_install_state(const FirmwareInstallState& state,
                                        const FirmwareInstallEvent& event) {
  return std::visit(NextState{state}, event);
}

bool is_terminal(const FirmwareInstallEvent& event) {
  return std::holds_alternative<fw::Finished>(event) || std::holds_alternative<fw::Failed>(event);
}

std::string firmware_update_value(const FirmwareUpdate& update) {
  if (update.current_version && update.new_version) {
    return fmt::format("{} → {}", *update.current_version, *update.new_version);
  }
  if (update.new_version) return fmt::format("Update to {}", *update.new_version);
  return "Update available";
}

std::string firmware_history_value(const FirmwareHistoryEntry& entry) {
  if (entry.previous_version && entry.new_version) {
    return fmt::format("{} → {} · {}", *entry.previous_version, *entry.new_version, entry.state);
  }
  if (entry.new_version) return fmt::format("{} · {}", *entry.new_version, entry.state);
  return entry.state;
}

}  // namespace settings::panes::updates
