// A node's size in one computation: the root's run, the remembered answers
// that spare asking a node the same question twice, a leaf's measure, and the
// hand-over of a container to its flex pass (flex_pass.cpp).

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "sizing.h"

namespace kalu_ui::layout {

namespace {

std::uint64_t mix(std::uint64_t h, std::uint64_t v) {
  h ^= v + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
  return h;
}

std::uint64_t bits(std::optional<float> v) {
  return v ? std::bit_cast<std::uint32_t>(*v) : 0x1'0000'0000ULL;
}

std::uint64_t bits(const AvailableSpace& s) {
  return (static_cast<std::uint64_t>(s.kind) << 32) |
         (s.is_definite() ? std::bit_cast<std::uint32_t>(s.value) : 0u);
}

std::uint64_t hash_question(std::uint32_t node, const KnownDimensions& known,
                            const AvailableSize& available) {
  std::uint64_t h = node;
  h = mix(h, bits(known.width));
  h = mix(h, bits(known.height));
  h = mix(h, bits(available.width));
  h = mix(h, bits(available.height));
  return h;
}

}  // namespace

const LayoutSize* MeasureTable::find(std::uint32_t epoch, std::uint32_t node,
                                     const KnownDimensions& known,
                                     const AvailableSize& available) const {
  if (slots_.empty()) return nullptr;
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t i = hash_question(node, known, available) & mask;; i = (i + 1) & mask) {
    const MeasureMemo& m = slots_[i];
    if (m.epoch != epoch) return nullptr;
    if (m.node == node && m.known == known && m.available == available) return &m.size;
  }
}

void MeasureTable::insert(std::uint32_t epoch, std::uint32_t node, const KnownDimensions& known,
                          const AvailableSize& available, LayoutSize size) {
  // Keep the table at most half full so probes stay short and always end.
  if ((count_ + 1) * 2 > slots_.size()) {
    std::vector<MeasureMemo> old = std::move(slots_);
    slots_.assign(std::max<std::size_t>(64, old.size() * 2), MeasureMemo{});
    count_ = 0;
    for (const MeasureMemo& m : old) {
      if (m.epoch == epoch) insert(epoch, m.node, m.known, m.available, m.size);
    }
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash_question(node, known, available) & mask;
  while (slots_[i].epoch == epoch) i = (i + 1) & mask;
  slots_[i] = {epoch, node, known, available, size};
  ++count_;
}

const CacheEntry* LayoutTree::Impl::find_cached(const Node& node, const KnownDimensions& known,
                                                std::optional<float> pw, std::optional<float> ph,
                                                const AvailableSize& available) const {
  for (const CacheEntry& e : node.cache) {
    if (e.epoch == epoch && e.known == known && e.available == available && e.parent_width == pw &&
        e.parent_height == ph) {
      return &e;
    }
  }
  return nullptr;
}

void LayoutTree::Impl::store_cached(Node& node, const KnownDimensions& known,
                                    std::optional<float> pw, std::optional<float> ph,
                                    const AvailableSize& available, LayoutSize size) {
  node.cache[node.cache_next] = {epoch, known, available, pw, ph, size};
  node.cache_next = static_cast<std::uint8_t>((node.cache_next + 1) % kCacheSlots);
}

void LayoutTree::Impl::run(std::uint32_t root, AvailableSize available) {
  if (++epoch == 0) {
    // The epoch wrapped: forget every entry so none is mistaken for current.
    for (Node& node : nodes) node.cache = {};
    measured.forget_all();
    epoch = 1;
  }
  measured.reset_count();
  Node& node = nodes[root];
  const Style& s = node.style;
  const std::optional<float> aw = available.width.as_definite();
  const std::optional<float> ah = available.height.as_definite();
  const Limits limits = resolve_limits(s, aw, ah);
  // The root stands for the window: an automatic size fills it.
  std::optional<float> w = resolve(s.width, aw);
  std::optional<float> h = resolve(s.height, ah);
  if (!w && aw && std::isfinite(*aw)) w = *aw;
  if (!h && ah && std::isfinite(*ah)) h = *ah;
  w = clamp(w, limits.min[kX], limits.max[kX]);
  h = clamp(h, limits.min[kY], limits.max[kY]);
  if (w) w = std::max(0.0f, *w);
  if (h) h = std::max(0.0f, *h);
  const LayoutSize size = compute(root, {w, h}, aw, ah, available, false);
  // Lay out again with the final size known, as a parent does for a child.
  const LayoutSize final_size = compute(root, {size.width, size.height}, aw, ah, available, true);
  node.layout.location = {};
  node.layout.size = final_size;
  node.laid_out = true;
}

void LayoutTree::Impl::hide(std::uint32_t n) {
  Node& node = nodes[n];
  node.layout = {};
  node.laid_out = true;
  for (const NodeId child : node.children) hide(child.index);
}

LayoutSize LayoutTree::Impl::compute(std::uint32_t n, KnownDimensions known,
                                     std::optional<float> pw, std::optional<float> ph,
                                     AvailableSize available, bool perform) {
  Node& node = nodes[n];
  const Style& s = node.style;
  if (s.display == Display::None) {
    if (perform) hide(n);
    return {};
  }
  if (!node.uses_parent_size) {
    pw.reset();
    ph.reset();
  }
  // A fixed size makes the space offered on that axis irrelevant; folding it
  // in lets more questions share one remembered answer.
  if (known.width) available.width = AvailableSpace::definite(*known.width);
  if (known.height) available.height = AvailableSpace::definite(*known.height);
  if (!perform) {
    if (known.width && known.height) return {*known.width, *known.height};
    if (const CacheEntry* hit = find_cached(node, known, pw, ph, available)) return hit->size;
  }

  ResolvedBox box;
  box.pad_start = {non_negative(resolve_or_zero(s.padding.left, pw)),
                   non_negative(resolve_or_zero(s.padding.top, pw))};
  box.pad_end = {non_negative(resolve_or_zero(s.padding.right, pw)),
                 non_negative(resolve_or_zero(s.padding.bottom, pw))};
  const Limits limits = resolve_limits(s, pw, ph);
  box.min = limits.min;
  box.max = limits.max;
  box.size = {known.width, known.height};
  const std::array<Dimension, 2> style_size = {s.width, s.height};
  const std::array<std::optional<float>, 2> parent = {pw, ph};
  for (int a : {kX, kY}) {
    if (!box.size[a]) {
      box.size[a] = clamp(resolve(style_size[a], parent[a]), box.min[a], box.max[a]);
      // A scroll container asked for its smallest size can shrink to nothing.
      if (!box.size[a] && along(available, a).kind == AvailableSpace::Kind::MinContent &&
          overflow_on(s, a) != Overflow::Visible) {
        box.size[a] = clamp(0.0f, box.min[a], box.max[a]);
      }
      if (box.size[a]) box.size[a] = std::max(*box.size[a], box.pad(a));
    }
  }

  LayoutSize result;
  if (!perform && box.size[kX] && box.size[kY]) {
    result = {*box.size[kX], *box.size[kY]};
  } else if (node.children.empty()) {
    result = measure_leaf(n, box, available);
    if (perform) node.layout.content_size = result;
  } else {
    result = flex(n, box, available, perform);
  }
  if (!perform) store_cached(node, known, pw, ph, available, result);
  return result;
}

LayoutSize LayoutTree::Impl::measure_leaf(std::uint32_t n, const ResolvedBox& box,
                                          AvailableSize available) {
  const Node& node = nodes[n];
  if (box.size[kX] && box.size[kY]) return {*box.size[kX], *box.size[kY]};
  std::array<AvailableSpace, 2> inner_available;
  Pair inner_known;
  for (int a : {kX, kY}) {
    if (box.size[a]) {
      inner_known[a] = std::max(0.0f, *box.size[a] - box.pad(a));
      inner_available[a] = AvailableSpace::definite(*inner_known[a]);
    } else {
      AvailableSpace space = along(available, a);
      if (space.is_definite() && box.max[a]) space.value = std::min(space.value, *box.max[a]);
      inner_available[a] = shrink_by(space, box.pad(a));
    }
  }
  LayoutSize content_size;
  if (measure != nullptr) {
    const KnownDimensions question{inner_known[kX], inner_known[kY]};
    const AvailableSize space{inner_available[kX], inner_available[kY]};
    if (const LayoutSize* known_answer = measured.find(epoch, n, question, space)) {
      content_size = *known_answer;
    } else {
      content_size = (*measure)(NodeId{n, node.generation}, question, space);
      measured.insert(epoch, n, question, space, content_size);
    }
  }
  const std::array<float, 2> content = {non_negative(content_size.width),
                                        non_negative(content_size.height)};
  std::array<float, 2> out{};
  for (int a : {kX, kY}) {
    out[a] = box.size[a]
                 ? *box.size[a]
                 : std::max(box.pad(a), clamp(content[a] + box.pad(a), box.min[a], box.max[a]));
  }
  return {out[kX], out[kY]};
}

}  // namespace kalu_ui::layout
