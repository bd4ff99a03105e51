#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/context.h"
#include "kalu_actions/dispatch.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/document.h"
#include "kalu_ui/result.h"
#include "kalu_ui/wake.h"

namespace kalu_ui {
class Widget;
}  // namespace kalu_ui

// The toolkit's action host: the registry of action namespaces an application
// handles, the dispatch of typed actions into the state document, and the
// automation transport through which clients on the device reach the
// application's resources and resource operations.
namespace kalu_ui::host {

// Dispatches typed actions for one pane (or the application) into the state
// document. Remembers the heads before its first successful dispatch and the
// last invocation it dispatched. UI thread only.
class ActionHost {
 public:
  explicit ActionHost(std::shared_ptr<const kalu_actions::ActionRegistry> registry,
                      std::optional<kalu_actions::ActionContext> base_context = std::nullopt);

  // Dispatches `payload_json` under `namespace_id`; a failure is logged as
  // "action dispatch failed" and the caller goes on.
  void dispatch_with_context(doc::Document& document, std::string_view namespace_id,
                             std::string_view payload_json,
                             std::optional<kalu_actions::ActionContext> context);
  // The same, answering the failure instead of logging it.
  kalu_actions::ActionResult<void> dispatch(doc::Document& document, std::string_view namespace_id,
                                            std::string_view payload_json,
                                            std::optional<kalu_actions::ActionContext> context);

  // True when a handler is registered for the namespace.
  bool handles(std::string_view namespace_id) const {
    return registry_ && registry_->contains(namespace_id);
  }

  const std::optional<std::vector<doc::ChangeHash>>& first_heads() const { return first_heads_; }
  const std::optional<kalu_actions::EncodedAction>& last_invocation() const {
    return last_invocation_;
  }

 private:
  std::shared_ptr<const kalu_actions::ActionRegistry> registry_;
  std::optional<kalu_actions::ActionContext> base_context_;
  std::optional<std::vector<doc::ChangeHash>> first_heads_;
  std::optional<kalu_actions::EncodedAction> last_invocation_;
};

struct TransportOptions {
  // The socket to listen on; by default <runtime dir>/kalu-automation/<app id>.sock.
  std::optional<std::string> socket_path;
  // Longest request line accepted; a longer one is answered with an error and
  // the connection is closed.
  std::size_t max_line_bytes = std::size_t{1} << 20;
  std::size_t max_clients = 32;
  // Requests of one client waiting for the UI thread before the transport
  // stops reading from it.
  std::size_t max_outstanding_per_client = 32;
  // Requests carried out by one pump; the rest wait for the next frame.
  std::size_t max_requests_per_pump = 64;
};

// The socket of an application: <XDG_RUNTIME_DIR>/kalu-automation/<app id>.sock.
// Refuses a missing or relative runtime directory and application ids other
// than 1 to 64 letters, digits, ".", "_" and "-" not starting with ".".
Result<std::string> automation_socket_path(std::string_view app_id);

// The application's automation transport. A socket thread accepts clients of
// the same user, reads newline-delimited JSON requests and hands them to the
// UI thread, waking its loop; the frame loop calls `pump` between frames,
// which carries the requests out on the widget tree and hands the answers
// back. The protocol is described in platform/kalu_ui/host/automation.md.
class AutomationHost {
 public:
  explicit AutomationHost(std::string app_id, TransportOptions options = {});
  ~AutomationHost();
  AutomationHost(const AutomationHost&) = delete;
  AutomationHost& operator=(const AutomationHost&) = delete;

  const std::string& app_id() const { return app_id_; }

  // The namespaces the application handles; register before the first frame.
  kalu_actions::ActionRegistry& action_registry_mut() { return *registry_; }
  std::shared_ptr<const kalu_actions::ActionRegistry> action_registry() const { return registry_; }

  // Creates the runtime directory (0700) and the socket (0600) and starts
  // the socket thread. `wake` reaches the frame loop when requests arrive.
  Status start(wake::WakeHandle wake = wake::WakeHandle::create());
  // Stops the socket thread, closes every connection and removes the socket.
  void stop();
  bool running() const;
  const std::string& socket_path() const { return socket_path_; }

  // UI thread, between frames: carries out waiting requests on `root` and
  // answers how many it handled.
  std::size_t pump(Widget& root, doc::Document& document);
  bool has_pending_requests() const;

 private:
  struct Transport;
  struct Operations;

  std::string app_id_;
  TransportOptions options_;
  std::shared_ptr<kalu_actions::ActionRegistry> registry_;
  std::string socket_path_;
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<Operations> operations_;
};

}  // namespace kalu_ui::host
