#include "kalu_ui/atspi/snapshot.h"

#include <fmt/format.h>

#include <cstdlib>
#include <type_traits>
#include <utility>

#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/dropdown.h"
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
// its parent's key, its role and its name ("parent/role:name", the n-th of
// those under one parent "parent/role:name~n"). Its place alone would hand
// one key to the different widgets that take that place on another page.
class KeyMaker {
 public:
  std::string key(const AccessibilityNode& node, const std::string& parent_key) {
    if (node.id.empty()) {
      std::string key = fmt::format("{}/{}:{}", parent_key, node.role, node.label);
      const int seen = seen_[key]++;
      return seen == 0 ? key : fmt::format("{}~{}", key, seen);
    }
    const int seen = seen_[node.id]++;
    return seen == 0 ? "#" + node.id : fmt::format("#{}~{}", node.id, seen);
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
bool walk(W& widget, int parent, const std::string& parent_key, const Rect& clip, KeyMaker& keys,
          Visit& visit, bool is_root) {
  const std::optional<AccessibilityNode> node = widget.accessibility();
  Rect inner = clip;
  if (const std::optional<Rect> own = widget.child_clip_rect()) inner = inner.intersect(*own);
  if (!node && !is_root) {
    for (auto* child : child_widgets(widget)) {
      if (child && !walk(*child, parent, parent_key, inner, keys, visit, false)) {
        return false;
      }
    }
    return true;
  }
  const std::string key = is_root ? std::string(kFrameKey) : keys.key(*node, parent_key);
  const int index = visit(widget, node, key, parent, clip);
  if (index < 0) return false;
  for (auto* child : child_widgets(widget)) {
    if (child && !walk(*child, index, key, inner, keys, visit, false)) return false;
  }
  return true;
}

// The role is part of the path: a widget that keeps its id but turns into
// another kind of object (a bar in a field's place) is another object.
std::string path_for(const std::string& key, std::uint32_t role, const Snapshot& snapshot) {
  if (key == kFrameKey) return fmt::format("{}/frame", kObjectPrefix);
  const std::uint64_t hash = fnv1a(fmt::format("{}\x1f{}", key, role));
  std::string path = fmt::format("{}/n{:016x}", kObjectPrefix, hash);
  // Two keys of one hash: the later one takes a suffix.
  for (int n = 2; snapshot.by_path.contains(path); ++n) {
    path = fmt::format("{}/n{:016x}_{}", kObjectPrefix, hash, n);
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
    case toolkit_role::kGroup:
      return role::kGrouping;
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

namespace {

// A bar's "78%" as a range of 0 to 100, so that it is read as a value.
std::optional<AccessibleRange> percent_range(std::string_view text) {
  if (text.empty() || text.back() != '%') return std::nullopt;
  double percent = 0.0;
  const std::string digits(text.substr(0, text.size() - 1));
  char* end = nullptr;
  percent = std::strtod(digits.c_str(), &end);
  if (digits.empty() || end != digits.c_str() + digits.size()) return std::nullopt;
  return AccessibleRange{0.0, 100.0, 1.0, percent};
}

// Takes a node into the snapshot under `parent` and answers its index.
int add_node(Snapshot& snapshot, Node out) {
  const int index = static_cast<int>(snapshot.nodes.size());
  if (out.parent >= 0) {
    Node& up = snapshot.nodes[static_cast<std::size_t>(out.parent)];
    out.index_in_parent = static_cast<int>(up.children.size());
    up.children.push_back(index);
  }
  if (out.states.has(State::Focused) && snapshot.focused < 0) snapshot.focused = index;
  snapshot.by_path.emplace(out.path, snapshot.nodes.size());
  snapshot.nodes.push_back(std::move(out));
  return index;
}

// A dropdown's list under its node: a menu of its options, the chosen one
// selected. While the list is open it shows, and the highlighted option
// holds the focus (the dropdown gives it up), so moving the highlight is
// heard as focus moving from option to option.
void add_options(Snapshot& snapshot, const widget::Dropdown& dropdown, int combo) {
  const Node& owner = snapshot.nodes[static_cast<std::size_t>(combo)];
  const bool open = dropdown.is_open();
  const bool showing = open && owner.states.has(State::Showing);
  const bool enabled = owner.states.has(State::Enabled);
  const bool had_focus = owner.states.has(State::Focused);
  const std::string owner_key = owner.key;
  Node list;
  list.key = owner_key + "\x1flist";
  list.path = path_for(list.key, role::kMenu, snapshot);
  list.parent = combo;
  list.role = role::kMenu;
  list.owner_key = owner_key;
  list.name = owner.name;
  list.extents = open ? dropdown.list_rect() : owner.extents;
  list.states.set(State::Visible);
  list.states.set(State::Showing, showing);
  list.states.set(State::Enabled, enabled);
  list.states.set(State::Sensitive, enabled);
  const int list_index = add_node(snapshot, std::move(list));
  const std::string chosen = dropdown.selected();
  const std::optional<std::size_t> highlighted = dropdown.highlighted();
  std::unordered_map<std::string, int> seen;
  int focused_option = -1;
  const std::vector<std::string>& options = dropdown.options();
  for (std::size_t i = 0; i < options.size(); ++i) {
    Node item;
    const int repeat = seen[options[i]]++;
    item.key = repeat == 0 ? fmt::format("{}\x1foption:{}", owner_key, options[i])
                           : fmt::format("{}\x1foption:{}~{}", owner_key, options[i], repeat);
    item.path = path_for(item.key, role::kMenuItem, snapshot);
    item.parent = list_index;
    item.role = role::kMenuItem;
    item.name = options[i];
    item.owner_key = owner_key;
    item.option = options[i];
    item.extents = open ? dropdown.item_rect(i) : snapshot.nodes[list_index].extents;
    const bool shown = showing && i >= dropdown.first_shown() &&
                       i < dropdown.first_shown() + dropdown.shown_count();
    item.states.set(State::Visible);
    item.states.set(State::Showing, shown);
    item.states.set(State::Enabled, enabled);
    item.states.set(State::Sensitive, enabled);
    item.states.set(State::Selectable);
    item.states.set(State::Selected, options[i] == chosen);
    item.states.set(State::Focusable, enabled);
    const bool focus = had_focus && highlighted == i;
    item.states.set(State::Focused, focus);
    if (enabled) item.action = "click";
    const int at = add_node(snapshot, std::move(item));
    if (focus) focused_option = at;
  }
  if (focused_option >= 0) {
    snapshot.nodes[static_cast<std::size_t>(combo)].states.set(State::Focused, false);
    if (snapshot.focused == combo) snapshot.focused = focused_option;
  }
}

}  // namespace

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
    out.role = protocol_role(source.role, is_root);
    out.path = path_for(key, out.role, snapshot);
    out.parent = parent;
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
      if (!is_field(source.role)) out.value_text = source.value;
      if (out.role == role::kProgressBar && !out.value) out.value = percent_range(source.value);
      // A recorder's chord and the map's zone are what they show: their
      // text, read beside their name and followed as it changes.
      const bool shows_value = source.role == controls::kRoleShortcutRecorder ||
                               (out.role == role::kImage && !out.value_text.empty());
      if (shows_value && !out.text && !out.value) {
        out.text = out.value_text;
      }
    }
    const int index = add_node(snapshot, std::move(out));
    if (const auto* dropdown = dynamic_cast<const widget::Dropdown*>(&widget)) {
      add_options(snapshot, *dropdown, index);
    }
    return index;
  };
  walk(root, -1, std::string(), window, keys, visit, true);
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
  walk(root, -1, std::string(), root.get_rect(), keys, visit, true);
  return found;
}

}  // namespace kalu_ui::atspi
