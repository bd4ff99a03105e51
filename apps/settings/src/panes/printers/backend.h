#pragma once

// The Printers pane's way to the device's printing service: ten calls, each
// forwarding to the system operation of the same name. The pane's workers
// and its handlers call it; tests fake it. Implementations carry no state
// the pane relies on and must be callable from any thread.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "system_ops/printing.h"

namespace settings::panes::printers {

class PrintingBackend {
 public:
  virtual ~PrintingBackend() = default;

  virtual kalu_ui::Result<std::vector<system_ops::printing::PrintQueue>> queues() = 0;
  virtual kalu_ui::Result<std::vector<system_ops::printing::PrintJob>> jobs() = 0;
  // May take a while: only the discovery worker calls it.
  virtual kalu_ui::Result<std::vector<system_ops::printing::DriverlessPrinter>>
  discover_driverless() = 0;
  virtual kalu_ui::Result<std::vector<system_ops::printing::Scanner>> scanners() = 0;
  virtual kalu_ui::Status add_driverless(const std::string& name, const std::string& uri) = 0;
  // True when it became the default, false when it already was.
  virtual kalu_ui::Result<bool> set_default(const std::string& queue) = 0;
  virtual kalu_ui::Status set_enabled(const std::string& queue, bool enabled) = 0;
  virtual kalu_ui::Status remove_queue(const std::string& queue) = 0;
  virtual kalu_ui::Status cancel_job(std::uint32_t id) = 0;
  // True when it starts again, false when it is already printing or queued.
  virtual kalu_ui::Result<bool> retry_job(std::uint32_t id) = 0;
};

// The device's printing service (system_ops::printing).
std::shared_ptr<PrintingBackend> system_printing_backend();

}  // namespace settings::panes::printers
