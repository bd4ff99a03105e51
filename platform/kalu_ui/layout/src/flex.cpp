// A single-line flexbox: the steps of the CSS flexible box algorithm that a
// settings page needs (no wrapping, no reversed directions, no absolute
// positioning, no baselines), with border-box sizes throughout.

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

#include "tree_impl.h"

namespace kalu_ui::layout {

namespace {

using Pair = std::array<std::optional<float>, 2>;
constexpr int kX = 0;
constexpr int kY = 1;

float finite_or_zero(float v) { return std::isfinite(v) ? v : 0.0f; }
float non_negative(float v) { return std::isfinite(v) && v > 0.0f ? v : 0.0f; }

// Inlined: returning an optional through memory costs a store-forwarding
// stall per call, and this runs several times per node and question.
[[gnu::always_inline]] inline std::optional<float> resolve(const Dimension& d,
                                                           std::optional<float> base) {
  switch (d.kind) {
    case Dimension::Kind::Points:
      if (!std::isfinite(d.value)) return std::nullopt;
      return d.value;
    case Dimension::Kind::Percent:
      if (!base || !std::isfinite(d.value)) return std::nullopt;
      return *base * d.value;
    case Dimension::Kind::Auto:
      break;
  }
  return std::nullopt;
}

float resolve_or_zero(const Dimension& d, std::optional<float> base) {
  return resolve(d, base).value_or(0.0f);
}

// Clamps to [min, max]; the minimum wins when they cross, as in CSS.
float clamp(float v, std::optional<float> min, std::optional<float> max) {
  if (max && v > *max) v = *max;
  if (min && v < *min) v = *min;
  return v;
}

std::optional<float> clamp(std::optional<float> v, std::optional<float> min,
                           std::optional<float> max) {
  if (!v) return v;
  return clamp(*v, min, max);
}

const AvailableSpace& along(const AvailableSize& a, int axis) {
  return axis == kX ? a.width : a.height;
}

AvailableSize make_available(int axis, AvailableSpace on_axis, AvailableSpace other) {
  return axis == kX ? AvailableSize{on_axis, other} : AvailableSize{other, on_axis};
}

KnownDimensions make_known(int axis, std::optional<float> on_axis, std::optional<float> other) {
  return axis == kX ? KnownDimensions{on_axis, other} : KnownDimensions{other, on_axis};
}

float along(const LayoutSize& s, int axis) { return axis == kX ? s.width : s.height; }

// The space left for a child's border box after its margins.
AvailableSpace shrink_by(AvailableSpace s, float amount) {
  if (s.is_definite()) return AvailableSpace::definite(std::max(0.0f, s.value - amount));
  return s;
}

Overflow overflow_on(const Style& s, int axis) { return axis == kX ? s.overflow_x : s.overflow_y; }

struct Limits {
  Pair min;
  Pair max;
};

Limits resolve_limits(const Style& s, std::optional<float> pw, std::optional<float> ph) {
  return {{resolve(s.min_width, pw), resolve(s.min_height, ph)},
          {resolve(s.max_width, pw), resolve(s.max_height, ph)}};
}

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

LayoutSize LayoutTree::Impl::flex(std::uint32_t n, const ResolvedBox& box, AvailableSize available,
                                  bool perform) {
  Node& node = nodes[n];
  const Style& s = node.style;
  const int main = s.flex_direction == FlexDirection::Row ? kX : kY;
  const int cross = 1 - main;
  const Pair& size = box.size;
  const Align align_items = s.align_items.value_or(Align::Stretch);
  const float gap = non_negative(main == kX ? s.gap.width : s.gap.height);

  // The content box: known sizes, and the space offered to it otherwise.
  Pair inner_known;
  std::array<AvailableSpace, 2> inner_available;
  for (int a : {kX, kY}) {
    if (size[a]) {
      inner_known[a] = std::max(0.0f, *size[a] - box.pad(a));
      inner_available[a] = AvailableSpace::definite(*inner_known[a]);
    } else {
      AvailableSpace space = along(available, a);
      if (space.is_definite() && box.max[a]) space.value = std::min(space.value, *box.max[a]);
      inner_available[a] = shrink_by(space, box.pad(a));
    }
  }
  // The inner limits of an automatic size.
  std::array<std::optional<float>, 2> inner_min, inner_max;
  for (int a : {kX, kY}) {
    if (box.min[a]) inner_min[a] = std::max(0.0f, *box.min[a] - box.pad(a));
    if (box.max[a]) inner_max[a] = std::max(0.0f, *box.max[a] - box.pad(a));
  }

  // Gather the items; a hidden child takes no space.
  const std::size_t base = scratch.size();
  for (const NodeId child : node.children) {
    const Node& c = nodes[child.index];
    if (c.style.display == Display::None) {
      if (perform) hide(child.index);
      continue;
    }
    FlexItem item;
    item.node = child.index;
    scratch.push_back(item);
  }
  const std::size_t count = scratch.size() - base;
  auto item = [&](std::size_t i) -> FlexItem& { return scratch[base + i]; };
  const float gaps = count > 1 ? gap * static_cast<float>(count - 1) : 0.0f;

  const AvailableSpace basis_space = inner_available[main].kind == AvailableSpace::Kind::MinContent
                                         ? AvailableSpace::min_content()
                                         : AvailableSpace::max_content();

  // In a column, an item's height depends on its width and not the other way
  // round, so widths are settled first and every height is then computed at
  // the width the item will be laid out at. A width taken from a narrower
  // question would leave the column as tall as its content was there.
  //
  // The width of an item that is not stretched shrinks to fit the space: its
  // widest content, but all of the space when its content is wider and wraps
  // (a measure at a definite width answers the widest wrapped line, which
  // falls short of the space).
  auto fit_width = [&](std::uint32_t child, AvailableSpace space) {
    float w =
        compute(child, {}, inner_known[kX], inner_known[kY], {space, basis_space}, false).width;
    if (space.is_definite() && w < space.value) {
      const LayoutSize widest = compute(child, {}, inner_known[kX], inner_known[kY],
                                        {AvailableSpace::max_content(), basis_space}, false);
      w = std::max(w, std::min(widest.width, space.value));
    }
    return w;
  };
  if (main == kY && !inner_known[kX]) {
    // An automatic width: the widest item, within this node's limits. The
    // items are then laid out against it as against a fixed width.
    float widest = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
      const std::uint32_t child = item(i).node;
      const Style& cs = nodes[child].style;
      const float margins = finite_or_zero(resolve_or_zero(cs.margin.left, std::nullopt)) +
                            finite_or_zero(resolve_or_zero(cs.margin.right, std::nullopt));
      const Limits cl = resolve_limits(cs, std::nullopt, std::nullopt);
      std::optional<float> w = clamp(resolve(cs.width, std::nullopt), cl.min[kX], cl.max[kX]);
      if (!w) w = fit_width(child, shrink_by(inner_available[kX], margins));
      widest = std::max(widest, std::max(0.0f, *w) + margins);
    }
    inner_known[kX] = std::max(0.0f, clamp(widest, inner_min[kX], inner_max[kX]));
    inner_available[kX] = AvailableSpace::definite(*inner_known[kX]);
  }

  // The content-based minimum main size of an item (its min-content size, at
  // most its specified size): computed only when it can matter.
  auto settle_auto_min = [&](std::size_t i) {
    FlexItem& it = item(i);
    if (!it.auto_min_pending) return;
    it.auto_min_pending = false;
    const std::uint32_t child = it.node;
    const std::optional<float> cross_known = it.cross_known;
    const AvailableSpace cross_space =
        shrink_by(inner_available[cross], it.margin_start[cross] + it.margin_end[cross]);
    const LayoutSize min_content = compute(
        child, make_known(main, std::nullopt, cross_known), inner_known[kX], inner_known[kY],
        make_available(main, AvailableSpace::min_content(), cross_space), false);
    FlexItem& again = item(i);
    float m = along(min_content, main);
    if (again.size[main]) m = std::min(m, *again.size[main]);
    if (again.max[main]) m = std::min(m, *again.max[main]);
    again.min[main] = m;
  };

  // Flex base sizes and hypothetical main sizes.
  for (std::size_t i = 0; i < count; ++i) {
    FlexItem& it = item(i);
    const Style& cs = nodes[it.node].style;
    it.margin_start = {finite_or_zero(resolve_or_zero(cs.margin.left, inner_known[kX])),
                       finite_or_zero(resolve_or_zero(cs.margin.top, inner_known[kX]))};
    it.margin_end = {finite_or_zero(resolve_or_zero(cs.margin.right, inner_known[kX])),
                     finite_or_zero(resolve_or_zero(cs.margin.bottom, inner_known[kX]))};
    const Limits cl = resolve_limits(cs, inner_known[kX], inner_known[kY]);
    it.min = cl.min;
    it.max = cl.max;
    it.size = {clamp(resolve(cs.width, inner_known[kX]), cl.min[kX], cl.max[kX]),
               clamp(resolve(cs.height, inner_known[kY]), cl.min[kY], cl.max[kY])};
    it.align = cs.align_self.value_or(align_items);
    const float cross_margins = it.margin_start[cross] + it.margin_end[cross];
    const bool auto_min = (main == kX ? cs.min_width : cs.min_height).is_auto();
    if (auto_min) {
      if (overflow_on(cs, main) == Overflow::Visible) {
        it.auto_min_pending = true;
      } else {
        it.min[main] = 0.0f;
      }
    }
    if (it.size[cross]) {
      it.cross_known = it.size[cross];
    } else if (it.align == Align::Stretch && inner_known[cross]) {
      it.cross_known =
          std::max(0.0f, clamp(*inner_known[cross] - cross_margins, it.min[cross], it.max[cross]));
    } else if (main == kY) {
      const float w = fit_width(it.node, shrink_by(inner_available[kX], cross_margins));
      FlexItem& fitted = item(i);
      fitted.cross_known = std::max(0.0f, clamp(w, fitted.min[kX], fitted.max[kX]));
    }

    std::optional<float> basis = resolve(cs.flex_basis, inner_known[main]);
    const bool explicit_basis = basis.has_value();
    if (!basis) basis = item(i).size[main];
    if (!basis) {
      const std::uint32_t child = item(i).node;
      const std::optional<float> cross_known = item(i).cross_known;
      const AvailableSpace cross_space = cross_known
                                             ? AvailableSpace::definite(*cross_known)
                                             : shrink_by(inner_available[cross], cross_margins);
      const LayoutSize content =
          compute(child, make_known(main, std::nullopt, cross_known), inner_known[kX],
                  inner_known[kY], make_available(main, basis_space, cross_space), false);
      basis = along(content, main);
    }
    FlexItem& again = item(i);
    again.basis = std::max(0.0f, *basis);
    // A content-based basis is never below the content's minimum, nor is a
    // specified size below its own content-based minimum; only an explicit
    // basis needs the minimum now.
    if (explicit_basis) settle_auto_min(i);
    FlexItem& settled = item(i);
    settled.hypothetical =
        std::max(0.0f, clamp(settled.basis, settled.min[main], settled.max[main]));
    settled.target = settled.hypothetical;
  }

  auto outer_main = [&](const FlexItem& it, float v) {
    return v + it.margin_start[main] + it.margin_end[main];
  };
  float hypothetical_sum = gaps;
  for (std::size_t i = 0; i < count; ++i)
    hypothetical_sum += outer_main(item(i), item(i).hypothetical);

  // The container's main size: given, else its content within what is
  // available, within its own limits.
  float inner_main;
  if (inner_known[main]) {
    inner_main = *inner_known[main];
  } else {
    inner_main = hypothetical_sum;
    if (inner_available[main].is_definite()) {
      inner_main = std::min(inner_main, inner_available[main].value);
    }
    inner_main = clamp(inner_main, inner_min[main], inner_max[main]);
  }

  // Resolve the flexible lengths.
  const bool growing = hypothetical_sum < inner_main;
  // The content of a scroll container is as long as it wants to be along the
  // scrolling axis: it never shrinks to the viewport. (This also spares
  // sizing the whole content again at its minimum.)
  const bool scrolls = overflow_on(s, main) != Overflow::Visible;
  for (std::size_t i = 0; i < count; ++i) {
    FlexItem& it = item(i);
    const Style& cs = nodes[it.node].style;
    const float factor = growing ? cs.flex_grow : (scrolls ? 0.0f : cs.flex_shrink);
    it.frozen = !(std::isfinite(factor) && factor > 0.0f) ||
                (growing && it.basis > it.hypothetical) || (!growing && it.basis < it.hypothetical);
    if (!it.frozen) it.target = it.basis;
  }
  auto free_space = [&] {
    float used = gaps;
    for (std::size_t i = 0; i < count; ++i) {
      const FlexItem& it = item(i);
      used += outer_main(it, it.frozen ? it.target : it.basis);
    }
    return inner_main - used;
  };
  const float initial_free = free_space();
  for (std::size_t round = 0; round <= count; ++round) {
    float factor_sum = 0.0f;
    float scaled_shrink_sum = 0.0f;
    bool any_unfrozen = false;
    for (std::size_t i = 0; i < count; ++i) {
      const FlexItem& it = item(i);
      if (it.frozen) continue;
      any_unfrozen = true;
      const Style& cs = nodes[it.node].style;
      factor_sum += growing ? cs.flex_grow : cs.flex_shrink;
      scaled_shrink_sum += cs.flex_shrink * it.basis;
    }
    if (!any_unfrozen) break;
    float remaining = free_space();
    if (factor_sum < 1.0f && std::abs(initial_free * factor_sum) < std::abs(remaining)) {
      remaining = initial_free * factor_sum;
    }
    float total_violation = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
      if (item(i).frozen) continue;
      const Style& cs = nodes[item(i).node].style;
      float target = item(i).basis;
      if (remaining != 0.0f) {
        if (growing) {
          target += remaining * cs.flex_grow / factor_sum;
        } else if (scaled_shrink_sum > 0.0f) {
          target += remaining * (cs.flex_shrink * item(i).basis) / scaled_shrink_sum;
        }
      }
      if (target < item(i).basis) settle_auto_min(i);
      FlexItem& it = item(i);
      const float clamped = std::max(0.0f, clamp(target, it.min[main], it.max[main]));
      it.violation = clamped - target;
      it.target = clamped;
      total_violation += it.violation;
    }
    for (std::size_t i = 0; i < count; ++i) {
      FlexItem& it = item(i);
      if (it.frozen) continue;
      if (total_violation == 0.0f || (total_violation > 0.0f && it.violation > 0.0f) ||
          (total_violation < 0.0f && it.violation < 0.0f)) {
        it.frozen = true;
      }
    }
  }

  // An automatic main size fits items that could not shrink any further.
  float used_main = gaps;
  for (std::size_t i = 0; i < count; ++i) used_main += outer_main(item(i), item(i).target);
  if (!inner_known[main]) {
    inner_main = clamp(std::max(inner_main, used_main), inner_min[main], inner_max[main]);
  }

  // Cross sizes; a sizing pass whose cross size is already fixed does not
  // need them.
  float line_cross = 0.0f;
  const bool need_cross = perform || !inner_known[cross];
  for (std::size_t i = 0; need_cross && i < count; ++i) {
    FlexItem& it = item(i);
    const float cross_margins = it.margin_start[cross] + it.margin_end[cross];
    if (it.cross_known) {
      it.cross = *it.cross_known;
    } else {
      const std::uint32_t child = it.node;
      const float target = it.target;
      const LayoutSize sized =
          compute(child, make_known(main, target, std::nullopt), inner_known[kX], inner_known[kY],
                  make_available(main, AvailableSpace::definite(target),
                                 shrink_by(inner_available[cross], cross_margins)),
                  false);
      FlexItem& again = item(i);
      again.cross = std::max(0.0f, clamp(along(sized, cross), again.min[cross], again.max[cross]));
    }
    line_cross = std::max(line_cross, item(i).cross + cross_margins);
  }
  float inner_cross;
  if (inner_known[cross]) {
    inner_cross = *inner_known[cross];
  } else {
    inner_cross = clamp(line_cross, inner_min[cross], inner_max[cross]);
  }
  for (std::size_t i = 0; i < count; ++i) {
    FlexItem& it = item(i);
    if (it.align == Align::Stretch && !it.size[cross]) {
      const float cross_margins = it.margin_start[cross] + it.margin_end[cross];
      it.cross = std::max(0.0f, clamp(inner_cross - cross_margins, it.min[cross], it.max[cross]));
    }
  }

  std::array<float, 2> out{};
  out[main] = size[main] ? *size[main] : inner_main + box.pad(main);
  out[cross] = size[cross] ? *size[cross] : inner_cross + box.pad(cross);

  if (perform) {
    // Distribute the free main space.
    const float free = inner_main - used_main;
    float offset = 0.0f;
    float between = gap;
    const float n_items = static_cast<float>(count);
    switch (s.justify_content) {
      case Justify::Start:
        break;
      case Justify::End:
        offset = free;
        break;
      case Justify::Center:
        offset = free / 2.0f;
        break;
      case Justify::SpaceBetween:
        if (free > 0.0f && count > 1) between += free / (n_items - 1.0f);
        break;
      case Justify::SpaceAround:
        if (free > 0.0f && count > 0) {
          offset = free / n_items / 2.0f;
          between += free / n_items;
        } else {
          offset = free / 2.0f;
        }
        break;
      case Justify::SpaceEvenly:
        if (free > 0.0f && count > 0) {
          offset = free / (n_items + 1.0f);
          between += offset;
        } else {
          offset = free / 2.0f;
        }
        break;
    }
    std::array<float, 2> extent = {0.0f, 0.0f};
    const std::array<float, 2> inner_final = {out[kX] - box.pad(kX), out[kY] - box.pad(kY)};
    float cursor = box.pad_start[main] + offset;
    for (std::size_t i = 0; i < count; ++i) {
      const FlexItem& it = item(i);
      const std::uint32_t child = it.node;
      const float outer_cross = it.cross + it.margin_start[cross] + it.margin_end[cross];
      float cross_offset = 0.0f;
      switch (it.align) {
        case Align::End:
          cross_offset = inner_cross - outer_cross;
          break;
        case Align::Center:
          cross_offset = (inner_cross - outer_cross) / 2.0f;
          break;
        case Align::Start:
        case Align::Stretch:
        case Align::Baseline:
          break;
      }
      std::array<float, 2> location{};
      std::array<float, 2> item_size{};
      location[main] = cursor + it.margin_start[main];
      location[cross] = box.pad_start[cross] + cross_offset + it.margin_start[cross];
      item_size[main] = it.target;
      item_size[cross] = it.cross;
      const std::array<float, 2> margin_end = it.margin_end;
      cursor = location[main] + it.target + it.margin_end[main] + between;

      compute(child, {item_size[kX], item_size[kY]}, inner_final[kX], inner_final[kY],
              {AvailableSpace::definite(item_size[kX]), AvailableSpace::definite(item_size[kY])},
              true);
      Node& c = nodes[child];
      c.layout.location = {location[kX], location[kY]};
      c.layout.size = {item_size[kX], item_size[kY]};
      c.laid_out = true;
      for (int a : {kX, kY}) {
        extent[a] = std::max(extent[a], location[a] + item_size[a] + margin_end[a]);
      }
    }
    node.layout.content_size = {extent[kX] + box.pad_end[kX], extent[kY] + box.pad_end[kY]};
  }

  scratch.resize(base);
  return {out[kX], out[kY]};
}

}  // namespace kalu_ui::layout
