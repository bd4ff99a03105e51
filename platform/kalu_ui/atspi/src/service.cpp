#include "service.h"

#include <utility>

#include "kalu_ui/log.h"

namespace kalu_ui::atspi {
namespace {

constexpr std::string_view kModule = "kalu_ui::atspi";

// Whether an asynchronous step ended because the bridge is stopping.
bool cancelled(const GError* error) {
  return error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
}

GVariant* empty_properties() { return g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0); }

// GDBus hands the subtree's calls here; `node` is the path's last element.
gchar** enumerate_nodes(GDBusConnection*, const gchar*, const gchar*, gpointer) {
  // Nodes come and go with the tree; calls reach unlisted ones too.
  return g_new0(gchar*, 1);
}

GDBusInterfaceInfo** introspect_node(GDBusConnection*, const gchar*, const gchar* object_path,
                                     const gchar* node, gpointer user_data) {
  auto* impl = static_cast<Bridge::Service::Impl*>(user_data);
  const std::string path =
      node ? std::string(kObjectPrefix) + "/" + node : std::string(object_path);
  return impl->interfaces_of(path.c_str());
}

void on_method_call(GDBusConnection*, const gchar*, const gchar* object_path,
                    const gchar* interface_name, const gchar* method_name, GVariant* parameters,
                    GDBusMethodInvocation* invocation, gpointer user_data) {
  static_cast<Bridge::Service::Impl*>(user_data)->method_call(object_path, interface_name,
                                                              method_name, parameters, invocation);
}

GVariant* on_get_property(GDBusConnection*, const gchar*, const gchar* object_path,
                          const gchar* interface_name, const gchar* property_name, GError** error,
                          gpointer user_data) {
  return static_cast<Bridge::Service::Impl*>(user_data)->get_property(object_path, interface_name,
                                                                      property_name, error);
}

gboolean on_set_property(GDBusConnection*, const gchar*, const gchar* object_path,
                         const gchar* interface_name, const gchar* property_name, GVariant* value,
                         GError** error, gpointer user_data) {
  return static_cast<Bridge::Service::Impl*>(user_data)->set_property(object_path, interface_name,
                                                                      property_name, value, error);
}

const GDBusInterfaceVTable kObjectCalls = {on_method_call, on_get_property, on_set_property, {}};

const GDBusInterfaceVTable* dispatch_node(GDBusConnection*, const gchar*, const gchar*,
                                          const gchar*, const gchar*, gpointer* out_user_data,
                                          gpointer user_data) {
  *out_user_data = user_data;
  return &kObjectCalls;
}

const GDBusSubtreeVTable kSubtreeCalls = {enumerate_nodes, introspect_node, dispatch_node, {}};

}  // namespace

Bridge::Service::Impl::Impl(std::shared_ptr<Shared> shared_state, BridgeOptions bridge_options)
    : shared(std::move(shared_state)),
      options(std::move(bridge_options)),
      context(g_main_context_new()),
      loop(g_main_loop_new(context, FALSE)),
      cancel(g_cancellable_new()),
      introspection(parse_interfaces()) {}

Bridge::Service::Impl::~Impl() {
  if (bus) {
    if (subtree) g_dbus_connection_unregister_subtree(bus, subtree);
    if (cache) g_dbus_connection_unregister_object(bus, cache);
    if (listener_registered) g_dbus_connection_signal_unsubscribe(bus, listener_registered);
    if (listener_deregistered) g_dbus_connection_signal_unsubscribe(bus, listener_deregistered);
    g_dbus_connection_close_sync(bus, nullptr, nullptr);
    g_object_unref(bus);
  }
  if (session) {
    g_dbus_connection_close_sync(session, nullptr, nullptr);
    g_object_unref(session);
  }
  if (introspection) g_dbus_node_info_unref(introspection);
  g_object_unref(cancel);
  g_main_loop_unref(loop);
  g_main_context_unref(context);
}

void Bridge::Service::Impl::give_up(std::string_view what, const GError* error) {
  log::warn(log::kToolkitTarget, kModule, "the window is not published for screen readers",
            {{"op", std::string(what)}, {"error", error ? error->message : "unknown"}});
  shared->set_status(Status::Unavailable);
  // Nothing more to do: the thread ends.
  g_main_loop_quit(loop);
}

namespace {

// What an asynchronous step goes on with, and what failed when it fails.
template <typename Result>
struct Continuation {
  Bridge::Service::Impl* impl;
  // Null: a failure goes on with a null result instead of giving up.
  const char* what;
  void (Bridge::Service::Impl::*next)(Result*);
};

// Ends one step: a cancelled one does nothing, a failed one gives up (or
// goes on with nothing), else the step's result goes on.
template <typename Result>
void finish(Continuation<Result>* step, Result* result, GError* error) {
  std::unique_ptr<Continuation<Result>> owned(step);
  if (cancelled(error)) return g_error_free(error);
  if (!result && step->what) {
    step->impl->give_up(step->what, error);
  } else {
    (step->impl->*step->next)(result);
  }
  if (error) g_error_free(error);
}

}  // namespace

void Bridge::Service::Impl::connect(const std::string& address, const char* what,
                                    void (Impl::*next)(GDBusConnection*)) {
  const auto flags =
      static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                        G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION);
  g_dbus_connection_new_for_address(
      address.c_str(), flags, nullptr, cancel,
      [](GObject*, GAsyncResult* result, gpointer data) {
        GError* error = nullptr;
        GDBusConnection* connection = g_dbus_connection_new_for_address_finish(result, &error);
        finish(static_cast<Continuation<GDBusConnection>*>(data), connection, error);
      },
      new Continuation<GDBusConnection>{this, what, next});
}

void Bridge::Service::Impl::call(GDBusConnection* connection, std::string_view name,
                                 std::string_view path, std::string_view interface,
                                 const char* method, GVariant* parameters, const char* reply_type,
                                 const char* what, void (Impl::*next)(GVariant*)) {
  g_dbus_connection_call(
      connection, std::string(name).c_str(), std::string(path).c_str(),
      std::string(interface).c_str(), method, parameters, G_VARIANT_TYPE(reply_type),
      G_DBUS_CALL_FLAGS_NONE, -1, cancel,
      [](GObject* source, GAsyncResult* result, gpointer data) {
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        finish(static_cast<Continuation<GVariant>*>(data), reply, error);
        if (reply) g_variant_unref(reply);
      },
      new Continuation<GVariant>{this, what, next});
}

void Bridge::Service::Impl::start() {
  if (!options.session_bus) {
    GError* error = g_error_new_literal(G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "no session bus");
    give_up("find the session bus", error);
    return g_error_free(error);
  }
  connect(*options.session_bus, "connect to the session bus", &Impl::on_session);
}

void Bridge::Service::Impl::on_session(GDBusConnection* connection) {
  session = connection;
  call(session, "org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress", nullptr, "(s)",
       "find the accessibility bus", &Impl::on_bus_address);
}

void Bridge::Service::Impl::on_bus_address(GVariant* reply) {
  const gchar* address = nullptr;
  g_variant_get(reply, "(&s)", &address);
  connect(address, "connect to the accessibility bus", &Impl::on_bus);
}

void Bridge::Service::Impl::on_bus(GDBusConnection* connection) {
  bus = connection;
  // The bus going away leaves the window unpublished; the program goes on.
  g_dbus_connection_set_exit_on_close(connection, FALSE);
  register_objects();
}

void Bridge::Service::Impl::register_objects() {
  GError* error = nullptr;
  subtree = g_dbus_connection_register_subtree(
      bus, std::string(kObjectPrefix).c_str(), &kSubtreeCalls,
      G_DBUS_SUBTREE_FLAGS_DISPATCH_TO_UNENUMERATED_NODES, this, nullptr, &error);
  if (!subtree) {
    give_up("publish the window's objects", error);
    return g_error_free(error);
  }
  GDBusInterfaceInfo* cache_info =
      g_dbus_node_info_lookup_interface(introspection, std::string(kCache).c_str());
  cache = g_dbus_connection_register_object(bus, std::string(kCachePath).c_str(), cache_info,
                                            &kObjectCalls, this, nullptr, &error);
  if (!cache) {
    give_up("publish the window's objects", error);
    return g_error_free(error);
  }
  // Clients may ask from now on, the registry first.
  shared->registered = true;
  embed();
}

void Bridge::Service::Impl::embed() {
  call(bus, kRegistryName, kRootPath, kSocket, "Embed",
       g_variant_new("((so))", unique_name(), std::string(kRootPath).c_str()), "((so))",
       "register with the accessibility registry", &Impl::on_embedded);
}

void Bridge::Service::Impl::on_embedded(GVariant* reply) {
  const gchar* name = nullptr;
  const gchar* path = nullptr;
  g_variant_get(reply, "((&s&o))", &name, &path);
  desktop_name = name;
  desktop_path = path;
  shared->set_status(Status::Registered);
  follow_listeners();
  // A first snapshot, so that the first question finds one.
  shared->stale = true;
  shared->wake.wake();
}

void Bridge::Service::Impl::follow_listeners() {
  auto changed = [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                    GVariant*, gpointer data) { static_cast<Impl*>(data)->refresh_listeners(); };
  const std::string registry(kRegistryName);
  const std::string interface(kRegistry);
  const std::string path(kRegistryPath);
  listener_registered = g_dbus_connection_signal_subscribe(
      bus, registry.c_str(), interface.c_str(), "EventListenerRegistered", path.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, changed, this, nullptr);
  listener_deregistered = g_dbus_connection_signal_subscribe(
      bus, registry.c_str(), interface.c_str(), "EventListenerDeregistered", path.c_str(), nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, changed, this, nullptr);
  refresh_listeners();
}

void Bridge::Service::Impl::refresh_listeners() {
  call(bus, kRegistryName, kRegistryPath, kRegistry, "GetRegisteredEvents", nullptr, "(a(ss))",
       nullptr, &Impl::on_listeners);
}

void Bridge::Service::Impl::on_listeners(GVariant* reply) {
  // A registry that cannot say is taken as listening: events cost little, a
  // screen reader left without them much.
  bool listening = true;
  if (reply) {
    GVariant* events = g_variant_get_child_value(reply, 0);
    listening = g_variant_n_children(events) > 0;
    g_variant_unref(events);
  }
  const bool was = shared->listening.exchange(listening);
  if (listening && !was) {
    // The events start from a snapshot of the tree as it is now.
    shared->stale = true;
    shared->wake.wake();
  }
}

void Bridge::Service::Impl::emit_changes() {
  std::shared_ptr<const Snapshot> latest = shared->latest();
  if (!latest || latest == emitted) return;
  if (emitted && bus && shared->listening) {
    for (const Event& event : changes(*emitted, *latest)) emit(event, *latest);
  }
  emitted = std::move(latest);
}

void Bridge::Service::Impl::emit(const Event& event, const Snapshot& snapshot) {
  const char* member = "StateChanged";
  GVariant* value = nullptr;
  switch (event.kind) {
    case Event::Kind::CacheAdded:
    case Event::Kind::CacheRemoved: {
      const bool added = event.kind == Event::Kind::CacheAdded;
      const Node* node = added ? snapshot.find(event.path) : nullptr;
      if (added && !node) return;
      g_dbus_connection_emit_signal(
          bus, nullptr, std::string(kCachePath).c_str(), std::string(kCache).c_str(),
          added ? "AddAccessible" : "RemoveAccessible",
          g_variant_new("(@*)", added ? cache_item(snapshot, *node) : reference(event.path)),
          nullptr);
      return;
    }
    case Event::Kind::SelectionChanged:
      member = "SelectionChanged";
      value = g_variant_new_int32(0);
      break;
    case Event::Kind::StateChanged:
      value = g_variant_new_int32(0);
      break;
    case Event::Kind::PropertyChange:
      member = "PropertyChange";
      if (const auto* text = std::get_if<std::string>(&event.value)) {
        value = g_variant_new_string(text->c_str());
      } else if (const auto* number = std::get_if<double>(&event.value)) {
        value = g_variant_new_double(*number);
      } else {
        value = g_variant_new_int32(0);
      }
      break;
    case Event::Kind::ChildrenChanged:
      member = "ChildrenChanged";
      value = reference(event.child);
      break;
    case Event::Kind::TextChanged:
      member = "TextChanged";
      value = g_variant_new_string(std::get<std::string>(event.value).c_str());
      break;
    case Event::Kind::TextCaretMoved:
      member = "TextCaretMoved";
      value = g_variant_new_int32(0);
      break;
  }
  g_dbus_connection_emit_signal(bus, nullptr, event.path.c_str(), std::string(kEventObject).c_str(),
                                member,
                                g_variant_new("(siiv@a{sv})", event.detail.c_str(), event.detail1,
                                              event.detail2, value, empty_properties()),
                                nullptr);
  if (event.kind == Event::Kind::StateChanged && event.detail == state_name(State::Active)) {
    g_dbus_connection_emit_signal(
        bus, nullptr, event.path.c_str(), std::string(kEventWindow).c_str(),
        event.detail1 ? "Activate" : "Deactivate",
        g_variant_new("(siiv@a{sv})", "", 0, 0, g_variant_new_string(""), empty_properties()),
        nullptr);
  }
}

GVariant* Bridge::Service::Impl::reference(std::string_view path) const {
  return g_variant_new("(so)", unique_name(), std::string(path).c_str());
}

GVariant* Bridge::Service::Impl::null_reference() const {
  return g_variant_new("(so)", "", std::string(kNullPath).c_str());
}

const char* Bridge::Service::Impl::unique_name() const {
  const char* name = bus ? g_dbus_connection_get_unique_name(bus) : nullptr;
  return name ? name : "";
}

// ---- The service's face to the Bridge ----

Bridge::Service::Service(std::shared_ptr<Shared> shared, BridgeOptions options)
    : impl_(std::make_unique<Impl>(std::move(shared), std::move(options))) {}

Bridge::Service::~Service() = default;

void Bridge::Service::run() {
  g_main_context_push_thread_default(impl_->context);
  impl_->start();
  // No session bus ends the bridge before its loop ever runs.
  if (!impl_->options.session_bus) {
    g_main_context_pop_thread_default(impl_->context);
    return;
  }
  g_main_loop_run(impl_->loop);
  // What was under way ends as cancelled, while everything it uses is alive.
  g_cancellable_cancel(impl_->cancel);
  while (g_main_context_iteration(impl_->context, FALSE)) {
  }
  g_main_context_pop_thread_default(impl_->context);
}

void Bridge::Service::stop() {
  GMainLoop* loop = impl_->loop;
  GSource* source = g_idle_source_new();
  g_source_set_callback(
      source,
      [](gpointer data) {
        g_main_loop_quit(static_cast<GMainLoop*>(data));
        return G_SOURCE_REMOVE;
      },
      g_main_loop_ref(loop),
      [](gpointer data) { g_main_loop_unref(static_cast<GMainLoop*>(data)); });
  g_source_attach(source, impl_->context);
  g_source_unref(source);
}

void Bridge::Service::published() {
  GSource* source = g_idle_source_new();
  g_source_set_callback(
      source,
      [](gpointer data) {
        static_cast<Impl*>(data)->emit_changes();
        return G_SOURCE_REMOVE;
      },
      impl_.get(), nullptr);
  g_source_attach(source, impl_->context);
  g_source_unref(source);
}

}  // namespace kalu_ui::atspi
