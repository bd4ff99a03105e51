#pragma once

#include <chrono>
#include <concepts>
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

// What the toolkit kept of the document just before a typed action: the
// heads the action builds on.
struct TypedActionRecord {
  std::vector<doc::ChangeHash> heads;
};

// The toolkit's bound dispatch: whoever records the typed actions a frame
// makes (to replay or report them) keeps the state before each one and hears
// of it once it was applied. An action host without one uses the document's
// own heads and reports nothing.
class BoundDispatch {
 public:
  virtual ~BoundDispatch() = default;
  // The record of `document` before the next action, or none.
  virtual std::optional<TypedActionRecord> typed_action_before(const doc::Document& document) = 0;
  // `action` (sent as `invocation`) was applied on top of `before`; the
  // document now has `heads_after`.
  virtual void report_typed_action(const TypedActionRecord& before,
                                   const kalu_actions::TypedAction& action,
                                   const kalu_actions::EncodedAction& invocation,
                                   const std::vector<doc::ChangeHash>& heads_after) = 0;
};

// A typed action a pane holds: it applies itself and writes the payload its
// invocation carries.
template <typename A>
concept DispatchableAction = std::derived_from<A, kalu_actions::TypedAction> &&
    requires(const A& action) {
  { action.payload_json() } -> std::convertible_to<std::string>;
};

// Dispatches typed actions for one pane (or the application) into the state
// document, through a local transport, in this order: the invocation, the
// heads before the action, the actor, the context (the given one enriched by
// the host's base context), the dispatch; on success the action is reported
// to the bound dispatch, and the host keeps the heads before its first
// successful dispatch and the last invocation it dispatched. A failed
// dispatch keeps and reports nothing. UI thread only.
class ActionHost {
 public:
  explicit ActionHost(std::shared_ptr<const kalu_actions::ActionRegistry> registry,
                      std::optional<kalu_actions::ActionContext> base_context = std::nullopt,
                      std::shared_ptr<BoundDispatch> bound = nullptr);

  // Dispatches the pane's typed `action` under `namespace_id`; a failure is
  // logged as "action dispatch failed" with the error and the namespace, and
  // the caller goes on.
  template <DispatchableAction A>
  void dispatch_with_context(doc::Document& document, std::string_view namespace_id,
                             const A& action, std::optional<kalu_actions::ActionContext> context) {
    dispatch_typed(
        document, action,
        kalu_actions::EncodedAction::from_text(std::string(namespace_id), action.payload_json()),
        std::move(context));
  }
  // The same for an action already written as its invocation.
  void dispatch_typed(doc::Document& document, const kalu_actions::TypedAction& action,
                      kalu_actions::EncodedAction invocation,
                      std::optional<kalu_actions::ActionContext> context);
  // Decodes `payload_json` with the handler registered for `namespace_id` and
  // dispatches it the same way, answering the failure instead of logging it.
  kalu_actions::ActionResult<void> dispatch(doc::Document& document, std::string_view namespace_id,
                                            std::string_view payload_json,
                                            std::optional<kalu_actions::ActionContext> context);

  // True when a handler is registered for the namespace.
  bool handles(std::string_view namespace_id) const {
    return registry_ && registry_->contains(namespace_id);
  }
  void bind(std::shared_ptr<BoundDispatch> bound) { bound_ = std::move(bound); }

  const std::optional<std::vector<doc::ChangeHash>>& first_heads() const { return first_heads_; }
  const std::optional<kalu_actions::EncodedAction>& last_invocation() const {
    return last_invocation_;
  }

 private:
  kalu_actions::ActionResult<void> deliver(doc::Document& document,
                                           const kalu_actions::TypedAction& action,
                                           kalu_actions::EncodedAction invocation,
                                           std::optional<kalu_actions::ActionContext> context);

  std::shared_ptr<const kalu_actions::ActionRegistry> registry_;
  std::optional<kalu_actions::ActionContext> base_context_;
  std::shared_ptr<BoundDispatch> bound_;
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
  // Requests of one client received and not yet answered before the
  // transport stops reading from it.
  std::size_t max_outstanding_per_client = 32;
  // Requests carried out by one pump; the rest wait for the next frame.
  std::size_t max_requests_per_pump = 64;
  // When every slot is taken, a connection that has had nothing waiting,
  // nothing being carried out and nothing unsent for this long is closed to
  // make room for a new one.
  std::chrono::milliseconds idle_after{5000};
};

// The socket of an application: <XDG_RUNTIME_DIR>/kalu-automation/<app id>.sock.
// Refuses a missing or relative runtime directory and application ids other
// than 1 to 64 letters, digits, ".", "_" and "-" not starting with ".".
Result<std::string> automation_socket_path(std::string_view app_id);

// The application's automation transport. A socket thread accepts clients of
// the same user, reads newline-delimited JSON requests and hands them to the
// UI thread, waking its loop; the frame loop calls `pump` between frames,
// which carries the requests out on the widget tree and hands the answers
// back. Clients are served fairly: the UI thread takes their requests in
// turn, each client's waiting requests and buffers are bounded, and connections
// that are gone or idle give up their slots. The protocol and its limits are
// described in platform/kalu_ui/host/automation.md.
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
  // Requests received and not yet taken by `pump`.
  std::size_t waiting_requests() const;

 private:
  struct Transport;
  struct Operations;

  std::string answer_line(std::string_view line, Widget& root, doc::Document& document);

  std::string app_id_;
  TransportOptions options_;
  std::shared_ptr<kalu_actions::ActionRegistry> registry_;
  std::string socket_path_;
  std::unique_ptr<Transport> transport_;
  std::unique_ptr<Operations> operations_;
};

}  // namespace kalu_ui::host
