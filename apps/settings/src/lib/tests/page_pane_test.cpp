#include "lib/page_pane.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>

#include "kalu_ui/document.h"
#include "kalu_ui/log.h"

namespace settings::lib {
namespace {

using kalu_ui::Instant;

// A page that answers what the test sets: a wake deadline and a structure
// change of its own.
struct StubPage final : kalu_ui::Widget {
  std::optional<Instant> deadline;
  bool dirty = false;

  std::string_view type_name() const override { return "settings::lib::StubPage"; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext&,
                                       kalu_ui::layout::NodeRegistry&) override {
    return tree.new_leaf(kalu_ui::layout::Style{}).value_or(kalu_ui::layout::NodeId{});
  }
  void apply_layout(const kalu_ui::layout::LayoutTree&, kalu_ui::layout::NodeId, double,
                    double) override {}
  void draw(kalu_ui::Scene&, const kalu_ui::Affine&, kalu_ui::text::TextRenderer&,
            const kalu_ui::Theme&, kalu_ui::DrawContext&) override {}
  kalu_ui::Rect get_rect() const override { return {}; }
  std::optional<Instant> next_wake_deadline() const override { return deadline; }
  bool take_structure_dirty() override { return std::exchange(dirty, false); }
};

struct StubPane final : PagePane {
  std::optional<Instant> own;
  StubPage* built = nullptr;

  std::string_view type_name() const override { return "settings::lib::StubPane"; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override {
    auto page = std::make_unique<StubPage>();
    built = page.get();
    return lay_out_page(tree, context, registry, std::move(page));
  }
  std::optional<Instant> own_wake_deadline() const override { return own; }
  using PagePane::request_rebuild;
};

struct Built {
  StubPane pane;
  kalu_ui::layout::LayoutTree tree;
  kalu_ui::layout::NodeRegistry registry;
  kalu_ui::doc::Document document;

  kalu_ui::layout::NodeId build() {
    registry.clear();
    tree.clear();
    return pane.build_layout(tree, kalu_ui::RenderContext{1.0, 14.0f}, registry);
  }
};

// A rebuild the pane asks for and a structure change of its page both reach
// the frame loop once, together or apart.
TEST(PagePane, RebuildRequestsAndThePagesChangesAreEachTakenOnce) {
  struct Case {
    bool requested;
    bool page_dirty;
  };
  for (const Case c :
       {Case{true, false}, Case{false, true}, Case{true, true}, Case{false, false}}) {
    Built b;
    b.build();
    if (c.requested) b.pane.request_rebuild();
    b.pane.built->dirty = c.page_dirty;
    EXPECT_EQ(b.pane.take_structure_dirty(), c.requested || c.page_dirty);
    EXPECT_FALSE(b.pane.take_structure_dirty()) << "nothing lingers into the next frame";
    EXPECT_FALSE(b.pane.built->dirty);
  }
}

// A page built since the last sync asks for a frame at once; afterwards the
// pane wakes at the earlier of its own deadline and the page's.
TEST(PagePane, AFreshPageWakesAtOnceThenTheEarlierDeadlineWins) {
  const Instant base = Instant::now() + std::chrono::hours(1);
  const Instant later = base + std::chrono::seconds(5);
  struct Case {
    std::optional<Instant> own;
    std::optional<Instant> page;
    std::optional<Instant> expected;
  };
  for (const Case& c :
       {Case{std::nullopt, std::nullopt, std::nullopt}, Case{base, std::nullopt, base},
        Case{std::nullopt, base, base}, Case{later, base, base}, Case{base, later, base}}) {
    Built b;
    b.pane.own = c.own;
    b.build();
    b.pane.built->deadline = c.page;
    const std::optional<Instant> fresh = b.pane.next_wake_deadline();
    ASSERT_TRUE(fresh.has_value());
    EXPECT_LT(*fresh, base) << "a page not synced yet asks for the next frame";
    b.pane.sync(b.document);
    EXPECT_EQ(b.pane.next_wake_deadline(), c.expected);
  }
}

// When the tree refuses the pane's node, the pane stands out of the layout,
// says so, and keeps the page alive: the registry still names its widgets.
// The next layout with room shows a page again.
TEST(PagePane, ARefusedNodeKeepsThePageOutOfTheLayoutUntilTheNextBuild) {
  Built roomy;
  ASSERT_TRUE(roomy.build().is_valid());
  Built full;
  full.tree = kalu_ui::layout::LayoutTree(roomy.tree.size() - 1);
  kalu_ui::log::ScopedCapture log;
  EXPECT_FALSE(full.build().is_valid());
  EXPECT_TRUE(full.pane.children().empty());
  EXPECT_EQ(full.pane.page(), full.pane.built) << "the page is kept";
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "page layout refused");
  EXPECT_EQ(*log.events()[0].field("pane"), "StubPane");
  // Its structure changes no longer reach the frame loop.
  full.pane.built->dirty = true;
  EXPECT_FALSE(full.pane.take_structure_dirty());

  full.tree = kalu_ui::layout::LayoutTree();
  EXPECT_TRUE(full.build().is_valid());
  EXPECT_EQ(full.pane.children().size(), 1u);
}

}  // namespace
}  // namespace settings::lib
