#include "kalu_ui/widget/dropdown.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/document.h"

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

}  // namespace
}  // namespace kalu_ui::widget
