#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "kalu_ui/atspi/snapshot.h"
#include "kalu_ui/wake.h"
#include "widget_contract/widget.h"

// The accessibility bridge: publishes one window's widget tree on the
// accessibility bus, where screen readers read it and drive it.
//
// Threads. The bridge runs a thread of its own, "kalu-atspi", that finds the
// accessibility bus (org.a11y.Bus on the session bus), registers the window
// with the registry (Socket.Embed) and answers every call a client makes. It
// never touches a widget: it answers from the latest snapshot of the tree
// (snapshot.h), which the UI thread takes after a frame that changed
// something, and only while a client listens for events or has asked since
// the last change (a stale snapshot is refreshed by waking the frame loop
// and waiting for it a little). What clients ask the widgets to do (press,
// focus, set a value) waits in a queue that the frame loop carries out at
// the start of its next frame. The UI thread never waits on D-Bus.
//
// Connecting happens entirely on the bridge's thread, so start-up pays only
// for starting a thread. No session bus, no accessibility bus or a registry
// that refuses is a warning, and the window simply stays unpublished.
namespace kalu_ui::atspi {

struct BridgeOptions {
  // The name the window is listed under, when its root answers none.
  std::string application_name;
  // Where the session bus is (session_bus_address(), read on the UI thread
  // before anything else may change the environment); none: no bridge.
  std::optional<std::string> session_bus;
  // How long a client's call waits for a fresh snapshot while the tree has
  // changed since the last one.
  std::chrono::milliseconds refresh_wait{250};
};

// What a client asked a node to do.
struct Request {
  std::string key;
  SemanticAction action;
};

class Bridge {
 public:
  enum class Status { Connecting, Registered, Unavailable };

  // Starts the bridge's thread and answers at once; `wake` wakes the frame loop.
  Bridge(BridgeOptions options, wake::WakeHandle wake);
  // Leaves the bus and joins the thread.
  ~Bridge();
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  // The session bus of this process's environment: DBUS_SESSION_BUS_ADDRESS,
  // else the user's bus socket in XDG_RUNTIME_DIR; none when neither is
  // there (no bus is started for the bridge).
  static std::optional<std::string> session_bus_address();

  // ---- UI thread ----

  // At the start of a frame: carries out what clients asked of the widgets
  // under `root` (a node whose widget is gone is passed over).
  void carry_out_requests(Widget& root);
  // After a frame; `changed` when it drew or laid out anything. Publishes a
  // snapshot of `root` when one is due.
  void frame_done(const Widget& root, bool changed);
  // The window's place on the screen (physical pixels), its scale (physical
  // pixels per logical pixel) and whether it is the active window.
  void set_window(Point origin, double scale, bool active);

  // ---- any thread ----

  Status status() const;
  // Waits until the bridge has registered or given up, at most `timeout`.
  Status wait_until_settled(std::chrono::milliseconds timeout) const;

  struct Shared;
  class Service;

 private:
  std::shared_ptr<Shared> shared_;
  std::unique_ptr<Service> service_;
  std::thread thread_;
};

}  // namespace kalu_ui::atspi
