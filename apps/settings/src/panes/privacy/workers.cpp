#include "panes/privacy/workers.h"

#include <string>
#include <utility>

#include "kalu_ui/log.h"
#include "lib/worker.h"

namespace settings::panes::privacy {

std::shared_ptr<SecurityCell> start_security_probe(EfivarsSource efivars) {
  auto cell = SecurityCell::create(std::nullopt);
  // The worker keeps the cell alive; a page dropped before the answer only
  // means nobody reads it.
  bool started = lib::spawn_worker(kProbeWorkerName, [cell, efivars = std::move(efivars)] {
    cell->publish(probe_device_security(efivars));
  });
  if (!started) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::privacy",
                       "device security probe could not start",
                       {{"op", "probe_device_security"}, {"error", "no thread"}});
    const std::string unavailable(kUnavailable);
    cell->publish(DeviceSecurity{unavailable, unavailable, unavailable});
  }
  return cell;
}

}  // namespace settings::panes::privacy
