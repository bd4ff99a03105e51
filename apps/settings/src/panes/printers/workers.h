#pragma once

// The Printers pane's two workers. Each does one job on a thread of its own,
// sends its one result over a one-place channel and ends; it is never
// joined. The pane polls the receiving end in `sync`; when the pane goes
// first, the worker's send fails quietly.

#include <memory>
#include <string_view>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/printers/backend.h"
#include "panes/printers/model.h"

namespace settings::panes::printers {

inline constexpr std::string_view kStatusWorkerName = "kalu-printer-status";
inline constexpr std::string_view kDiscoveryWorkerName = "kalu-printer-discovery";

using StatusReceiver = kalu_ui::channel::Receiver<StatusResult>;
using DiscoveryReceiver = kalu_ui::channel::Receiver<DiscoveryResult>;

// Reads the queues, the jobs and the scanners, in that order, and sends the
// three answers as one message. The error is why no thread could be started.
kalu_ui::Result<StatusReceiver> start_status_worker(std::shared_ptr<PrintingBackend> backend);

// Looks for driverless printers nearby and sends what it found.
kalu_ui::Result<DiscoveryReceiver> start_discovery_worker(std::shared_ptr<PrintingBackend> backend);

}  // namespace settings::panes::printers
