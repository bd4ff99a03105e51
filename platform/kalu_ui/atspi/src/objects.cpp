// The answers to clients' calls, from the latest snapshot. The application
// object (the root path) is the bridge's own; every other object is a node
// of the snapshot, and a path the snapshot no longer holds is defunct.

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "service.h"

namespace kalu_ui::atspi {
namespace {

constexpr std::uint32_t kInterfaceVersion = 1;
constexpr std::uint32_t kDefunctState = 6;
// Component layers: a window and the widgets in it.
constexpr std::uint32_t kLayerWidget = 3;
constexpr std::uint32_t kLayerWindow = 7;

bool is(const char* a, std::string_view b) { return a && std::string_view(a) == b; }

std::string action_description(std::string_view action) {
  if (action == "click") return "Presses it";
  if (action == "toggle") return "Switches it on or off";
  if (action == "press") return "Opens or closes its list";
  return "Activates it";
}

std::vector<std::string> interfaces_of_node(const Node* node, bool application) {
  std::vector<std::string> names{std::string(kAccessible)};
  if (application) {
    names.emplace_back(kApplication);
    return names;
  }
  if (!node) return names;
  names.emplace_back(kComponent);
  if (!node->action.empty()) names.emplace_back(kAction);
  if (node->value) names.emplace_back(kValue);
  if (node->text) names.emplace_back(kText);
  return names;
}

GVariant* string_list(const std::vector<std::string>& items) {
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("as"));
  for (const std::string& item : items) g_variant_builder_add(&builder, "s", item.c_str());
  return g_variant_builder_end(&builder);
}

GVariant* state_words(const Node* node, bool application) {
  std::uint64_t bits = 0;
  if (!node && !application) bits = std::uint64_t{1} << kDefunctState;
  if (node) bits = node->states.bits();
  GVariantBuilder builder;
  g_variant_builder_init(&builder, G_VARIANT_TYPE("au"));
  g_variant_builder_add(&builder, "u", static_cast<guint32>(bits & 0xffffffffu));
  g_variant_builder_add(&builder, "u", static_cast<guint32>(bits >> 32));
  return g_variant_builder_end(&builder);
}

GVariant* no_attributes() { return g_variant_new_array(G_VARIANT_TYPE("{ss}"), nullptr, 0); }

// A node's extents in physical pixels, measured from `coords`.
struct Box {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

Box box_of(const Snapshot& snapshot, const Node& node, std::uint32_t coords) {
  const double s = snapshot.window.scale;
  Rect r = node.extents;
  double x = r.x0 * s;
  double y = r.y0 * s;
  if (coords == static_cast<std::uint32_t>(CoordType::Screen)) {
    x += snapshot.window.window_origin.x;
    y += snapshot.window.window_origin.y;
  } else if (coords == static_cast<std::uint32_t>(CoordType::Parent) && node.parent >= 0) {
    const Rect& up = snapshot.nodes[static_cast<std::size_t>(node.parent)].extents;
    x -= up.x0 * s;
    y -= up.y0 * s;
  }
  return {static_cast<int>(std::lround(x)), static_cast<int>(std::lround(y)),
          static_cast<int>(std::lround(r.width() * s)),
          static_cast<int>(std::lround(r.height() * s))};
}

bool box_contains(const Box& box, int x, int y) {
  return x >= box.x && y >= box.y && x < box.x + box.width && y < box.y + box.height;
}

// The text between two character offsets; -1 as the end means the end.
std::string text_between(const std::string& text, int start, int end) {
  const auto count = static_cast<int>(char_count(text));
  if (end < 0 || end > count) end = count;
  start = std::clamp(start, 0, count);
  if (end <= start) return {};
  const std::size_t from = byte_offset(text, static_cast<std::size_t>(start));
  const std::size_t to = byte_offset(text, static_cast<std::size_t>(end));
  return text.substr(from, to - from);
}

gunichar char_at(const std::string& text, int offset) {
  const std::string piece = text_between(text, offset, offset + 1);
  return piece.empty() ? 0 : g_utf8_get_char_validated(piece.c_str(), -1);
}

// What a text piece covers.
enum class Unit { Character, Word, Line };

// A granularity (GetStringAtOffset) or a boundary (the older calls) as a unit.
Unit unit_of_granularity(std::uint32_t granularity) {
  return granularity == 0 ? Unit::Character : granularity == 1 ? Unit::Word : Unit::Line;
}
Unit unit_of_boundary(std::uint32_t boundary) {
  return boundary == 0 ? Unit::Character : boundary <= 2 ? Unit::Word : Unit::Line;
}

// Where each word starts, in characters: a letter after a space (or the
// text's start). A word runs to the next word's start, its spaces included.
std::vector<int> word_starts(const std::string& text) {
  std::vector<int> starts;
  bool after_space = true;
  int at = 0;
  for (const char* p = text.c_str(); *p; p = g_utf8_next_char(p), ++at) {
    const bool space = g_unichar_isspace(g_utf8_get_char(p));
    if (!space && after_space) starts.push_back(at);
    after_space = space;
  }
  return starts;
}

// The piece of text at, before or after `offset`: one character, one word
// (its spaces after it included, or left out when `trim`), or the whole text
// for anything longer (fields and labels hold one line).
GVariant* text_piece(const std::string& text, int offset, Unit unit, int shift, bool trim) {
  const auto count = static_cast<int>(char_count(text));
  auto piece = [&](int from, int to) {
    from = std::clamp(from, 0, count);
    to = std::clamp(to, from, count);
    return g_variant_new("(sii)", text_between(text, from, to).c_str(), from, to);
  };
  switch (unit) {
    case Unit::Character: {
      const int at = offset + shift;
      if (at < 0 || at >= count) return g_variant_new("(sii)", "", 0, 0);
      return piece(at, at + 1);
    }
    case Unit::Word: {
      // Pieces: before the first word, then each word.
      std::vector<int> bounds{0};
      for (int start : word_starts(text)) {
        if (start > 0) bounds.push_back(start);
      }
      bounds.push_back(count);
      const int clamped = std::clamp(offset, 0, count);
      int n = 0;
      while (n + 2 < static_cast<int>(bounds.size()) && bounds[n + 1] <= clamped) ++n;
      n += shift;
      if (n < 0 || n + 1 >= static_cast<int>(bounds.size())) {
        return g_variant_new("(sii)", "", 0, 0);
      }
      int to = bounds[n + 1];
      if (trim) {
        while (to > bounds[n] && g_unichar_isspace(char_at(text, to - 1))) --to;
      }
      return piece(bounds[n], to);
    }
    case Unit::Line:
      if (shift != 0) return g_variant_new("(sii)", "", 0, 0);
      return piece(0, count);
  }
  return g_variant_new("(sii)", "", 0, 0);
}

// One call being answered: whom it addresses, and how to answer.
struct Call {
  Bridge::Service::Impl& service;
  const char* method;
  GVariant* parameters;
  GDBusMethodInvocation* invocation;
  std::shared_ptr<const Snapshot> snapshot;
  const Node* node = nullptr;  // null: the application, or a defunct path
  bool application = false;

  bool named(std::string_view name) const { return is(method, name); }
  // Each answers the call; answering twice is not allowed.
  void reply(GVariant* value) const { g_dbus_method_invocation_return_value(invocation, value); }
  void refuse(const char* why) const {
    g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_FAILED, "%s", why);
  }
  GVariant* ref_of(int index) const {
    return service.reference(snapshot->nodes[static_cast<std::size_t>(index)].path);
  }
  Box box(std::uint32_t coords) const { return box_of(*snapshot, *node, coords); }
};

void answer_cache(const Call& call) {
  GVariantBuilder items;
  g_variant_builder_init(&items, G_VARIANT_TYPE("a((so)(so)(so)iiassusau)"));
  if (call.snapshot) {
    for (const Node& item : call.snapshot->nodes) {
      g_variant_builder_add_value(&items, call.service.cache_item(*call.snapshot, item));
    }
  }
  call.reply(g_variant_new("(@a((so)(so)(so)iiassusau))", g_variant_builder_end(&items)));
}

bool answer_accessible(const Call& call) {
  const Node* node = call.node;
  if (call.named("GetChildAtIndex")) {
    gint32 index = 0;
    g_variant_get(call.parameters, "(i)", &index);
    const bool has_frame = call.snapshot && !call.snapshot->nodes.empty();
    if (call.application) {
      if (index != 0 || !has_frame) return call.refuse("no such child"), true;
      return call.reply(g_variant_new("(@(so))", call.ref_of(0))), true;
    }
    if (index < 0 || index >= static_cast<int>(node->children.size())) {
      return call.refuse("no such child"), true;
    }
    return call.reply(g_variant_new("(@(so))", call.ref_of(node->children[index]))), true;
  }
  if (call.named("GetChildren")) {
    GVariantBuilder children;
    g_variant_builder_init(&children, G_VARIANT_TYPE("a(so)"));
    if (call.application) {
      if (call.snapshot && !call.snapshot->nodes.empty()) {
        g_variant_builder_add_value(&children, call.ref_of(0));
      }
    } else {
      for (int child : node->children) g_variant_builder_add_value(&children, call.ref_of(child));
    }
    return call.reply(g_variant_new("(@a(so))", g_variant_builder_end(&children))), true;
  }
  if (call.named("GetIndexInParent")) {
    return call.reply(g_variant_new("(i)", call.application ? -1 : node->index_in_parent)), true;
  }
  if (call.named("GetRelationSet")) {
    call.reply(
        g_variant_new("(@a(ua(so)))", g_variant_new_array(G_VARIANT_TYPE("(ua(so))"), nullptr, 0)));
    return true;
  }
  const std::uint32_t role = call.application ? role::kApplication : node->role;
  if (call.named("GetRole")) return call.reply(g_variant_new("(u)", role)), true;
  if (call.named("GetRoleName") || call.named("GetLocalizedRoleName")) {
    return call.reply(g_variant_new("(s)", std::string(role_name(role)).c_str())), true;
  }
  if (call.named("GetState")) {
    return call.reply(g_variant_new("(@au)", state_words(node, call.application))), true;
  }
  if (call.named("GetAttributes"))
    return call.reply(g_variant_new("(@a{ss})", no_attributes())), true;
  if (call.named("GetApplication")) {
    return call.reply(g_variant_new("(@(so))", call.service.reference(kRootPath))), true;
  }
  if (call.named("GetInterfaces")) {
    call.reply(g_variant_new("(@as)", string_list(interfaces_of_node(node, call.application))));
    return true;
  }
  return false;
}

// The deepest showing node under a point, of those drawn last first.
const Node* node_at(const Snapshot& snapshot, const Node& from, int x, int y,
                    std::uint32_t coords) {
  const Node* at = nullptr;
  for (const Node* look = &from; look;) {
    const Node* inner = nullptr;
    for (auto it = look->children.rbegin(); it != look->children.rend() && !inner; ++it) {
      const Node& child = snapshot.nodes[static_cast<std::size_t>(*it)];
      if (child.states.has(State::Showing) && box_contains(box_of(snapshot, child, coords), x, y)) {
        inner = &child;
      }
    }
    if (inner) at = inner;
    look = inner;
  }
  return at;
}

bool answer_component(const Call& call) {
  const Node& node = *call.node;
  if (call.named("GetExtents") || call.named("GetPosition")) {
    guint32 coords = 0;
    g_variant_get(call.parameters, "(u)", &coords);
    const Box b = call.box(coords);
    if (call.named("GetPosition")) return call.reply(g_variant_new("(ii)", b.x, b.y)), true;
    return call.reply(g_variant_new("((iiii))", b.x, b.y, b.width, b.height)), true;
  }
  if (call.named("GetSize")) {
    const Box b = call.box(static_cast<std::uint32_t>(CoordType::Window));
    return call.reply(g_variant_new("(ii)", b.width, b.height)), true;
  }
  if (call.named("Contains") || call.named("GetAccessibleAtPoint")) {
    gint32 x = 0, y = 0;
    guint32 coords = 0;
    g_variant_get(call.parameters, "(iiu)", &x, &y, &coords);
    if (call.named("Contains")) {
      return call.reply(g_variant_new("(b)", box_contains(call.box(coords), x, y))), true;
    }
    const Node* at = node_at(*call.snapshot, node, x, y, coords);
    call.reply(g_variant_new(
        "(@(so))", at ? call.service.reference(at->path) : call.service.null_reference()));
    return true;
  }
  if (call.named("GetLayer")) {
    return call.reply(g_variant_new("(u)", node.parent < 0 ? kLayerWindow : kLayerWidget)), true;
  }
  if (call.named("GetMDIZOrder")) return call.reply(g_variant_new("(n)", gint16{0})), true;
  if (call.named("GetAlpha")) return call.reply(g_variant_new("(d)", 1.0)), true;
  if (call.named("GrabFocus")) {
    const bool can = node.states.has(State::Focusable);
    const std::string& key = node.owner_key.empty() ? node.key : node.owner_key;
    if (can) call.service.shared->request({key, {SemanticAction::Kind::Focus, {}}});
    return call.reply(g_variant_new("(b)", can)), true;
  }
  if (call.named("ScrollTo")) {
    const std::string& key = node.owner_key.empty() ? node.key : node.owner_key;
    call.service.shared->request({key, {SemanticAction::Kind::ScrollIntoView, {}}});
    return call.reply(g_variant_new("(b)", TRUE)), true;
  }
  return false;
}

bool answer_action(const Call& call) {
  const Node& node = *call.node;
  if (call.named("GetActions")) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("a(sss)"));
    g_variant_builder_add(&actions, "(sss)", node.action.c_str(),
                          action_description(node.action).c_str(), "");
    return call.reply(g_variant_new("(@a(sss))", g_variant_builder_end(&actions))), true;
  }
  gint32 index = 0;
  if (!g_variant_is_of_type(call.parameters, G_VARIANT_TYPE("(i)"))) return false;
  g_variant_get(call.parameters, "(i)", &index);
  if (index != 0) return call.refuse("no such action"), true;
  if (call.named("GetName") || call.named("GetLocalizedName")) {
    return call.reply(g_variant_new("(s)", node.action.c_str())), true;
  }
  if (call.named("GetDescription")) {
    return call.reply(g_variant_new("(s)", action_description(node.action).c_str())), true;
  }
  if (call.named("GetKeyBinding")) return call.reply(g_variant_new("(s)", "")), true;
  if (call.named("DoAction")) {
    // An option of a dropdown chooses itself in its dropdown.
    call.service.shared->request(
        node.owner_key.empty()
            ? Request{node.key, SemanticAction::activate()}
            : Request{node.owner_key, {SemanticAction::Kind::SetValue, node.option}});
    return call.reply(g_variant_new("(b)", TRUE)), true;
  }
  return false;
}

bool answer_text(const Call& call) {
  const std::string& text = *call.node->text;
  const auto count = static_cast<int>(char_count(text));
  if (call.named("GetText")) {
    gint32 start = 0, end = 0;
    g_variant_get(call.parameters, "(ii)", &start, &end);
    return call.reply(g_variant_new("(s)", text_between(text, start, end).c_str())), true;
  }
  if (call.named("GetStringAtOffset") || call.named("GetTextAtOffset") ||
      call.named("GetTextBeforeOffset") || call.named("GetTextAfterOffset")) {
    gint32 offset = 0;
    guint32 granularity = 0;
    g_variant_get(call.parameters, "(iu)", &offset, &granularity);
    const int shift = call.named("GetTextBeforeOffset")  ? -1
                      : call.named("GetTextAfterOffset") ? 1
                                                         : 0;
    const bool by_granularity = call.named("GetStringAtOffset");
    const Unit unit =
        by_granularity ? unit_of_granularity(granularity) : unit_of_boundary(granularity);
    return call.reply(text_piece(text, offset, unit, shift, by_granularity)), true;
  }
  if (call.named("GetCharacterAtOffset")) {
    gint32 offset = 0;
    g_variant_get(call.parameters, "(i)", &offset);
    return call.reply(g_variant_new("(i)", static_cast<gint32>(char_at(text, offset)))), true;
  }
  if (call.named("GetAttributeValue")) return call.reply(g_variant_new("(s)", "")), true;
  if (call.named("GetAttributes") || call.named("GetAttributeRun")) {
    return call.reply(g_variant_new("(@a{ss}ii)", no_attributes(), 0, count)), true;
  }
  if (call.named("GetDefaultAttributes") || call.named("GetDefaultAttributeSet")) {
    return call.reply(g_variant_new("(@a{ss})", no_attributes())), true;
  }
  if (call.named("GetCharacterExtents") || call.named("GetRangeExtents")) {
    const Box b = call.box(static_cast<std::uint32_t>(CoordType::Window));
    return call.reply(g_variant_new("(iiii)", b.x, b.y, b.width, b.height)), true;
  }
  if (call.named("GetOffsetAtPoint")) return call.reply(g_variant_new("(i)", -1)), true;
  if (call.named("GetNSelections")) return call.reply(g_variant_new("(i)", 0)), true;
  if (call.named("GetSelection")) return call.reply(g_variant_new("(ii)", 0, 0)), true;
  if (call.named("SetCaretOffset") || call.named("AddSelection") || call.named("RemoveSelection") ||
      call.named("SetSelection")) {
    return call.reply(g_variant_new("(b)", FALSE)), true;
  }
  return false;
}

}  // namespace

GVariant* Bridge::Service::Impl::cache_item(const Snapshot& snapshot, const Node& item) const {
  return g_variant_new(
      "(@(so)@(so)@(so)ii@as@su@s@au)", reference(item.path), reference(kRootPath),
      item.parent < 0 ? reference(kRootPath)
                      : reference(snapshot.nodes[static_cast<std::size_t>(item.parent)].path),
      item.index_in_parent, static_cast<int>(item.children.size()),
      string_list(interfaces_of_node(&item, false)), g_variant_new_string(item.name.c_str()),
      item.role, g_variant_new_string(item.description.c_str()), state_words(&item, false));
}

GDBusInterfaceInfo** Bridge::Service::Impl::interfaces_of(const char* path) {
  const bool application = is(path, kRootPath);
  std::shared_ptr<const Snapshot> snapshot = shared->latest();
  const Node* node = snapshot && !application ? snapshot->find(path) : nullptr;
  const std::vector<std::string> names = interfaces_of_node(node, application);
  auto** infos = g_new0(GDBusInterfaceInfo*, names.size() + 1);
  std::size_t n = 0;
  for (const std::string& name : names) {
    if (GDBusInterfaceInfo* info = g_dbus_node_info_lookup_interface(introspection, name.c_str())) {
      infos[n++] = g_dbus_interface_info_ref(info);
    }
  }
  return infos;
}

void Bridge::Service::Impl::method_call(const char* path, const char* interface, const char* method,
                                        GVariant* parameters, GDBusMethodInvocation* invocation) {
  Call call{*this, method, parameters, invocation, shared->fresh(options.refresh_wait)};
  call.application = is(path, kRootPath);
  if (!call.application && call.snapshot) call.node = call.snapshot->find(path);

  if (is(interface, kCache)) {
    if (call.named("GetItems")) return answer_cache(call);
  } else if (!call.node && !call.application) {
    return call.refuse("the object is gone");
  } else if (is(interface, kAccessible)) {
    if (answer_accessible(call)) return;
  } else if (is(interface, kApplication)) {
    if (call.application && (call.named("GetLocale") || call.named("GetApplicationBusAddress"))) {
      return call.reply(g_variant_new("(s)", ""));
    }
  } else if (is(interface, kComponent)) {
    if (call.node && answer_component(call)) return;
  } else if (is(interface, kAction)) {
    if (call.node && !call.node->action.empty() && answer_action(call)) return;
  } else if (is(interface, kText)) {
    if (call.node && call.node->text && answer_text(call)) return;
  }
  g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                        "%s.%s is not answered here", interface, method);
}

GVariant* Bridge::Service::Impl::get_property(const char* path, const char* interface,
                                              const char* property, GError** error) {
  const bool application = is(path, kRootPath);
  std::shared_ptr<const Snapshot> snapshot = shared->fresh(options.refresh_wait);
  const Node* node = snapshot && !application ? snapshot->find(path) : nullptr;
  if (is(property, "version")) return g_variant_new_uint32(kInterfaceVersion);

  if (is(interface, kApplication) && application) {
    if (is(property, "ToolkitName")) return g_variant_new_string("kalu_ui");
    if (is(property, "Version") || is(property, "ToolkitVersion")) {
      return g_variant_new_string("1");
    }
    if (is(property, "AtspiVersion")) return g_variant_new_string("2.1");
    if (is(property, "InterfaceVersion")) return g_variant_new_uint32(kInterfaceVersion);
    if (is(property, "Id")) return g_variant_new_int32(application_id);
  }

  if (is(interface, kAccessible) && (node || application)) {
    const Node* frame = snapshot ? snapshot->frame() : nullptr;
    if (is(property, "Name")) {
      const std::string& name =
          application ? (frame && !frame->name.empty() ? frame->name : options.application_name)
                      : node->name;
      return g_variant_new_string(name.c_str());
    }
    if (is(property, "Description")) {
      return g_variant_new_string(application ? "" : node->description.c_str());
    }
    if (is(property, "Parent")) {
      if (application) {
        return desktop_name.empty()
                   ? null_reference()
                   : g_variant_new("(so)", desktop_name.c_str(), desktop_path.c_str());
      }
      return node->parent < 0
                 ? reference(kRootPath)
                 : reference(snapshot->nodes[static_cast<std::size_t>(node->parent)].path);
    }
    if (is(property, "ChildCount")) {
      const int count = application ? (frame ? 1 : 0) : static_cast<int>(node->children.size());
      return g_variant_new_int32(count);
    }
    if (is(property, "Locale")) return g_variant_new_string("");
    if (is(property, "AccessibleId")) {
      return g_variant_new_string(application ? "" : node->accessible_id.c_str());
    }
    if (is(property, "HelpText")) return g_variant_new_string("");
  }

  if (is(interface, kAction) && node && is(property, "NActions")) {
    return g_variant_new_int32(node->action.empty() ? 0 : 1);
  }
  if (is(interface, kValue) && node && node->value) {
    if (is(property, "MinimumValue")) return g_variant_new_double(node->value->min);
    if (is(property, "MaximumValue")) return g_variant_new_double(node->value->max);
    if (is(property, "MinimumIncrement")) return g_variant_new_double(node->value->step);
    if (is(property, "CurrentValue")) return g_variant_new_double(node->value->current);
    if (is(property, "Text")) return g_variant_new_string(node->value_text.c_str());
  }
  if (is(interface, kText) && node && node->text) {
    if (is(property, "CharacterCount")) {
      return g_variant_new_int32(static_cast<gint32>(char_count(*node->text)));
    }
    if (is(property, "CaretOffset")) return g_variant_new_int32(static_cast<gint32>(node->caret));
  }
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "%s.%s is not answered here",
              interface, property);
  return nullptr;
}

bool Bridge::Service::Impl::set_property(const char* path, const char* interface,
                                         const char* property, GVariant* value, GError** error) {
  if (is(interface, kApplication) && is(path, kRootPath) && is(property, "Id")) {
    application_id = g_variant_get_int32(value);
    return true;
  }
  if (is(interface, kValue) && is(property, "CurrentValue")) {
    std::shared_ptr<const Snapshot> snapshot = shared->latest();
    if (const Node* node = snapshot ? snapshot->find(path) : nullptr; node && node->value) {
      shared->request({node->key, SemanticAction{SemanticAction::Kind::SetValue,
                                                 fmt::format("{}", g_variant_get_double(value))}});
      return true;
    }
  }
  g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_PROPERTY_READ_ONLY, "%s.%s cannot be set",
              interface, property);
  return false;
}

}  // namespace kalu_ui::atspi
