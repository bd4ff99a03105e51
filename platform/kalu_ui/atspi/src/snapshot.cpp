#include "kalu_ui/atspi/snapshot.h"

#include <fmt/format.h>

#include <type_traits>
#include <utility>

#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::atspi {
namespace {

namespace controls = widget::controls;
namespace toolkit_role = widget::role;

constexpr std::string_view kFrameKey = "frame";

// 64-bit FNV-1a: object paths made from keys, which may hold any byte.
std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes) {
    hash ^= c;
    hash *= 0x100000001b3ull;
  }
  return hash;
}

// Hands out node keys in tree order: an id names its widget ("#id", the
// n-th holder of a repeated id "#id~n"); a widget without an id is known by
// its parent's key and its place among the parent's nodes.
class KeyMaker {
 public:
  std::string key(const std::string& id, const std::string& parent_key, int ordinal) {
    if (id.empty()) return fmt::format("{}/{}", parent_key, ordinal);
    const int seen = seen_[id]++;
    return seen == 0 ? "#" + id : fmt::format("#{}~{}", id, seen);
  }

 private:
  std::unordered_map<std::string, int> seen_;
};

template <typename W>
auto child_widgets(W& widget) {
  if constexpr (std::is_const_v<W>) {
    return widget.children();
  } else {
    return widget.children_mut();
  }
}

// Walks the tree in the order a snapshot lists it. `visit(widget, node, key,
// parent, clip)` is called for every widget that is a node and answers the
// node's index (or -1 to stop the walk).
template <typename W, typename Visit>
bool walk(W& widget, int parent, const std::string& parent_key, int& ordinal, const Rect& clip,
          KeyMaker& keys, Visit& visit, bool is_root) {
  const std::optional<AccessibilityNode> node = widget.accessibility();
  Rect inner = clip;
  if (const std::optional<Rect> own = widget.child_clip_rect()) inner = inner.intersect(*own);
  if (!node && !is_root) {
    for (auto* child : child_widgets(widget)) {
      if (child && !walk(*child, parent, parent_key, ordinal, inner, keys, visit, false)) {
        return false;
      }
    }
    return true;
  }
  const std::string key =
      is_root ? std::string(kFrameKey) : keys.key(node->id, parent_key, ordinal++);
  const int index = visit(widget, node, key, parent, clip);
  if (index < 0) return false;
  int child_ordinal = 0;
  for (auto* child : child_widgets(widget)) {
    if (child && !walk(*child, index, key, child_ordinal, inner, keys, visit, false)) return false;
  }
  return true;
}

std::string path_for(const std::string& key, const Snapshot& snapshot) {
  if (key == kFrameKey) return fmt::format("{}/frame", kObjectPrefix);
  std::string path = fmt::format("{}/n{:016x}", kObjectPrefix, fnv1a(key));
  // Two keys of one hash: the later one takes a suffix.
  for (int n = 2; snapshot.by_path.contains(path); ++n) {
    path = fmt::format("{}/n{:016x}_{}", kObjectPrefix, fnv1a(key), n);
  }
  return path;
}

std::string action_of(std::uint8_t toolkit, const Widget& widget) {
  if (!widget.is_enabled()) return {};
  switch (toolkit) {
    case controls::kRoleButton:
    case toolkit_role::kNavigationItem:
      return "click";
    case controls::kRoleSwitch:
      return "toggle";
    case controls::kRoleComboBox:
      return "press";
    case controls::kRoleShortcutRecorder:
      return "activate";
    default:
      return widget.is_focusable() ? "activate" : std::string();
  }
}

bool is_field(std::uint8_t toolkit) {
  return toolkit == controls::kRoleTextField || toolkit == controls::kRoleSearchField ||
         toolkit == controls::kRolePasswordField;
}

StateSet states_of(const Widget& widget, const AccessibilityNode& node, bool is_root, bool showing,
                   const SnapshotOptions& options) {
  StateSet states;
  states.set(State::Visible);
  states.set(State::Showing, showing);
  if (is_root) {
    states.set(State::Enabled);
    states.set(State::Sensitive);
    states.set(State::Resizable);
    states.set(State::Active, options.window_active);
    return states;
  }
  const bool enabled = widget.is_enabled();
  states.set(State::Enabled, enabled);
  states.set(State::Sensitive, enabled);
  states.set(State::Focusable, node.focusable || widget.is_focusable());
  states.set(State::Focused, node.focused || widget.is_focused());
  switch (node.role) {
    case controls::kRoleSwitch:
      states.set(State::Checkable);
      states.set(State::Checked, node.toggled.value_or(false));
      break;
    case controls::kRoleComboBox:
      states.set(State::Expandable);
      states.set(State::HasPopup);
      states.set(State::Expanded, node.toggled.value_or(false));
      break;
    case controls::kRoleSlider:
      states.set(State::Horizontal);
      break;
    case controls::kRoleShortcutRecorder:
      states.set(State::Armed, node.toggled.value_or(false));
      break;
    case toolkit_role::kNavigationItem:
      states.set(State::Selectable);
      states.set(State::Selected, node.selected);
      break;
    default:
      break;
  }
  if (is_field(node.role)) {
    states.set(State::Editable, enabled);
    states.set(State::SingleLine);
    states.set(State::SelectableText, node.role != controls::kRolePasswordField);
  }
  return states;
}

// The text a screen reader reads of a node: a field's content (never a
// secret's) with its caret, or a label's words.
void take_text(const Widget& widget, const AccessibilityNode& node, Node& out) {
  if (is_field(node.role)) {
    if (node.role == controls::kRolePasswordField) {
      out.text = std::string();
      return;
    }
    out.text = node.value;
    if (const std::optional<TextReview> review = widget.text_review();
        review && review->caret_byte && *review->caret_byte <= review->text.size()) {
      out.caret = char_count(std::string_view(review->text).substr(0, *review->caret_byte));
    }
    return;
  }
  if (node.role == toolkit_role::kText || node.role == toolkit_role::kStatus) {
    out.text = node.label;
  }
}

}  // namespace

std::uint32_t protocol_role(std::uint8_t toolkit, bool is_root) {
  if (is_root) return role::kFrame;
  switch (toolkit) {
    case toolkit_role::kText:
    case toolkit_role::kStatus:
      return role::kLabel;
    case toolkit_role::kScrollView:
      return role::kScrollPane;
    case toolkit_role::kProgressIndicator:
      return role::kProgressBar;
    case toolkit_role::kImage:
      return role::kImage;
    case controls::kRoleButton:
    case controls::kRoleShortcutRecorder:
      return role::kButton;
    case controls::kRoleSwitch:
      return role::kToggleButton;
    case controls::kRoleSlider:
      return role::kSlider;
    case controls::kRoleComboBox:
      return role::kComboBox;
    case controls::kRoleTextField:
    case controls::kRoleSearchField:
      return role::kEntry;
    case controls::kRolePasswordField:
      return role::kPasswordText;
    case toolkit_role::kNavigationItem:
      return role::kListItem;
    default:
      return role::kPanel;
  }
}

std::size_t char_count(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

std::size_t byte_offset(std::string_view text, std::size_t chars) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xC0) == 0x80) continue;
    if (seen == chars) return i;
    ++seen;
  }
  return text.size();
}

const Node* Snapshot::find(std::string_view path) const {
  const auto at = by_path.find(std::string(path));
  return at == by_path.end() ? nullptr : &nodes[at->second];
}

Snapshot build_snapshot(const Widget& root, const SnapshotOptions& options) {
  Snapshot snapshot;
  snapshot.window = options;
  KeyMaker keys;
  const Rect window = root.get_rect();
  auto visit = [&](const Widget& widget, const std::optional<AccessibilityNode>& node,
                   const std::string& key, int parent, const Rect& clip) {
    const bool is_root = parent < 0;
    const AccessibilityNode empty;
    const AccessibilityNode& source = node ? *node : empty;
    Node out;
    out.key = key;
    out.path = path_for(key, snapshot);
    out.parent = parent;
    out.role = protocol_role(source.role, is_root);
    out.name = source.label.empty() && is_root ? options.fallback_name : source.label;
    out.description = source.description;
    out.accessible_id = source.id;
    out.extents = widget.get_rect();
    const Rect seen = out.extents.intersect(is_root ? window : clip);
    const bool showing = is_root || (seen.width() > 0.0 && seen.height() > 0.0);
    out.states = states_of(widget, source, is_root, showing, options);
    out.value = source.range;
    if (!is_root) {
      take_text(widget, source, out);
      out.action = action_of(source.role, widget);
    }
    const int index = static_cast<int>(snapshot.nodes.size());
    if (parent >= 0) {
      Node& up = snapshot.nodes[static_cast<std::size_t>(parent)];
      out.index_in_parent = static_cast<int>(up.children.size());
      up.children.push_back(index);
    }
    if (out.states.has(State::Focused) && snapshot.focused < 0) snapshot.focused = index;
    snapshot.by_path.emplace(out.path, snapshot.nodes.size());
    snapshot.nodes.push_back(std::move(out));
    return index;
  };
  int ordinal = 0;
  walk(root, -1, std::string(), ordinal, window, keys, visit, true);
  return snapshot;
}

Widget* find_widget(Widget& root, std::string_view key) {
  KeyMaker keys;
  Widget* found = nullptr;
  int next = 0;
  auto visit = [&](Widget& widget, const std::optional<AccessibilityNode>&, const std::string& k,
                   int, const Rect&) {
    if (k == key) {
      found = &widget;
      return -1;
    }
    return next++;
  };
  int ordinal = 0;
  walk(root, -1, std::string(), ordinal, root.get_rect(), keys, visit, true);
  return found;
}

}  // namespace kalu_ui::atspi
