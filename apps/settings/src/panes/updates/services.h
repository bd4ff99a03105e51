#pragma once

// What the Updates pane and its workers call, shared between them: the
// update backend and the readers of the image (backend.h), the clock text
// that becomes "last checked", and `systemctl reboot`. The pane holds one
// `UpdateServices` behind a shared pointer and every worker it starts takes a
// share, so a worker that outlives its pane still has everything it calls.
// Tests put fakes in the fields; the device's own are device_update_services.
//
// Every function here may be called from any thread; all but clock_text,
// the policy-file readers of the backend and the firmware service's lists and
// install start run a command and block for as long as it takes, so the pane
// calls them only on its workers (workers.h). The firmware service starts an
// installation at once (the installation itself runs on the service's own
// job thread), so the pane calls that directly; its lists are read with the
// pane's first reading on the status worker, and its metadata refresh waits
// for the service and runs on a worker.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "panes/updates/backend.h"
#include "panes/updates/firmware.h"
#include "panes/updates/model.h"
#include "stored/sections.h"

namespace settings::panes::updates {

struct UpdateServices {
  std::shared_ptr<const UpdateBackend> backend;
  // The operating system's name and the staged update (read_os_and_staged).
  std::function<OsImageInfo()> read_os;
  // The journal, release notes and rollback protection for a rollback image
  // (deployment_status).
  std::function<DeploymentStatus(const std::optional<std::string>&)> read_deployment;
  // The date and time a finished check is stamped with (clock_text).
  std::function<std::string()> clock_text;
  // `systemctl reboot` (reboot).
  std::function<kalu_ui::Status()> reboot;
  // The firmware offers and history as the service knows them now, without
  // refreshing (get_firmware_updates, get_firmware_history).
  std::function<FirmwareUpdateList()> firmware_updates;
  std::function<FirmwareHistoryList()> firmware_history;
  // Starts installing `updates`; the job sends its events from its own
  // thread (start_firmware_install).
  std::function<kalu_ui::Result<system_ops::firmware::FirmwareInstallReceiver>(
      const std::vector<FirmwareUpdate>& updates)>
      start_firmware_install;
};

// The running device's: `backend` (SystemUpdateBackend over the policy file
// in use when none is given), the readers of backend.h and the firmware
// service of system_ops.
std::shared_ptr<const UpdateServices> device_update_services(
    std::shared_ptr<const UpdateBackend> backend = nullptr);

// The platform's current date and clock joined by one space
// ("Tuesday, 3 March 2026 14:05", the clock as the locale writes it); a part
// the platform cannot give is left out.
std::string clock_text();

// Everything the page shows about the image, read in one go on a worker:
// the image and what is staged, the timer (only when `with_timer`), the
// rollback image and the deployment status built from it.
struct ImageStatus {
  OsImageInfo os;
  AutomaticUpdates automatic = AutomaticUpdates::Unknown;
  std::optional<std::string> rollback_image;
  DeploymentStatus deployment;
};
ImageStatus read_image_status(const UpdateServices& services, bool with_timer = true);

// A newly built pane's reading, on its status worker: the image as above,
// and the firmware offers and history as the service knows them.
struct FirstReading {
  ImageStatus image;
  FirmwareUpdateList firmware_updates;
  FirmwareHistoryList firmware_history;
};
FirstReading read_first(const UpdateServices& services);

// What the page shows when the image cannot be read at all: the default
// operating-system name, nothing staged, the timer unknown, no rollback image
// and the protection text for that.
ImageStatus unreadable_image_status();

// The "updates" section of the settings document: the stored preferences,
// their defaults when the document or the section does not read.
stored::UpdatePrefs load_update_prefs();

// Merges `prefs` into the "updates" section of the settings document, keeping
// every other section and any member of "updates" it does not name. A
// document that cannot be read or parsed is never replaced: that is an error.
kalu_ui::Status save_update_prefs(const stored::UpdatePrefs& prefs);

}  // namespace settings::panes::updates
