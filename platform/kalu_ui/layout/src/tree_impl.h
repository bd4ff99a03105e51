#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "kalu_ui/layout.h"

namespace kalu_ui::layout {

inline constexpr std::uint32_t kNoParent = UINT32_MAX;

// One remembered answer of a node's size computation. The cache lives only
// for one compute (entries carry the compute's epoch), so measured leaves are
// asked once per distinct question and deep trees are not sized over and
// over by every ancestor.
struct CacheEntry {
  std::uint32_t epoch = 0;
  KnownDimensions known;
  AvailableSize available;
  std::optional<float> parent_width;
  std::optional<float> parent_height;
  LayoutSize size;
};

inline constexpr std::size_t kCacheSlots = 8;

// One answer of the measure callback. Leaves can be asked more distinct
// questions in one compute than a node's cache holds, and a measure is the
// expensive step (text shaping), so every answer is also kept here.
struct MeasureMemo {
  std::uint32_t epoch = 0;
  std::uint32_t node = 0;
  KnownDimensions known;
  AvailableSize available;
  LayoutSize size;
};

// An open-addressing table of measure answers, reused from compute to compute
// (entries of an older epoch count as empty), so it stops allocating once it
// has grown to the tree's needs.
class MeasureTable {
 public:
  const LayoutSize* find(std::uint32_t epoch, std::uint32_t node, const KnownDimensions& known,
                         const AvailableSize& available) const;
  void insert(std::uint32_t epoch, std::uint32_t node, const KnownDimensions& known,
              const AvailableSize& available, LayoutSize size);
  void reset_count() { count_ = 0; }
  void forget_all() { slots_.assign(slots_.size(), MeasureMemo{}); }

 private:
  std::vector<MeasureMemo> slots_;
  std::size_t count_ = 0;
};

struct Node {
  Style style;
  std::uint32_t generation = 0;
  std::uint32_t parent = kNoParent;
  bool alive = false;
  bool laid_out = false;
  // The node's own style has a percentage that resolves against its parent,
  // so the parent's size is part of its cache key.
  bool uses_parent_size = false;
  std::uint8_t cache_next = 0;
  std::vector<NodeId> children;  // capacity kept when the slot is reused
  Layout layout;
  std::array<CacheEntry, kCacheSlots> cache;
};

// The working record of one child during its parent's flex pass. Index 0 of
// each pair is the horizontal axis, 1 the vertical.
struct FlexItem {
  std::uint32_t node = 0;
  Align align = Align::Stretch;
  bool auto_min_pending = false;
  bool frozen = false;
  std::array<float, 2> margin_start{};
  std::array<float, 2> margin_end{};
  std::array<std::optional<float>, 2> size;
  std::array<std::optional<float>, 2> min;
  std::array<std::optional<float>, 2> max;
  std::optional<float> cross_known;  // fixed cross size, when there is one
  float basis = 0.0f;
  float hypothetical = 0.0f;
  float target = 0.0f;
  float cross = 0.0f;
  float violation = 0.0f;
};

using OptionalPair = std::array<std::optional<float>, 2>;

// A node's own style resolved against its parent for one computation. Index 0
// is the horizontal axis, 1 the vertical.
struct ResolvedBox {
  OptionalPair size;  // the border-box size when fixed
  OptionalPair min;
  OptionalPair max;
  std::array<float, 2> pad_start{};
  std::array<float, 2> pad_end{};
  float pad(int axis) const { return pad_start[axis] + pad_end[axis]; }
};

struct LayoutTree::Impl {
  std::size_t max_nodes;
  std::vector<Node> nodes;
  std::vector<std::uint32_t> free_slots;
  std::size_t live = 0;

  // Compute state.
  std::uint32_t epoch = 0;
  const MeasureFunction* measure = nullptr;
  std::vector<FlexItem> scratch;  // a stack: each flex pass uses a range at the end
  MeasureTable measured;

  // What the last compute was asked, for needs_layout.
  bool dirty = true;
  std::optional<NodeId> last_root;
  AvailableSize last_available;

  explicit Impl(std::size_t limit) : max_nodes(limit) {}

  Node* get(NodeId id);
  // Whether `children` may become the children of `parent` (kNoParent for a
  // new node): live, not someone else's, not an ancestor, not listed twice.
  Status check_adoption(std::uint32_t parent, std::span<const NodeId> children) const;
  const Node* get(NodeId id) const;
  void touch() { dirty = true; }

  // The algorithm (flex.cpp).
  void run(std::uint32_t root, AvailableSize available);
  LayoutSize compute(std::uint32_t n, KnownDimensions known, std::optional<float> parent_width,
                     std::optional<float> parent_height, AvailableSize available, bool perform);
  LayoutSize measure_leaf(std::uint32_t n, const ResolvedBox& box, AvailableSize available);
  LayoutSize flex(std::uint32_t n, const ResolvedBox& box, AvailableSize available, bool perform);
  class FlexPass;  // one container's pass (flex_pass.cpp)
  void hide(std::uint32_t n);
  const CacheEntry* find_cached(const Node& node, const KnownDimensions& known,
                                std::optional<float> pw, std::optional<float> ph,
                                const AvailableSize& available) const;
  void store_cached(Node& node, const KnownDimensions& known, std::optional<float> pw,
                    std::optional<float> ph, const AvailableSize& available, LayoutSize size);
};

bool style_uses_parent_size(const Style& style);

}  // namespace kalu_ui::layout
