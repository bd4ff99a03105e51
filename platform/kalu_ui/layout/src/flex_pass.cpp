// A flex container's pass: the steps of the CSS flexible box algorithm that a
// settings page needs (one line, no reversed directions, no absolute
// positioning, no baselines), with border-box sizes throughout.
//
// The pass runs in this order, one method per step:
//   1. content_box: the container's content box, known or offered;
//   2. collect_items: its visible children, as items on the scratch stack;
//   3. settle_column_width: a column of automatic width takes its widest item;
//   4. base_sizes: each item's margins, limits, fixed cross size, flex base
//      size and hypothetical main size;
//   5. container_main: the container's main size;
//   6. flex_lengths: growing or shrinking the items to fill it;
//   7. cross_sizes: each item's cross size and the line's, stretch applied;
//   8. place_items (only when laying out): main alignment, cross alignment,
//      each child laid out at its final size, the content size.
//
// A child is sized by calling back into LayoutTree::Impl::compute, which may
// run nested passes that push onto the same scratch stack and so move it:
// an item is therefore always fetched again by index after such a call.

#include <algorithm>
#include <cmath>

#include "sizing.h"

namespace kalu_ui::layout {

class LayoutTree::Impl::FlexPass {
 public:
  FlexPass(LayoutTree::Impl& tree, std::uint32_t n, const ResolvedBox& box, AvailableSize available,
           bool perform)
      : tree_(tree),
        node_(tree.nodes[n]),
        style_(node_.style),
        box_(box),
        available_(available),
        perform_(perform),
        main_(style_.flex_direction == FlexDirection::Row ? kX : kY),
        cross_(1 - main_),
        align_items_(style_.align_items.value_or(Align::Stretch)),
        gap_(non_negative(main_ == kX ? style_.gap.width : style_.gap.height)) {}

  LayoutSize run() {
    content_box();
    collect_items();
    if (main_ == kY && !inner_known_[kX]) settle_column_width();
    base_sizes();
    container_main();
    flex_lengths();
    cross_sizes();
    std::array<float, 2> out{};
    for (int a : {kX, kY}) {
      const float inner = a == main_ ? inner_main_ : inner_cross_;
      out[a] = box_.size[a] ? *box_.size[a] : inner + box_.pad(a);
    }
    if (perform_) place_items(out);
    tree_.scratch.resize(base_);
    return {out[kX], out[kY]};
  }

 private:
  FlexItem& item(std::size_t i) { return tree_.scratch[base_ + i]; }

  float outer_main(const FlexItem& it, float v) const {
    return v + it.margin_start[main_] + it.margin_end[main_];
  }

  float cross_margins(const FlexItem& it) const {
    return it.margin_start[cross_] + it.margin_end[cross_];
  }

  LayoutSize size_child(std::uint32_t child, KnownDimensions known, AvailableSize available) {
    return tree_.compute(child, known, inner_known_[kX], inner_known_[kY], available, false);
  }

  // 1. The content box: known sizes, and the space offered to it otherwise;
  // the inner limits of an automatic size.
  void content_box() {
    for (int a : {kX, kY}) {
      if (box_.size[a]) {
        inner_known_[a] = std::max(0.0f, *box_.size[a] - box_.pad(a));
        inner_available_[a] = AvailableSpace::definite(*inner_known_[a]);
      } else {
        AvailableSpace space = along(available_, a);
        if (space.is_definite() && box_.max[a]) space.value = std::min(space.value, *box_.max[a]);
        inner_available_[a] = shrink_by(space, box_.pad(a));
      }
      if (box_.min[a]) inner_min_[a] = std::max(0.0f, *box_.min[a] - box_.pad(a));
      if (box_.max[a]) inner_max_[a] = std::max(0.0f, *box_.max[a] - box_.pad(a));
    }
    basis_space_ = inner_available_[main_].kind == AvailableSpace::Kind::MinContent
                       ? AvailableSpace::min_content()
                       : AvailableSpace::max_content();
  }

  // 2. The items; a hidden child takes no space.
  void collect_items() {
    base_ = tree_.scratch.size();
    for (const NodeId child : node_.children) {
      if (tree_.nodes[child.index].style.display == Display::None) {
        if (perform_) tree_.hide(child.index);
        continue;
      }
      FlexItem it;
      it.node = child.index;
      tree_.scratch.push_back(it);
    }
    count_ = tree_.scratch.size() - base_;
    gaps_ = count_ > 1 ? gap_ * static_cast<float>(count_ - 1) : 0.0f;
  }

  // The width of an item that is not stretched shrinks to fit the space: its
  // widest content, but all of the space when its content is wider and wraps
  // (a measure at a definite width answers the widest wrapped line, which
  // falls short of the space).
  float fit_width(std::uint32_t child, AvailableSpace space) {
    float w = size_child(child, {}, {space, basis_space_}).width;
    if (space.is_definite() && w < space.value) {
      const LayoutSize widest =
          size_child(child, {}, {AvailableSpace::max_content(), basis_space_});
      w = std::max(w, std::min(widest.width, space.value));
    }
    return w;
  }

  // 3. In a column, an item's height depends on its width and not the other
  // way round, so widths are settled first and every height is then computed
  // at the width the item will be laid out at. A width taken from a narrower
  // question would leave the column as tall as its content was there. An
  // automatic width is the widest item, within this node's limits; the items
  // are then laid out against it as against a fixed width.
  void settle_column_width() {
    float widest = 0.0f;
    for (std::size_t i = 0; i < count_; ++i) {
      const std::uint32_t child = item(i).node;
      const Style& cs = tree_.nodes[child].style;
      const float margins = finite_or_zero(resolve_or_zero(cs.margin.left, std::nullopt)) +
                            finite_or_zero(resolve_or_zero(cs.margin.right, std::nullopt));
      const Limits cl = resolve_limits(cs, std::nullopt, std::nullopt);
      std::optional<float> w = clamp(resolve(cs.width, std::nullopt), cl.min[kX], cl.max[kX]);
      if (!w) w = fit_width(child, shrink_by(inner_available_[kX], margins));
      widest = std::max(widest, std::max(0.0f, *w) + margins);
    }
    inner_known_[kX] = std::max(0.0f, clamp(widest, inner_min_[kX], inner_max_[kX]));
    inner_available_[kX] = AvailableSpace::definite(*inner_known_[kX]);
  }

  // The content-based minimum main size of an item (its min-content size, at
  // most its specified size): computed only when it can matter.
  void settle_auto_min(std::size_t i) {
    if (!item(i).auto_min_pending) return;
    item(i).auto_min_pending = false;
    const std::uint32_t child = item(i).node;
    const std::optional<float> cross_known = item(i).cross_known;
    const AvailableSpace cross_space = shrink_by(inner_available_[cross_], cross_margins(item(i)));
    const LayoutSize min_content =
        size_child(child, make_known(main_, std::nullopt, cross_known),
                   make_available(main_, AvailableSpace::min_content(), cross_space));
    FlexItem& it = item(i);
    float m = along(min_content, main_);
    if (it.size[main_]) m = std::min(m, *it.size[main_]);
    if (it.max[main_]) m = std::min(m, *it.max[main_]);
    it.min[main_] = m;
  }

  // An item's margins, limits, specified sizes, alignment and, when it has
  // one, its fixed cross size.
  void item_box(std::size_t i) {
    FlexItem& it = item(i);
    const Style& cs = tree_.nodes[it.node].style;
    it.margin_start = {finite_or_zero(resolve_or_zero(cs.margin.left, inner_known_[kX])),
                       finite_or_zero(resolve_or_zero(cs.margin.top, inner_known_[kX]))};
    it.margin_end = {finite_or_zero(resolve_or_zero(cs.margin.right, inner_known_[kX])),
                     finite_or_zero(resolve_or_zero(cs.margin.bottom, inner_known_[kX]))};
    const Limits cl = resolve_limits(cs, inner_known_[kX], inner_known_[kY]);
    it.min = cl.min;
    it.max = cl.max;
    it.size = {clamp(resolve(cs.width, inner_known_[kX]), cl.min[kX], cl.max[kX]),
               clamp(resolve(cs.height, inner_known_[kY]), cl.min[kY], cl.max[kY])};
    it.align = cs.align_self.value_or(align_items_);
    if ((main_ == kX ? cs.min_width : cs.min_height).is_auto()) {
      if (overflow_on(cs, main_) == Overflow::Visible) {
        it.auto_min_pending = true;
      } else {
        it.min[main_] = 0.0f;
      }
    }
    if (it.size[cross_]) {
      it.cross_known = it.size[cross_];
    } else if (it.align == Align::Stretch && inner_known_[cross_]) {
      it.cross_known = std::max(
          0.0f, clamp(*inner_known_[cross_] - cross_margins(it), it.min[cross_], it.max[cross_]));
    } else if (main_ == kY) {
      const float w = fit_width(it.node, shrink_by(inner_available_[kX], cross_margins(it)));
      FlexItem& fitted = item(i);
      fitted.cross_known = std::max(0.0f, clamp(w, fitted.min[kX], fitted.max[kX]));
    }
  }

  // 4. Flex base sizes and hypothetical main sizes.
  void base_sizes() {
    for (std::size_t i = 0; i < count_; ++i) {
      item_box(i);
      const Style& cs = tree_.nodes[item(i).node].style;
      std::optional<float> basis = resolve(cs.flex_basis, inner_known_[main_]);
      const bool explicit_basis = basis.has_value();
      if (!basis) basis = item(i).size[main_];
      if (!basis) {
        const std::optional<float> cross_known = item(i).cross_known;
        const AvailableSpace cross_space =
            cross_known ? AvailableSpace::definite(*cross_known)
                        : shrink_by(inner_available_[cross_], cross_margins(item(i)));
        const LayoutSize content =
            size_child(item(i).node, make_known(main_, std::nullopt, cross_known),
                       make_available(main_, basis_space_, cross_space));
        basis = along(content, main_);
      }
      item(i).basis = std::max(0.0f, *basis);
      // A content-based basis is never below the content's minimum, nor is a
      // specified size below its own content-based minimum; only an explicit
      // basis needs the minimum now.
      if (explicit_basis) settle_auto_min(i);
      FlexItem& it = item(i);
      it.hypothetical = std::max(0.0f, clamp(it.basis, it.min[main_], it.max[main_]));
      it.target = it.hypothetical;
    }
  }

  // 5. The container's main size: given, else its content within what is
  // available, within its own limits.
  void container_main() {
    hypothetical_sum_ = gaps_;
    for (std::size_t i = 0; i < count_; ++i) {
      hypothetical_sum_ += outer_main(item(i), item(i).hypothetical);
    }
    if (inner_known_[main_]) {
      inner_main_ = *inner_known_[main_];
      return;
    }
    inner_main_ = hypothetical_sum_;
    if (inner_available_[main_].is_definite()) {
      inner_main_ = std::min(inner_main_, inner_available_[main_].value);
    }
    inner_main_ = clamp(inner_main_, inner_min_[main_], inner_max_[main_]);
  }

  float free_space() {
    float used = gaps_;
    for (std::size_t i = 0; i < count_; ++i) {
      const FlexItem& it = item(i);
      used += outer_main(it, it.frozen ? it.target : it.basis);
    }
    return inner_main_ - used;
  }

  // 6. Resolving the flexible lengths: items grow into free space or shrink
  // out of a shortfall in proportion to their factors; an item that hits a
  // limit is frozen there and the rest share what is left, round by round.
  // An automatic main size then fits items that could not shrink any further.
  void flex_lengths() {
    const bool growing = hypothetical_sum_ < inner_main_;
    // The content of a scroll container is as long as it wants to be along
    // the scrolling axis: it never shrinks to the viewport. (This also spares
    // sizing the whole content again at its minimum.)
    const bool scrolls = overflow_on(style_, main_) != Overflow::Visible;
    for (std::size_t i = 0; i < count_; ++i) {
      FlexItem& it = item(i);
      const Style& cs = tree_.nodes[it.node].style;
      const float factor = growing ? cs.flex_grow : (scrolls ? 0.0f : cs.flex_shrink);
      it.frozen = !(std::isfinite(factor) && factor > 0.0f) ||
                  (growing && it.basis > it.hypothetical) ||
                  (!growing && it.basis < it.hypothetical);
      if (!it.frozen) it.target = it.basis;
    }
    const float initial_free = free_space();
    for (std::size_t round = 0; round <= count_; ++round) {
      if (!flex_round(growing, initial_free)) break;
    }
    used_main_ = gaps_;
    for (std::size_t i = 0; i < count_; ++i) used_main_ += outer_main(item(i), item(i).target);
    if (!inner_known_[main_]) {
      inner_main_ = clamp(std::max(inner_main_, used_main_), inner_min_[main_], inner_max_[main_]);
    }
  }

  // One round of step 6; false when every item is frozen.
  bool flex_round(bool growing, float initial_free) {
    float factor_sum = 0.0f;
    float scaled_shrink_sum = 0.0f;
    bool any_unfrozen = false;
    for (std::size_t i = 0; i < count_; ++i) {
      const FlexItem& it = item(i);
      if (it.frozen) continue;
      any_unfrozen = true;
      const Style& cs = tree_.nodes[it.node].style;
      factor_sum += growing ? cs.flex_grow : cs.flex_shrink;
      scaled_shrink_sum += cs.flex_shrink * it.basis;
    }
    if (!any_unfrozen) return false;
    float remaining = free_space();
    if (factor_sum < 1.0f && std::abs(initial_free * factor_sum) < std::abs(remaining)) {
      remaining = initial_free * factor_sum;
    }
    float total_violation = 0.0f;
    for (std::size_t i = 0; i < count_; ++i) {
      if (item(i).frozen) continue;
      const Style& cs = tree_.nodes[item(i).node].style;
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
      const float clamped = std::max(0.0f, clamp(target, it.min[main_], it.max[main_]));
      it.violation = clamped - target;
      it.target = clamped;
      total_violation += it.violation;
    }
    for (std::size_t i = 0; i < count_; ++i) {
      FlexItem& it = item(i);
      if (it.frozen) continue;
      if (total_violation == 0.0f || (total_violation > 0.0f && it.violation > 0.0f) ||
          (total_violation < 0.0f && it.violation < 0.0f)) {
        it.frozen = true;
      }
    }
    return true;
  }

  // 7. Cross sizes: each item's at its final main size (a sizing pass whose
  // cross size is already fixed does not need them), the line's as the
  // largest, then stretched items fill the line.
  void cross_sizes() {
    float line_cross = 0.0f;
    const bool need_cross = perform_ || !inner_known_[cross_];
    for (std::size_t i = 0; need_cross && i < count_; ++i) {
      if (item(i).cross_known) {
        item(i).cross = *item(i).cross_known;
      } else {
        const float target = item(i).target;
        const LayoutSize sized =
            size_child(item(i).node, make_known(main_, target, std::nullopt),
                       make_available(main_, AvailableSpace::definite(target),
                                      shrink_by(inner_available_[cross_], cross_margins(item(i)))));
        FlexItem& it = item(i);
        it.cross = std::max(0.0f, clamp(along(sized, cross_), it.min[cross_], it.max[cross_]));
      }
      line_cross = std::max(line_cross, item(i).cross + cross_margins(item(i)));
    }
    inner_cross_ = inner_known_[cross_] ? *inner_known_[cross_]
                                        : clamp(line_cross, inner_min_[cross_], inner_max_[cross_]);
    for (std::size_t i = 0; i < count_; ++i) {
      FlexItem& it = item(i);
      if (it.align == Align::Stretch && !it.size[cross_]) {
        it.cross =
            std::max(0.0f, clamp(inner_cross_ - cross_margins(it), it.min[cross_], it.max[cross_]));
      }
    }
  }

  struct MainSpacing {
    float offset = 0.0f;   // before the first item
    float between = 0.0f;  // between two items, the gap included
  };

  // How justify-content shares the free main space.
  MainSpacing main_spacing() const {
    const float free = inner_main_ - used_main_;
    const float n_items = static_cast<float>(count_);
    MainSpacing spacing{0.0f, gap_};
    switch (style_.justify_content) {
      case Justify::Start:
        break;
      case Justify::End:
        spacing.offset = free;
        break;
      case Justify::Center:
        spacing.offset = free / 2.0f;
        break;
      case Justify::SpaceBetween:
        if (free > 0.0f && count_ > 1) spacing.between += free / (n_items - 1.0f);
        break;
      case Justify::SpaceAround:
        if (free > 0.0f && count_ > 0) {
          spacing.offset = free / n_items / 2.0f;
          spacing.between += free / n_items;
        } else {
          spacing.offset = free / 2.0f;
        }
        break;
      case Justify::SpaceEvenly:
        if (free > 0.0f && count_ > 0) {
          spacing.offset = free / (n_items + 1.0f);
          spacing.between += spacing.offset;
        } else {
          spacing.offset = free / 2.0f;
        }
        break;
    }
    return spacing;
  }

  // Where align-items / align-self put an item within the line.
  float cross_offset(const FlexItem& it) const {
    const float outer_cross = it.cross + cross_margins(it);
    switch (it.align) {
      case Align::End:
        return inner_cross_ - outer_cross;
      case Align::Center:
        return (inner_cross_ - outer_cross) / 2.0f;
      case Align::Start:
      case Align::Stretch:
      case Align::Baseline:
        break;
    }
    return 0.0f;
  }

  // 8. Each child placed and laid out at its final size; the content size is
  // what the children reach, for scrolling.
  void place_items(const std::array<float, 2>& out) {
    const MainSpacing spacing = main_spacing();
    std::array<float, 2> extent = {0.0f, 0.0f};
    const std::array<float, 2> inner_final = {out[kX] - box_.pad(kX), out[kY] - box_.pad(kY)};
    float cursor = box_.pad_start[main_] + spacing.offset;
    for (std::size_t i = 0; i < count_; ++i) {
      const FlexItem& it = item(i);
      const std::uint32_t child = it.node;
      std::array<float, 2> location{};
      std::array<float, 2> item_size{};
      location[main_] = cursor + it.margin_start[main_];
      location[cross_] = box_.pad_start[cross_] + cross_offset(it) + it.margin_start[cross_];
      item_size[main_] = it.target;
      item_size[cross_] = it.cross;
      const std::array<float, 2> margin_end = it.margin_end;
      cursor = location[main_] + it.target + it.margin_end[main_] + spacing.between;

      tree_.compute(
          child, {item_size[kX], item_size[kY]}, inner_final[kX], inner_final[kY],
          {AvailableSpace::definite(item_size[kX]), AvailableSpace::definite(item_size[kY])}, true);
      Node& c = tree_.nodes[child];
      c.layout.location = {location[kX], location[kY]};
      c.layout.size = {item_size[kX], item_size[kY]};
      c.laid_out = true;
      for (int a : {kX, kY}) {
        extent[a] = std::max(extent[a], location[a] + item_size[a] + margin_end[a]);
      }
    }
    node_.layout.content_size = {extent[kX] + box_.pad_end[kX], extent[kY] + box_.pad_end[kY]};
  }

  LayoutTree::Impl& tree_;
  Node& node_;
  const Style& style_;
  const ResolvedBox& box_;
  const AvailableSize available_;
  const bool perform_;
  const int main_;
  const int cross_;
  const Align align_items_;
  const float gap_;

  Pair inner_known_;
  std::array<AvailableSpace, 2> inner_available_;
  Pair inner_min_;
  Pair inner_max_;
  AvailableSpace basis_space_;
  std::size_t base_ = 0;
  std::size_t count_ = 0;
  float gaps_ = 0.0f;
  float hypothetical_sum_ = 0.0f;
  float inner_main_ = 0.0f;
  float used_main_ = 0.0f;
  float inner_cross_ = 0.0f;
};

LayoutSize LayoutTree::Impl::flex(std::uint32_t n, const ResolvedBox& box, AvailableSize available,
                                  bool perform) {
  return FlexPass(*this, n, box, available, perform).run();
}

}  // namespace kalu_ui::layout
