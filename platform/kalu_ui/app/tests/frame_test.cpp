#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "kalu_ui/harness.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using app_test::Block;
using app_test::BlockLog;
using app_test::Stack;
using harness::Harness;
using namespace std::chrono_literals;

// A column of two blocks: "a" (100 x 40) above "b" (200 x 60).
struct TwoBlocks {
  std::shared_ptr<BlockLog> log = std::make_shared<BlockLog>();
  Stack* stack = nullptr;
  Block* a = nullptr;
  Block* b = nullptr;

  WidgetBox make() {
    auto s = std::make_unique<Stack>();
    auto first = std::make_unique<Block>("a", layout::LayoutSize{100, 40}, log);
    auto second = std::make_unique<Block>("b", layout::LayoutSize{200, 60}, log);
    a = first.get();
    b = second.get();
    s->push(std::move(first)).push(std::move(second));
    stack = s.get();
    return s;
  }
};

TEST(FrameDriver, RunsTheFrameSequenceAndRebuildsLayoutOnlyWhenNeeded) {
  TwoBlocks t;
  Harness h(t.make(), harness::Options::sized({640, 480}, 2.0));
  auto first = h.frame();
  EXPECT_TRUE(first.layout_built);
  EXPECT_TRUE(first.drawn);
  EXPECT_EQ(t.a->get_rect(), Rect(0, 0, 100, 40));
  EXPECT_EQ(t.b->get_rect(), Rect(0, 40, 200, 100));
  EXPECT_EQ(h.rect_of("b"), Rect(0, 40, 200, 100));
  EXPECT_EQ(t.a->built_scale, 2.0);
  // A frame that builds syncs once more after the build, so what it built
  // draws the document's values.
  EXPECT_EQ(t.log->syncs, 4);
  EXPECT_EQ(t.log->builds, 2);

  // Unchanged: synced again, no new build.
  auto second = h.frame();
  EXPECT_FALSE(second.layout_built);
  EXPECT_EQ(t.log->syncs, 6);
  EXPECT_EQ(t.log->builds, 2);

  // A structure change, a resize and a new scale each rebuild once.
  t.stack->structure_dirty = true;
  EXPECT_TRUE(h.frame().layout_built);
  EXPECT_FALSE(h.frame().layout_built);
  h.resize({320, 240});
  EXPECT_EQ(t.log->builds, 6);
  h.set_scale(1.5);
  EXPECT_EQ(t.log->builds, 8);
  EXPECT_EQ(t.a->built_scale, 1.5);
  EXPECT_FALSE(h.frame().layout_built);
}

TEST(FrameDriver, StructureChangeDropsStaleRegistryEntriesBeforeMeasuring) {
  TwoBlocks t;
  Harness h(t.make());
  h.frame();
  // Replace the children; the old blocks are destroyed before the next frame.
  auto log = std::make_shared<BlockLog>();
  t.stack->items().clear();
  t.stack->push(std::make_unique<Block>("c", layout::LayoutSize{10, 10}, log));
  t.stack->structure_dirty = true;
  h.frame();
  EXPECT_EQ(t.log->destroyed, 2);
  EXPECT_GT(log->measures, 0);
  EXPECT_EQ(h.rect_of("c"), Rect(0, 0, 10, 10));
  EXPECT_EQ(h.find("a"), nullptr);
}

TEST(FrameDriver, DrawsOnlyWhenSomethingIsDamaged) {
  TwoBlocks t;
  Harness h(t.make());
  t.a->redraw = false;
  t.b->redraw = false;
  EXPECT_TRUE(h.frame().drawn);  // the first frame always draws everything
  const auto draws = t.log->draws;
  auto idle = h.frame();
  EXPECT_FALSE(idle.drawn);
  EXPECT_TRUE(idle.damage.empty());
  EXPECT_EQ(t.log->draws, draws);

  // The stack keeps the contract's defaults: only the block that changed is
  // repainted (with the reach of a focus ring around it), not the whole stack.
  t.b->redraw = true;
  t.b->color = Color::rgb8(200, 40, 40);
  auto damaged = h.frame();
  EXPECT_TRUE(damaged.drawn);
  ASSERT_EQ(damaged.damage.size(), 1u);
  const Rect window = Rect::from_origin_size({0, 0}, h.size());
  EXPECT_EQ(
      damaged.damage[0],
      t.b->get_rect().inflate(widget::kFocusRingReach, widget::kFocusRingReach).intersect(window));

  t.b->redraw = false;
  h.driver().invalidate();
  EXPECT_TRUE(h.frame().drawn);
}

// Leaves that keep the contract's defaults ask for a redraw in every frame;
// what they draw decides.
TEST(FrameDriver, AFrameThatChangesNothingDrawsNothingAndAChangeOnlyItsArea) {
  TwoBlocks t;
  Harness h(t.make());
  EXPECT_TRUE(h.frame().drawn);
  const Rect window = Rect::from_origin_size({0, 0}, h.size());
  const auto reach = [&](const Rect& r) {
    return r.inflate(widget::kFocusRingReach, widget::kFocusRingReach).intersect(window);
  };

  // A wake-up, a pointer move over nothing that reacts, and a new layout of
  // the same tree: nothing is repainted.
  h.waker()->wake();
  EXPECT_TRUE(h.wait_for_frame(60s));
  EXPECT_FALSE(h.frame().drawn);
  h.pointer_move({300, 300});
  EXPECT_FALSE(h.frame().drawn);
  t.stack->structure_dirty = true;
  auto rebuilt = h.frame();
  EXPECT_TRUE(rebuilt.layout_built);
  EXPECT_FALSE(rebuilt.drawn);
  EXPECT_TRUE(rebuilt.damage.empty());

  // One block's colour: its rectangle only.
  t.a->color = Color::rgb8(10, 200, 10);
  auto recoloured = h.frame();
  EXPECT_TRUE(recoloured.drawn);
  EXPECT_EQ(recoloured.damage, DamageList{reach(t.a->get_rect())});

  // Two changes side by side: the two rectangles merged, not the window.
  t.a->color = Color::rgb8(10, 10, 200);
  t.b->color = Color::rgb8(10, 10, 200);
  auto both = h.frame();
  EXPECT_EQ(both.damage, DamageList{reach(t.a->get_rect()).union_with(reach(t.b->get_rect()))});

  // The scene the frame keeps is the new one: the window shows the change.
  ASSERT_FALSE(h.scene().empty());
  EXPECT_FALSE(h.frame().drawn);
}

TEST(FrameDriver, FrameHooksRunBeforeSync) {
  TwoBlocks t;
  Harness h(t.make());
  std::vector<int> seen;
  h.driver().add_frame_hook([&](Widget& root, doc::Document&) {
    EXPECT_EQ(&root, t.stack);
    seen.push_back(t.log->syncs);
  });
  h.frames(2);
  // The first frame built the layout and synced twice.
  EXPECT_EQ(seen, (std::vector<int>{0, 4}));
}

// A column whose look the test chooses, as an application root answers
// the one its person picked.
class LookedStack : public Stack {
 public:
  std::optional<ThemeOverride> theme_override() const override { return look; }
  std::optional<ThemeOverride> look;
};

TEST(FrameDriver, DrawsWithTheRootsThemeOverrideFromTheFrameItChanges) {
  auto log = std::make_shared<BlockLog>();
  auto root = std::make_unique<LookedStack>();
  LookedStack* stack = root.get();
  auto block = std::make_unique<Block>("a", layout::LayoutSize{100, 40}, log);
  Block* a = block.get();
  root->push(std::move(block));
  Harness h(std::move(root), harness::Options::sized({640, 480}, 1.0));
  h.frame();
  EXPECT_EQ(h.driver().theme(), Theme::dark());

  // A named theme at 125 %: drawn and laid out with it in the same frame.
  stack->look = ThemeOverride{.theme = std::make_shared<const Theme>(*Theme::named("Light")),
                              .text_scale = 1.3f,
                              .ui_scale = 1.25f};
  auto changed = h.frame();
  EXPECT_TRUE(changed.layout_built);
  EXPECT_TRUE(changed.drawn);
  EXPECT_EQ(h.driver().theme().name, "Light");
  EXPECT_FALSE(h.driver().theme().is_dark);
  EXPECT_FLOAT_EQ(h.driver().theme().ui_scale, 1.25f);
  EXPECT_FLOAT_EQ(h.driver().theme().text_scale, 1.3f);
  EXPECT_DOUBLE_EQ(a->built_scale, 1.25);
  // Answered again unchanged: nothing is rebuilt or redrawn for it.
  auto same = h.frame();
  EXPECT_FALSE(same.layout_built);

  // High contrast wins over the named theme; reduced motion is carried.
  stack->look->high_contrast = true;
  stack->look->reduce_motion = true;
  auto contrast = h.frame();
  EXPECT_TRUE(contrast.drawn);
  EXPECT_FALSE(contrast.layout_built);
  EXPECT_TRUE(h.driver().theme().is_high_contrast);
  EXPECT_TRUE(h.driver().theme().reduce_motion);

  // set_theme changes what is drawn without an override only.
  h.driver().set_theme(Theme::light());
  EXPECT_TRUE(h.driver().theme().is_high_contrast);
  stack->look.reset();
  h.frame();
  EXPECT_EQ(h.driver().theme(), Theme::light());
  EXPECT_DOUBLE_EQ(a->built_scale, 1.0);
}

TEST(FrameDriver, PointerFocusKeysTextAndTab) {
  TwoBlocks t;
  Harness h(t.make());
  t.a->focusable = true;
  t.b->focusable = true;
  h.frame();

  EXPECT_TRUE(h.click_id("b"));
  EXPECT_EQ(h.focused(), t.b);
  t.log->events.clear();
  EXPECT_TRUE(h.key(Key::A));
  EXPECT_TRUE(h.type_text("é"));
  EXPECT_EQ(t.log->events, (std::vector<std::string>{"key b", "text b é"}));

  // Tab, not handled by the focused block, moves the focus on and wraps.
  h.key(Key::Tab);
  EXPECT_EQ(h.focused(), t.a);
  h.key(Key::Tab, {.shift = true});
  EXPECT_EQ(h.focused(), t.b);

  // A press outside the focused widget clears the focus.
  EXPECT_FALSE(h.click({600, 600}));
  EXPECT_EQ(h.focused(), nullptr);
  t.log->events.clear();
  EXPECT_FALSE(h.key(Key::A));
  EXPECT_TRUE(t.log->events.empty());
}

TEST(FrameDriver, TabScrollsTheFocusedWidgetIntoView) {
  // Ten focusable 60-high blocks in a 200-high scrolling viewport.
  auto log = std::make_shared<BlockLog>();
  auto column = std::make_unique<widget::Column>();
  std::vector<Block*> blocks;
  for (int i = 0; i < 10; ++i) {
    auto block =
        std::make_unique<Block>("row" + std::to_string(i), layout::LayoutSize{100, 60}, log);
    block->focusable = true;
    blocks.push_back(block.get());
    column->push(std::move(block));
  }
  auto scroll = std::make_unique<widget::Scrollable>();
  widget::Scrollable* viewport = scroll.get();
  scroll->with_child(std::move(column));
  Harness h(std::move(scroll), harness::Options::sized({300, 200}));
  h.frame();

  // Row 0 takes the first Tab (the viewport holds rows, so it is no stop of
  // its own), then row 1, ... in turn.
  for (int i = 0; i < 7; ++i) h.key(Key::Tab);
  h.frame();
  ASSERT_EQ(h.focused(), blocks[6]);
  const Rect shown = blocks[6]->get_rect();
  EXPECT_GT(viewport->offset(), 0.0);
  EXPECT_GE(shown.y0, viewport->get_rect().y0);
  EXPECT_LE(shown.y1, viewport->get_rect().y1);

  // Shift+Tab back to the top row scrolls back up.
  for (int i = 0; i < 6; ++i) h.key(Key::Tab, {.shift = true});
  h.frame();
  ASSERT_EQ(h.focused(), blocks[0]);
  EXPECT_EQ(viewport->offset(), 0.0);
}

TEST(FrameDriver, CapturedPointerFollowsTheWidgetUntilRelease) {
  TwoBlocks t;
  Harness h(t.make());
  t.a->captures = true;
  h.frame();
  h.pointer_down({10, 10});
  t.log->events.clear();
  h.pointer_move({150, 90});  // over b, but a holds the pointer
  h.pointer_up({150, 90});
  h.pointer_move({150, 90});
  EXPECT_EQ(t.log->events, (std::vector<std::string>{"move a", "up a", "move a", "move b"}));
}

TEST(FrameDriver, CaptureAndFocusOfADroppedWidgetAreForgotten) {
  TwoBlocks t;
  Harness h(t.make());
  t.a->captures = true;
  t.a->focusable = true;
  h.frame();
  h.pointer_down({10, 10});
  ASSERT_EQ(h.focused(), t.a);
  t.stack->items().clear();
  t.stack->structure_dirty = true;
  h.frame();
  // Neither the capture nor the focus names the freed block any more.
  EXPECT_FALSE(h.pointer_move({10, 10}));
  EXPECT_FALSE(h.key(Key::A));
  EXPECT_EQ(h.focused(), nullptr);
}

TEST(FrameDriver, CursorAndDeadlines) {
  TwoBlocks t;
  Harness h(t.make());
  t.b->cursor = frame::cursor::kPointer;
  h.frame();
  EXPECT_EQ(h.driver().cursor_at({20, 50}), frame::cursor::kPointer);
  EXPECT_EQ(h.driver().cursor_at({20, 10}), std::nullopt);

  const Instant now = Instant::now();
  EXPECT_EQ(h.driver().next_deadline(now), std::nullopt);
  t.a->deadline = now + 5s;
  t.b->deadline = now + 3s;
  EXPECT_EQ(h.driver().next_deadline(now), now + 3s);
  t.a->animating = true;
  EXPECT_EQ(h.driver().next_deadline(now), now + frame::kAnimationFrameInterval);
}

// A pane that reads what its page's controls wrote before it syncs them, as
// the settings panes do.
class ReadsBeforeItsPage : public Stack {
 public:
  void sync(doc::Document& document) override {
    seen = document.read_bool(doc::kRoot, "trusted");
    Stack::sync(document);
  }
  std::optional<bool> seen;
};

TEST(HeadlessLoop, AControlChangedByThePointerIsSeenWithoutAnotherEvent) {
  auto pane = std::make_unique<ReadsBeforeItsPage>();
  ReadsBeforeItsPage* reader = pane.get();
  pane->push(std::make_unique<widget::Toggle>("Trust this device", "trusted"));
  Harness h(std::move(pane));
  h.frame();
  const Rect toggle = reader->items()[0]->get_rect();
  h.pointer_down(toggle.center());
  h.pointer_up(toggle.center());
  // The toggle wrote its value after the pane's sync: the loop runs the frame
  // in which the pane sees it at once, with no further event.
  EXPECT_NE(reader->seen, std::optional<bool>(true));
  EXPECT_TRUE(h.wait_for_frame(60s));
  EXPECT_EQ(reader->seen, std::optional<bool>(true));
  // Then it sleeps again.
  EXPECT_FALSE(h.wait_for_frame(30ms));
  // A frame in which nothing changed neither lays out nor draws.
  const auto idle = h.frame();
  EXPECT_FALSE(idle.layout_computed);
  EXPECT_FALSE(idle.drawn);
}

TEST(HeadlessLoop, IdleTreeSleepsWithoutRunningFrames) {
  TwoBlocks t;
  Harness h(t.make());
  h.frame();
  const auto before = h.frame_count();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(h.run_for(150ms), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - start, 140ms);
  EXPECT_EQ(h.frame_count(), before);
}

TEST(HeadlessLoop, PublicationFromAnotherThreadRunsAFrame) {
  TwoBlocks t;
  Harness h(t.make());
  h.frame();
  auto cell = WakeSlot<int>::create(0);
  std::thread publisher([cell] {
    std::this_thread::sleep_for(20ms);
    cell->publish(7);
  });
  // Only the publication can end the wait with a frame.
  EXPECT_TRUE(h.wait_for_frame(60s));
  publisher.join();
  EXPECT_EQ(cell->get(), 7);
  // The wake-up was consumed: nothing more is due.
  EXPECT_FALSE(h.wait_for_frame(30ms));
}

TEST(HeadlessLoop, WidgetDeadlineRunsAFrameWhenItComes) {
  TwoBlocks t;
  Harness h(t.make());
  h.frame();
  t.a->deadline = Instant::now() + 40ms;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(h.wait_for_frame(60s));
  EXPECT_GE(std::chrono::steady_clock::now() - start, 35ms);
}

TEST(Harness, RendersTheFrameAtItsScale) {
  TwoBlocks t;
  Harness h(t.make(), harness::Options::sized({300, 200}, 2.0));
  h.frame();
  auto image = h.render();
  ASSERT_TRUE(image) << image.error();
  EXPECT_EQ(image->width(), 600);
  EXPECT_EQ(image->height(), 400);
  EXPECT_EQ(image->pixel(390, 190), t.b->color);  // logical (195, 95) lies in b
  EXPECT_EQ(image->pixel(390, 10), h.driver().theme().background);
  const std::string path = std::string(KALU_APP_ARTIFACTS) + "/two_blocks.png";
  ASSERT_TRUE(h.render_png(path));
  EXPECT_GT(std::filesystem::file_size(path), 0u);
}

// Start-up shapes the first page's styles on another thread while the window
// opens; the frame loop then draws with those fonts and layouts, at the
// theme's text scale.
TEST(FrameDriver, DrawsWithARendererWarmedOnAnotherThread) {
  const text::TextStyle heading = text::TextStyle::sized(15.0f).with_weight(text::kWeightSemibold);
  std::optional<text::TextRenderer> warmed;
  std::thread([&warmed, heading] {
    text::TextRenderer renderer;
    renderer.measure("Internet access", renderer.renderer_input_style(heading), std::nullopt,
                     text::LayoutOption::SingleLine);
    warmed.emplace(std::move(renderer));
  }).join();
  ASSERT_TRUE(warmed.has_value());

  frame::FrameDriver driver(
      boxed(widget::Text("Internet access").with_size(15.0f).with_weight(text::kWeightSemibold)),
      doc::Document(), Theme::configured().with_text_scale(1.0f));
  driver.set_surface(320, 200, 1.0);
  driver.adopt_renderer(std::move(*warmed));
  const text::CacheStats before = driver.renderer().cache_stats();
  EXPECT_EQ(before.entries, 1u);
  EXPECT_TRUE(driver.run_frame().drawn);
  const text::CacheStats after = driver.renderer().cache_stats();
  EXPECT_EQ(after.misses, before.misses) << "the frame shaped the heading again";
  EXPECT_GT(after.hits, before.hits);

  // A larger text scale: the adopted renderer measures at it.
  frame::FrameDriver scaled(boxed(widget::Text("Internet access")), doc::Document(),
                            Theme::configured().with_text_scale(1.5f));
  scaled.adopt_renderer(text::TextRenderer());
  EXPECT_FLOAT_EQ(scaled.renderer().text_scale(), 1.5f);
}

}  // namespace
}  // namespace kalu_ui
