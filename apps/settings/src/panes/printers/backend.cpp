#include "panes/printers/backend.h"

namespace settings::panes::printers {
namespace {

namespace printing = system_ops::printing;

class SystemPrintingBackend final : public PrintingBackend {
 public:
  kalu_ui::Result<std::vector<printing::PrintQueue>> queues() override {
    return printing::queues();
  }
  kalu_ui::Result<std::vector<printing::PrintJob>> jobs() override { return printing::jobs(); }
  kalu_ui::Result<std::vector<printing::DriverlessPrinter>> discover_driverless() override {
    return printing::discover_driverless();
  }
  kalu_ui::Result<std::vector<printing::Scanner>> scanners() override {
    return printing::scanners();
  }
  kalu_ui::Status add_driverless(const std::string& name, const std::string& uri) override {
    return printing::add_driverless(name, uri);
  }
  kalu_ui::Result<bool> set_default(const std::string& queue) override {
    return printing::set_default(queue);
  }
  kalu_ui::Status set_enabled(const std::string& queue, bool enabled) override {
    return printing::set_enabled(queue, enabled);
  }
  kalu_ui::Status remove_queue(const std::string& queue) override {
    return printing::remove_queue(queue);
  }
  kalu_ui::Status cancel_job(std::uint32_t id) override { return printing::cancel_job(id); }
  kalu_ui::Result<bool> retry_job(std::uint32_t id) override { return printing::retry_job(id); }
};

}  // namespace

std::shared_ptr<PrintingBackend> system_printing_backend() {
  // Stateless: one shared object serves every pane and worker.
  static const std::shared_ptr<PrintingBackend> backend = std::make_shared<SystemPrintingBackend>();
  return backend;
}

}  // namespace settings::panes::printers
