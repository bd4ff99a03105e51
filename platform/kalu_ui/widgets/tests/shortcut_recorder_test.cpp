#include "kalu_ui/widget/shortcut_recorder.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/document.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

TEST(ShortcutRecorderTest, ActivationArmsAndTheNextChordIsRecorded) {
  doc::Document document;
  ShortcutRecorder recorder("shortcuts.terminal", "shortcuts.terminal.edit", "Ctrl+Alt+T",
                            "Ctrl+Alt+T");
  Harness h(recorder);
  h.click(recorder);
  ASSERT_TRUE(recorder.is_armed());
  h.key(Key::Control, testing::ctrl());  // a modifier alone waits
  h.key(Key::K);                         // no modifier: not a chord
  EXPECT_TRUE(recorder.is_armed());
  Modifiers mods = testing::ctrl();
  mods.shift = true;
  h.key(Key::K, mods);
  EXPECT_FALSE(recorder.is_armed());
  EXPECT_EQ(recorder.chord(), "Ctrl+Shift+K");
  recorder.sync(document);
  EXPECT_EQ(document.read_str(doc::kRoot, "shortcuts.terminal.edit"), "Ctrl+Shift+K");
}

TEST(ShortcutRecorderTest, EscapeAndBlurDisarmWithoutRecording) {
  ShortcutRecorder recorder("a", "a.edit", "Super+L", "");
  Harness h(recorder);
  EXPECT_TRUE(recorder.perform_action(SemanticAction::activate(), {}));
  recorder.set_focus(true);
  h.key(Key::Escape);
  EXPECT_FALSE(recorder.is_armed());
  recorder.arm();
  recorder.set_focus(false);
  EXPECT_FALSE(recorder.is_armed());
  EXPECT_EQ(recorder.chord(), "Super+L");
  EXPECT_EQ(ShortcutRecorder::chord_text(Key::F5, {}), "F5");
}

TEST(ShortcutRecorderTest, UnavailableRecorderExplainsItself) {
  ShortcutRecorder recorder = ShortcutRecorder("a", "a.edit", "", "").with_unavailable();
  Harness h(recorder);
  const Rect r = recorder.get_rect();
  EXPECT_EQ(recorder.query_h(r.x0, r.y0)->text, "Shortcut unavailable");
  EXPECT_FALSE(recorder.perform_action(SemanticAction::activate(), {}));
  EXPECT_FALSE(recorder.is_focusable());
  EXPECT_EQ(recorder.cursor_icon_at(r.x0, r.y0), std::nullopt);
}

}  // namespace
}  // namespace kalu_ui::widget
