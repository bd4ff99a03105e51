#pragma once

// The Updates pane's worker threads. Each runs one job, sends its one answer
// through a oneshot channel (whose sending wakes the UI) and ends; none is
// joined, and each owns only a share of the services and its sender. A pane
// dropped before the answer only means nobody receives it.
//
// - "kalu-update-status" reads the image, the timer, the rollback image, the
//   deployment status and the firmware lists once, for a newly built pane.
// - "kalu-update-check" starts the update service, waits for it (up to 30
//   minutes) and reads the image again.
// - "kalu-update-action" carries out one change that blocks: the timer, a
//   policy action, the rollback or the restart, and reads back what the
//   change affects. The pane runs one at a time.
// - "kalu-firmware-refresh" refreshes the firmware metadata and reads the
//   offers and the history again.
//
// A thread that cannot start drops its body with the sender: the receiver
// then reports the channel closed, and the start answers false.

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/updates/services.h"

namespace settings::panes::updates {

inline constexpr std::string_view kStatusWorker = "kalu-update-status";
inline constexpr std::string_view kCheckWorker = "kalu-update-check";
inline constexpr std::string_view kActionWorker = "kalu-update-action";
inline constexpr std::string_view kFirmwareRefreshWorker = "kalu-firmware-refresh";

// A started worker's answer, or false when its thread could not start.
template <typename T>
struct Started {
  kalu_ui::channel::Receiver<T> answer;
  bool started = false;
};

Started<FirstReading> start_status_read(std::shared_ptr<const UpdateServices> services);

// The update check's answer: the image read again, or why the update failed.
using CheckResult = kalu_ui::Result<ImageStatus>;
Started<CheckResult> start_update_check(std::shared_ptr<const UpdateServices> services);

// The firmware refresh's answer: both lists, or the first failure.
using FirmwareRefreshResult = kalu_ui::Result<FirmwareLists>;
Started<FirmwareRefreshResult> start_firmware_refresh(
    std::shared_ptr<const UpdateServices> services);

// The changes the action worker makes, and what it answers for each.
namespace action {

struct SetAutomatic {
  bool enabled = false;
};
struct SetSchedule {
  std::string label;
};
struct SetMetered {
  bool allowed = false;
};
struct Rollback {};
struct Reboot {};
using Job = std::variant<SetAutomatic, SetSchedule, SetMetered, Rollback, Reboot>;

// The timer changed or not, and its state read back either way.
struct AutomaticDone {
  bool requested = false;
  kalu_ui::Status result;
  AutomaticUpdates read_back = AutomaticUpdates::Unknown;
};
// The schedule read back after a success.
struct ScheduleDone {
  std::string requested;
  kalu_ui::Status result;
  std::optional<std::string> read_back = std::nullopt;
};
// The metered policy read back after a success.
struct MeteredDone {
  bool requested = false;
  kalu_ui::Status result;
  MeteredDownloads read_back = MeteredDownloads::Unknown;
};
// After a success, the image read again: the rollback swapped what boots
// next, so the rollback image, the staged update and the protection text
// all change.
struct RollbackDone {
  kalu_ui::Status result;
  std::optional<ImageStatus> image = std::nullopt;
};
struct RebootDone {
  kalu_ui::Status result;
};
using Answer = std::variant<AutomaticDone, ScheduleDone, MeteredDone, RollbackDone, RebootDone>;

// The answer of a job that never ran or whose worker ended without
// answering, failed with `error`.
Answer failed(const Job& job, std::string error);

}  // namespace action

Started<action::Answer> start_action(std::shared_ptr<const UpdateServices> services,
                                     action::Job job);

}  // namespace settings::panes::updates
