#include "kalu_ui/atspi/bridge.h"

#include <pthread.h>
#include <sys/stat.h>

#include <cstdlib>
#include <utility>

#include "bridge_internal.h"
#include "kalu_ui/widget/focus.h"

namespace kalu_ui::atspi {

// ---- Shared ----

std::shared_ptr<const Snapshot> Bridge::Shared::latest() const {
  std::lock_guard lock(mutex);
  return snapshot;
}

void Bridge::Shared::set_status(Status next) {
  {
    std::lock_guard lock(mutex);
    status = next;
  }
  changed.notify_all();
}

void Bridge::Shared::request(Request next) {
  {
    std::lock_guard lock(mutex);
    requests.push_back(std::move(next));
  }
  wake.wake();
}

std::shared_ptr<const Snapshot> Bridge::Shared::fresh(std::chrono::milliseconds wait) {
  std::unique_lock lock(mutex);
  if (stale && registered) {
    const std::uint64_t seen = generation;
    demanded = true;
    wake.wake();
    changed.wait_for(lock, wait, [&] { return generation != seen; });
  }
  return snapshot;
}

// ---- Bridge ----

Bridge::Bridge(BridgeOptions options, wake::WakeHandle wake)
    : shared_(std::make_shared<Shared>(std::move(wake))) {
  shared_->window.fallback_name = options.application_name;
  service_ = std::make_unique<Service>(shared_, std::move(options));
  thread_ = std::thread([service = service_.get()] {
    pthread_setname_np(pthread_self(), "kalu-atspi");
    service->run();
  });
}

Bridge::~Bridge() {
  service_->stop();
  if (thread_.joinable()) thread_.join();
}

std::optional<std::string> Bridge::session_bus_address() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
      address && *address && std::string_view(address) != "disabled:") {
    return std::string(address);
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime) {
    const std::string socket = std::string(runtime) + "/bus";
    struct stat info {};
    if (::stat(socket.c_str(), &info) == 0 && S_ISSOCK(info.st_mode)) {
      return "unix:path=" + socket;
    }
  }
  return std::nullopt;
}

void Bridge::carry_out_requests(Widget& root) {
  std::vector<Request> requests;
  {
    std::lock_guard lock(shared_->mutex);
    requests.swap(shared_->requests);
  }
  for (const Request& request : requests) {
    Widget* widget = find_widget(root, request.key);
    if (!widget) continue;
    switch (request.action.kind) {
      case SemanticAction::Kind::Focus:
        if (widget->is_focusable()) widget::focus_widget(root, widget);
        root.reveal_descendant(*widget);
        break;
      case SemanticAction::Kind::ScrollIntoView:
        root.reveal_descendant(*widget);
        break;
      case SemanticAction::Kind::Activate:
        // As a click does: the control takes the focus, so that what it
        // opens or selects (a pane) goes on from there.
        // A sidebar row is a stop of its list only once selected: asked again
        // after the action.
        if (widget->is_focusable() && widget->is_enabled()) widget::focus_widget(root, widget);
        (void)widget->perform_action(request.action, kalu_actions::ActionContext{});
        // Found again: what the action did may have replaced it.
        widget = find_widget(root, request.key);
        if (widget && !widget->is_focused() && widget->is_focusable() && widget->is_enabled()) {
          widget::focus_widget(root, widget);
        }
        break;
      default:
        (void)widget->perform_action(request.action, kalu_actions::ActionContext{});
        break;
    }
    shared_->stale = true;
  }
}

void Bridge::frame_done(const Widget& root, bool changed) {
  if (changed) shared_->stale = true;
  if (!shared_->registered || !shared_->stale) return;
  if (!shared_->listening && !shared_->demanded) return;
  SnapshotOptions window;
  {
    std::lock_guard lock(shared_->mutex);
    window = shared_->window;
  }
  auto snapshot = std::make_shared<const Snapshot>(build_snapshot(root, window));
  // Cleared before the snapshot is out: a change after this frame marks it
  // stale again.
  shared_->stale = false;
  shared_->demanded = false;
  {
    std::lock_guard lock(shared_->mutex);
    shared_->snapshot = std::move(snapshot);
    ++shared_->generation;
  }
  shared_->changed.notify_all();
  service_->published();
}

void Bridge::set_window(Point origin, double scale, bool active) {
  std::lock_guard lock(shared_->mutex);
  SnapshotOptions& window = shared_->window;
  if (window.window_origin == origin && window.scale == scale && window.window_active == active) {
    return;
  }
  window.window_origin = origin;
  window.scale = scale;
  window.window_active = active;
  shared_->stale = true;
}

Bridge::Status Bridge::status() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->status;
}

Bridge::Status Bridge::wait_until_settled(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(shared_->mutex);
  shared_->changed.wait_for(lock, timeout, [&] { return shared_->status != Status::Connecting; });
  return shared_->status;
}

}  // namespace kalu_ui::atspi
