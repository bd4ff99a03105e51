#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "kalu_ui/layout_types.h"
#include "kalu_ui/result.h"

namespace kalu_ui {
class Widget;
}  // namespace kalu_ui

// The toolkit's layout engine: a tree of nodes, each with a flexbox style,
// laid out in one pass for an available size. Leaves are sized by a measure
// callback, which the frame loop routes to the widget that owns the node.
//
// Units are logical pixels. Sizes are border-box sizes: a node's width and
// height include its padding. A node's computed location is relative to its
// parent's top-left corner (the root sits at 0, 0).
namespace kalu_ui::layout {

// One length of a style: a fixed number of points, a percentage of the
// parent's content box, or automatic (the content or the algorithm decides).
// A percentage against a parent whose size is not yet known acts as automatic.
struct Dimension {
  enum class Kind : std::uint8_t { Auto, Points, Percent };
  Kind kind = Kind::Auto;
  float value = 0.0f;  // points, or a fraction (1.0 = 100%) for Percent

  static constexpr Dimension auto_() { return {}; }
  static constexpr Dimension points(float v) { return {Kind::Points, v}; }
  // `percent(100.0f)` is the whole of the parent's content box.
  static constexpr Dimension percent(float pct) { return {Kind::Percent, pct / 100.0f}; }
  static constexpr Dimension full() { return {Kind::Percent, 1.0f}; }

  bool is_auto() const { return kind == Kind::Auto; }
  friend bool operator==(const Dimension&, const Dimension&) = default;
};

// Four edges of padding or margin. Padding and margin percentages resolve
// against the parent's content width (for all four edges, as in CSS);
// automatic counts as zero.
struct Edges {
  Dimension left;
  Dimension right;
  Dimension top;
  Dimension bottom;

  static constexpr Edges all(float points) {
    const Dimension d = Dimension::points(points);
    return {d, d, d, d};
  }
  static constexpr Edges symmetric(float horizontal, float vertical) {
    const Dimension h = Dimension::points(horizontal);
    const Dimension v = Dimension::points(vertical);
    return {h, h, v, v};
  }
  friend bool operator==(const Edges&, const Edges&) = default;
};

enum class Display : std::uint8_t {
  Flex,
  None,  // takes no space; the node and its subtree are laid out at zero size
};

enum class FlexDirection : std::uint8_t { Row, Column };

// Cross-axis placement of a child (align_items on the parent, align_self on
// the child). Baseline alignment is not supported and places like Start.
enum class Align : std::uint8_t { Start, End, Center, Stretch, Baseline };

// Main-axis distribution of the free space between children. The spacing
// forms fall back to Start (SpaceBetween) or Center when there is no free
// space.
enum class Justify : std::uint8_t { Start, End, Center, SpaceBetween, SpaceAround, SpaceEvenly };

// What happens to content larger than the node. Hidden and Scroll make the
// node a scroll container on that axis: it does not grow to fit its content
// (its automatic minimum size, and its min-content size, are zero), its
// children are never shrunk along that axis to fit it, and the content's
// extent is reported in Layout::content_size. Drawing, clipping and the
// scroll offset are the widget's.
enum class Overflow : std::uint8_t { Visible, Hidden, Scroll };

struct Style {
  Display display = Display::Flex;
  FlexDirection flex_direction = FlexDirection::Row;

  // Border-box size and its limits. Automatic minimum means the content's
  // minimum size (zero for a scroll container); automatic maximum means none.
  Dimension width;
  Dimension height;
  Dimension min_width;
  Dimension min_height;
  Dimension max_width;
  Dimension max_height;

  Edges padding;
  Edges margin;
  // Space between consecutive children only: `gap.width` between the
  // children of a row, `gap.height` between the children of a column.
  LayoutSize gap;

  float flex_grow = 0.0f;
  float flex_shrink = 1.0f;
  Dimension flex_basis;  // automatic: the main size, else the content size

  std::optional<Align> align_items;  // absent: Stretch
  std::optional<Align> align_self;   // absent: the parent's align_items
  Justify justify_content = Justify::Start;

  Overflow overflow_x = Overflow::Visible;
  Overflow overflow_y = Overflow::Visible;

  friend bool operator==(const Style&, const Style&) = default;
};

struct LayoutPoint {
  float x = 0.0f;
  float y = 0.0f;
  friend bool operator==(const LayoutPoint&, const LayoutPoint&) = default;
};

// A node's computed layout.
struct Layout {
  LayoutPoint location;  // relative to the parent's top-left corner
  LayoutSize size;       // border box
  // The extent of the children (their far margin edges plus this node's end
  // padding), measured from this node's top-left corner. Larger than `size`
  // when the content overflows, as in a scroll container.
  LayoutSize content_size;
  friend bool operator==(const Layout&, const Layout&) = default;
};

// Sizes a leaf (a node without children). Called with the sizes already fixed
// for the leaf's content box (each possibly absent) and the space available to
// its content box; answers the content size. Answers that are negative or not
// finite count as zero. Within one compute_layout a leaf is asked at most
// once for each distinct question.
using MeasureFunction = std::function<LayoutSize(NodeId, KnownDimensions, AvailableSize)>;

class LayoutTree {
 public:
  static constexpr std::size_t kDefaultMaxNodes = std::size_t{1} << 20;

  // `max_nodes` bounds the live nodes; creating more is refused.
  explicit LayoutTree(std::size_t max_nodes = kDefaultMaxNodes);
  ~LayoutTree();
  LayoutTree(LayoutTree&&) noexcept;
  LayoutTree& operator=(LayoutTree&&) noexcept;
  LayoutTree(const LayoutTree&) = delete;
  LayoutTree& operator=(const LayoutTree&) = delete;

  // Creating a node is refused when the tree is full, or when a child is not
  // a live node of this tree, already has a parent, or is listed twice.
  Result<NodeId> new_leaf(const Style& style);
  Result<NodeId> new_with_children(const Style& style, std::span<const NodeId> children);

  // Appends `child` to `parent`; refused for stale ids, a child that already
  // has a parent, and a child that is `parent` or one of its ancestors.
  Status add_child(NodeId parent, NodeId child);
  // Replaces the children; the old ones become parentless.
  Status set_children(NodeId parent, std::span<const NodeId> children);
  // Removes one node: it is detached from its parent, its children become
  // parentless, and its id goes stale.
  Status remove(NodeId node);
  // Removes every node. Storage is kept for the next build; every id given
  // out before goes stale.
  void clear();

  Status set_style(NodeId node, const Style& style);
  std::optional<Style> style(NodeId node) const;

  bool contains(NodeId node) const;
  std::size_t size() const;  // live nodes
  // The node's children in order. The span is valid until the tree changes.
  Result<std::span<const NodeId>> children(NodeId node) const;
  std::optional<NodeId> child_at(NodeId node, std::size_t index) const;
  std::optional<NodeId> parent(NodeId node) const;

  // Lays out the subtree under `root` for the available size. The root is
  // placed at 0, 0; an automatic root dimension fills a definite available
  // size and takes its content size otherwise. Refused for a stale root or an
  // available size that is not a number.
  Status compute_layout(NodeId root, AvailableSize available, const MeasureFunction& measure = {});

  // The node's layout from the last compute that reached it; absent for a
  // node that has not been laid out since it was created.
  std::optional<Layout> layout(NodeId node) const;

  // Whether compute_layout(root, available) may answer differently from the
  // last compute: the tree changed, mark_dirty was called, or the root or the
  // available size differ.
  bool needs_layout(NodeId root, AvailableSize available) const;
  // Tells the tree that a leaf's measurement changed (new text, new font).
  void mark_dirty();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Which widget owns which node: filled by the widgets' build_layout, read by
// the frame loop to route measuring and events. The registry does not own
// the widgets; a stale id (its node removed or the tree cleared) finds nothing.
class NodeRegistry {
 public:
  // Enters (or replaces) the widget of a node. A null widget or an invalid
  // id is ignored.
  void insert(NodeId node, Widget* widget);
  Widget* find(NodeId node) const;  // null when absent
  bool erase(NodeId node);
  void clear();
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }

 private:
  struct Entry {
    std::uint32_t generation = 0;
    Widget* widget = nullptr;
  };
  std::vector<Entry> entries_;  // indexed by node slot
  std::size_t count_ = 0;
};

}  // namespace kalu_ui::layout
