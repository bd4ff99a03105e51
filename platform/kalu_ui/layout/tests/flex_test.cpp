#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

#include "kalu_ui/layout.h"

namespace kalu_ui::layout {
namespace {

constexpr float kCharWidth = 7.0f;
constexpr float kLineHeight = 17.0f;

// Lays out words of text the way a text renderer would: 7 points a
// character, 17 a line, breaking between words to fit the width it is given.
struct FakeText {
  std::string text;

  float word_width(std::size_t chars) const { return static_cast<float>(chars) * kCharWidth; }

  LayoutSize lay_out(std::optional<float> limit) const {
    float widest = 0.0f, line = 0.0f;
    int lines = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
      std::size_t end = text.find(' ', start);
      if (end == std::string::npos) end = text.size();
      const float w = word_width(end - start);
      const float with_word = line == 0.0f ? w : line + kCharWidth + w;
      if (limit && line > 0.0f && with_word > *limit) {
        ++lines;
        line = w;
      } else {
        line = with_word;
      }
      widest = std::max(widest, line);
      start = end + 1;
    }
    return {widest, static_cast<float>(lines) * kLineHeight};
  }

  LayoutSize measure(KnownDimensions known, AvailableSize available) const {
    std::optional<float> limit = known.width;
    if (!limit && available.width.is_definite()) limit = available.width.value;
    if (!limit && available.width.kind == AvailableSpace::Kind::MinContent) limit = 0.0f;
    LayoutSize s = lay_out(limit);
    if (known.width) s.width = *known.width;
    if (known.height) s.height = *known.height;
    return s;
  }
};

// A tree with measured leaves and a log of the questions they were asked.
struct Fixture {
  LayoutTree tree;
  std::map<NodeId, FakeText> texts;
  std::map<NodeId, LayoutSize> fixed_leaves;  // leaves that always answer one size
  int measure_calls = 0;

  NodeId text(const std::string& words, Style style = {}) {
    const NodeId id = *tree.new_leaf(style);
    texts[id] = FakeText{words};
    return id;
  }
  NodeId box(float w, float h, Style style = {}) {
    style.width = Dimension::points(w);
    style.height = Dimension::points(h);
    return *tree.new_leaf(style);
  }
  NodeId node(Style style, std::vector<NodeId> children) {
    return *tree.new_with_children(style, children);
  }
  void run(NodeId root, float width, float height) {
    run(root, {AvailableSpace::definite(width), AvailableSpace::definite(height)});
  }
  void run(NodeId root, AvailableSize available) {
    ASSERT_TRUE(tree.compute_layout(root, available,
                                    [this](NodeId id, KnownDimensions known, AvailableSize space) {
                                      ++measure_calls;
                                      if (auto t = texts.find(id); t != texts.end()) {
                                        return t->second.measure(known, space);
                                      }
                                      if (auto f = fixed_leaves.find(id); f != fixed_leaves.end()) {
                                        return f->second;
                                      }
                                      return LayoutSize{};
                                    })
                    .has_value());
  }
  // x, y, width, height relative to the parent.
  std::vector<float> rect(NodeId id) const {
    const auto l = tree.layout(id);
    if (!l) return {};
    return {l->location.x, l->location.y, l->size.width, l->size.height};
  }
};

Style column(float gap = 0.0f) {
  Style s;
  s.flex_direction = FlexDirection::Column;
  s.gap.height = gap;
  return s;
}

Style row(float gap = 0.0f) {
  Style s;
  s.gap.width = gap;
  return s;
}

Style spacer() {
  Style s;
  s.flex_grow = 1.0f;
  return s;
}

Style fixed_width(float w) {
  Style s;
  s.width = Dimension::points(w);
  s.flex_shrink = 0.0f;
  return s;
}

using ::testing::ElementsAre;
using ::testing::FloatNear;

TEST(Flex, SettingRowWrapsTheLabelAndKeepsTheControlColumn) {
  Fixture f;
  // A label, a flexible spacer and a 220-wide control column, 4 apart, in a
  // 500-wide card column.
  const NodeId short_label = f.text("Wi-Fi");
  const NodeId short_spacer = f.tree.new_leaf(spacer()).value();
  const NodeId short_control = f.node(fixed_width(220.0f), {f.box(40.0f, 24.0f)});
  const NodeId short_row = f.node(row(4.0f), {short_label, short_spacer, short_control});

  const NodeId long_label =
      f.text("Allow devices nearby to discover this computer and offer to share files with it");
  const NodeId long_spacer = f.tree.new_leaf(spacer()).value();
  const NodeId long_control = f.node(fixed_width(220.0f), {f.box(40.0f, 24.0f)});
  const NodeId long_row = f.node(row(4.0f), {long_label, long_spacer, long_control});

  Style card = column(12.0f);
  card.width = Dimension::points(500.0f);
  const NodeId root = f.node(card, {short_row, long_row});
  f.run(root, 1000.0f, 1000.0f);

  // Short label: its own width; the spacer takes what is left.
  EXPECT_THAT(f.rect(short_label), ElementsAre(0, 0, 35, 24));
  EXPECT_THAT(f.rect(short_spacer), ElementsAre(39, 0, 500 - 220 - 4 - 4 - 35, 24));
  EXPECT_THAT(f.rect(short_control), ElementsAre(280, 0, 220, 24));
  EXPECT_THAT(f.rect(short_row), ElementsAre(0, 0, 500, 24));

  // Long label: squeezed into 500 - 220 - 8 and wrapped onto more lines; the
  // control column stays 220 wide at the right edge.
  const auto label = f.rect(long_label);
  ASSERT_EQ(label.size(), 4u);
  EXPECT_EQ(label[2], 272.0f);
  EXPECT_EQ(label[3], FakeText{f.texts[long_label].text}.lay_out(272.0f).height);
  EXPECT_GT(label[3], kLineHeight);
  EXPECT_THAT(f.rect(long_spacer), ElementsAre(276, 0, 0, label[3]));
  EXPECT_THAT(f.rect(long_control), ElementsAre(280, 0, 220, label[3]));
  EXPECT_THAT(f.rect(long_row), ElementsAre(0, 36, 500, label[3]));
}

TEST(Flex, SizesInPointsAndPercent) {
  Fixture f;
  Style full;
  full.width = Dimension::percent(100.0f);
  full.height = Dimension::points(30.0f);
  const NodeId whole = f.tree.new_leaf(full).value();
  Style half = full;
  half.width = Dimension::percent(50.0f);
  const NodeId half_node = f.tree.new_leaf(half).value();
  Style parent = column();
  parent.padding = Edges::symmetric(10.0f, 5.0f);
  parent.align_items = Align::Start;
  const NodeId root = f.node(parent, {whole, half_node});
  f.run(root, 420.0f, 300.0f);

  EXPECT_THAT(f.rect(root), ElementsAre(0, 0, 420, 300));
  EXPECT_THAT(f.rect(whole), ElementsAre(10, 5, 400, 30));
  EXPECT_THAT(f.rect(half_node), ElementsAre(10, 35, 200, 30));
}

TEST(Flex, MeasuredRowHonoursItsMinimumHeight) {
  // A sidebar row: width 100%, automatic height, at least 40; its measure adds
  // 16 to the text's height.
  Fixture f;
  Style row_style;
  row_style.width = Dimension::percent(100.0f);
  row_style.min_height = Dimension::points(40.0f);
  const NodeId one_line = f.tree.new_leaf(row_style).value();
  const NodeId two_lines = f.tree.new_leaf(row_style).value();
  f.fixed_leaves[one_line] = {0.0f, kLineHeight + 16.0f};
  f.fixed_leaves[two_lines] = {0.0f, 2 * kLineHeight + 16.0f};
  const NodeId root = f.node(column(4.0f), {one_line, two_lines});
  f.run(root, 264.0f, 600.0f);

  EXPECT_THAT(f.rect(one_line), ElementsAre(0, 0, 264, 40));
  EXPECT_THAT(f.rect(two_lines), ElementsAre(0, 44, 264, 50));
}

TEST(Flex, MaximumWidthLimitsOnlyWiderParents) {
  struct Case {
    float limit;
    float parent;
    float expected;
  };
  for (const Case c : {Case{720.0f, 1000.0f, 720.0f}, Case{1040.0f, 1400.0f, 1040.0f},
                       Case{1040.0f, 800.0f, 800.0f}}) {
    SCOPED_TRACE(testing::Message() << c.limit << " in " << c.parent);
    Fixture f;
    Style page = column();
    page.padding = Edges::all(24.0f);
    const NodeId content = f.text("Region and formats");
    const NodeId page_node = f.node(page, {content});
    Style limited = column();
    limited.max_width = Dimension::points(c.limit);
    const NodeId wrapper = f.node(limited, {page_node});
    const NodeId root = f.node(column(), {wrapper});
    f.run(root, c.parent, 900.0f);

    EXPECT_THAT(f.rect(wrapper), ElementsAre(0, 0, c.expected, 24 + kLineHeight + 24));
    EXPECT_THAT(f.rect(page_node), ElementsAre(0, 0, c.expected, 24 + kLineHeight + 24));
    EXPECT_THAT(f.rect(content), ElementsAre(24, 24, c.expected - 48, kLineHeight));
  }
}

TEST(Flex, GapsStandOnlyBetweenChildren) {
  Fixture f;
  Style s = column(8.0f);
  s.align_items = Align::Start;
  const NodeId a = f.box(10, 10), b = f.box(10, 20), c = f.box(10, 10);
  const NodeId three = f.node(s, {a, b, c});
  const NodeId one_child = f.box(10, 10);
  const NodeId one = f.node(s, {one_child});
  Style empty_style = s;
  empty_style.padding = Edges::all(4.0f);
  const NodeId empty = f.tree.new_leaf(empty_style).value();
  const NodeId root = f.node(column(), {three, one, empty});
  f.run(root, 100.0f, 500.0f);

  EXPECT_THAT(f.rect(a), ElementsAre(0, 0, 10, 10));
  EXPECT_THAT(f.rect(b), ElementsAre(0, 18, 10, 20));
  EXPECT_THAT(f.rect(c), ElementsAre(0, 46, 10, 10));
  EXPECT_THAT(f.rect(three), ElementsAre(0, 0, 100, 56));
  EXPECT_THAT(f.rect(one), ElementsAre(0, 56, 100, 10));
  EXPECT_THAT(f.rect(empty), ElementsAre(0, 66, 100, 8));

  // In a row the horizontal gap applies.
  Fixture g;
  const NodeId l = g.box(10, 10), r = g.box(10, 10);
  const NodeId row_node = g.node(row(8.0f), {l, r});
  g.run(row_node, 100.0f, 100.0f);
  EXPECT_THAT(g.rect(r), ElementsAre(18, 0, 10, 10));
}

TEST(Flex, PaddingAndMarginsInsetChildren) {
  Fixture f;
  Style s = column();
  s.padding = Edges::symmetric(24.0f, 16.0f);
  Style child_style;
  child_style.height = Dimension::points(10.0f);
  child_style.margin = Edges::all(3.0f);
  const NodeId child = f.tree.new_leaf(child_style).value();
  const NodeId padded = f.node(s, {child});
  const NodeId root = f.node(column(), {padded});
  f.run(root, 300.0f, 300.0f);

  EXPECT_THAT(f.rect(padded), ElementsAre(0, 0, 300, 16 + 3 + 10 + 3 + 16));
  EXPECT_THAT(f.rect(child), ElementsAre(27, 19, 300 - 48 - 6, 10));
  const auto layout = f.tree.layout(padded);
  EXPECT_EQ(layout->content_size, (LayoutSize{300.0f - 24.0f + 24.0f, 48.0f}));
}

TEST(Flex, FlexibleSpacersShareTheFreeSpace) {
  Fixture f;
  const NodeId left = f.box(50, 10);
  Style one = spacer();
  Style three = spacer();
  three.flex_grow = 3.0f;
  const NodeId s1 = f.tree.new_leaf(one).value();
  const NodeId mid = f.box(20, 10);
  const NodeId s3 = f.tree.new_leaf(three).value();
  const NodeId right = f.box(50, 10);
  const NodeId root = f.node(row(), {left, s1, mid, s3, right});
  f.run(root, 300.0f, 10.0f);

  EXPECT_THAT(f.rect(s1), ElementsAre(50, 0, 45, 10));
  EXPECT_THAT(f.rect(mid), ElementsAre(95, 0, 20, 10));
  EXPECT_THAT(f.rect(s3), ElementsAre(115, 0, 135, 10));
  EXPECT_THAT(f.rect(right), ElementsAre(250, 0, 50, 10));
}

TEST(Flex, GrowingAndShrinkingRespectLimits) {
  Fixture f;
  // Growing: the first item stops at its maximum, the second takes the rest.
  Style capped = spacer();
  capped.max_width = Dimension::points(30.0f);
  const NodeId a = f.tree.new_leaf(capped).value();
  const NodeId b = f.tree.new_leaf(spacer()).value();
  const NodeId grow_row = f.node(row(), {a, b});
  // Shrinking 160 into 100 with a minimum of 70 on one side.
  Style wide;
  wide.flex_basis = Dimension::points(80.0f);
  Style wide_min = wide;
  wide_min.min_width = Dimension::points(70.0f);
  const NodeId c = f.tree.new_leaf(wide_min).value();
  const NodeId d = f.tree.new_leaf(wide).value();
  const NodeId shrink_row = f.node(row(), {c, d});
  // A text does not shrink below its longest word; a fixed box does not
  // shrink below its size; what can shrink gives way.
  const NodeId words = f.text("tiny incomprehensibilities");
  Style soft;
  soft.flex_basis = Dimension::points(90.0f);
  const NodeId block = f.tree.new_leaf(soft).value();
  const NodeId fixed = f.box(30, 10);
  const NodeId text_row = f.node(row(), {words, block, fixed});
  const NodeId root = f.node(column(), {grow_row, shrink_row, text_row});
  f.run(root, 100.0f, 100.0f);

  EXPECT_EQ(f.rect(a)[2], 30.0f);
  EXPECT_THAT(f.rect(b), ElementsAre(30, 0, 70, 0));
  EXPECT_EQ(f.rect(c)[2], 70.0f);
  EXPECT_THAT(f.rect(d), ElementsAre(70, 0, 30, 0));
  EXPECT_EQ(f.rect(words)[2], 21 * kCharWidth);  // "incomprehensibilities"
  EXPECT_THAT(f.rect(block), ElementsAre(147, 0, 0, 2 * kLineHeight));
  EXPECT_THAT(f.rect(fixed), ElementsAre(147, 0, 30, 10));
}

TEST(Flex, TextWrapsTallerWhenItsWidthIsLimited) {
  Fixture f;
  const std::string words = "The quick brown fox jumps over the lazy dog";
  Style narrow = column();
  narrow.width = Dimension::points(100.0f);
  narrow.align_items = Align::Start;
  const NodeId narrow_text = f.text(words);
  const NodeId wide_text = f.text(words);
  Style wide = narrow;
  wide.width = Dimension::points(1000.0f);
  const NodeId root = f.node(column(), {f.node(narrow, {narrow_text}), f.node(wide, {wide_text})});
  f.run(root, 1000.0f, 1000.0f);

  const auto n = f.rect(narrow_text);
  const auto w = f.rect(wide_text);
  EXPECT_EQ(w[3], kLineHeight);
  EXPECT_EQ(w[2], static_cast<float>(words.size()) * kCharWidth);
  EXPECT_LE(n[2], 100.0f);
  EXPECT_EQ(n[3], FakeText{words}.lay_out(100.0f).height);
  EXPECT_GT(n[3], 3 * kLineHeight);
}

TEST(Flex, ScrollContainerKeepsItsViewportWhileItsContentRunsLonger) {
  // Window > page container (no limits) > scrollable > content column of ten
  // 50-high rows, in a 300-high window.
  Fixture f;
  std::vector<NodeId> rows;
  for (int i = 0; i < 9; ++i) rows.push_back(f.box(100, 50));
  // A clipped child could shrink to nothing by its own rules; inside a scroll
  // container it keeps its height all the same.
  Style clipped = column();
  clipped.overflow_y = Overflow::Hidden;
  rows.push_back(f.node(clipped, {f.box(100, 50)}));
  Style content_style = column();
  content_style.padding = Edges::all(10.0f);
  const NodeId content = f.node(content_style, rows);
  Style scroll = column();
  scroll.overflow_y = Overflow::Scroll;
  scroll.flex_grow = 1.0f;
  const NodeId scrollable = f.node(scroll, {content});
  const NodeId page = f.node(column(), {scrollable});
  const NodeId root = f.node(column(), {page});
  f.run(root, 400.0f, 300.0f);

  EXPECT_THAT(f.rect(page), ElementsAre(0, 0, 400, 300));
  EXPECT_THAT(f.rect(scrollable), ElementsAre(0, 0, 400, 300));
  EXPECT_THAT(f.rect(content), ElementsAre(0, 0, 400, 520));
  EXPECT_THAT(f.rect(rows.back()), ElementsAre(10, 460, 380, 50));
  EXPECT_EQ(f.tree.layout(scrollable)->content_size.height, 520.0f);

  // Content shorter than the viewport: the scrollable still fills it.
  Fixture g;
  const NodeId small = g.node(column(), {g.box(100, 50)});
  const NodeId short_scroll = g.node(scroll, {small});
  const NodeId short_root = g.node(column(), {short_scroll});
  g.run(short_root, 400.0f, 300.0f);
  EXPECT_THAT(g.rect(short_scroll), ElementsAre(0, 0, 400, 300));
  EXPECT_THAT(g.rect(small), ElementsAre(0, 0, 400, 50));
}

TEST(Flex, JustifyAndAlignPlaceChildren) {
  struct Case {
    Justify justify;
    float first;
    float second;
  };
  for (const Case c :
       {Case{Justify::Start, 0, 10}, Case{Justify::End, 80, 90}, Case{Justify::Center, 40, 50},
        Case{Justify::SpaceBetween, 0, 90}, Case{Justify::SpaceAround, 20, 70},
        Case{Justify::SpaceEvenly, 80.0f / 3, 10 + 160.0f / 3}}) {
    SCOPED_TRACE(static_cast<int>(c.justify));
    Fixture f;
    Style s = row();
    s.justify_content = c.justify;
    const NodeId a = f.box(10, 10), b = f.box(10, 10);
    const NodeId root = f.node(s, {a, b});
    f.run(root, 100.0f, 10.0f);
    EXPECT_THAT(f.rect(a)[0], FloatNear(c.first, 1e-4));
    EXPECT_THAT(f.rect(b)[0], FloatNear(c.second, 1e-4));
  }

  Fixture f;
  Style s = column();
  s.align_items = Align::Center;
  const NodeId centred = f.box(10, 10);
  Style end;
  end.height = Dimension::points(10.0f);
  end.width = Dimension::points(10.0f);
  end.align_self = Align::End;
  const NodeId ended = f.tree.new_leaf(end).value();
  Style stretch;
  stretch.height = Dimension::points(10.0f);
  stretch.align_self = Align::Stretch;
  const NodeId stretched = f.tree.new_leaf(stretch).value();
  const NodeId root = f.node(s, {centred, ended, stretched});
  f.run(root, 100.0f, 100.0f);
  EXPECT_THAT(f.rect(centred), ElementsAre(45, 0, 10, 10));
  EXPECT_THAT(f.rect(ended), ElementsAre(90, 10, 10, 10));
  EXPECT_THAT(f.rect(stretched), ElementsAre(0, 20, 100, 10));
}

TEST(Flex, HiddenNodesTakeNoSpace) {
  Fixture f;
  Style hidden;
  hidden.display = Display::None;
  hidden.width = Dimension::points(50.0f);
  const NodeId inner = f.box(20, 20);
  const NodeId gone = f.node(hidden, {inner});
  const NodeId after = f.box(10, 10);
  const NodeId root = f.node(row(8.0f), {f.box(10, 10), gone, after});
  f.run(root, 100.0f, 100.0f);
  EXPECT_THAT(f.rect(after), ElementsAre(18, 0, 10, 10));
  EXPECT_THAT(f.rect(gone), ElementsAre(0, 0, 0, 0));
  EXPECT_THAT(f.rect(inner), ElementsAre(0, 0, 0, 0));
}

TEST(Flex, BadNumbersDoNotPoisonTheLayout) {
  Fixture f;
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  Style odd;
  odd.width = Dimension::points(nan);
  odd.flex_grow = nan;
  odd.padding.left = Dimension::points(-5.0f);
  const NodeId leaf = f.tree.new_leaf(odd).value();
  f.fixed_leaves[leaf] = {inf, -3.0f};
  Style gappy = row(-10.0f);
  const NodeId root = f.node(gappy, {leaf, f.box(10, 10)});
  f.run(root, 100.0f, 100.0f);
  for (float v : f.rect(leaf)) EXPECT_TRUE(std::isfinite(v));
  EXPECT_THAT(f.rect(leaf), ElementsAre(0, 0, 0, 100));
  EXPECT_EQ(f.rect(root)[2], 100.0f);
}

TEST(Flex, MeasuresEachLeafOncePerQuestion) {
  // Forty nested columns around one text: without remembering answers each
  // level would ask its subtree several times over.
  Fixture f;
  NodeId inner = f.text("Deeply nested words that wrap");
  for (int i = 0; i < 40; ++i) inner = f.node(i % 2 == 0 ? column() : row(), {inner});
  f.run(inner, 120.0f, 800.0f);
  EXPECT_LE(f.measure_calls, 12);

  // The root without a definite size takes its content size.
  Fixture g;
  const NodeId text = g.text("two words");
  const NodeId root = g.node(column(), {text});
  g.run(root, {AvailableSpace::max_content(), AvailableSpace::max_content()});
  EXPECT_THAT(g.rect(root), ElementsAre(0, 0, 9 * kCharWidth, kLineHeight));
}

// The page of a settings pane: a column of cards, each a hero row (an icon
// beside a column that takes what the icon leaves) and setting rows (a
// wrapping label, a flexible spacer and a 220-wide control column).
NodeId settings_cards(Fixture& f) {
  const std::string long_words =
      "Allow devices nearby to discover this computer and offer to share files with it";
  auto setting_row = [&](const std::string& words) {
    return f.node(row(4.0f), {f.text(words), f.tree.new_leaf(spacer()).value(),
                              f.node(fixed_width(220.0f), {f.box(40.0f, 24.0f)})});
  };
  Style expand = column(4.0f);
  expand.flex_grow = 1.0f;
  expand.flex_basis = Dimension::points(0.0f);
  expand.min_width = Dimension::points(0.0f);
  Style hero = row(12.0f);
  hero.align_items = Align::Center;
  Style card = column(12.0f);
  card.padding = Edges::all(16.0f);
  std::vector<NodeId> cards;
  for (int i = 0; i < 3; ++i) {
    const NodeId title = f.node(expand, {f.text("Display"), f.text(long_words)});
    cards.push_back(f.node(card, {f.node(hero, {f.box(34.0f, 34.0f), title}),
                                  setting_row("Brightness"), setting_row(long_words)}));
  }
  return f.node(column(24.0f), cards);
}

// Every rectangle of a subtree, in order.
std::vector<std::vector<float>> rects(const Fixture& f, NodeId id) {
  std::vector<std::vector<float>> out{f.rect(id)};
  const auto children = f.tree.children(id);
  for (const NodeId child : *children) {
    for (auto& r : rects(f, child)) out.push_back(std::move(r));
  }
  return out;
}

TEST(Flex, CentredItemIsLaidOutAtItsFinalWidth) {
  // A centred page container of at most 720 in a 1280-wide window. Its
  // height must be that of its content laid out at the width it ends up
  // with, whatever narrower questions were asked on the way.
  Fixture centred;
  const NodeId cards = settings_cards(centred);
  Style page = column();
  page.max_width = Dimension::points(720.0f);
  const NodeId container = centred.node(page, {cards});
  Style window = column();
  window.align_items = Align::Center;
  window.padding = Edges::all(24.0f);
  centred.run(centred.node(window, {container}), 1280.0f, 800.0f);

  // The same content given its width outright.
  Fixture fixed;
  const NodeId reference = settings_cards(fixed);
  Style wide = column();
  wide.width = Dimension::points(720.0f);
  fixed.run(fixed.node(wide, {reference}), 1280.0f, 800.0f);

  EXPECT_THAT(centred.rect(container), ElementsAre(280, 24, 720, fixed.rect(reference)[3]));
  EXPECT_EQ(rects(centred, cards), rects(fixed, reference));
  // The rows wrapped where the width limits them, not more.
  const NodeId first_card = *centred.tree.child_at(cards, 0);
  const NodeId long_row = *centred.tree.child_at(first_card, 2);
  const NodeId label = *centred.tree.child_at(long_row, 0);
  EXPECT_EQ(centred.rect(label)[3],
            FakeText{centred.texts[label].text}.lay_out(centred.rect(label)[2]).height);
  EXPECT_EQ(centred.rect(long_row)[2], 720 - 32);
}

TEST(Flex, NonStretchedItemInAColumnFitsItsContentWithinItsLimits) {
  // Wraps at 300 with its widest line 273 wide.
  const std::string wrapping =
      "The quick brown fox jumps over the lazy dog and keeps running far away";
  const float one_line = FakeText{wrapping}.lay_out(std::nullopt).width;
  ASSERT_LT(FakeText{wrapping}.lay_out(300.0f).width, 300.0f);
  struct Case {
    const char* name;
    std::string text;
    float window;
    std::optional<float> max_width;
    Align align;
    float width;  // of the container and of its text
  };
  const Case cases[] = {
      {"wider than its maximum", wrapping, 1280, 300, Align::Center, 300},
      {"aligned to the start", wrapping, 1280, 300, Align::Start, 300},
      {"narrower than its maximum", "Wi-Fi", 1280, 300, Align::Center, 35},
      {"no maximum", wrapping, 1280, std::nullopt, Align::Center, one_line},
      {"the window narrower than the maximum", wrapping, 250, 300, Align::Center, 250},
      {"no maximum, the window narrower than the content", wrapping, 400, std::nullopt, Align::End,
       400},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Fixture f;
    const NodeId text = f.text(c.text);
    Style box = column();
    if (c.max_width) box.max_width = Dimension::points(*c.max_width);
    const NodeId container = f.node(box, {text});
    Style window = column();
    window.align_items = c.align;
    f.run(f.node(window, {container}), c.window, 800.0f);

    const float height = FakeText{c.text}.lay_out(c.width).height;
    const float x = c.align == Align::Center ? (c.window - c.width) / 2
                    : c.align == Align::End  ? c.window - c.width
                                             : 0.0f;
    EXPECT_THAT(f.rect(container), ElementsAre(x, 0, c.width, height));
    EXPECT_THAT(f.rect(text), ElementsAre(0, 0, c.width, height));
  }
}

}  // namespace
}  // namespace kalu_ui::layout
