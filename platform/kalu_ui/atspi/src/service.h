#pragma once

#include <gio/gio.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "bridge_internal.h"
#include "kalu_ui/atspi/events.h"
#include "kalu_ui/atspi/protocol.h"

// The bridge's thread, in GDBus terms (bridge_internal.h says what it does).
namespace kalu_ui::atspi {

// The introspection of the interfaces the bridge answers (interfaces.cpp).
GDBusNodeInfo* parse_interfaces();

struct Bridge::Service::Impl {
  Impl(std::shared_ptr<Shared> shared_state, BridgeOptions bridge_options);
  ~Impl();

  // ---- Connecting and registering (service.cpp), each step on success of
  // the one before: the session bus, the accessibility bus's address, the
  // accessibility bus, the objects, Socket.Embed, the registry's listeners.
  void start();
  void on_session(GDBusConnection* connection);
  void on_bus_address(GVariant* reply);
  void on_bus(GDBusConnection* connection);
  void register_objects();
  void embed();
  void on_embedded(GVariant* reply);
  void follow_listeners();
  void refresh_listeners();
  void on_listeners(GVariant* reply);
  // The asynchronous steps: on success `next` goes on with the connection or
  // the reply; on failure the bridge gives up saying `what` failed (a null
  // `what`: `next` goes on with nothing); a step cut short by stop() ends.
  void connect(const std::string& address, const char* what, void (Impl::*next)(GDBusConnection*));
  void call(GDBusConnection* connection, std::string_view name, std::string_view path,
            std::string_view interface, const char* method, GVariant* parameters,
            const char* reply_type, const char* what, void (Impl::*next)(GVariant*));
  // Gives up: a warning, and the window stays unpublished.
  void give_up(std::string_view what, const GError* error);

  // ---- Events (service.cpp) ----
  void emit_changes();
  void emit(const Event& event, const Snapshot& snapshot);
  // A node's whole item, as the cache hands it out and announces it.
  GVariant* cache_item(const Snapshot& snapshot, const Node& node) const;

  // ---- Answers (objects.cpp) ----
  void method_call(const char* path, const char* interface, const char* method,
                   GVariant* parameters, GDBusMethodInvocation* invocation);
  GVariant* get_property(const char* path, const char* interface, const char* property,
                         GError** error);
  bool set_property(const char* path, const char* interface, const char* property, GVariant* value,
                    GError** error);
  // The interfaces the object at `path` answers, for introspection.
  GDBusInterfaceInfo** interfaces_of(const char* path);

  // A reference to one of our objects, and to nothing.
  GVariant* reference(std::string_view path) const;
  GVariant* null_reference() const;
  const char* unique_name() const;

  std::shared_ptr<Shared> shared;
  BridgeOptions options;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  GCancellable* cancel = nullptr;
  GDBusNodeInfo* introspection = nullptr;
  GDBusConnection* session = nullptr;
  GDBusConnection* bus = nullptr;
  guint subtree = 0;
  guint cache = 0;
  guint listener_registered = 0;
  guint listener_deregistered = 0;
  // The registry's root, our application's parent (from Socket.Embed).
  std::string desktop_name;
  std::string desktop_path;
  gint32 application_id = 0;
  // The snapshot the last events were found against.
  std::shared_ptr<const Snapshot> emitted;
};

}  // namespace kalu_ui::atspi
