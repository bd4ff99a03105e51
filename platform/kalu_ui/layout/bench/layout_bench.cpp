// Lays out a tree shaped like the settings window: a sidebar of 22 rows in
// five groups beside a page of 40 setting rows in 6 cards, with wrapping
// text leaves measured by a stand-in for the text renderer.

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <vector>

#include "kalu_ui/layout.h"

namespace kalu_ui::layout {
namespace {

struct Page {
  LayoutTree tree;
  NodeId root;
  // Text leaves by node slot: their length in characters.
  std::unordered_map<std::uint32_t, int> text_chars;

  NodeId add(const Style& style, const std::vector<NodeId>& children = {}) {
    auto id = tree.new_with_children(style, children);
    if (!id) std::abort();
    return *id;
  }
  NodeId text(int chars) {
    const NodeId id = add({});
    text_chars[id.index] = chars;
    return id;
  }

  static Style column(float gap, float pad_x = 0.0f, float pad_y = 0.0f) {
    Style s;
    s.flex_direction = FlexDirection::Column;
    s.gap.height = gap;
    s.padding = Edges::symmetric(pad_x, pad_y);
    return s;
  }

  // Whether the content side starts from nothing (flex basis 0, minimum
  // width 0) rather than from its content's width: the second skips sizing
  // the whole page at its content widths first.
  bool content_from_zero = false;

  NodeId scroll_area(NodeId content, std::optional<float> width) {
    Style scroll = column(0.0f);
    scroll.overflow_y = Overflow::Scroll;
    scroll.flex_grow = 1.0f;
    Style container = column(0.0f);
    if (width) {
      container.width = Dimension::points(*width);
      container.flex_shrink = 0.0f;
    } else {
      container.flex_grow = 1.0f;
      if (content_from_zero) {
        container.flex_basis = Dimension::points(0.0f);
        container.min_width = Dimension::points(0.0f);
      }
    }
    return add(container, {add(scroll, {content})});
  }

  NodeId sidebar() {
    std::vector<NodeId> groups;
    int listed = 0;
    for (int rows_in_group : {5, 5, 5, 4, 3}) {
      Style row_style;
      row_style.width = Dimension::percent(100.0f);
      row_style.min_height = Dimension::points(40.0f);
      std::vector<NodeId> rows;
      for (int i = 0; i < rows_in_group; ++i, ++listed) {
        const NodeId r = add(row_style);
        text_chars[r.index] = 8 + listed % 12;
      }
      const NodeId header = add(column(0.0f, 20.0f, 0.0f), {text(12)});
      groups.push_back(add(column(8.0f), {header, add(column(4.0f), rows)}));
    }
    return scroll_area(add(column(24.0f, 4.0f, 4.0f), groups), 264.0f);
  }

  NodeId setting_row(int n) {
    Style r;
    r.gap.width = 4.0f;
    Style spacer;
    spacer.flex_grow = 1.0f;
    Style control_column;
    control_column.width = Dimension::points(220.0f);
    control_column.flex_shrink = 0.0f;
    Style control;
    control.width = Dimension::points(44.0f);
    control.height = Dimension::points(24.0f);
    // Every fifth label is long enough to wrap.
    const int chars = n % 5 == 0 ? 140 : 20 + n % 17;
    return add(r, {text(chars), add(spacer), add(control_column, {add(control)})});
  }

  NodeId content() {
    const NodeId header = add(column(4.0f), {text(8), text(12), text(60)});
    std::vector<NodeId> cards;
    int made = 0;
    for (int rows_in_card : {7, 7, 7, 7, 6, 6}) {
      std::vector<NodeId> rows;
      for (int i = 0; i < rows_in_card; ++i) rows.push_back(setting_row(made++));
      cards.push_back(add(column(12.0f, 16.0f, 16.0f), {text(18), add(column(12.0f), rows)}));
    }
    const NodeId page = add(column(16.0f, 24.0f, 24.0f), {header, add(column(24.0f), cards)});
    return scroll_area(page, std::nullopt);
  }

  explicit Page(bool from_zero) : content_from_zero(from_zero) {
    Style window;
    window.width = Dimension::percent(100.0f);
    window.height = Dimension::percent(100.0f);
    root = add(window, {sidebar(), content()});
  }

  LayoutSize measure(NodeId id, KnownDimensions known, AvailableSize available) const {
    const auto found = text_chars.find(id.index);
    if (found == text_chars.end()) return {};
    const float line = static_cast<float>(found->second) * 7.0f;
    std::optional<float> limit = known.width;
    if (!limit) limit = available.width.as_definite();
    if (!limit && available.width.kind == AvailableSpace::Kind::MinContent) limit = 84.0f;
    const float lines = limit && *limit > 0.0f && line > *limit ? std::ceil(line / *limit) : 1.0f;
    const float width = limit ? std::min(line, *limit) : line;
    return {known.width.value_or(width), known.height.value_or(lines * 17.0f)};
  }
};

void BM_SettingsWindowLayout(benchmark::State& state) {
  Page page(state.range(0) != 0);
  std::int64_t measures = 0;
  const MeasureFunction measure = [&page, &measures](NodeId id, KnownDimensions known,
                                                     AvailableSize available) {
    ++measures;
    return page.measure(id, known, available);
  };
  float width = 1100.0f;
  for (auto _ : state) {
    // Alternate the width a little, as a window being resized would.
    width = width == 1100.0f ? 1101.0f : 1100.0f;
    const auto done = page.tree.compute_layout(
        page.root, {AvailableSpace::definite(width), AvailableSpace::definite(760.0f)}, measure);
    benchmark::DoNotOptimize(done);
  }
  state.counters["nodes"] = static_cast<double>(page.tree.size());
  // Measure calls per layout: each stands for a text shaping in the program.
  state.counters["measures"] =
      benchmark::Counter(static_cast<double>(measures), benchmark::Counter::kAvgIterations);
}
// Argument 0: the content side sized from its content; 1: from zero.
BENCHMARK(BM_SettingsWindowLayout)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kalu_ui::layout
