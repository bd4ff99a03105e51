#include "automation.h"

#include <utility>

#include "kalu_ui/log.h"

namespace kalu_ui::launch {

Automation::Automation(std::string app_id, host::TransportOptions options)
    : host_(std::make_shared<host::AutomationHost>(std::move(app_id), std::move(options))) {}

Automation::~Automation() { stop(); }

app::App Automation::make_app() const {
  // The App's handle shares ownership of the host, so the registry outlives
  // whichever of the two goes last.
  std::shared_ptr<kalu_actions::ActionRegistry> registry(host_, &host_->action_registry_mut());
  return app::App(host_->app_id(), std::move(registry));
}

bool Automation::start(wake::WakeHandle wake) {
  if (auto started = host_->start(std::move(wake)); !started) {
    log::warn("kalu::ui", "kalu_ui::launch", "automation not available",
              {{"op", "automation_start"}, {"error", started.error()}});
    return false;
  }
  return true;
}

void Automation::stop() { host_->stop(); }

frame::FrameHook Automation::pump_hook() const {
  return [host = host_](Widget& root, doc::Document& document) { host->pump(root, document); };
}

}  // namespace kalu_ui::launch
