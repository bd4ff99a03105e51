#include "kalu_ui/widget/dropdown.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/document.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

const std::vector<std::string> kModes = {"Balanced", "Power saver", "Performance"};

TEST(DropdownTest, OpensMovesWithArrowsAndPicksWithEnter) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes).with_id("power.mode");
  Harness h(dropdown);
  dropdown.set_focus(true);
  h.key(Key::Enter);
  ASSERT_TRUE(dropdown.is_open());
  EXPECT_EQ(dropdown.highlighted(), 0u);  // starts on the current choice
  EXPECT_TRUE(dropdown.wants_pointer_capture());
  EXPECT_EQ(dropdown.ime_cursor_rect(), dropdown.get_rect());
  h.key(Key::Down);
  h.key(Key::Down);
  h.key(Key::Down);  // stays on the last entry
  h.key(Key::Up);
  EXPECT_EQ(dropdown.highlighted(), 1u);
  EXPECT_EQ(cell->generation(), 0u);  // moving does not publish
  h.key(Key::Enter);
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_EQ(cell->get(), "Power saver");
  EXPECT_EQ(cell->generation(), 1u);
  EXPECT_EQ(dropdown.ime_cursor_rect(), std::nullopt);
}

TEST(DropdownTest, EscapeOutsideClickAndBlurCloseWithoutPicking) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes);
  Harness h(dropdown);
  h.click(dropdown);
  ASSERT_TRUE(dropdown.is_open());
  EXPECT_TRUE(dropdown.is_focused());
  h.key(Key::Down);
  h.key(Key::Escape);
  EXPECT_FALSE(dropdown.is_open());

  h.click(dropdown);
  const Rect r = dropdown.get_rect();
  EventContext outside = h.send(testing::down({r.x1 + 50.0, r.y1 + 300.0}));
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_TRUE(outside.release_pointer_capture);

  h.click(dropdown);
  dropdown.set_focus(false);
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_EQ(cell->generation(), 0u);
}

TEST(DropdownTest, ClickOnAnEntryPicksItAndTheOverlayDrawsTheList) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes);
  Harness h(dropdown);
  h.click(dropdown);
  Scene scene;
  DrawContext context;
  dropdown.draw_overlay(scene, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                        context);
  EXPECT_EQ(scene.find_text("Performance").size(), 1u);
  h.click(dropdown.item_rect(2).center());
  EXPECT_EQ(cell->get(), "Performance");
  EXPECT_FALSE(dropdown.is_open());
  Scene closed;
  dropdown.draw_overlay(closed, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                        context);
  EXPECT_TRUE(closed.empty());
}

TEST(DropdownTest, DocumentBoundDropdownWritesItsChoiceAtSync) {
  doc::Document document;
  Dropdown dropdown("display.scale", {"100%", "125%"}, "100%");
  dropdown.choose(1);
  dropdown.sync(document);
  EXPECT_EQ(document.read_str(doc::kRoot, "display.scale"), "125%");
  EXPECT_FALSE(dropdown.perform_action({SemanticAction::Kind::SetValue, "300%"}, {}));
  EXPECT_EQ(dropdown.text_input_kind(), TextInputKind{0});
  EXPECT_EQ(dropdown.id(), "dropdown");
}

// The drawn command of `text` is whole when it is as wide as the text
// shaped without a limit (an ellipsised one is narrower).
bool drawn_whole(const Scene& scene, const std::string& text, testing::Frame& frame) {
  const auto found = scene.find_text(text);
  if (found.size() != 1) return false;
  const text::TextStyle style =
      frame.renderer().renderer_input_style(text::TextStyle::sized(14.0f));
  const double full =
      frame.renderer().measure(text, style, std::nullopt, text::LayoutOption::SingleLine).width;
  return found[0]->layout->metrics().width >= full - 0.01;
}

TEST(DropdownTest, WidthFollowsTheWidestOptionWhileTheRowHasRoom) {
  const std::vector<std::string> kRoles = {"Interactive", "Always-on server for every workspace"};
  struct Case {
    std::string name;
    std::vector<std::string> options;
    double row_width;
    bool old_width;  // the minimum width, as before
    bool whole;      // the chosen text is drawn without an ellipsis
  };
  const std::vector<Case> cases = {
      {"short options keep the minimum width", kModes, 600.0, true, true},
      {"a long option widens it", kRoles, 600.0, false, true},
      {"a narrow row still ellipsises", kRoles, 300.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string chosen = c.options.back();
    Row row;
    row.push(boxed(Text("Role")))
        .push(boxed(Spacer()))
        .push(boxed(Dropdown::from_state(WakeSlot<std::string>::create(chosen), c.options)));
    Harness h(row, c.row_width);
    auto& dropdown = testing::child<Dropdown>(row, 2);
    const double width = dropdown.get_rect().width();
    if (c.old_width) {
      EXPECT_DOUBLE_EQ(width, Dropdown::kMinWidth);
    } else {
      EXPECT_GT(width, Dropdown::kMinWidth);
    }
    EXPECT_LE(dropdown.get_rect().x1, c.row_width);
    Scene closed;
    DrawContext context;
    dropdown.draw(closed, Affine::identity(), h.frame().renderer(), h.frame().theme(), context);
    EXPECT_EQ(drawn_whole(closed, chosen, h.frame()), c.whole);

    // The open list shows every option whole, however narrow the row.
    h.click(dropdown);
    ASSERT_TRUE(dropdown.is_open());
    Scene list;
    DrawContext window{Rect(0.0, 0.0, c.row_width, 400.0), 1.0};
    dropdown.draw_overlay(list, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                          window);
    for (const std::string& option : c.options) {
      EXPECT_TRUE(drawn_whole(list, option, h.frame())) << option;
    }
    EXPECT_GE(dropdown.item_rect(0).x0, 0.0);
    EXPECT_LE(dropdown.item_rect(0).x1, c.row_width);
  }
}

TEST(DropdownTest, OptionsAreMeasuredOncePerChangeNotPerLayout) {
  Row row;
  row.push(boxed(Dropdown::from_state(WakeSlot<std::string>::create("Balanced"), kModes)));
  Harness h(row, 600.0);
  auto& dropdown = testing::child<Dropdown>(row, 0);
  const text::CacheStats before = h.frame().renderer().cache_stats();
  h.layout();
  h.layout();
  const text::CacheStats after = h.frame().renderer().cache_stats();
  EXPECT_EQ(after.hits + after.misses, before.hits + before.misses);

  dropdown.set_options({"Balanced", "A much longer choice than any before"});
  h.layout();
  EXPECT_GT(dropdown.get_rect().width(), Dropdown::kMinWidth);
}

}  // namespace
}  // namespace kalu_ui::widget
