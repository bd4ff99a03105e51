#include "kalu_ui/widget/focus.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/place.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

// Tree: [Button a, Text, Row[Toggle b, Button (disabled)], Slider c]
Column sample_tree() {
  Column root;
  root.push(boxed(Button("A").with_id("a")));
  root.push(boxed(Text("Caption")));
  root.push(boxed(Row()
                      .push(boxed(Toggle::from_state(WakeSlot<bool>::create(false)).with_id("b")))
                      .push(boxed(Button("Off").with_id("off").with_enabled(false)))));
  root.push(boxed(Slider::from_state(WakeSlot<double>::create(0.0), 0.0, 1.0).with_id("c")));
  return root;
}

std::optional<std::string> focused_id(Widget& root) {
  Widget* w = focused_widget(root);
  return w ? w->id() : std::nullopt;
}

TEST(FocusTest, TabVisitsFocusableWidgetsInTreeOrderAndWraps) {
  Column root = sample_tree();
  Harness h(root);
  std::vector<std::string> visited;
  for (int i = 0; i < 4; ++i) {
    h.key(Key::Tab);
    visited.push_back(focused_id(root).value_or("-"));
  }
  EXPECT_EQ(visited, (std::vector<std::string>{"a", "b", "c", "a"}));
  h.key(Key::Tab, testing::shift());
  EXPECT_EQ(focused_id(root), "c");
  h.key(Key::Tab, testing::shift());
  h.key(Key::Tab, testing::shift());
  h.key(Key::Tab, testing::shift());
  EXPECT_EQ(focused_id(root), "c");  // wrapped backwards past the first
  int holders = 0;
  for (Widget* w : focus_chain(root)) holders += w->is_focused() ? 1 : 0;
  EXPECT_EQ(holders, 1);
}

TEST(FocusTest, ShiftTabFromNothingStartsAtTheLastAndEmptyTreesAreFine) {
  Column root = sample_tree();
  EXPECT_EQ(move_focus(root, FocusDirection::Backward)->id(), "c");
  Column empty;
  empty.push(boxed(Text("Only text")));
  EXPECT_EQ(move_focus(empty, FocusDirection::Forward), nullptr);
  EXPECT_FALSE(handle_focus_key(root, testing::key_down(Key::Tab, testing::ctrl())));
}

TEST(FocusTest, PressRequestMovesFocusAndTheRingIsDrawn) {
  Column root = sample_tree();
  Harness h(root);
  h.key(Key::Tab);  // a
  Slider& slider = testing::child<Slider>(root, 3);
  h.click(slider);
  EXPECT_EQ(focused_id(root), "c");
  EXPECT_FALSE(testing::child<Button>(root, 0).is_focused());
  const Scene& scene = h.frame().draw(root);
  const Rect r = slider.get_rect();
  bool ring = false;
  for (const SceneCmd& cmd : scene.commands()) {
    if (const auto* stroke = std::get_if<StrokeCmd>(&cmd)) {
      const Rect b = Scene::bounds(cmd);
      ring |= stroke->color == h.frame().theme().focus && b.x0 < r.x0 && b.x1 > r.x1;
    }
  }
  EXPECT_TRUE(ring);
}

// A page rebuilt with the focused control gone or disabled: the focus goes
// to the question's default answer when one came, else to what now follows
// the nearest control before it that is still there.
TEST(FocusTest, ARebuildGivesTheFocusOfAControlThatWentToWhatStandsInItsPlace) {
  const auto page = [](std::vector<Button> middle, bool last = false) {
    Column root;
    root.push(boxed(Button("Before").with_id("before")));
    Row row;
    for (Button& b : middle) row.push(boxed(std::move(b)));
    root.push(boxed(std::move(row)));
    if (!last) root.push(boxed(Button("After").with_id("after")));
    return root;
  };
  struct Case {
    const char* what;
    std::vector<Button> (*middle)();
    std::optional<std::string> focus;
    bool last = false;
  };
  const Case cases[] = {
      {"the row is gone: the next control", [] { return std::vector<Button>{}; }, "after"},
      {"its replacement in the same row",
       [] {
         std::vector<Button> v;
         v.push_back(Button("Disconnect").with_id("disconnect"));
         return v;
       },
       "disconnect"},
      {"kept but disabled: the next control",
       [] {
         std::vector<Button> v;
         v.push_back(Button("Keep").with_id("keep").with_enabled(false));
         return v;
       },
       "after"},
      {"a question's default answer is left to the frame",
       [] {
         std::vector<Button> v;
         v.push_back(Button("Remove").with_id("remove"));
         v.push_back(Button("Cancel").with_id("cancel").with_default_answer());
         return v;
       },
       std::nullopt},
      {"the last of the page: the one before", [] { return std::vector<Button>{}; }, "before",
       true},
      {"the same control keeps it",
       [] {
         std::vector<Button> v;
         v.push_back(Button("Keep").with_id("keep"));
         return v;
       },
       "keep"},
  };
  for (const Case& c : cases) {
    std::vector<Button> first;
    first.push_back(Button("Keep").with_id("keep"));
    first.push_back(Button("Revert").with_id("revert"));
    Column before = page(std::move(first));
    focus_widget(before, before.children_mut()[1]->children_mut()[0]);
    const TreePlace place = TreePlace::capture(before);
    Column after = page(c.middle(), c.last);
    place.restore(after);
    EXPECT_EQ(focused_id(after), c.focus) << c.what;
  }
}

}  // namespace
}  // namespace kalu_ui::widget
