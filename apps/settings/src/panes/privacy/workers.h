#pragma once

// The page's one worker, "kalu-privacy-probe": it runs the device security
// probes (up to five commands of 5 seconds each) so that the page is built at
// once, and publishes their answer into a value cell that the page's
// "Device security" rows read in their sync.

#include <memory>
#include <optional>
#include <string_view>

#include "kalu_ui/wake_slot.h"
#include "panes/privacy/model.h"

namespace settings::panes::privacy {

inline constexpr std::string_view kProbeWorkerName = "kalu-privacy-probe";

// Empty until the probes have answered.
using SecurityCell = kalu_ui::WakeSlot<std::optional<DeviceSecurity>>;

// Starts the worker and answers the cell it will publish into. When no
// thread can be started the cell holds every state "Unavailable" at once.
std::shared_ptr<SecurityCell> start_security_probe(EfivarsSource efivars);

}  // namespace settings::panes::privacy
