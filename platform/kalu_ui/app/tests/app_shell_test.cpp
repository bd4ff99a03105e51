#include "kalu_ui/widget/app_shell.h"

#include <gtest/gtest.h>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/support.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using app_test::Block;
using app_test::BlockLog;
using harness::Harness;
using harness::Options;
using widget::AppShell;

struct Shell {
  std::shared_ptr<BlockLog> log = std::make_shared<BlockLog>();
  AppShell* shell = nullptr;
  Block* nav = nullptr;
  Block* page = nullptr;
  Block* search = nullptr;

  WidgetBox make(bool narrow_screen = true) {
    auto nav = std::make_unique<Block>("nav", layout::LayoutSize{200, 300}, log);
    auto page = std::make_unique<Block>("page", layout::LayoutSize{400, 300}, log);
    auto field = std::make_unique<Block>("search", layout::LayoutSize{240, 32}, log);
    field->focusable = true;
    this->nav = nav.get();
    this->page = page.get();
    search = field.get();
    auto s = std::make_unique<AppShell>(AppShell(std::move(nav), std::move(page))
                                            .with_search(std::move(field))
                                            .with_metrics(264.0, 720.0)
                                            .with_narrow_screen(narrow_screen));
    shell = s.get();
    return s;
  }
};

TEST(AppShell, WideLayoutPlacesSearchAndNavigationBesideTheContent) {
  Shell t;
  Harness h(t.make());
  h.frame();
  EXPECT_EQ(h.size(), (Size{1280, 800}));  // the default window
  EXPECT_FALSE(t.shell->is_narrow());
  EXPECT_TRUE(t.shell->sidebar_open());
  EXPECT_EQ(h.rect_of("search"), Rect(12, 12, 252, 44));
  EXPECT_EQ(t.shell->nav_rect(), Rect(0, 56, 264, 800));
  EXPECT_EQ(t.shell->content_rect(), Rect(264, 0, 1280, 800));
  EXPECT_EQ(h.rect_of("page"), Rect(264, 0, 1280, 800));

  // Events reach the sides: a click on the search field focuses it, keys follow.
  EXPECT_TRUE(h.click_id("search"));
  EXPECT_EQ(h.focused(), t.search);
  t.log->events.clear();
  h.type_text("wifi");
  h.click({700, 400});
  EXPECT_EQ(t.log->events,
            (std::vector<std::string>{"text search wifi", "move page", "down page", "up page"}));
}

TEST(AppShell, NarrowBelowTheNarrowWidthOnly) {
  struct Case {
    double width;
    double scale;
    bool narrow_screen;
    bool narrow;
  };
  for (const Case& c : {Case{719.0, 1.0, true, true}, Case{719.5, 2.0, true, true},
                        Case{720.0, 1.0, true, false}, Case{720.0, 2.0, true, false},
                        Case{1280.0, 1.0, true, false}, Case{500.0, 1.0, false, false}}) {
    Shell t;
    Harness h(t.make(c.narrow_screen), Options::sized({c.width, 600}, c.scale));
    h.frame();
    EXPECT_EQ(t.shell->is_narrow(), c.narrow) << c.width;
    EXPECT_TRUE(t.shell->sidebar_open()) << c.width;
  }
}

TEST(AppShell, NarrowWindowShowsOneSideAndTheButtonSwitches) {
  Shell t;
  Harness h(t.make(), Options::sized({600, 700}));
  auto first = h.frame();
  // Turning narrow is settled within the first frame.
  ASSERT_TRUE(t.shell->is_narrow());
  EXPECT_TRUE(first.drawn);
  EXPECT_EQ(t.shell->nav_rect().width(), 600);
  EXPECT_EQ(t.shell->content_rect(), Rect{});
  EXPECT_EQ(h.find("page"), nullptr);  // hidden sides are not children

  const auto toggle = t.shell->toggle_rect();
  ASSERT_TRUE(toggle);
  // The shell answers no cursor of its own: the contract's default.
  EXPECT_EQ(h.driver().cursor_at(toggle->center()), std::nullopt);
  EXPECT_TRUE(h.click(toggle->center()));
  EXPECT_TRUE(t.shell->is_sidebar_collapsed());
  EXPECT_FALSE(t.shell->sidebar_open());
  EXPECT_EQ(t.shell->content_rect(), Rect(0, AppShell::kTopBarHeight, 600, 700));
  EXPECT_EQ(h.rect_of("page"), t.shell->content_rect());

  h.click(toggle->center());
  EXPECT_TRUE(t.shell->sidebar_open());
  t.shell->notify_selection();  // choosing a page shows it
  h.frame();
  EXPECT_FALSE(t.shell->sidebar_open());

  // Widening the window brings both sides back.
  h.resize({1000, 700});
  EXPECT_FALSE(t.shell->is_narrow());
  EXPECT_TRUE(t.shell->sidebar_open());
  EXPECT_EQ(t.shell->content_rect(), Rect(264, 0, 1000, 700));
}

TEST(AppShell, SetContentAndSetNavReplaceAndDropTheOldSide) {
  Shell t;
  Harness h(t.make());
  h.frame();
  auto fresh = std::make_shared<BlockLog>();
  t.shell->set_content(std::make_unique<Block>("page2", layout::LayoutSize{10, 10}, fresh));
  EXPECT_EQ(t.log->destroyed, 1);  // the old page went at once
  EXPECT_TRUE(h.frame().layout_built);
  EXPECT_EQ(h.find("page"), nullptr);
  EXPECT_EQ(h.rect_of("page2"), Rect(264, 0, 1280, 800));
  EXPECT_GT(fresh->syncs, 0);

  t.shell->set_nav(std::make_unique<Block>("nav2", layout::LayoutSize{10, 10}, fresh));
  EXPECT_EQ(t.log->destroyed, 2);
  EXPECT_TRUE(h.frame().layout_built);
  EXPECT_EQ(h.rect_of("nav2"), Rect(0, 56, 264, 800));
  // Settled: no further rebuild.
  EXPECT_FALSE(h.frame().layout_built);
}

// A root like the application object: it supplies neither cursors nor
// redraws nor damage, only its one child.
class Bare : public Widget {
 public:
  explicit Bare(WidgetBox child) : child_(std::move(child)) {}
  std::string_view type_name() const override { return "kalu_ui::app_test::Bare"; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override {
    return child_->build_layout(tree, context, registry);
  }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double x,
                    double y) override {
    child_->apply_layout(tree, node, x, y);
  }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override {
    child_->draw_with_presence(scene, transform, renderer, theme, context);
  }
  void handle_event(const Event& event, EventContext& context) override {
    child_->handle_event(event, context);
  }
  void sync(doc::Document& document) override { child_->sync(document); }
  std::vector<const Widget*> children() const override { return {child_.get()}; }
  std::vector<Widget*> children_mut() override { return {child_.get()}; }
  Rect get_rect() const override { return child_->get_rect(); }
  bool take_structure_dirty() override { return child_->take_structure_dirty(); }

 private:
  WidgetBox child_;
};

TEST(AppShell, UnderARootThatSuppliesNeitherCursorsShowAndOnlyWhatChangedIsRepainted) {
  Shell t;
  Harness h(std::make_unique<Bare>(t.make(false)), Options::sized({800, 500}));
  t.nav->cursor = frame::cursor::kPointer;
  t.search->cursor = frame::cursor::kText;
  h.frame();
  EXPECT_EQ(h.driver().cursor_at(h.rect_of("nav")->center()), frame::cursor::kPointer);
  EXPECT_EQ(h.driver().cursor_at(h.rect_of("search")->center()), frame::cursor::kText);
  EXPECT_EQ(h.driver().cursor_at(h.rect_of("page")->center()), std::nullopt);

  for (Block* block : {t.nav, t.page, t.search}) block->redraw = false;
  EXPECT_FALSE(h.frame().drawn);
  // A block that asks for a redraw and draws something else.
  t.page->redraw = true;
  t.page->color = Color::rgb8(220, 60, 60);
  const auto changed = h.frame();
  EXPECT_TRUE(changed.drawn);
  // Each with the reach of a focus ring around it, within the window.
  const Rect window{0, 0, 800, 500};
  const auto ringed = [&](std::string_view id) {
    return h.rect_of(id)
        ->inflate(widget::kFocusRingReach, widget::kFocusRingReach)
        .intersect(window);
  };
  EXPECT_EQ(changed.damage, DamageList{ringed("page")});
  t.page->redraw = false;
  t.nav->redraw = true;
  t.nav->color = Color::rgb8(220, 60, 60);
  EXPECT_EQ(h.frame().damage, DamageList{ringed("nav")});
}

TEST(AppShell, RendersSidebarAndContent) {
  Shell t;
  Harness h(t.make(), Options::sized({800, 500}));
  h.frame();
  auto image = h.render();
  ASSERT_TRUE(image) << image.error();
  EXPECT_EQ(image->pixel(100, 400), t.search->color);         // the navigation block
  EXPECT_EQ(image->pixel(5, 5), h.driver().theme().sidebar);  // around the search field
  ASSERT_TRUE(h.render_png(std::string(KALU_APP_ARTIFACTS) + "/app_shell.png"));
}

}  // namespace
}  // namespace kalu_ui
