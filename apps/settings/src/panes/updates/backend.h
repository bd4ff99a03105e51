#pragma once

// The Updates pane's only way to the system image: the update timer, the
// update and rollback services, the update policy and the image status. The
// pane never changes the image itself; it starts the platform's units with
// `systemctl`, asks `bootc` and `journalctl`, and reads the policy file.
//
// Every command goes through lib::run_limited_command with its own time limit
// (noted at each call below) and the runner's 1 MiB output cap. A command
// that cannot be run fails with the runner's "{program} command failed:
// {reason}"; a command that ran and failed answers its decoded error output,
// or a fixed text when it printed none. Failures are answers, never thrown.
//
// Threads: nothing here keeps state between calls or touches the UI. The
// backend holds only the path of the policy file, fixed at construction, and
// every call runs its commands and reads its files afresh, so one backend may
// be shared by the UI thread and any number of worker threads (the pane's
// "kalu-update-status" and "kalu-update-action" workers) and called from all
// of them at once. The calls block for as long as their commands take: up to
// 10 s for a reader, 30 s for the timer, the policy and `reboot`, 300 s for
// `rollback` and 1800 s for `start_update` (and a firmware refresh as long as
// the firmware service takes), so only workers should make them.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "panes/updates/model.h"
#include "system_ops/firmware.h"

namespace settings::panes::updates {

// The unit names the backend starts and asks about.
inline constexpr std::string_view kUpdateTimer = "bootc-fetch-apply-updates.timer";
inline constexpr std::string_view kUpdateServiceUnit = "bootc-fetch-apply-updates.service";
inline constexpr std::string_view kDeploymentUpdateUnit = "kalu-deployment-update.service";
inline constexpr std::string_view kDeploymentRollbackUnit = "kalu-deployment-rollback.service";
inline constexpr std::string_view kRollbackConfirmTimer = "kalu-rollback-confirm.timer";
// "kalu-update-policy@{action}.service" is the policy unit of an action.
std::string policy_unit(std::string_view action);

// The policy file on a real system, written by the policy unit.
inline constexpr std::string_view kSystemUpdatePolicyFile = "/var/lib/kalu/update-policy";

// The policy file in use: the system's with KALU_DEVICE=system, else the
// simulated device's own, which simdev's policy unit rewrites.
std::filesystem::path update_policy_path();

// What a firmware refresh brings: the updates on offer and the history.
struct FirmwareLists {
  std::vector<system_ops::firmware::FirmwareUpdate> updates;
  std::vector<system_ops::firmware::FirmwareHistoryEntry> history;
};

// The image, the timer, the policy and firmware, as the pane changes them.
// The operations are in the order the pane's table of them lists.
class UpdateBackend {
 public:
  virtual ~UpdateBackend() = default;

  // `systemctl is-enabled` of the update timer (10 s). Unknown for any state
  // but enabled and disabled, and when the command cannot be run.
  virtual AutomaticUpdates automatic_updates_enabled() const = 0;
  // `systemctl enable --now` or `disable --now` of the update timer (30 s).
  virtual kalu_ui::Status set_automatic_updates(bool enabled) const = 0;
  // The rollback image of `bootc status --format json` (10 s); none when the
  // command fails or the machine keeps no previous image.
  virtual std::optional<std::string> rollback_image() const = 0;
  // Starts the rollback unit and waits for it (300 s).
  virtual kalu_ui::Status rollback() const = 0;
  // The schedule label the policy file sets. Always a label here; none is
  // for implementations that cannot tell.
  virtual std::optional<std::string> schedule() const = 0;
  // Runs the policy action of a schedule label; any other label fails with
  // "unknown update schedule" before anything runs.
  virtual kalu_ui::Status set_schedule(std::string_view label) const = 0;
  // Whether the policy file allows metered downloads. Never unknown here.
  virtual MeteredDownloads metered_allowed() const = 0;
  // Runs the policy action "metered-allow" or "metered-avoid".
  virtual kalu_ui::Status set_metered(bool allowed) const = 0;
  // Starts the update unit, which fetches and stages an image, and waits for
  // it (1800 s).
  virtual kalu_ui::Status start_update() const = 0;
  // Refreshes the firmware metadata, then reads the updates and the history
  // (the platform's firmware service, no command); the first failure is the
  // answer.
  virtual kalu_ui::Result<FirmwareLists> refresh_firmware() const = 0;
};

// The backend of the running device.
class SystemUpdateBackend final : public UpdateBackend {
 public:
  explicit SystemUpdateBackend(std::filesystem::path policy_file = update_policy_path());

  const std::filesystem::path& policy_file() const { return policy_file_; }

  AutomaticUpdates automatic_updates_enabled() const override;
  kalu_ui::Status set_automatic_updates(bool enabled) const override;
  std::optional<std::string> rollback_image() const override;
  kalu_ui::Status rollback() const override;
  std::optional<std::string> schedule() const override;
  kalu_ui::Status set_schedule(std::string_view label) const override;
  MeteredDownloads metered_allowed() const override;
  kalu_ui::Status set_metered(bool allowed) const override;
  kalu_ui::Status start_update() const override;
  kalu_ui::Result<FirmwareLists> refresh_firmware() const override;

 private:
  const std::filesystem::path policy_file_;
};

// The policy file's pairs (parse_update_policy); empty when it cannot be read.
UpdatePolicy read_update_policy(const std::filesystem::path& file);

// Starts the policy unit of `action` and waits for it (30 s). An action
// outside the whitelist (is_policy_action) fails with "invalid update policy
// action" and starts nothing.
kalu_ui::Status run_policy_action(std::string_view action);

// The operating-system name from `os_release` and the staged update from
// `bootc status --format json` (10 s).
OsImageInfo read_os_and_staged(const std::filesystem::path& os_release = "/etc/os-release");

// The release notes address (`bootc status`), the update service's recent
// journal (`journalctl`) and the rollback protection text, from whether the
// boot-confirmation timer is on (`systemctl is-enabled`) and `rollback_image`.
// Each probe is 10 s and falls back on its own.
DeploymentStatus deployment_status(const std::optional<std::string>& rollback_image);

// While one lives on a thread, that thread runs `bootc status` at most once:
// the first call's answer serves every later reader of the status document
// (the staged update, the rollback image, the release notes), so one
// reading of the image costs one run and sees one snapshot of it.
class StatusSnapshot {
 public:
  StatusSnapshot();
  ~StatusSnapshot();
  StatusSnapshot(const StatusSnapshot&) = delete;
  StatusSnapshot& operator=(const StatusSnapshot&) = delete;

 private:
  friend std::optional<std::string> bootc_status_document();
  std::optional<std::optional<std::string>> document_;
  StatusSnapshot* previous_;
};

// What `bootc status --format json` printed, when it succeeded (10 s); the
// thread's StatusSnapshot's answer while one lives.
std::optional<std::string> bootc_status_document();

// `systemctl reboot` (30 s). A non-zero exit fails with the decoded error
// output, even when that is empty.
kalu_ui::Status reboot();

}  // namespace settings::panes::updates
