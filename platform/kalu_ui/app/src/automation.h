#pragma once

#include <memory>
#include <string>

#include "kalu_ui/app.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/host.h"
#include "kalu_ui/wake.h"

namespace kalu_ui::launch {

// The application's second front door: the automation host whose registry
// is the App's, served on the application's socket while the window is open.
// The launcher creates it before the App, starts it once the set-up hook has
// filled the registry, pumps it at the start of every frame and stops it
// when the window closes.
class Automation {
 public:
  explicit Automation(std::string app_id, host::TransportOptions options = {});
  ~Automation();
  Automation(const Automation&) = delete;
  Automation& operator=(const Automation&) = delete;

  // An App whose action registry is the host's: what the set-up hook
  // registers there is what automation clients reach.
  app::App make_app() const;

  // Starts serving; `wake` reaches the frame loop when a request arrives.
  // When the host cannot start (no runtime directory, a live instance on the
  // socket ...) one warning is logged and the application runs on without
  // automation; answers whether it started.
  bool start(wake::WakeHandle wake);
  // Closes the socket and every connection.
  void stop();
  bool running() const { return host_->running(); }

  // For the frame loop: carries out the waiting requests on the tree.
  frame::FrameHook pump_hook() const;

  const host::AutomationHost& host() const { return *host_; }

 private:
  std::shared_ptr<host::AutomationHost> host_;
};

}  // namespace kalu_ui::launch
