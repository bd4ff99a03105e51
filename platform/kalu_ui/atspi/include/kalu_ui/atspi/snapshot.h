#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kalu_ui/atspi/protocol.h"
#include "kalu_ui/geometry.h"
#include "widget_contract/widget.h"

// What the accessibility bus sees of a window: a snapshot of its widget tree
// taken on the UI thread after a frame, read by the bridge's thread. Every
// widget that answers an accessibility node is a node of the snapshot;
// widgets without one (rows, columns, containers) are passed through, their
// nodes lifted to the nearest ancestor that has one. The root widget is the
// window itself (a frame), whatever role it answers.
//
// A node keeps its object path from one snapshot to the next while the
// widget it stands for keeps its id and role (or, without an id, its parent,
// role and name), so a screen reader's references outlive a rebuilt page,
// and a path never stands for another kind of object or another label: a
// client that caches what it read of a path never reads it wrong.
// A secret field's text is never taken: it stands as an empty text.
//
// A dropdown's node holds its options as a list of items, the chosen one
// selected and, while the list is open, the highlighted one focused, so the
// choice and the highlight are read and followed as they are elsewhere.
namespace kalu_ui::atspi {

struct Node {
  // Identity: a key derived from the widget's id or place, and the object
  // path made from it.
  std::string key;
  std::string path;
  // Tree: indexes into Snapshot::nodes; -1 for the frame, whose parent is
  // the application object.
  int parent = -1;
  std::vector<int> children;
  int index_in_parent = 0;

  std::uint32_t role = role::kInvalid;
  std::string name;
  std::string description;
  std::string accessible_id;
  StateSet states;
  // A slider's or a bar's range and where it stands.
  std::optional<AccessibleRange> value;
  // What the node holds beside its name, in words: a dropdown's choice, a
  // recorder's chord, the map's zone, a bar's "78%". Empty for none.
  std::string value_text;
  // A dropdown's list and its options: the dropdown's key (the widget they
  // stand for) and an option's text (what its action chooses); empty for
  // every other node.
  std::string owner_key;
  std::string option;
  // Fields and labels: the text (in UTF-8) and the caret in characters.
  std::optional<std::string> text;
  std::size_t caret = 0;
  // The action that activates it ("click", "toggle", ...), empty for none.
  std::string action;
  // In logical pixels, relative to the window.
  Rect extents;

  friend bool operator==(const Node&, const Node&) = default;
};

struct SnapshotOptions {
  // Physical pixels per logical pixel, and the window's top-left corner on
  // the screen in physical pixels.
  double scale = 1.0;
  Point window_origin;
  bool window_active = true;
  // The window's name when the root answers no label.
  std::string fallback_name;
};

struct Snapshot {
  // nodes[0] is the frame when the snapshot is not empty.
  std::vector<Node> nodes;
  std::unordered_map<std::string, std::size_t> by_path;
  SnapshotOptions window;
  // The focused node, -1 for none.
  int focused = -1;

  const Node* find(std::string_view path) const;
  const Node* frame() const { return nodes.empty() ? nullptr : &nodes.front(); }
};

// The snapshot of the tree under `root`. Reads the tree only (the UI thread's
// business); never fails.
Snapshot build_snapshot(const Widget& root, const SnapshotOptions& options);

// The widget under `root` that the node with `key` stands for in a snapshot
// of the same tree, or null when it is gone.
Widget* find_widget(Widget& root, std::string_view key);

// The protocol's role for a toolkit role number; `is_root` marks the window.
std::uint32_t protocol_role(std::uint8_t toolkit_role, bool is_root);

// Characters (code points) of UTF-8 text, and the byte offset of a character.
std::size_t char_count(std::string_view text);
std::size_t byte_offset(std::string_view text, std::size_t chars);

}  // namespace kalu_ui::atspi
