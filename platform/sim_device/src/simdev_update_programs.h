#pragma once

#include <string>
#include <vector>

#include "sim_device/simdev.h"
#include "sim_device/state.h"

// The image-based system as simdev answers for it, from the "updates"
// section: the update timer and the platform's units through `systemctl`,
// the image status through `bootc`, the update service's journal through
// `journalctl`.
//
//   systemctl is-enabled UNIT          the timer's state from "updates.timers"
//   systemctl enable|disable [--now] UNIT
//                                      switches a timer; a masked one refuses,
//                                      a static one stays as it is
//   systemctl start [--wait] UNIT      kalu-deployment-update.service stages the
//                                      available image; kalu-deployment-rollback
//                                      .service swaps the booted and rollback
//                                      images and drops a staged one;
//                                      kalu-update-policy@ACTION.service rewrites
//                                      "updates.policy" (and so the policy file)
//   systemctl reboot                   only counts a restart in "updates.restarts"
//   bootc status --format json         the booted, staged and rollback images
//   journalctl -u UNIT [-n N] ...      the last N lines of "updates.journal"
//
// Besides the program faults, a fault named after a unit
// ("kalu-deployment-update.service"), or after a template for all of its
// instances ("kalu-update-policy@.service"), fails every systemctl command on
// that unit with its text and changes nothing. A delay named after a unit
// (or a template, for its instances) slows its start.
namespace sim_device::simdev {

Outcome systemctl(const std::vector<std::string>& args, const Json& state);
Outcome bootc(const std::vector<std::string>& args, const Json& state);
Outcome journalctl(const std::vector<std::string>& args, const Json& state);

}  // namespace sim_device::simdev
